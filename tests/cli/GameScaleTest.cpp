// A whole game's worth of files through gettext's own tools: catalogs of several files merged by
// msgcat and msguniq import into each file they name, a template filled from a compendium
// imports, archives are translated as wholes and written once, and the exit status and JSON
// tell a script what happened.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "exchange/PoCatalog.h"
#include "exchange/TranslationUnit.h"
#include "far/FarArchive.h"
#include "tests/cli/CliTest.h"
#include "tests/support/FarBuilder.h"
#include "tests/support/IffBytes.h"
#include "tests/support/RenameCounter.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

class GameScale : public CatalogCommandsTest {
protected:
    void SetUp() override {
        CatalogCommandsTest::SetUp();
        for (const char* tool : {TALLYGLASS_MSGMERGE, TALLYGLASS_MSGCAT, TALLYGLASS_MSGUNIQ,
                                 TALLYGLASS_MSGCONV, TALLYGLASS_MSGEN}) {
            if (std::string(tool).empty()) {
                GTEST_SKIP() << "gettext's tools not found";
            }
        }
    }
    static void Run(std::vector<std::string> args) {
        const ProgramResult result = RunProgram(args);
        ASSERT_EQ(result.exitCode, 0) << args.front() << ": " << result.err;
    }
    // Every translation made "E" for "e", untranslated ones filled with their source first.
    std::string Translated(const std::string& po) {
        const std::string filled = po + ".filled.po";
        const std::string out = po + ".translated.po";
        Run({TALLYGLASS_MSGEN, "-o", filled, po});
        Run({TALLYGLASS_MSGFILTER, "--keep-header", "-i", filled, "-o", out, "sed", "-e",
             "s/e/E/g"});
        return out;
    }
};

TEST_F(GameScale, CatalogsMergedByMsgcatOrMsguniqImportIntoEveryFileTheyName) {
    // Two files of equal texts and a third of others: a merged catalog names each place.
    Copy("sample.iff", "mod/a.iff");
    Copy("sample.iff", "mod/b.iff");
    Copy("text-types.iff", "mod/c.iff");
    const std::string out = dir / "po";
    ASSERT_EQ(Cli({"export", dir / "mod", "--lang", "fr", "-o", out}).exitCode, 0);
    for (const char* name : {"a.iff", "b.iff", "c.iff"}) {
        ExpectValidPo(out + "/fr/" + name + ".po");
    }
    // The texts that repeat within a file are one unit each.
    const std::vector<TranslationUnit> units = Units(out + "/fr/a.iff.po");
    ASSERT_FALSE(units.empty());
    const std::string merged = dir / "merged.po";
    Run({TALLYGLASS_MSGCAT, "-o", merged, out + "/fr/a.iff.po", out + "/fr/b.iff.po",
         out + "/fr/c.iff.po"});
    ExpectValidPo(merged);
    // msgcat joins equal texts of a.iff and b.iff: every unit of a.iff names b.iff too.
    for (const TranslationUnit& unit : Units(merged)) {
        if (!unit.references.empty() && unit.references.front().rfind("a.iff:", 0) == 0) {
            EXPECT_GE(unit.references.size(), 2u) << unit.source;
        }
    }
    const std::string translated = Translated(merged);
    const ProgramResult imported = Cli({"import", dir / "mod", "--from", translated});
    EXPECT_EQ(imported.exitCode, 0) << imported.out << imported.err;
    EXPECT_EQ(imported.out.find(" 0 applied"), std::string::npos) << imported.out;
    EXPECT_EQ(ReadBytes(dir / "mod/a.iff"), ReadBytes(dir / "mod/b.iff"));
    EXPECT_NE(ReadBytes(dir / "mod/a.iff"), ReadBytes(Sample("sample.iff")));
    EXPECT_NE(ReadBytes(dir / "mod/c.iff"), ReadBytes(Sample("text-types.iff")));

    // The same translation of a.iff alone gives the same bytes.
    Copy("sample.iff", "alone/a.iff");
    ASSERT_EQ(
        Cli({"import", dir / "alone/a.iff", "--from", Translated(out + "/fr/a.iff.po")}).exitCode,
        0);
    EXPECT_EQ(ReadBytes(dir / "alone/a.iff"), ReadBytes(dir / "mod/a.iff"));

    // Catalogs put end to end hold the same texts twice; msguniq makes them one catalog again.
    const std::string doubled = dir / "doubled.po";
    const std::string unique = dir / "unique.po";
    std::vector<uint8_t> joined = ReadBytes(out + "/fr/a.iff.po");
    const std::vector<uint8_t> second = ReadBytes(out + "/fr/b.iff.po");
    const std::string text(second.begin(), second.end());
    const size_t afterHeader = text.find("\n\n");  // one header in a catalog
    ASSERT_NE(afterHeader, std::string::npos);
    joined.insert(joined.end(), second.begin() + static_cast<std::ptrdiff_t>(afterHeader),
                  second.end());
    WriteBytes(doubled, joined);
    Run({TALLYGLASS_MSGUNIQ, "-o", unique, doubled});
    Copy("sample.iff", "uniq/a.iff");
    Copy("sample.iff", "uniq/b.iff");
    EXPECT_EQ(Cli({"import", dir / "uniq", "--from", Translated(unique)}).exitCode, 0);
    EXPECT_EQ(ReadBytes(dir / "uniq/a.iff"), ReadBytes(dir / "mod/a.iff"));
    EXPECT_EQ(ReadBytes(dir / "uniq/b.iff"), ReadBytes(dir / "mod/b.iff"));
}

