// tallyglass-cli export, import and coverage on the sample files: an untouched export imports
// without changing a byte, a translated one gives the bytes of the same edits made with set, a
// refused import writes nothing, and a folder with a damaged file goes on past it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "exchange/PoCatalog.h"
#include "exchange/TranslationUnit.h"
#include "strings/TextResources.h"
#include "tests/cli/CliTest.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

class ExchangeCommands : public CatalogCommandsTest {
protected:
    // Every translation of the catalog with "e" made "E", through msgfilter.
    std::string Filtered(const std::string& po) {
        const std::string out = po + ".edited.po";
        const ProgramResult filter = RunProgram(
            {TALLYGLASS_MSGFILTER, "--keep-header", "-i", po, "-o", out, "sed", "-e", "s/e/E/g"});
        EXPECT_EQ(filter.exitCode, 0) << filter.err;
        return out;
    }
};

TEST_F(ExchangeCommands, AnUntouchedExportImportsWithoutChangingAByte) {
    for (const char* sample : {"sample.iff", "text-types.iff"}) {
        for (const char* lang : {"French", "Japanese", "Polish", "Traditional Chinese", "Thai",
                                 "Korean", "Russian", "UKEnglish"}) {
            for (const char* format : {"po", "csv"}) {
                SCOPED_TRACE(std::string(sample) + " " + lang + " " + format);
                const std::string file = Copy(sample, "work.iff");
                const std::string catalog = dir / (std::string("out.") + format);
                const ProgramResult exported =
                    Cli({"export", file, "--lang", lang, "--format", format, "-o", catalog});
                ASSERT_EQ(exported.exitCode, 0) << exported.err;
                EXPECT_EQ(exported.err, "");
                if (std::string(format) == "po") {
                    ExpectValidPo(catalog);
                }
                const ProgramResult imported =
                    Cli({"import", file, "--from", catalog, "--lang", lang});
                ASSERT_EQ(imported.exitCode, 0) << imported.err;
                EXPECT_NE(imported.out.find(" 0 applied,"), std::string::npos) << imported.out;
                EXPECT_EQ(ReadBytes(file), ReadBytes(Sample(sample)));
            }
        }
    }
}

TEST_F(ExchangeCommands, ATranslatedExportGivesTheBytesOfTheSameEditsMadeWithSet) {
    for (const char* sample : {"sample.iff", "text-types.iff"}) {
        for (const char* lang : {"French", "German", "Japanese", "Polish"}) {
            SCOPED_TRACE(std::string(sample) + " " + lang);
            const std::string imported = Copy(sample, "imported.iff");
            const std::string set = Copy(sample, "set.iff");
            const std::string po = dir / "out.po";
            ASSERT_EQ(Cli({"export", imported, "--lang", lang, "--descriptions", "--positional",
                           "-o", po})
                          .exitCode,
                      0);
            const std::string edited = Filtered(po);
            ExpectValidPo(edited);
            const std::vector<TranslationUnit> before = Units(po);
            const std::vector<TranslationUnit> after = Units(edited);
            ASSERT_EQ(before.size(), after.size());

            const ProgramResult result = Cli({"import", imported, "--from", edited});
            ASSERT_EQ(result.exitCode, 0) << result.err << result.out;
            size_t edits = 0;
            for (size_t i = 0; i < after.size(); ++i) {
                if (after[i].target.empty() || after[i].target == before[i].target) {
                    continue;
                }
                std::string file;
                const std::optional<UnitKey> key = ParseUnitKey(after[i].context, &file);
                ASSERT_TRUE(key) << after[i].context;
                const ProgramResult done =
                    Cli({"set", set, "--type", ChunkTypeName(key->type), "--id",
                         std::to_string(key->id), "--entry", std::to_string(key->entry), "--lang",
                         lang, (key->part == 0 ? "--text=" : "--desc=") + after[i].target});
                ASSERT_EQ(done.exitCode, 0) << done.err;
                ++edits;
            }
            EXPECT_NE(result.out.find(" " + std::to_string(edits) + " applied,"), std::string::npos)
                << result.out;
            EXPECT_EQ(ReadBytes(imported), ReadBytes(set));
            if (edits > 0) {
                EXPECT_NE(ReadBytes(imported), ReadBytes(Sample(sample)));
            }
        }
    }
}

