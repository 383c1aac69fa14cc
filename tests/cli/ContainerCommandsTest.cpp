// tallyglass-cli list and resave, run as the user runs them: the built program on real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/File.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "tests/cli/CliTest.h"
#include "tests/support/IffBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

const std::string kExamples = TALLYGLASS_EXAMPLES;

// ---- list ----

struct ListCase {
    const char* file;  // below examples/
    const char* out;
};

class ListExamples : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListExamples, PrintsTheVersionAndEveryChunkInChunkListOrder) {
    const auto result = Cli({"list", kExamples + "/" + GetParam().file});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, GetParam().out);
}

// The chunk list holds the map's chunks in map order (grouped by type), then those only the scan
// found, in file order; sizes are payload bytes.
INSTANTIATE_TEST_SUITE_P(
    Files, ListExamples,
    ::testing::Values(ListCase{"sample.iff",
                               "version 2.5\n"
                               "BCON   128  0x0000    12  Armchair tuning\n"
                               "STR#   128  0x0000  1079  Armchair - names\n"
                               "STR#  1000  0x0000    18\n"
                               "STR#    99  0x0000   141  Catalog text\n"
                               "STR#   300  0x0000    35  Dialog\n"
                               "STR#   129  0x0000    45  Moods\n"
                               "STR#     2  0x0000     4  Unused strings\n"
                               "OBJD   128  0x0000   108  Comfy Armchair\n"
                               "BHAV  4096  0x0000    44  Sit \xE2\x80\x93 main\n"
                               "GLOB   128  0x0000    13  Semi-global\n"
                               "TTAB   128  0x0000     0  Interactions\n"
                               "rsmp     0  0x0010   290\n"},
                      ListCase{"quirks/unfinished-save.iff",
                               "version 2.5\n"
                               "STR#  1  0x0000  12  Names\n"
                               "BCON  1  0x0000   4  Tuning\n"},
                      ListCase{"quirks/map-in-middle.iff",
                               "version 2.5\n"
                               "STR#  1  0x0000  12  Names\n"
                               "BCON  1  0x0000   4  Tuning\n"
                               "rsmp  0  0x0010  66\n"
                               "OBJD  1  0x0000  20  Late object\n"
                               "STR#  2  0x0000  29  Late strings\n"},
                      // The XXXX chunks are neither scanned nor mapped; the BHAV is mapped only,
                      // its header not read yet, so its size is unknown.
                      ListCase{"quirks/skipped-chunks.iff",
                               "version 2.5\n"
                               "STR#  1  0x0000   12  Names\n"
                               "STR#  2  0x0000   25  Descriptions\n"
                               "BCON  1  0x0000    4  Tuning\n"
                               "BHAV  8  0x0004    ?  Listed in the map\n"
                               "rsmp  0  0x0010  122\n"},
                      ListCase{"quirks/stale-tail.iff",
                               "version 2.5\n"
                               "STR#  1  0x0000  12  Names\n"
                               "BCON  1  0x0000   4  Tuning\n"
                               "rsmp  0  0x0010  66\n"},
                      ListCase{"quirks/overlong-map.iff",
                               "version 2.5\n"
                               "STR#  1  0x0000  12  Names\n"
                               "BCON  1  0x0000   4  Tuning\n"
                               "rsmp  0  0x0010  67\n"},
                      ListCase{"quirks/map-order.iff",
                               "version 2.5\n"
                               "OBJD  3  0x0000   12  Object\n"
                               "STR#  2  0x0000    4  Second strings\n"
                               "STR#  1  0x0000   12  First strings\n"
                               "BCON  5  0x0000    4  Tuning\n"
                               "rsmp  0  0x0010  122\n"},
                      ListCase{"quirks/flags-0-and-16.iff",
                               "version 2.5\n"
                               "STR#  1  0x0000   9  Flags 0\n"
                               "STR#  2  0x0010  12  Flags 16\n"
                               "BCON  1  0x0010   4  Tuning\n"
                               "rsmp  0  0x0010  86\n"},
                      ListCase{"quirks/version-2.0.iff",
                               "version 2.0\n"
                               "STR#  1  0x0000  11  Old strings\n"
                               "BCON  1  0x0000   4  Tuning\n"
                               "OBJD  1  0x0000  16  Object\n"}),
    [](const auto& info) {
        std::string name = std::filesystem::path(info.param.file).stem().string();
        std::erase_if(name, [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); });
        return name;
    });

