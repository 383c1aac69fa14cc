// tallyglass-cli strings, run as the user runs it: the built program on files written in the test.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "framework/stream/FileException.h"
#include "iff/ChunkTypes.h"
#include "tests/cli/CliTest.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using nlohmann::json;

// bytes, in order: single bytes as numbers, texts as their characters.
Bytes Join(std::initializer_list<std::string> parts) {
    Bytes out;
    for (const std::string& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

std::string Z(std::string text) {
    return text.push_back('\0'), text;
}
std::string B(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) {
        out.push_back(static_cast<char>(b));
    }
    return out;
}

class StringsCommandTest : public testing::Test {
protected:
    void SetUp() override {
        IffBuilder builder;
        // Multilingual: English with CR LF and a windows-1252 quote, Japanese (Shift-JIS) and
        // Danish (code 8, kept in slot 16); 5 records, then 5 filler bytes.
        builder.Chunk(kTypeStrings, 128,
                      Join({B({0xFD, 0xFF, 5, 0}), B({1}), Z("It\x92s\r\nhere"), Z("d"), B({1}),
                            Z("Two"), Z(""), B({15}), Z("\x82\xA0"), Z(""), B({8}), Z("Hej"), Z(""),
                            B({8}), Z(""), Z("Da"), std::string(5, '\xA3')}),
                      "Caf\xE9");
        builder.Chunk(kTypeStrings, 129, Join({B({0, 0})}), "Empty layout");
        builder.Chunk(MakeChunkType('B', 'C', 'O', 'N'), 128, Join({B({1, 2})}), "Other");
        builder.Chunk(kTypeStrings, 130,
                      Join({B({0xFD, 0xFF, 2, 0, 1}), Z("A"), Z(""), B({0}), Z("B"), Z("")}),
                      "Bad code");
        builder.Chunk(kTypeStrings, 131, Join({B({0, 2, 3}), "abc", B({1}), "\\"}), "Basic");
        builder.Chunk(kTypeStrings, 132, {}, "No payload");
        builder.MapAtEnd();
        WriteBytes(m_path, builder.Build());
    }

    TempFolder m_folder;
    const std::string m_path = m_folder / "strings.iff";
};

TEST_F(StringsCommandTest, JsonHoldsEveryResourceInChunkListOrder) {
    const ProgramResult result = Cli({"strings", m_path, "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const json expected = json::parse(R"({
      "file": ")" + m_path + R"(",
      "resources": [
        {"type": "STR#", "id": 128, "name": "Café", "label": "#128: Café", "loaded": true,
         "layout": "multilingual", "entries": [
          {"index": 0, "slots": {
            "0": {"text": "It’s\r\nhere", "description": "d",
                  "text_hex": "497492730d0a68657265", "description_hex": "64"},
            "9": {"text": "あ", "description": "", "text_hex": "82a0", "description_hex": ""},
            "16": {"text": "Hej", "description": "", "text_hex": "48656a",
                   "description_hex": ""}}},
          {"index": 1, "slots": {
            "0": {"text": "Two", "description": "", "text_hex": "54776f",
                  "description_hex": ""},
            "16": {"text": "", "description": "Da", "text_hex": "",
                   "description_hex": "4461"}}}]},
        {"type": "STR#", "id": 129, "name": "Empty layout", "label": "#129: Empty layout", "loaded": true,
         "layout": "multilingual", "entries": []},
        {"type": "STR#", "id": 130, "name": "Bad code", "label": "#130: Bad code", "loaded": false,
         "error": "the payload is malformed; decoding stopped at a bad record",
         "layout": "multilingual", "entries": [
          {"index": 0, "slots": {"0": {"text": "A", "description": "", "text_hex": "41",
                                       "description_hex": ""}}}]},
        {"type": "STR#", "id": 131, "name": "Basic", "label": "#131: Basic", "loaded": true, "layout": "basic",
         "entries": [
          {"index": 0, "slots": {"0": {"text": "abc", "description": "", "text_hex": "616263",
                                       "description_hex": ""}}},
          {"index": 1, "slots": {"0": {"text": "\\", "description": "", "text_hex": "5c",
                                       "description_hex": ""}}}]},
        {"type": "STR#", "id": 132, "name": "No payload", "label": "#132: No payload", "loaded": false,
         "error": "the chunk has no payload", "layout": "multilingual", "entries": []}
      ]})");
    EXPECT_EQ(json::parse(result.out), expected);
}

TEST_F(StringsCommandTest, ListingShowsEscapedTextsAndFailures) {
    const ProgramResult result = Cli({"strings", m_path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out,
              "#128: Café\n"
              "  layout multilingual, 2 entries\n"
              "  #0     slot 0   It’s\\r\\nhere\n"
              "                  description: d\n"
              "  #0     slot 9   あ\n"
              "  #0     slot 16  Hej\n"
              "  #1     slot 0   Two\n"
              "  #1     slot 16  \n"
              "                  description: Da\n"
              "#129: Empty layout\n"
              "  layout multilingual, 0 entries\n"
              "#130: Bad code\n"
              "  not loaded: the payload is malformed; decoding stopped at a bad record\n"
              "  decoded before the failure: layout multilingual, 1 entries\n"
              "  #0     slot 0   A\n"
              "#131: Basic\n"
              "  layout basic, 2 entries\n"
              "  #0     slot 0   abc\n"
              "  #1     slot 0   \\\\\n"
              "#132: No payload\n"
              "  not loaded: the chunk has no payload\n");
}

TEST_F(StringsCommandTest, IdSelectsOneResource) {
    const ProgramResult one = Cli({"strings", m_path, "--id", "131", "--json"});
    ASSERT_EQ(one.exitCode, 0) << one.err;
    const json parsed = json::parse(one.out);
    ASSERT_EQ(parsed["resources"].size(), 1u);
    EXPECT_EQ(parsed["resources"][0]["id"], 131);

    const ProgramResult none = Cli({"strings", m_path, "--id", "7"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "tallyglass-cli: There is no STR# resource with the id 7.\n");
}

TEST(StringsCommandFailures, FilesThatDoNotOpenExitWith1AndTheReason) {
    TempFolder folder;
    const std::string notIff = folder / "not.iff";
    WriteBytes(notIff, Bytes(100, 'x'));
    IffBuilder future;
    future.Version("3.0").Chunk(kTypeStrings, 1, {0, 0});
    const std::string version = folder / "version.iff";
    WriteBytes(version, future.Build());
    const std::string missing = folder / "missing.iff";

    struct Row {
        std::string path;
        std::string err;
    };
    const Row rows[] = {
        {notIff, "tallyglass-cli: not.iff: This file is *not* an IFF file!\n"},
        {version,
         "tallyglass-cli: version.iff: The file version of the IFF file is not supported!\n"},
        {missing, "tallyglass-cli: " +
                      CFileException::MessageFor(CFileException::fileNotFound, missing) + "\n"},
    };
    for (const Row& row : rows) {
        const ProgramResult result = Cli({"strings", row.path, "--json"});
        EXPECT_EQ(result.exitCode, 1) << row.path;
        EXPECT_EQ(result.out, "") << row.path;
        EXPECT_EQ(result.err, row.err) << row.path;
    }
}

TEST(StringsCommandSample, ListsTheSamplesResourcesInChunkListOrder) {
    const ProgramResult result =
        Cli({"strings", std::string(TALLYGLASS_EXAMPLES) + "/sample.iff", "--json"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const json parsed = json::parse(result.out);
    std::vector<int> ids;
    for (const json& resource : parsed["resources"]) {
        ids.push_back(resource["id"]);
        EXPECT_TRUE(resource["loaded"]) << resource["label"];
    }
    EXPECT_EQ(ids, (std::vector<int>{128, 1000, 99, 300, 129, 2}));
}

}  // namespace
