// Catalogs as sets of places: which places a unit names, how a catalog of many files is routed,
// how units of equal source text share one, the names catalogs are written under, and CSV as
// spreadsheets and translation tools write it.

#include "exchange/Catalog.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "exchange/CsvCatalog.h"
#include "exchange/CsvTable.h"
#include "iff/ChunkTypes.h"
#include "tests/support/TempFolder.h"

namespace {

TranslationUnit Unit(std::string context, std::vector<std::string> references,
                     std::string source = "Sit", std::string target = "S'asseoir") {
    TranslationUnit unit;
    unit.context = std::move(context);
    unit.references = std::move(references);
    unit.source = std::move(source);
    unit.target = std::move(target);
    return unit;
}

std::vector<std::string> Places(const std::vector<UnitPlace>& places) {
    std::vector<std::string> out;
    for (const UnitPlace& place : places) {
        out.push_back(FormatPlace(place));
    }
    return out;
}

struct PlacesRow {
    const char* name;
    TranslationUnit unit;
    std::vector<std::string> places;
};

class UnitPlaces : public testing::TestWithParam<PlacesRow> {};

TEST_P(UnitPlaces, AreTheKeyOrEveryReference) {
    EXPECT_EQ(Places(PlacesOfUnit(GetParam().unit)), GetParam().places);
}

INSTANTIATE_TEST_SUITE_P(
    Units, UnitPlaces,
    testing::Values(
        PlacesRow{
            "key_with_file", Unit("a.iff:STR#:128:0", {"b.iff:STR#:128:0"}), {"a.iff:STR#:128:0"}},
        PlacesRow{"key_in_each_referenced_file",
                  Unit("STR#:128:0", {"a.iff:STR#:128:0", "x.far/b.iff:STR#:128:0"}),
                  {"a.iff:STR#:128:0", "x.far/b.iff:STR#:128:0"}},
        PlacesRow{"key_without_references", Unit("CTSS:2000:1", {}), {"CTSS:2000:1"}},
        // msgcat joins the references of equal texts of two files into one unit.
        PlacesRow{"merged_references",
                  Unit("", {"A.iff:STR#:129:0", "B.iff:STR#:129:0", "A.iff:STR#:129:0",
                            "A.iff:TTAs:1:2:description"}),
                  {"A.iff:STR#:129:0", "B.iff:STR#:129:0", "A.iff:TTAs:1:2:description"}},
        PlacesRow{"context_that_is_no_key", Unit("menu", {"a.iff:STR#:128:0"}), {}},
        PlacesRow{"reference_that_is_no_key", Unit("", {"src/main.c:12"}), {}}),
    [](const testing::TestParamInfo<PlacesRow>& info) { return std::string(info.param.name); });

struct RouteRow {
    const char* name;
    std::vector<TranslationUnit> units;
    std::vector<std::string> files;
    std::vector<std::vector<std::string>> routed;  // per file: the routed units' references
    size_t unknown;
};

class Routing : public testing::TestWithParam<RouteRow> {};

TEST_P(Routing, SendsEachPlaceToItsFile) {
    const RouteRow& row = GetParam();
    const RoutedUnits routed = RouteUnits(row.units, row.files);
    ASSERT_EQ(routed.byFile.size(), row.files.size());
    for (size_t i = 0; i < row.files.size(); ++i) {
        std::vector<std::string> references;
        for (const TranslationUnit& unit : routed.byFile[i]) {
            ASSERT_EQ(unit.references.size(), 1u);
            references.push_back(unit.references.front());
            // The plan sees the place's key alone, whatever the catalog's shape.
            std::string file;
            EXPECT_TRUE(ParseUnitKey(unit.context, &file));
            EXPECT_EQ(file, "");
        }
        EXPECT_EQ(references, row.routed[i]) << row.files[i];
    }
    EXPECT_EQ(routed.elsewhere.Count(UnitOutcome::unknown), row.unknown);
}

INSTANTIATE_TEST_SUITE_P(
    Catalogs, Routing,
    testing::Values(
        RouteRow{"merged_into_both",
                 {Unit("", {"A.iff:STR#:129:0", "B.iff:STR#:129:0"})},
                 {"A.iff", "B.iff"},
                 {{"A.iff:STR#:129:0"}, {"B.iff:STR#:129:0"}},
                 0},
        RouteRow{"one_file_of_a_merged_catalog",
                 {Unit("", {"A.iff:STR#:129:0", "B.iff:STR#:129:0"})},
                 {"B.iff"},
                 {{"B.iff:STR#:129:0"}},
                 0},
        RouteRow{"renamed_file",
                 {Unit("STR#:128:3", {"old.iff:STR#:128:3"})},
                 {"new.iff"},
                 {{"new.iff:STR#:128:3"}},
                 0},
        RouteRow{"keyed_by_another_file", {Unit("x.iff:STR#:128:3", {})}, {"new.iff"}, {{}}, 1},
        RouteRow{"archive_entries",
                 {Unit("", {"O.far/a.iff:CTSS:1:0", "O.far/b.iff:CTSS:1:0", "c.iff:CTSS:1:0"})},
                 {"O.far/a.iff", "O.far/b.iff"},
                 {{"O.far/a.iff:CTSS:1:0"}, {"O.far/b.iff:CTSS:1:0"}},
                 0},
        RouteRow{"no_place_at_all", {Unit("", {})}, {"a.iff", "b.iff"}, {{}, {}}, 1}),
    [](const testing::TestParamInfo<RouteRow>& info) { return std::string(info.param.name); });

TEST(ShareUnits, EqualTextsShareAUnitUnlessTheirTranslationsDiffer) {
    std::vector<TranslationUnit> units = {
        Unit("STR#:128:0", {"a.iff:STR#:128:0"}, "Sit", ""),
        Unit("STR#:128:1", {"a.iff:STR#:128:1"}, "Eat", "Manger"),
        Unit("STR#:128:0", {"b.iff:STR#:128:0"}, "Sit", ""),
        Unit("STR#:128:2", {"a.iff:STR#:128:2"}, "Eat", "Bouffer"),
    };
    units[0].comment = "chair";
    units[2].comment = "sofa";
    const std::vector<TranslationUnit> shared = ShareUnits(units);
    ASSERT_EQ(shared.size(), 3u);
    EXPECT_EQ(shared[0].context, "");
    EXPECT_EQ(shared[0].references,
              (std::vector<std::string>{"a.iff:STR#:128:0", "b.iff:STR#:128:0"}));
    EXPECT_EQ(shared[0].comment, "chair\nsofa");
    // Two translations of one text: each keeps its place as its key, so neither is lost.
    EXPECT_EQ(shared[1].context, "STR#:128:1");
    EXPECT_EQ(shared[1].target, "Manger");
    EXPECT_EQ(shared[2].context, "STR#:128:2");
    EXPECT_EQ(shared[2].target, "Bouffer");
}

TEST(CatalogNames, AreWhatEverySystemCanCreate) {
    EXPECT_EQ(EntryCatalogName("Objects.far", "objects\\chair.iff"),
              "Objects.far/objects/chair.iff");
    const std::pair<const char*, const char*> rows[] = {
        {"Objects.far/objects/chair.iff", "Objects.far/objects/chair.iff"},
        {"a:b*c?.iff", "a_b_c_.iff"},
        {"x/../y/./z.iff", "x/__/y/_/z.iff"},
        {"tab\there<>|\".iff", "tab_here____.iff"},
        {"/abs//double/", "abs/double"},
    };
    for (const auto& [name, path] : rows) {
        EXPECT_EQ(PortableCatalogPath(name), path) << name;
    }
}

TEST(CatalogFormat, FollowsTheExtension) {
    EXPECT_EQ(CatalogFormatOf("a/b.CSV"), CatalogFormat::csv);
    EXPECT_EQ(CatalogFormatOf("b.po"), CatalogFormat::po);
    EXPECT_EQ(CatalogFormatOf("b.pot"), CatalogFormat::po);
}

class CsvFiles : public testing::Test {
protected:
    std::string Write(const std::string& text) {
        const std::string path = dir / "t.csv";
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    TempFolder dir;
};

TEST_F(CsvFiles, CellsASpreadsheetWouldRunAreGuardedAndComeBackExactly) {
    const std::string texts[] = {"=HYPERLINK(\"x\")", "+1",   "-2",     "@me",   "\tx", "\rx",
                                 "'=already",         "''+x", "'plain", "plain", "a=b", ""};
    std::vector<TranslationUnit> units;
    for (const std::string& text : texts) {
        units.push_back(Unit("STR#:1:" + std::to_string(units.size()), {}, "s", text));
    }
    const std::string path = dir / "g.csv";
    std::string error;
    ASSERT_TRUE(WriteCsvCatalog(path, units, error)) << error;
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), {});
    std::vector<CsvRecord> records;
    ASSERT_TRUE(ParseCsv(written, records, error)) << error;
    ASSERT_EQ(records.size(), units.size() + 1);
    for (size_t i = 0; i < units.size(); ++i) {
        const std::string& cell = records[i + 1][2];
        const bool runs =
            !cell.empty() && std::string("=+-@\t\r").find(cell[0]) != std::string::npos;
        EXPECT_FALSE(runs) << cell;
    }
    std::vector<TranslationUnit> read;
    ASSERT_TRUE(ReadCsvCatalog(path, read, error)) << error;
    ASSERT_EQ(read.size(), units.size());
    for (size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(read[i].target, units[i].target == "\rx" ? "\nx" : units[i].target);
    }
}