TEST_F(GameScale, ATemplateFilledFromACompendiumImportsExactly) {
    const std::string a = Copy("sample.iff", "a.iff");
    const std::string b = Copy("sample.iff", "b.iff");
    ASSERT_EQ(Cli({"export", a, "--lang", "de", "-o", dir / "a.po"}).exitCode, 0);
    const std::string compendium = Translated(dir / "a.po");
    const ProgramResult templated = Cli({"export", b, "--template", "-o", dir / "b.pot"});
    ASSERT_EQ(templated.exitCode, 0) << templated.err;
    ExpectValidPo(dir / "b.pot");
    for (const TranslationUnit& unit : Units(dir / "b.pot")) {
        EXPECT_EQ(unit.target, "") << unit.source;
    }
    // msginit's way in: an empty catalog merged with the template, the compendium filling it.
    WriteBytes(dir / "empty.po", {});
    const std::string filled = dir / "b.po";
    Run({TALLYGLASS_MSGMERGE, "--quiet", "--no-fuzzy-matching", "--compendium", compendium, "-o",
         filled, dir / "empty.po", dir / "b.pot"});
    ExpectValidPo(filled);
    for (const TranslationUnit& unit : Units(filled)) {
        EXPECT_FALSE(unit.fuzzy) << unit.source;
    }
    const ProgramResult imported = Cli({"import", b, "--from", filled, "--lang", "German"});
    EXPECT_EQ(imported.exitCode, 0) << imported.out << imported.err;
    ASSERT_EQ(Cli({"import", a, "--from", compendium}).exitCode, 0);
    EXPECT_EQ(ReadBytes(b), ReadBytes(a));
}

TEST_F(GameScale, AnArchiveIsTranslatedAsAWholeAndWrittenOnce) {
    FarBuilder far;
    far.entries.push_back({"objects\\a.iff", ReadBytes(Sample("sample.iff"))});
    far.entries.push_back({"readme.txt", {'h', 'i'}});
    far.entries.push_back({"objects\\b.iff", ReadBytes(Sample("text-types.iff"))});
    const std::string archive = dir / "game/Objects.far";
    fs::create_directories(dir / "game");
    WriteBytes(archive, far.Build());
    // The same files loose, for comparison.
    Copy("sample.iff", "loose/objects/a.iff");
    Copy("text-types.iff", "loose/objects/b.iff");

    const ProgramResult exported = Cli({"export", dir / "game", "--lang", "fr", "-o", dir / "po"});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    ExpectValidPo(dir / "po/fr/Objects.far/objects/a.iff.po");
    ExpectValidPo(dir / "po/fr/Objects.far/objects/b.iff.po");
    const ProgramResult coverage = Cli({"coverage", archive, "--json"});
    ASSERT_EQ(coverage.exitCode, 0) << coverage.err;
    const nlohmann::json json = nlohmann::json::parse(coverage.out);
    ASSERT_EQ(json["files"].size(), 2u);
    EXPECT_EQ(json["files"][1]["file"], archive + "/objects/b.iff");

    ASSERT_EQ(Cli({"export", archive, "--lang", "fr", "--single", "-o", dir / "all.po"}).exitCode,
              0);
    const std::string translated = Translated(dir / "all.po");
    ProgramResult imported;
    EXPECT_EQ(RenamesInto(dir / "game", "Objects.far",
                          [&] {
                              imported = Cli({"import", archive, "--from", translated});
                          }),
              1u);
    EXPECT_EQ(imported.exitCode, 0) << imported.out << imported.err;

    // The entries hold what the same catalog gives the loose files; the rest is as it was.
    ASSERT_EQ(
        Cli({"export", dir / "loose", "--lang", "fr", "--single", "-o", dir / "loose.po"}).exitCode,
        0);
    ASSERT_EQ(Cli({"import", dir / "loose", "--from", Translated(dir / "loose.po")}).exitCode, 0);
    CFarArchive written;
    ASSERT_EQ(written.Load(ReadBytes(archive)), CFarArchive::Status::ok);
    ASSERT_EQ(written.GetEntries().size(), 3u);
    const auto entry = [&](size_t i) {
        const std::span<const uint8_t> bytes = written.EntryBytes(i);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };
    EXPECT_EQ(entry(0), ReadBytes(dir / "loose/objects/a.iff"));
    EXPECT_EQ(entry(1), (std::vector<uint8_t>{'h', 'i'}));
    EXPECT_EQ(entry(2), ReadBytes(dir / "loose/objects/b.iff"));
    EXPECT_NE(entry(0), ReadBytes(Sample("sample.iff")));
}

