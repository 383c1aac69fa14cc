// tallyglass-cli on catalog and pie-menu resources and the UTF-8 layout: --type, the JSON type and
// layout, and edits that change the chosen chunk only.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "framework/stream/File.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/StringSet.h"
#include "strings/TextResources.h"
#include "tests/cli/CliTest.h"
#include "tests/support/IffBytes.h"
#include "tests/support/IffPayloads.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Utf8Payload.h"

namespace {

using json = nlohmann::json;

class TextTypesCommand : public testing::Test {
protected:
    void SetUp() override {
        Utf8Sets sets(20);
        sets[0] = {{"Chair", "Sits one"}};
        sets[2] = {{"Chaise", ""}};
        WriteBytes(m_path,
                   MakeIffFile({MakeChunk("TTAs", 7, MakePlainPayload({"Sit"}), "Pie"),
                                MakeChunk("CTSS", 7, BuildUtf8Payload(sets), "Catalog"),
                                MakeChunk("STR#", 7, MakePlainPayload({"strings"}), "Names")}));
        m_before = ReadPayloads(m_path);
    }

    // The payload of (type, id) after a command, checking that no other chunk changed.
    std::vector<uint8_t> Changed(ChunkType type, uint16_t id) {
        Payloads after = ReadPayloads(m_path);
        std::vector<uint8_t> changed = after[{type, id}];
        after.erase({type, id});
        Payloads before = m_before;
        before.erase({type, id});
        EXPECT_EQ(after, before) << "a chunk that was not edited changed";
        return changed;
    }