TEST_F(CsvFiles, DelimitersAndPo2csvColumnsAreReadDuplicateKeysRefused) {
    struct Row {
        const char* name;
        std::string text;
        std::string context;  // of the first unit; "!" for a refused file
        std::vector<std::string> references;
    };
    const Row rows[] = {
        {"semicolons", "context;source;target\r\nSTR#:1:0;a,b;x\r\n", "STR#:1:0", {}},
        {"tabs", "context\tsource\ttarget\nSTR#:1:0\ta;b\tx\n", "STR#:1:0", {}},
        {"po2csv",
         "\"location\",\"source\",\"target\",\"id\",\"fuzzy\",\"context\"\n"
         "\"a.iff:STR#:1:0 b.iff:STR#:1:0\",\"Sit\",\"x\",\"Sit\",\"False\",\"\"\n",
         "",
         {"a.iff:STR#:1:0", "b.iff:STR#:1:0"}},
        {"po2csv_id_with_context",
         "location,source,target,id\n,Sit,x,STR#:1:0\x04Sit\n",
         "STR#:1:0",
         {}},
        {"duplicate_key", "context,source,target\nSTR#:1:0,a,x\nSTR#:1:0,a,y\n", "!", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<TranslationUnit> units;
        std::string error;
        const bool read = ReadCsvCatalog(Write(row.text), units, error);
        if (std::string(row.context) == "!") {
            EXPECT_FALSE(read);
            EXPECT_NE(error.find("rows 2 and 3 have the same key"), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        ASSERT_EQ(units.size(), 1u);
        EXPECT_EQ(units[0].context, row.context);
        EXPECT_EQ(units[0].target, "x");
        EXPECT_EQ(units[0].references, row.references);
    }
}

}  // namespace