TEST_F(ExchangeCommands, ARefusedImportWritesNothing) {
    const std::string file = Copy("sample.iff", "work.iff");
    const std::string po = dir / "fr.po";
    ASSERT_EQ(Cli({"export", file, "--lang", "French", "--positional", "--all", "-o", po}).exitCode,
              0);
    // One translation with a character French text cannot hold, one that it can.
    std::vector<TranslationUnit> units = Units(po);
    ASSERT_GE(units.size(), 3u);
    units[0].target = "Fotel \xC5\x82";
    units[2].target = "Joyeux";
    std::string error;
    ASSERT_TRUE(WritePoCatalog(po, {"fr", "en_US"}, units, error)) << error;

    const std::string output = dir / "out.iff";
    const ProgramResult refused = Cli({"import", file, "--from", po, "-o", output});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(
        refused.out.find("refused: " + units[0].context +
                         ": \xE2\x80\x9C\xC5\x82\xE2\x80\x9D cannot be stored in French text"),
        std::string::npos)
        << refused.out;
    EXPECT_NE(refused.err.find("the import is refused; nothing was written."), std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(Cli({"import", file, "--from", po}).exitCode, 1);
    EXPECT_EQ(ReadBytes(file), ReadBytes(Sample("sample.iff")));

    // The others are written; the skipped one still tells a script that not all went in.
    const ProgramResult skipped = Cli({"import", file, "--from", po, "--skip-unencodable"});
    EXPECT_EQ(skipped.exitCode, 1) << skipped.err;
    EXPECT_NE(skipped.out.find("1 applied,"), std::string::npos) << skipped.out;
    EXPECT_NE(ReadBytes(file), ReadBytes(Sample("sample.iff")));
}

TEST_F(ExchangeCommands, AFolderWithADamagedFileGoesOnPastIt) {
    const std::string folder = dir / "objects";
    Copy("sample.iff", "objects/a.iff");
    Copy("text-types.iff", "objects/sub dir/b.IFF");
    const std::string damaged = "IFF FILE 2.5:TYPE FOLLOWED BY SIZE";  // the header cut short
    WriteBytes(dir / "objects/c.iff", {damaged.begin(), damaged.end()});
    WriteBytes(dir / "objects/notes.txt", {'x'});

    const ProgramResult exported = Cli({"export", folder, "--lang", "German", "-o", dir / "po"});
    EXPECT_EQ(exported.exitCode, 1);
    EXPECT_NE(exported.err.find("c.iff"), std::string::npos) << exported.err;
    EXPECT_TRUE(fs::exists(dir / "po/de/a.iff.po"));
    EXPECT_TRUE(fs::exists(dir / "po/de/sub dir/b.IFF.po"));
    EXPECT_FALSE(fs::exists(dir / "po/de/c.iff.po"));
    EXPECT_FALSE(fs::exists(dir / "po/de/notes.txt.po"));

    // One catalog for the folder, keyed by file; edited, it goes back into each file.
    const std::string single = dir / "all.po";
    EXPECT_EQ(Cli({"export", folder, "--lang", "German", "--single", "-o", single}).exitCode, 1);
    ExpectValidPo(single);
    const std::vector<TranslationUnit> units = Units(single);
    ASSERT_FALSE(units.empty());
    EXPECT_EQ(units.front().references.front().rfind("a.iff:STR#:", 0), 0u);
    EXPECT_EQ(units.back().references.back().rfind("sub dir/b.IFF:", 0), 0u);
    const std::string edited = Filtered(single);
    const ProgramResult imported = Cli({"import", folder, "--from", edited});
    EXPECT_EQ(imported.exitCode, 1);
    EXPECT_NE(imported.out.find("a.iff: "), std::string::npos) << imported.out;
    EXPECT_NE(imported.out.find("sub dir/b.IFF: "), std::string::npos) << imported.out;
    EXPECT_NE(ReadBytes(dir / "objects/a.iff"), ReadBytes(Sample("sample.iff")));
    EXPECT_NE(ReadBytes(dir / "objects/sub dir/b.IFF"), ReadBytes(Sample("text-types.iff")));

    // The per-file catalogs, matched by their references, give the same files.
    const std::string again = dir / "again";
    Copy("sample.iff", "again/a.iff");
    Copy("text-types.iff", "again/sub dir/b.IFF");
    EXPECT_EQ(Cli({"import", again, "--from", Filtered(dir / "po/de/a.iff.po")}).exitCode, 0);
    EXPECT_EQ(Cli({"import", again, "--from", Filtered(dir / "po/de/sub dir/b.IFF.po")}).exitCode,
              0);
    EXPECT_EQ(ReadBytes(again + "/a.iff"), ReadBytes(dir / "objects/a.iff"));
    EXPECT_EQ(ReadBytes(again + "/sub dir/b.IFF"), ReadBytes(dir / "objects/sub dir/b.IFF"));

    const ProgramResult coverage = Cli({"coverage", folder, "--json"});
    EXPECT_EQ(coverage.exitCode, 1);
    const nlohmann::json json = nlohmann::json::parse(coverage.out);
    ASSERT_EQ(json["files"].size(), 2u);
    EXPECT_EQ(json["files"][0]["languages"][2]["language"], "German");
    EXPECT_GT(json["files"][0]["languages"][2]["translated"].get<int>(), 0);
}

TEST_F(ExchangeCommands, BadArgumentsAndCatalogsAreRefused) {
    const std::string file = Copy("sample.iff", "work.iff");
    EXPECT_EQ(Cli({"export", file, "--lang", "Klingon", "-o", dir / "x.po"}).exitCode, 2);
    EXPECT_EQ(Cli({"export", file, "--lang", "USEnglish", "-o", dir / "x.po"}).exitCode, 2);
    EXPECT_EQ(
        Cli({"export", file, "--lang", "French", "--format", "xml", "-o", dir / "x.po"}).exitCode,
        2);
    const std::string bare = "msgctxt \"STR#:128:0\"\nmsgid \"Comfy Armchair\"\nmsgstr \"X\"\n";
    WriteBytes(dir / "bare.po", {bare.begin(), bare.end()});
    const ProgramResult noLanguage = Cli({"import", file, "--from", dir / "bare.po"});
    EXPECT_EQ(noLanguage.exitCode, 1);
    EXPECT_NE(noLanguage.err.find("--lang"), std::string::npos) << noLanguage.err;
    const ProgramResult missing = Cli({"import", file, "--from", dir / "none.po"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("none.po"), std::string::npos) << missing.err;
    EXPECT_EQ(ReadBytes(file), ReadBytes(Sample("sample.iff")));
    const ProgramResult dry =
        Cli({"import", file, "--from", dir / "bare.po", "--lang", "French", "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_NE(dry.out.find("(dry run) 1 would apply"), std::string::npos) << dry.out;
    EXPECT_EQ(ReadBytes(file), ReadBytes(Sample("sample.iff")));
}

}  // namespace