    TempFolder m_folder;
    const std::string m_path = m_folder / "types.iff";
    Payloads m_before;
};

TEST_F(TextTypesCommand, StringsListsEveryTypeWithItsLayout) {
    const ProgramResult result = Cli({"strings", m_path, "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json resources = json::parse(result.out).at("resources");
    ASSERT_EQ(resources.size(), 3u);
    const std::vector<std::string> types = {"STR#", "CTSS", "TTAs"};
    const std::vector<std::string> layouts = {"plain", "utf8", "plain"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(resources[i].at("type"), types[i]);
        EXPECT_EQ(resources[i].at("layout"), layouts[i]);
        EXPECT_EQ(resources[i].at("id"), 7);
        // "type" is the first key of each resource.
        EXPECT_EQ(nlohmann::ordered_json::parse(result.out)["resources"][i].begin().key(), "type");
    }
    EXPECT_EQ(resources[1].at("label"), "CTSS #7: Catalog");
    EXPECT_EQ(resources[1].at("entries")[0].at("slots").at("2").at("text"), "Chaise");

    const ProgramResult catalog = Cli({"strings", m_path, "--type", "CTSS"});
    ASSERT_EQ(catalog.exitCode, 0) << catalog.err;
    EXPECT_EQ(catalog.out.find("#7: Names"), std::string::npos);
    EXPECT_NE(catalog.out.find("CTSS #7: Catalog\n  layout utf8, 1 entries"), std::string::npos)
        << catalog.out;

    // An id alone still means STR#, as before other types were listed.
    const ProgramResult byId = Cli({"strings", m_path, "--id", "7", "--json"});
    ASSERT_EQ(byId.exitCode, 0) << byId.err;
    EXPECT_EQ(json::parse(byId.out).at("resources").size(), 1u);
    EXPECT_EQ(json::parse(byId.out).at("resources")[0].at("type"), "STR#");

    EXPECT_EQ(Cli({"strings", m_path, "--type", "ttas"}).exitCode, 2);
    const ProgramResult missing = Cli({"strings", m_path, "--type", "TTAs", "--id", "8"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("There is no TTAs resource with the id 8."), std::string::npos);
}

TEST_F(TextTypesCommand, SetEditsTheChunkOfTheGivenType) {
    ASSERT_EQ(
        Cli({"set", m_path, "--type", "TTAs", "--id", "7", "--entry", "0", "--text", "Sit down"})
            .exitCode,
        0);
    EXPECT_EQ(Changed(kTypePieMenuStrings, 7), MakePlainPayload({"Sit down"}));

    // UTF-8 text goes into the UTF-8 layout as it is, whatever the language.
    m_before = ReadPayloads(m_path);
    const ProgramResult result = Cli({"set", m_path, "--type", "CTSS", "--id", "7", "--entry", "0",
                                      "--lang", "Polish", "--text", "Krzes\xC5\x82o"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    Utf8Sets sets(20);
    sets[0] = {{"Chair", "Sits one"}};
    sets[2] = {{"Chaise", ""}};
    sets[15] = {{"Krzes\xC5\x82o", ""}};
    EXPECT_EQ(Changed(kTypeCatalogStrings, 7), BuildUtf8Payload(sets));

    const ProgramResult absent =
        Cli({"set", m_path, "--type", "CTSS", "--id", "8", "--entry", "0", "--text", "x"});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_NE(absent.err.find("CTSS resource 8 does not exist"), std::string::npos) << absent.err;
}

TEST_F(TextTypesCommand, LayoutLeavesUtf8OnlyWhenEveryTextFits) {
    ASSERT_EQ(Cli({"set", m_path, "--type", "CTSS", "--id", "7", "--entry", "0", "--lang",
                   "Japanese", "--text", "\xE6\xA4\x85\xE5\xAD\x90"})
                  .exitCode,
              0);
    m_before = ReadPayloads(m_path);
    // Japanese fits windows-932, but "ł" is not in windows-1252.
    ASSERT_EQ(Cli({"set", m_path, "--type", "CTSS", "--id", "7", "--entry", "0", "--lang", "French",
                   "--text", "\xC5\x82"})
                  .exitCode,
              0);
    const std::vector<uint8_t> withPolishLetter = ReadPayloads(m_path).at({kTypeCatalogStrings, 7});
    const ProgramResult refused =
        Cli({"layout", m_path, "--type", "CTSS", "--id", "7", "multilingual"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("\xE2\x80\x9C\xC5\x82\xE2\x80\x9D in the text of string #0 cannot "
                               "be stored in French text"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(ReadPayloads(m_path).at({kTypeCatalogStrings, 7}), withPolishLetter);

    // With the French text mended, every text goes to its code page in the legacy layout.
    ASSERT_EQ(Cli({"set", m_path, "--type", "CTSS", "--id", "7", "--entry", "0", "--lang", "French",
                   "--text", "Chaise \xC3\xA0"})
                  .exitCode,
              0);
    m_before = ReadPayloads(m_path);
    const ProgramResult done =
        Cli({"layout", m_path, "--type", "CTSS", "--id", "7", "multilingual"});
    ASSERT_EQ(done.exitCode, 0) << done.err;
    const std::vector<uint8_t> expected = {0xFD, 0xFF, 3,    0,    1,    'C',  'h', 'a', 'i',  'r',
                                           0,    'S',  'i',  't',  's',  ' ',  'o', 'n', 'e',  0,
                                           3,    'C',  'h',  'a',  'i',  's',  'e', ' ', 0xE0, 0,
                                           0,    15,   0x88, 0xD6, 0x8E, 0x71, 0,   0};
    EXPECT_EQ(Changed(kTypeCatalogStrings, 7), expected);
}

TEST_F(TextTypesCommand, CopyToAllFillsEveryLanguageOfAUtf8Resource) {
    const ProgramResult result =
        Cli({"copy-to-all", m_path, "--type", "CTSS", "--id", "7", "--entries", "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const std::vector<uint8_t> payload = Changed(kTypeCatalogStrings, 7);
    // Every named language; the set of the slot without a name (code 21) stays unwritten.
    Utf8Sets sets(20, {{"Chair", "Sits one"}});
    EXPECT_EQ(payload, BuildUtf8Payload(sets, 20));
}

// The bundled sample of every text type decodes and, unchanged, encodes to the bytes it holds.
TEST(TextTypesSample, EveryTextChunkEncodesBackToItsOwnBytes) {
    CFile file(TALLYGLASS_EXAMPLES "/text-types.iff", CFile::modeRead);
    CIffFile iff;
    ASSERT_NE(iff.Attach(file), 0u);
    int error = 0;
    ASSERT_TRUE(iff.Open(&error, false));
    std::vector<std::string> seen;
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        ASSERT_NE(record, nullptr);
        if (!IsTextResourceType(record->type)) {
            continue;
        }
        CStringSet set;
        ASSERT_TRUE(set.Load(iff, handle)) << record->id;
        std::vector<uint8_t> encoded;
        ASSERT_TRUE(set.Encode(encoded));
        EXPECT_EQ(encoded, std::vector<uint8_t>(record->data, record->data + record->size))
            << ChunkTypeName(record->type) << " " << record->id;
        seen.push_back(ChunkTypeName(record->type) + " " + std::to_string(record->id) + " " +
                       std::to_string(static_cast<int>(set.GetLayout())));
    }
    // In chunk-list order (the map's, which groups the types).
    EXPECT_EQ(seen, (std::vector<std::string>{"STR# 128 1", "CTSS 2000 3", "CTSS 2001 4",
                                              "TTAs 128 3", "TTAs 2001 4"}));
}

}  // namespace
