// CSV fields through every quoting case, malformed tables, catalogs written and read back, and
// the locale codes of the language slots.

#include "exchange/CsvCatalog.h"
#include "exchange/CsvTable.h"
#include "exchange/Locales.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "strings/Languages.h"
#include "tests/support/TempFolder.h"

namespace {

struct QuotingRow {
    const char* name;
    CsvRecord fields;
    std::string line;
};

class CsvQuoting : public testing::TestWithParam<QuotingRow> {};

TEST_P(CsvQuoting, WritesTheLineAndReadsTheFieldsBack) {
    const QuotingRow& row = GetParam();
    EXPECT_EQ(FormatCsvRecord(row.fields), row.line);
    std::vector<CsvRecord> records;
    std::string error;
    ASSERT_TRUE(ParseCsv(row.line + row.line, records, error)) << error;
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], row.fields);
    EXPECT_EQ(records[1], row.fields);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, CsvQuoting,
    testing::Values(QuotingRow{"plain", {"a", "b c"}, "a,b c\r\n"},
                    QuotingRow{"empty", {"", "", ""}, ",,\r\n"},
                    QuotingRow{"comma", {"a,b", "c"}, "\"a,b\",c\r\n"},
                    QuotingRow{"quote", {"say \"hi\""}, "\"say \"\"hi\"\"\"\r\n"},
                    QuotingRow{"only_quotes", {"\"\""}, "\"\"\"\"\"\"\r\n"},
                    QuotingRow{"lf", {"one\ntwo", "x"}, "\"one\ntwo\",x\r\n"},
                    QuotingRow{"crlf", {"one\r\ntwo"}, "\"one\r\ntwo\"\r\n"},
                    QuotingRow{"lone_cr", {"a\rb"}, "\"a\rb\"\r\n"},
                    QuotingRow{"edge_spaces", {" a", "b "}, "\" a\",\"b \"\r\n"},
                    QuotingRow{"utf8",
                               {"\xC5\x82\xC3\xB3"
                                "d\xC5\xBA",
                                "\xE6\xA4\x85\xE5\xAD\x90"},
                               "\xC5\x82\xC3\xB3"
                               "d\xC5\xBA,\xE6\xA4\x85\xE5\xAD\x90\r\n"},
                    QuotingRow{"last_empty_quoted_next", {"x", ""}, "x,\r\n"}),
    [](const testing::TestParamInfo<QuotingRow>& info) { return std::string(info.param.name); });

TEST(CsvParse, AcceptsWhatSpreadsheetsWrite) {
    std::vector<CsvRecord> records;
    std::string error;
    // A byte order mark, LF and lone CR line ends, a blank line, no line break at the end.
    ASSERT_TRUE(
        ParseCsv("\xEF\xBB\xBF"
                 "a,b\n\n\"c\",d\re,\"f\"",
                 records, error))
        << error;
    EXPECT_EQ(records, (std::vector<CsvRecord>{{"a", "b"}, {"c", "d"}, {"e", "f"}}));
}

TEST(CsvParse, RefusesMalformedTablesNamingTheLine) {
    const struct {
        const char* text;
        const char* error;
    } rows[] = {
        {"a,b\nc\"d\n", "line 2: a quote inside a field that does not begin with one"},
        {"a\n\"b\"c\n", "line 2: text after the closing quote of a field"},
        {"a\n\"b\nc\n", "line 2: a quoted field is not closed"},
    };
    for (const auto& row : rows) {
        std::vector<CsvRecord> records = {{"kept"}};
        std::string error;
        EXPECT_FALSE(ParseCsv(row.text, records, error)) << row.text;
        EXPECT_EQ(error, row.error);
        EXPECT_EQ(records, std::vector<CsvRecord>{{"kept"}});
    }
}

TEST(CsvCatalog, UnitsRoundTripWithTheirFlagsAndComments) {
    TempFolder dir;
    std::vector<TranslationUnit> units(2);
    units[0] = {"CTSS:2000:1",
                {"Chair.iff:CTSS:2000:1"},
                "Sit, \"now\"\nplease",
                "Assieds-toi",
                "An order",
                "checked",
                true};
    units[1] = {"STR#:1:0", {"Chair.iff:STR#:1:0"}, "Chair", "", "", "", false};
    std::string error;
    ASSERT_TRUE(WriteCsvCatalog(dir / "fr.csv", units, error)) << error;
    std::vector<TranslationUnit> read;
    ASSERT_TRUE(ReadCsvCatalog(dir / "fr.csv", read, error)) << error;
    ASSERT_EQ(read.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(read[i].context, units[i].context);
        EXPECT_EQ(read[i].references, units[i].references);
        EXPECT_EQ(read[i].source, units[i].source);
        EXPECT_EQ(read[i].target, units[i].target);
        EXPECT_EQ(read[i].comment, units[i].comment);
        EXPECT_EQ(read[i].translatorComment, units[i].translatorComment);
        EXPECT_EQ(read[i].fuzzy, units[i].fuzzy);
    }
    const std::vector<uint8_t> bytes = ReadBytes(dir / "fr.csv");
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 20), "location,source,targ");
}

TEST(CsvCatalog, ReadsColumnsInAnyOrderAndRefusesTablesWithoutThem) {
    TempFolder dir;
    const std::string text = "target,context,source\r\nChaise,STR#:1:0,Chair\r\n";
    WriteBytes(dir / "a.csv", {text.begin(), text.end()});
    std::vector<TranslationUnit> units;
    std::string error;
    ASSERT_TRUE(ReadCsvCatalog(dir / "a.csv", units, error)) << error;
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(units[0].context, "STR#:1:0");
    EXPECT_EQ(units[0].target, "Chaise");

    const std::string noSource = "target,context\r\nChaise,STR#:1:0\r\n";
    WriteBytes(dir / "b.csv", {noSource.begin(), noSource.end()});
    EXPECT_FALSE(ReadCsvCatalog(dir / "b.csv", units, error));
    EXPECT_NE(error.find("source, target and context"), std::string::npos) << error;
    WriteBytes(dir / "c.csv", {'s', 'o', 0xFF, '\n'});
    EXPECT_FALSE(ReadCsvCatalog(dir / "c.csv", units, error));
    EXPECT_NE(error.find("not UTF-8"), std::string::npos) << error;
}

TEST(Locales, EverySlotsCodeNamesItAndToolsVariantsAreUnderstood) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        ASSERT_NE(LocaleOfSlot(slot), nullptr);
        EXPECT_EQ(SlotOfLocale(LocaleOfSlot(slot)), slot) << LocaleOfSlot(slot);
    }
    EXPECT_EQ(SlotOfLocale("fr_CA"), 2);
    EXPECT_EQ(SlotOfLocale("pt-BR"), 8);
    EXPECT_EQ(SlotOfLocale("zh_Hant"), 12);
    EXPECT_EQ(SlotOfLocale("zh-Hans"), 11);
    EXPECT_EQ(SlotOfLocale("en"), 0);
    EXPECT_EQ(SlotOfLocale("en_GB"), 1);
    EXPECT_EQ(SlotOfLocale("no"), 17);
    EXPECT_EQ(SlotOfLocale("de_DE.UTF-8"), 3);
    EXPECT_EQ(SlotOfLocale("zh"), -1);
    EXPECT_EQ(SlotOfLocale("tlh"), -1);
    EXPECT_EQ(SlotOfLocale(""), -1);
    EXPECT_EQ(LocaleOfSlot(kSlotCount), nullptr);
}

}  // namespace
