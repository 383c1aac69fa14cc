// tallyglass-cli memory build, pretranslate and fill: a memory of the multilingual sample fills
// an English-only copy of it in every language the memory knows, with the bytes that typing the
// matches gives; pre-translation marks exact and fuzzy units in a catalog gettext accepts; a
// damaged input is reported and skipped; a hostile memory is refused.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "document/TallyglassDoc.h"
#include "exchange/Locales.h"
#include "exchange/PoCatalog.h"
#include "exchange/TranslationExchange.h"
#include "far/FarArchive.h"
#include "iff/ChunkStore.h"
#include "memory/MemoryBuilder.h"
#include "memory/MemorySet.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "strings/TextCodec.h"
#include "strings/TextResources.h"
#include "tests/cli/CliTest.h"
#include "tests/support/FarBuilder.h"
#include "tests/support/RenameCounter.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

const std::string kSample = std::string(TALLYGLASS_EXAMPLES) + "/text-types.iff";

// Every text resource with languages of a document, as keys.
std::vector<CResourceEditor::Key> LanguageResources(CTallyglassDoc& doc) {
    std::vector<CResourceEditor::Key> keys;
    std::vector<std::string> unreadable;
    ForEachResource(doc, unreadable, [&](const CResourceEditor::Key& key, const CStringSet& set) {
        if (set.HasLanguages()) {
            keys.push_back(key);
        }
    });
    return keys;
}

class MemoryCommands : public testing::Test {
protected:
    void SetUp() override {
        ::setenv("LC_ALL", "C.UTF-8", 1);
        memory = dir / "game.tmx";
        const ProgramResult built = Cli({"memory", "build", kSample, "-o", memory});
        ASSERT_EQ(built.exitCode, 0) << built.err;
        EXPECT_NE(built.out.find("game.tmx: "), std::string::npos) << built.out;
    }

    // A copy of the sample with only its US English texts, and with CTSS 2000's second text
    // reworded so that the memory knows it only fuzzily.
    std::string EnglishOnly(const std::string& name) {
        const std::string path = dir / name;
        fs::copy_file(kSample, path);
        CTallyglassDoc doc;
        EXPECT_TRUE(doc.OnOpenDocument(path));
        for (const CResourceEditor::Key& key : LanguageResources(doc)) {
            EXPECT_TRUE(doc.m_editor.Select(key.first, key.second).Ok());
            for (size_t entry = 0; entry < doc.m_editor.Strings().GetCount(); ++entry) {
                for (int slot = 1; slot < kSlotCount; ++slot) {
                    if (!doc.m_editor.Strings()
                             .GetSlot(entry, static_cast<size_t>(slot))
                             .text.empty()) {
                        EXPECT_TRUE(
                            doc.m_editor.SetString(static_cast<uint16_t>(entry), slot, 0, u"")
                                .Ok());
                    }
                }
            }
        }
        EXPECT_TRUE(doc.m_editor.Select(kTypeCatalogStrings, 2000).Ok());
        EXPECT_TRUE(doc.m_editor.SetString(1, 0, 0, u"Rocks back and forth. Comfort 7.").Ok());
        EXPECT_TRUE(doc.OnSaveDocument(path));
        return path;
    }

    TempFolder dir;
    std::string memory;
};

