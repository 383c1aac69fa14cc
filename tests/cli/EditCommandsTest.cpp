// tallyglass-cli set, layout and copy-to-all, run as the user runs them; results are checked by
// decoding the saved file.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/stream/File.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "tests/cli/CliTest.h"
#include "tests/support/IffBytes.h"
#include "tests/support/IffPayloads.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

CStringSet Decode(const std::vector<uint8_t>& payload) {
    CStringSet strings;
    EXPECT_TRUE(strings.Decode(payload.data(), payload.size()));
    return strings;
}

std::string Get(const CStringSet& strings, uint16_t entry, uint16_t slot, int part = 0) {
    std::string value = "<none>";
    static_cast<void>(strings.GetString(entry, slot, part, value));
    return value;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (const int value : values) {
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// The multilingual example: code 1 "A"/"a", code 1 "B"/"b", code 3 "F" without description.
const std::vector<uint8_t> kMultilingual =
    Bytes({0xFD, 0xFF, 0x03, 0x00, 0x01, 'A', 0, 'a', 0, 0x01, 'B', 0, 'b', 0, 0x03, 'F', 0, 0});
const std::vector<uint8_t> kOther = {9, 8, 7};

class EditCommands : public testing::Test {
protected:
    EditCommands() {
        original = MakeIffFile({
            MakeChunk("STR#", 128, MakePlainPayload({"one", "two"}), "plain"),
            MakeChunk("BHAV", 4096, kOther, "code", 0x20),
            MakeChunk("STR#", 300, kMultilingual, "multi"),
            MakeChunk("STR#", 400, Bytes({0, 1, 1, 'b'}), "basic"),
        });
        path = folder / "file.iff";
        WriteBytes(path, original);
    }

    // Only the chunk (type STR#, id) differs from the original file; returns its new payload.
    std::vector<uint8_t> ChangedPayload(const std::string& file, uint16_t id) {
        Payloads before = ReadPayloads(path + ".orig");
        Payloads after = ReadPayloads(file);
        EXPECT_EQ(after.size(), before.size());
        std::vector<uint8_t> changed = after[{kTypeStrings, id}];
        after.erase({kTypeStrings, id});
        before.erase({kTypeStrings, id});
        EXPECT_EQ(after, before) << "a chunk that was not edited changed";
        return changed;
    }
    void SetUp() override { WriteBytes(path + ".orig", original); }

    TempFolder folder;
    std::vector<uint8_t> original;
    std::string path;
};

TEST_F(EditCommands, SetChangesOneTextAndNothingElse) {
    const auto result = Cli({"set", path, "--id", "128", "--entry", "1", "--text", "Zwei"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(ChangedPayload(path, 128), MakePlainPayload({"one", "Zwei"}));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"file.iff", "file.iff.orig"}));
}

TEST_F(EditCommands, SetAtTheEntryCountAppends) {
    ASSERT_EQ(Cli({"set", path, "--id", "128", "--entry", "2", "--text", "three"}).exitCode, 0);
    EXPECT_EQ(ChangedPayload(path, 128), MakePlainPayload({"one", "two", "three"}));
}

TEST_F(EditCommands, TheMultilingualExampleReencodesWithTheDroppedRecordRestored) {
    ASSERT_EQ(Cli({"set", path, "--id", "300", "--entry", "0", "--text", "A"}).exitCode, 0);
    EXPECT_EQ(ChangedPayload(path, 300),
              Bytes({0xFD, 0xFF, 0x04, 0x00, 0x01, 'A', 0, 'a',  0, 0x01, 'B',
                     0,    'b',  0,    0x03, 'F',  0,   0, 0x03, 0, 0}));
}

struct CodecRow {
    const char* name;
    const char* lang;
    uint16_t slot;
    const char* utf8;
    std::vector<uint8_t> stored;
};

class SetWithCodec : public EditCommands, public testing::WithParamInterface<CodecRow> {};

TEST_P(SetWithCodec, EncodesTheTextInTheSlotsCodePage) {
    const auto& row = GetParam();
    const auto result =
        Cli({"set", path, "--id", "300", "--entry", "1", "--lang", row.lang, "--text", row.utf8});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const CStringSet strings = Decode(ChangedPayload(path, 300));
    EXPECT_EQ(Get(strings, 1, row.slot), std::string(row.stored.begin(), row.stored.end()));
    EXPECT_EQ(Get(strings, 0, 0), "A");
}

INSTANTIATE_TEST_SUITE_P(
    EditCommands, SetWithCodec,
    testing::Values(CodecRow{"French", "French", 2, "\xC3\x89lan", Bytes({0xC9, 'l', 'a', 'n'})},
                    CodecRow{"FrenchBySlot", "2", 2, "\xC3\x89", Bytes({0xC9})},
                    CodecRow{"Japanese", "japanese", 9, "\xE6\x97\xA5\xE6\x9C\xAC",
                             Bytes({0x93, 0xFA, 0x96, 0x7B})},
                    CodecRow{"Polish", "Polish", 10, "\xC5\x81", Bytes({0xA3})},
                    CodecRow{"Russian", "20", 20, "\xD0\x96", Bytes({0xC6})},
                    CodecRow{"LineBreak", "0", 0, "a\nb", Bytes("a\r\nb")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditCommands, SetWithHexBytesStoresThemAsTheyAre) {
    ASSERT_EQ(Cli({"set", path, "--id", "300", "--entry", "0", "--lang", "French", "--text-hex",
                   "81 FF", "--desc-hex", "4344"})
                  .exitCode,
              0);
    const CStringSet strings = Decode(ChangedPayload(path, 300));
    EXPECT_EQ(Get(strings, 0, 2), "\x81\xFF");
    EXPECT_EQ(Get(strings, 0, 2, 1), "CD");
}

TEST_F(EditCommands, SaveToAnotherFileLeavesTheFileUntouched) {
    const std::string out = folder / "out.iff";
    ASSERT_EQ(
        Cli({"set", path, "--id", "128", "--entry", "0", "--text", "eins", "-o", out}).exitCode, 0);
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(ChangedPayload(out, 128), MakePlainPayload({"eins", "two"}));
}

struct FailureRow {
    const char* name;
    std::vector<std::string> args;  // after FILE
    const char* reason;             // part of the message
};

class FailingEdit : public EditCommands, public testing::WithParamInterface<FailureRow> {};

// Each failure exits with 1, says why, and writes nothing: neither the file nor an output.
TEST_P(FailingEdit, ExitsWithOneAndWritesNothing) {
    const auto& row = GetParam();
    std::vector<std::string> args = {row.args.front(), path};
    args.insert(args.end(), row.args.begin() + 1, row.args.end());
    args.insert(args.end(), {"-o", folder / "out.iff"});
    const auto result = Cli(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find(row.reason), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"file.iff", "file.iff.orig"}));
}

INSTANTIATE_TEST_SUITE_P(
    EditCommands, FailingEdit,
    testing::Values(
        FailureRow{"NoSuchResource",
                   {"set", "--id", "999", "--entry", "0", "--text", "x"},
                   "STR# resource 999"},
        FailureRow{"NotAStringResource", {"layout", "--id", "4096", "plain"}, "STR# resource"},
        FailureRow{"EntryBeyondTheEnd",
                   {"set", "--id", "128", "--entry", "3", "--text", "x"},
                   "out of range"},
        FailureRow{
            "CharacterTheCodePageLacks",
            {"set", "--id", "300", "--entry", "0", "--lang", "French", "--text", "\xE6\x97\xA5"},
            "\xE2\x80\x9C\xE6\x97\xA5\xE2\x80\x9D cannot be stored in French text."},
        FailureRow{"BasicTextPast255Bytes",
                   {"set", "--id", "400", "--entry", "0", "--text", std::string(300, 'x')},
                   "A text of the Basic layout holds at most 255 bytes; this one would have 300."},
        FailureRow{"NulByte",
                   {"set", "--id", "300", "--entry", "0", "--text-hex", "41 00"},
                   "A text cannot hold U+0000."},
        FailureRow{"LanguageWithoutLanguages",
                   {"set", "--id", "128", "--entry", "0", "--lang", "French", "--text", "x"},
                   "no languages"},
        FailureRow{"DescriptionInThePlainLayout",
                   {"set", "--id", "128", "--entry", "0", "--desc", "x"},
                   "no descriptions"},
        FailureRow{"CopyEntryBeyondTheEnd",
                   {"copy-to-all", "--id", "300", "--entries", "0,2"},
                   "out of range"},
        FailureRow{"CopyWithoutLanguages",
                   {"copy-to-all", "--id", "128", "--entries", "0"},
                   "no languages"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditCommands, ANonIffFileIsRefused) {
    WriteBytes(path, Bytes("definitely not an IFF file, just some text of some length...."));
    const auto result = Cli({"set", path, "--id", "1", "--entry", "0", "--text", "x"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("This file is *not* an IFF file!"), std::string::npos);
    EXPECT_EQ(ReadBytes(path),
              Bytes("definitely not an IFF file, just some text of some length...."));
}

TEST_F(EditCommands, AnEmptyFileIsRefusedAndLeftEmpty) {
    WriteBytes(path, {});
    const auto result = Cli({"layout", path, "--id", "1", "plain"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tallyglass-cli: file.iff: This file is *not* an IFF file!\n");
    EXPECT_TRUE(ReadBytes(path).empty());
}

TEST_F(EditCommands, AMissingFileIsReported) {
    const auto result =
        Cli({"set", folder / "missing.iff", "--id", "1", "--entry", "0", "--text", "x"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, "tallyglass-cli: " + (folder / "missing.iff") + " was not found.\n");
}

TEST_F(EditCommands, ASaveIntoAMissingFolderFailsWithoutWriting) {
    const auto result = Cli(
        {"set", path, "--id", "128", "--entry", "0", "--text", "x", "-o", folder / "no/such.iff"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("was not found"), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(path), original);
}

// More records than the 16-bit count holds: the store fails and the save with it.
TEST_F(EditCommands, AWorkingCopyThatDoesNotFitIsNotSaved) {
    std::vector<uint8_t> payload = {0xFD, 0xFF, 0xFF, 0xFF};
    for (int i = 0; i < 0xFFFF; ++i) {
        payload.insert(payload.end(), {0x01, 'a', 0, 0});
    }
    original = MakeIffFile({MakeChunk("STR#", 5, payload)});
    WriteBytes(path, original);
    const auto result =
        Cli({"set", path, "--id", "5", "--entry", "0", "--lang", "UKEnglish", "--text", "b"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("65,535"), std::string::npos) << result.err;
    EXPECT_EQ(ReadBytes(path), original);
}

struct LayoutRow {
    const char* mode;
    std::vector<uint8_t> payload;
};

class Layout : public EditCommands, public testing::WithParamInterface<LayoutRow> {};

TEST_P(Layout, ReencodesThePlainResource) {
    ASSERT_EQ(Cli({"layout", path, "--id", "128", GetParam().mode}).exitCode, 0);
    EXPECT_EQ(ChangedPayload(path, 128), GetParam().payload);
}

INSTANTIATE_TEST_SUITE_P(
    EditCommands, Layout,
    testing::Values(LayoutRow{"basic", Bytes({0, 2, 3, 'o', 'n', 'e', 3, 't', 'w', 'o'})},
                    LayoutRow{"plain", MakePlainPayload({"one", "two"})},
                    LayoutRow{"described",
                              Bytes({0xFE, 0xFF, 2, 0, 'o', 'n', 'e', 0, 0, 't', 'w', 'o', 0, 0})},
                    LayoutRow{"multilingual", Bytes({0xFD, 0xFF, 2, 0, 1, 'o', 'n', 'e', 0, 0, 1,
                                                     't', 'w', 'o', 0, 0})}),
    [](const auto& info) { return std::string(info.param.mode); });

TEST_F(EditCommands, LayoutPlainDropsTheOtherLanguagesAndDescriptions) {
    ASSERT_EQ(Cli({"layout", path, "--id", "300", "plain"}).exitCode, 0);
    EXPECT_EQ(ChangedPayload(path, 300), MakePlainPayload({"A", "B"}));
}

TEST_F(EditCommands, CopyToAllFillsEverySlotOfTheGivenEntries) {
    ASSERT_EQ(Cli({"copy-to-all", path, "--id", "300", "--entries", "1", "--lang", "0"}).exitCode,
              0);
    const CStringSet strings = Decode(ChangedPayload(path, 300));
    for (uint16_t slot = 0; slot < 21; ++slot) {
        SCOPED_TRACE(slot);
        // The slot without a name is filled only where it holds something already.
        EXPECT_EQ(Get(strings, 1, slot), slot == kSlotWithoutName ? "" : "B");
        EXPECT_EQ(Get(strings, 1, slot, 1), slot == kSlotWithoutName ? "" : "b");
    }
    EXPECT_EQ(Get(strings, 0, 2), "F");  // entry 0 is not touched
    EXPECT_EQ(Get(strings, 0, 1), "");
}

TEST_F(EditCommands, CopyToAllConvertsTheTextAndListsTheLanguagesLeftAlone) {
    ASSERT_EQ(Cli({"set", path, "--id", "300", "--entry", "0", "--text", "tr\xC3\xA8s caf\xC3\xA9"})
                  .exitCode,
              0);
    const ProgramResult result =
        Cli({"copy-to-all", path, "--id", "300", "--entries", "0", "--lang", "USEnglish"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err.rfind("tallyglass-cli: Not copied into Japanese, Polish, ", 0), 0u)
        << result.err;
    EXPECT_NE(result.err.find(": \xE2\x80\x9C\xC3\xA8\xE2\x80\x9D cannot be stored."),
              std::string::npos);
    const CStringSet strings = Decode(ChangedPayload(path, 300));
    EXPECT_EQ(Get(strings, 0, 2), "tr\xE8s caf\xE9");           // French, windows-1252
    EXPECT_EQ(Get(strings, 0, 11), "tr\xA8\xA8s caf\xA8\xA6");  // Simplified Chinese
    EXPECT_EQ(Get(strings, 0, 9), "");                          // Japanese left alone
    EXPECT_EQ(Get(strings, 0, kSlotWithoutName), "");
}

TEST_F(EditCommands, CopyToAllFromAnotherLanguage) {
    ASSERT_EQ(
        Cli({"copy-to-all", path, "--id", "300", "--entries", "0,1", "--lang", "French"}).exitCode,
        0);
    const CStringSet strings = Decode(ChangedPayload(path, 300));
    EXPECT_EQ(Get(strings, 0, 0), "F");
    EXPECT_EQ(Get(strings, 0, 0, 1), "");
    EXPECT_EQ(Get(strings, 1, 20), "");  // entry 1 had no French text
}

struct UsageRow {
    const char* name;
    std::vector<std::string> args;
};

class UsageError : public EditCommands, public testing::WithParamInterface<UsageRow> {};

TEST_P(UsageError, ExitsWithTwoAndWritesNothing) {
    std::vector<std::string> args = GetParam().args;
    for (auto& arg : args) {
        if (arg == "FILE") {
            arg = path;
        }
    }
    EXPECT_EQ(Cli(args).exitCode, 2);
    EXPECT_EQ(ReadBytes(path), original);
}

INSTANTIATE_TEST_SUITE_P(
    EditCommands, UsageError,
    testing::Values(
        UsageRow{"NoId", {"set", "FILE", "--entry", "0", "--text", "x"}},
        UsageRow{"IdTooLarge", {"set", "FILE", "--id", "65536", "--entry", "0", "--text", "x"}},
        UsageRow{"NothingToSet", {"set", "FILE", "--id", "128", "--entry", "0"}},
        UsageRow{"TextTwice",
                 {"set", "FILE", "--id", "128", "--entry", "0", "--text", "x", "--text-hex", "41"}},
        UsageRow{"BadHex", {"set", "FILE", "--id", "128", "--entry", "0", "--text-hex", "4"}},
        UsageRow{
            "UnknownLanguage",
            {"set", "FILE", "--id", "128", "--entry", "0", "--lang", "Klingon", "--text", "x"}},
        UsageRow{"SlotTooLarge",
                 {"copy-to-all", "FILE", "--id", "300", "--entries", "0", "--lang", "21"}},
        UsageRow{"UnknownLayout", {"layout", "FILE", "--id", "128", "fancy"}},
        UsageRow{"NoEntries", {"copy-to-all", "FILE", "--id", "300"}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