TEST_F(GameScale, ExitStatusAndJsonTellAScriptWhatHappened) {
    const std::string file = Copy("sample.iff", "a.iff");
    ASSERT_EQ(Cli({"export", file, "--lang", "fr", "--positional", "-o", dir / "a.po"}).exitCode,
              0);
    std::vector<TranslationUnit> units = Units(dir / "a.po");
    ASSERT_GE(units.size(), 2u);
    units[0].target = "Un";
    struct Row {
        const char* name;
        TranslationUnit extra;  // added to the one good unit
        int exitCode;
        const char* outcome;
    };
    TranslationUnit unknown = units[1];
    unknown.context = "STR#:9999:0";
    TranslationUnit outdated = units[1];
    outdated.source = "Changed since";
    outdated.target = "Chang\xC3\xA9";
    TranslationUnit untranslated = units[1];
    untranslated.target.clear();
    const Row rows[] = {{"clean", untranslated, 0, "untranslated"},
                        {"unknown", unknown, 1, "unknown"},
                        {"outdated", outdated, 1, "outdated"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string error;
        ASSERT_TRUE(WritePoCatalog(dir / "t.po", {"fr", "en_US"}, {units[0], row.extra}, error));
        const ProgramResult result =
            Cli({"import", file, "--from", dir / "t.po", "--json", "-o", dir / "out.iff"});
        EXPECT_EQ(result.exitCode, row.exitCode) << result.out << result.err;
        const nlohmann::json json = nlohmann::json::parse(result.out);
        ASSERT_EQ(json["files"].size(), 1u);
        EXPECT_EQ(json["files"][0]["counts"]["applied"], 1);
        EXPECT_EQ(json["files"][0]["counts"][row.outcome], 1);
        EXPECT_TRUE(json["files"][0]["written"].get<bool>());
    }
    // A dry run says so on every line and shows each change; nothing is written.
    const ProgramResult dry = Cli({"import", file, "--from", dir / "t.po", "--dry-run", "--diff"});
    EXPECT_EQ(dry.exitCode, 1);
    size_t lines = 0;
    for (size_t start = 0, end; (end = dry.out.find('\n', start)) != std::string::npos;
         start = end + 1, ++lines) {
        EXPECT_NE(dry.out.substr(start, end - start).find("(dry run) "), std::string::npos);
    }
    EXPECT_EQ(lines, 3u) << dry.out;  // the counts, the outdated unit, the change
    EXPECT_NE(dry.out.find("\" -> \"Un\""), std::string::npos) << dry.out;
    EXPECT_EQ(ReadBytes(file), ReadBytes(Sample("sample.iff")));

    // A folder without game files did nothing: that is no success.
    fs::create_directories(dir / "empty");
    const ProgramResult none = Cli({"coverage", dir / "empty"});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no game files"), std::string::npos) << none.err;
}

// Coverage counts what export takes, by the same rule, and what it leaves out as export does.
TEST_F(GameScale, CoverageCountsWhatExportTakes) {
    // US English texts in the multilingual layout (FD FF).
    const auto english = [](const std::vector<std::string>& texts) {
        std::vector<uint8_t> out = {0xFD, 0xFF, static_cast<uint8_t>(texts.size()), 0};
        for (const std::string& text : texts) {
            out.push_back(1);
            out.insert(out.end(), text.begin(), text.end());
            out.insert(out.end(), {0, 0});
        }
        return out;
    };
    const std::string file = dir / "o.iff";
    WriteBytes(file, MakeIffFile({MakeChunk("OBJD", 128, std::vector<uint8_t>(8, 0)),
                                  MakeChunk("STR#", 128, english({"Chair", "42", "...", "Sit"})),
                                  MakeChunk("STR#", 129, english({"sit_loop"})),
                                  MakeChunk("STR#", 140, english({"a2o-stand"}), "Animations"),
                                  MakeChunk("STR#", 200, MakePlainPayload({"Plain"}))}));
    struct Row {
        const char* all;
        size_t units, engine, noLetter, noLanguage;
        const char* line;
    };
    const Row rows[] = {
        {"", 2, 2, 2, 1,
         "left out: 2 resources of engine names, 2 texts without a letter (--all counts both), 1 "
         "resources without languages\n"},
        {"--all", 6, 0, 0, 1,
         "left out: 0 resources of engine names, 0 texts without a letter (--all counts both), 1 "
         "resources without languages\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.all);
        std::vector<std::string> args = {"coverage", file, "--json"};
        std::vector<std::string> exportArgs = {"export",       file, "--lang",    "fr",
                                               "--positional", "-o", dir / "o.po"};
        if (*row.all != '\0') {
            args.push_back(row.all);
            exportArgs.push_back(row.all);
        }
        const ProgramResult coverage = Cli(args);
        ASSERT_EQ(coverage.exitCode, 0) << coverage.err;
        const nlohmann::json json = nlohmann::json::parse(coverage.out);
        ASSERT_EQ(json["files"].size(), 1u);
        EXPECT_EQ(json["files"][0]["units"], row.units);
        EXPECT_EQ(json["files"][0]["languages"][1]["empty"], row.units);  // French
        for (const nlohmann::json& leftOut : {json["files"][0]["leftOut"], json["leftOut"]}) {
            EXPECT_EQ(leftOut["engineResources"], row.engine);
            EXPECT_EQ(leftOut["noLetterTexts"], row.noLetter);
            EXPECT_EQ(leftOut["noLanguageResources"], row.noLanguage);
        }
        ASSERT_EQ(Cli(exportArgs).exitCode, 0);
        EXPECT_EQ(Units(dir / "o.po").size(), row.units);
        args.erase(args.begin() + 2);  // without --json: the same line as export's
        const std::string out = Cli(args).out;
        ASSERT_NE(out.find("left out:"), std::string::npos) << out;
        EXPECT_EQ(out.substr(out.find("left out:")), row.line);
    }
}

TEST_F(GameScale, ALegacyCharsetCatalogAndLocaleCodesAreRead) {
    const std::string file = Copy("sample.iff", "a.iff");
    const std::string expected = Copy("sample.iff", "b.iff");
    ASSERT_EQ(Cli({"export", file, "--lang", "fr", "-o", dir / "a.po"}).exitCode, 0);
    const std::string translated = Translated(dir / "a.po");
    const std::string latin1 = dir / "latin1.po";
    Run({TALLYGLASS_MSGFILTER, "--keep-header", "-i", translated, "-o", dir / "accents.po", "sed",
         "-e", "s/E/\xC3\xA9/g"});
    Run({TALLYGLASS_MSGCONV, "--to-code=ISO-8859-1", "-o", latin1, dir / "accents.po"});
    const ProgramResult legacy = Cli({"import", file, "--from", latin1, "--lang", "fr"});
    EXPECT_EQ(legacy.exitCode, 0) << legacy.out << legacy.err;
    const ProgramResult utf8 =
        Cli({"import", expected, "--from", dir / "accents.po", "--lang", "French"});
    EXPECT_EQ(utf8.exitCode, 0) << utf8.out << utf8.err;
    EXPECT_EQ(ReadBytes(file), ReadBytes(expected));
    EXPECT_NE(ReadBytes(file), ReadBytes(Sample("sample.iff")));
    EXPECT_EQ(Cli({"export", file, "--lang", "zh_CN", "-o", dir / "zh.po"}).exitCode, 0);
    EXPECT_EQ(Cli({"export", file, "--lang", "pt_BR", "-o", dir / "pt.po"}).exitCode, 0);
}

}  // namespace