TEST_F(MemoryCommands, FillWritesTheBytesOfTypingTheExactMatches) {
    const std::string filled = EnglishOnly("filled.iff");
    const std::string typed = EnglishOnly("typed.iff");
    const std::vector<uint8_t> before = ReadBytes(filled);

    const ProgramResult dry =
        Cli({"fill", filled, "--memory", memory, "--all-languages", "--dry-run"});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_NE(dry.out.find("filled.iff: (dry run) 20 would apply"), std::string::npos) << dry.out;
    EXPECT_EQ(ReadBytes(filled), before);

    const ProgramResult fill = Cli({"fill", filled, "--memory", memory, "--all-languages"});
    ASSERT_EQ(fill.exitCode, 0) << fill.err;

    // The same matches typed into the other copy, string by string.
    CMemorySet memories;
    std::string error;
    ASSERT_TRUE(memories.Load(memory, error)) << error;
    CTallyglassDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(typed));
    size_t typedCount = 0;
    for (const CResourceEditor::Key& key : LanguageResources(doc)) {
        ASSERT_TRUE(doc.m_editor.Select(key.first, key.second).Ok());
        const CStringSet& strings = doc.m_editor.Strings();
        for (size_t entry = 0; entry < strings.GetCount(); ++entry) {
            const std::string source =
                CatalogText(strings.GetSlotCodec(0), strings.GetSlot(entry, 0).text);
            for (int slot = 1; slot < kSlotCount && !source.empty(); ++slot) {
                const std::string* match = memories.Exact(source, LocaleOfSlot(slot));
                if (match == nullptr ||
                    !strings.GetSlot(entry, static_cast<size_t>(slot)).text.empty()) {
                    continue;
                }
                ASSERT_TRUE(
                    doc.m_editor.SetString(static_cast<uint16_t>(entry), slot, 0, *FromUtf8(*match))
                        .Ok());
                ++typedCount;
            }
        }
    }
    ASSERT_TRUE(doc.OnSaveDocument(typed));
    EXPECT_GT(typedCount, 10u);
    EXPECT_EQ(ReadBytes(filled), ReadBytes(typed));
    EXPECT_NE(fill.out.find("filled.iff: " + std::to_string(typedCount) + " applied"),
              std::string::npos)
        << fill.out;

    // The pie menu in the UTF-8 layout had no French at all; the catalog's fuzzy text stays
    // empty: fuzzy matches never reach files.
    const ProgramResult shown = Cli({"strings", filled, "--type", "TTAs", "--id", "2001"});
    EXPECT_NE(shown.out.find("S'asseoir"), std::string::npos) << shown.out;
    const ProgramResult catalog = Cli({"strings", filled, "--type", "CTSS", "--id", "2000"});
    EXPECT_EQ(catalog.out.find("Confort"), std::string::npos) << catalog.out;

    // Filled again, nothing is left to fill and the file keeps its bytes.
    const std::vector<uint8_t> once = ReadBytes(filled);
    const ProgramResult again = Cli({"fill", filled, "--memory", memory, "--lang", "French"});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_NE(again.out.find(": 0 applied"), std::string::npos) << again.out;
    EXPECT_EQ(ReadBytes(filled), once);
}

TEST_F(MemoryCommands, AnArchiveIsFilledAsAWholeAndWrittenOnce) {
    const std::string loose = EnglishOnly("loose.iff");
    FarBuilder far;
    far.entries.push_back({"objects\\a.iff", ReadBytes(loose)});
    far.entries.push_back({"readme.txt", {'h', 'i'}});
    far.entries.push_back({"objects\\b.iff", ReadBytes(loose)});
    fs::create_directories(dir / "game");
    const std::string archive = dir / "game/Objects.far";
    WriteBytes(archive, far.Build());
    ProgramResult fill;
    EXPECT_EQ(RenamesInto(dir / "game", "Objects.far",
                          [&] {
                              fill = Cli({"fill", archive, "--memory", memory, "--all-languages"});
                          }),
              1u);
    EXPECT_EQ(fill.exitCode, 0) << fill.err;
    EXPECT_NE(fill.out.find("Objects.far/objects/b.iff: 20 applied"), std::string::npos)
        << fill.out;
    // Each entry holds what the same fill gives the loose file; the rest is as it was.
    const std::vector<uint8_t> unfilled = ReadBytes(loose);
    ASSERT_EQ(Cli({"fill", loose, "--memory", memory, "--all-languages"}).exitCode, 0);
    ASSERT_NE(ReadBytes(loose), unfilled);
    CFarArchive written;
    ASSERT_EQ(written.Load(ReadBytes(archive)), CFarArchive::Status::ok);
    ASSERT_EQ(written.GetEntries().size(), 3u);
    const std::vector<std::vector<uint8_t>> expected = {
        ReadBytes(loose), {'h', 'i'}, ReadBytes(loose)};
    for (size_t entry = 0; entry < expected.size(); ++entry) {
        const std::span<const uint8_t> held = written.EntryBytes(entry);
        EXPECT_EQ(std::vector<uint8_t>(held.begin(), held.end()), expected[entry]) << entry;
    }
}

TEST_F(MemoryCommands, AFillIsOneStepOfTheDocumentsHistory) {
    const std::string path = EnglishOnly("history.iff");
    CMemorySet memories;
    std::string error;
    ASSERT_TRUE(memories.Load(memory, error)) << error;
    CTallyglassDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(path));
    const ImportPlan plan = PlanFill(doc, memories, 0, {2, 3});
    ASSERT_FALSE(plan.changes.empty());
    ASSERT_TRUE(ApplyFill(doc, plan).Ok());
    EXPECT_EQ(doc.m_undo.GetCount(), 1u);
    EXPECT_EQ(doc.m_undo.GetUndoText(), "Fill from Memory");
    ASSERT_TRUE(doc.m_editor.Undo().Ok());
    EXPECT_TRUE(doc.OnSaveDocument(path + ".undone"));
    EXPECT_EQ(ReadBytes(path + ".undone"), ReadBytes(path));
}