TEST(List, EscapesBytesThatCannotBeShown) {
    TempFolder folder;
    const std::string path = folder / "odd.iff";
    // A type with a control byte and a backslash; a name with a control byte, a backslash,
    // windows-1252 letters and a byte that windows-1252 leaves undefined.
    const TestChunk odd{{'\x01', 'A', 'B', '\\'}, 7, 0x1230, "a\x01\\\xE9\x80\x81", {1, 2}};
    const TestChunk longName{"STR#", 65535, 0xFFFB, std::string(63, 'n'), {}};
    WriteBytes(path, MakeIffFile({odd, longName}));
    const auto result = Cli({"list", path});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "version 2.5\n"
              "\\x01AB\\x5C      7  0x1230  2  a\\x01\\x5C\xC3\xA9\xE2\x82\xAC\\x81\n"
              "STR#        65535  0xFFFB  0  " +
                  std::string(63, 'n') + "\n");
}

// ---- failures ----

struct FailureCase {
    const char* label;
    std::vector<std::string> args;  // "@" stands for the test folder
    int exitCode;
    const char* err;  // exact stderr, "@" again the folder; "" to only check it is not empty
};

class ContainerFailures : public ::testing::TestWithParam<FailureCase> {};

std::string Expand(std::string text, const std::string& folder) {
    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at)) {
        text.replace(at, 1, folder);
        at += folder.size();
    }
    return text;
}

TEST_P(ContainerFailures, ExitWithTheirStatusAndMessageAndWriteNothing) {
    TempFolder folder;
    WriteBytes(folder / "text.iff", {'h', 'e', 'l', 'l', 'o'});
    WriteBytes(folder / "empty.iff", {});
    WriteBytes(folder / "version.iff", MakeIffFile({}, "2.6"));
    std::filesystem::create_directory(folder.Path() / "folder");
    const auto before = folder.Names();

    std::vector<std::string> args;
    for (const auto& arg : GetParam().args) {
        args.push_back(Expand(arg, folder.Path().string()));
    }
    const auto result = Cli(args);
    EXPECT_EQ(result.exitCode, GetParam().exitCode);
    EXPECT_EQ(result.out, "");
    if (*GetParam().err != '\0') {
        EXPECT_EQ(result.err, Expand(GetParam().err, folder.Path().string()));
    } else {
        EXPECT_NE(result.err, "");
    }
    EXPECT_EQ(folder.Names(), before);  // nothing created, nothing left behind
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ContainerFailures,
    ::testing::Values(
        FailureCase{"ListMissing",
                    {"list", "@/missing.iff"},
                    1,
                    "tallyglass-cli: @/missing.iff was not found.\n"},
        FailureCase{"ListNotIff",
                    {"list", "@/text.iff"},
                    1,
                    "tallyglass-cli: text.iff: This file is *not* an IFF file!\n"},
        FailureCase{"ListEmpty",
                    {"list", "@/empty.iff"},
                    1,
                    "tallyglass-cli: empty.iff: This file is *not* an IFF file!\n"},
        FailureCase{
            "ListVersion",
            {"list", "@/version.iff"},
            1,
            "tallyglass-cli: version.iff: The file version of the IFF file is not supported!\n"},
        FailureCase{"ListFolder",
                    {"list", "@/folder"},
                    1,
                    "tallyglass-cli: @/folder is not a regular file.\n"},
        FailureCase{"ResaveMissing",
                    {"resave", "@/missing.iff", "-o", "@/out.iff"},
                    1,
                    "tallyglass-cli: @/missing.iff was not found.\n"},
        FailureCase{"ResaveNotIff",
                    {"resave", "@/text.iff"},
                    1,
                    "tallyglass-cli: text.iff: This file is *not* an IFF file!\n"},
        FailureCase{
            "ResaveVersion",
            {"resave", "@/version.iff", "-o", "@/out.iff"},
            1,
            "tallyglass-cli: version.iff: The file version of the IFF file is not supported!\n"},
        FailureCase{"ResaveIntoMissingFolder",
                    {"resave", TALLYGLASS_EXAMPLES "/sample.iff", "-o", "@/no/out.iff"},
                    1,
                    "tallyglass-cli: @/no/out.iff was not found.\n"},
        FailureCase{"ListWithoutFile", {"list"}, 2, ""},
        FailureCase{"ListTwoFiles", {"list", "@/a.iff", "@/b.iff"}, 2, ""},
        FailureCase{"ResaveWithoutFile", {"resave"}, 2, ""},
        FailureCase{"ResaveUnknownOption", {"resave", "@/text.iff", "--bogus"}, 2, ""},
        FailureCase{"NoCommand", {}, 2, ""}, FailureCase{"UnknownCommand", {"frobnicate"}, 2, ""}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- resave ----

class ResaveExamples : public ::testing::TestWithParam<const char*> {};  // below examples/

TEST_P(ResaveExamples, GivesTheExactBytes) {
    TempFolder folder;
    const std::string source = kExamples + "/" + GetParam();
    const std::string first = folder / "first.iff";
    const std::string second = folder / "second.iff";
    std::filesystem::copy_file(source, first);

    auto result = Cli({"resave", first});  // in place
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "");
    ASSERT_EQ(Cli({"resave", first, "-o", second}).exitCode, 0);
    EXPECT_EQ(ReadBytes(first), ReadBytes(source));
    EXPECT_EQ(ReadBytes(second), ReadBytes(source));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"first.iff", "second.iff"}));

    std::string signature("IFF FILE 2.5:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1", 60);
    const auto bytes = ReadBytes(first);
    ASSERT_GE(bytes.size(), 64u);
    signature[11] = static_cast<char>(bytes[11]);  // 2.0 or 2.5
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 60), signature);
}