TEST_F(MemoryCommands, PretranslateMarksExactAndFuzzyUnitsInAValidCatalog) {
    if (std::string(TALLYGLASS_MSGFMT).empty()) {
        GTEST_SKIP() << "gettext's msgfmt not found";
    }
    const std::string object = EnglishOnly("object.iff");
    const std::string po = dir / "object.fr.po";
    // One unit per place, so that each is found by its key below.
    ASSERT_EQ(Cli({"export", object, "--lang", "French", "--positional", "-o", po}).exitCode, 0);
    const std::string out = dir / "object.pre.po";
    const ProgramResult pre =
        Cli({"pretranslate", po, "--memory", memory, "--min", "90", "-o", out});
    ASSERT_EQ(pre.exitCode, 0) << pre.err;
    EXPECT_NE(
        pre.out.find("object.pre.po: 7 exact, 1 fuzzy, 0 without a match, 0 translated already\n"),
        std::string::npos)
        << pre.out;
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    ASSERT_TRUE(ReadPoCatalog(out, info, units, error)) << error;
    EXPECT_EQ(info.language, "fr");
    const auto unit = [&](const std::string& key) -> const TranslationUnit& {
        for (const TranslationUnit& u : units) {
            if (u.context == key) {
                return u;
            }
        }
        ADD_FAILURE() << key;
        return units.front();
    };
    EXPECT_EQ(unit("TTAs:2001:0").target, "S'asseoir");
    EXPECT_FALSE(unit("TTAs:2001:0").fuzzy);
    EXPECT_EQ(unit("CTSS:2000:0").target, "Chaise \u00E0 bascule");
    const TranslationUnit& fuzzy = unit("CTSS:2000:1");
    EXPECT_TRUE(fuzzy.fuzzy);
    EXPECT_EQ(fuzzy.target, "Se balance d'avant en arri\u00E8re. Confort 6.");
    EXPECT_EQ(fuzzy.translatorComment,
              "memory: 96% match of \u201CRocks back and forth. Comfort 6.\u201D");
    const ProgramResult check = RunProgram({TALLYGLASS_MSGFMT, "--check", "-o", "/dev/null", out});
    EXPECT_EQ(check.exitCode, 0) << check.err;
}

TEST_F(MemoryCommands, ADamagedInputIsReportedAndSkipped) {
    fs::create_directories(dir / "objects");
    fs::copy_file(kSample, dir / "objects/text-types.iff");
    WriteBytes(dir / "objects/broken.iff", {'n', 'o', 't', ' ', 'I', 'F', 'F'});
    const std::string out = dir / "objects.tmx";
    const ProgramResult built = Cli({"memory", "build", dir / "objects", "-o", out});
    EXPECT_EQ(built.exitCode, 1);
    EXPECT_NE(built.err.find("broken.iff"), std::string::npos) << built.err;
    EXPECT_NE(built.out.find("in 1 files"), std::string::npos) << built.out;
    EXPECT_EQ(ReadBytes(out), ReadBytes(memory));
}

TEST_F(MemoryCommands, AHostileMemoryIsRefused) {
    const std::string hostile = dir / "hostile.tmx";
    const std::string text =
        "<?xml version=\"1.0\"?><!DOCTYPE tmx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
        "<tmx version=\"1.4\"><body><tu><tuv xml:lang=\"en_US\"><seg>&x;</seg></tuv></tu></body>"
        "</tmx>";
    WriteBytes(hostile, std::vector<uint8_t>(text.begin(), text.end()));
    const std::string object = EnglishOnly("object.iff");
    const std::vector<uint8_t> before = ReadBytes(object);
    const ProgramResult fill = Cli({"fill", object, "--memory", hostile, "--lang", "French"});
    EXPECT_EQ(fill.exitCode, 1);
    EXPECT_NE(fill.err.find("hostile.tmx: line 1: the entity reference &x; is refused"),
              std::string::npos)
        << fill.err;
    EXPECT_EQ(ReadBytes(object), before);
    EXPECT_EQ(Cli({"fill", object, "--memory", memory}).exitCode, 2);  // no language named
}

}  // namespace