INSTANTIATE_TEST_SUITE_P(Files, ResaveExamples,
                         ::testing::Values("sample.iff", "text-types.iff",
                                           "quirks/unfinished-save.iff", "quirks/map-in-middle.iff",
                                           "quirks/skipped-chunks.iff", "quirks/stale-tail.iff",
                                           "quirks/overlong-map.iff", "quirks/map-order.iff",
                                           "quirks/flags-0-and-16.iff", "quirks/version-2.0.iff"),
                         [](const auto& info) {
                             std::string name = std::filesystem::path(info.param).stem().string();
                             std::erase_if(name, [](char c) {
                                 return !std::isalnum(static_cast<unsigned char>(c));
                             });
                             return name;
                         });

TEST(Resave, KeepsThePermissionsOfTheFileItReplaces) {
    TempFolder folder;
    const std::string path = folder / "file.iff";
    std::filesystem::copy_file(kExamples + "/sample.iff", path);
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    ASSERT_EQ(Cli({"resave", path}).exitCode, 0);
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
}

// A payload that runs past the end of the file is written back as the bytes it is, unless the
// command asks to leave it out.
TEST(Resave, KeepsAChunkCutShortUnlessAskedToDropIt) {
    TempFolder folder;
    const auto sample = ReadBytes(kExamples + "/sample.iff");
    const std::string needle = "GLOB";
    const auto at = std::search(sample.begin(), sample.end(), needle.begin(), needle.end());
    ASSERT_NE(at, sample.end());
    const std::vector<uint8_t> cut(sample.begin(), at + 76 + 5);  // 5 of its 13 payload bytes
    const std::string path = folder / "cut.iff";
    WriteBytes(path, cut);

    for (const bool inPlace : {true, false}) {
        std::vector<std::string> args = {"resave", path};
        if (!inPlace) {
            args.insert(args.end(), {"-o", folder / "out.iff"});
        }
        const auto result = Cli(args);
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(ReadBytes(path), cut);
        EXPECT_EQ(ReadBytes(inPlace ? path : folder / "out.iff"), cut);
    }
    // Asked to, the readable chunks are written and the dropped one is named.
    const auto dropped = Cli({"resave", path, "-o", folder / "out.iff", "--drop-unreadable"});
    EXPECT_EQ(dropped.exitCode, 0) << dropped.err;
    EXPECT_EQ(dropped.out, "dropped: GLOB 128 at offset " + std::to_string(at - sample.begin()) +
                               ", cut short by the end of the file (claims 89 bytes)\n");
    EXPECT_EQ(ReadBytes(path), cut);
    const auto relisted = Cli({"list", folder / "out.iff"});
    EXPECT_EQ(relisted.exitCode, 0);
    EXPECT_EQ(relisted.out.find("GLOB"), std::string::npos);
    EXPECT_NE(relisted.out.find("STR#"), std::string::npos);
    // The file still lists: the damaged chunk is found, its payload is never read.
    const auto list = Cli({"list", path});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_NE(list.out.find("GLOB   128  0x0000    13  Semi-global\n"), std::string::npos);
}

}  // namespace
