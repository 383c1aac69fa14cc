// Translation memories: the score table, merging and look-up order, a memory built from the
// multilingual sample file read back from its TMX unchanged (and by translate-toolkit), hostile
// TMX refused with a clear reason, and pre-translation of catalog units.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "exchange/TranslationUnit.h"
#include "memory/MemoryBuilder.h"
#include "memory/MemorySet.h"
#include "memory/Tmx.h"
#include "memory/TranslationMemory.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

constexpr int kRussian = 20;

struct ScoreRow {
    const char* a;
    const char* b;
    int score;
};

TEST(MatchScore, Table) {
    const ScoreRow rows[] = {
        {"Clean", "Clean", 100},
        {"Clean", "clean", 80},                    // case counts
        {"Clean the Sink", "Clean the sink", 92},  // 1 of 14 characters
        {"Clean the Sink", "Clean the Sink!", 93},
        {"Take a Shower", "Take a Bath", 53},  // 6 edits over 13
        {"Repair", "Repair Stereo", 46},
        {"Sit", "Sat", 66},
        {"Caf\u00E9", "Cafe", 75},  // characters, not bytes
        {"\u65E5\u672C\u8A9E", "\u65E5\u672C", 66},
        {"", "x", 0},
        {"", "", 100},
        {"abc", "xyz", 0},
        {"\xFF\xFE", "\xFF", 50},  // ill-formed UTF-8 counts bytes
    };
    for (const ScoreRow& row : rows) {
        EXPECT_EQ(MatchScore(row.a, row.b), row.score) << row.a << " / " << row.b;
        EXPECT_EQ(MatchScore(row.b, row.a), row.score) << "symmetric: " << row.a;
    }
}

class Memory : public testing::Test {
protected:
    void SetUp() override {
        fr = memory.AddLocale("fr");
        de = memory.AddLocale("de");
    }
    CTranslationMemory memory;
    uint16_t fr = 0;
    uint16_t de = 0;
};

TEST_F(Memory, IdenticalUnitsMergeAndTheMostCountedWinsAnExactLookup) {
    EXPECT_TRUE(memory.Add("Sit", {{fr, "S'asseoir"}}, "A.iff:TTAs:128:0"));
    EXPECT_TRUE(memory.Add("Sit", {{fr, "Asseoir"}}, "B.iff:TTAs:128:0"));
    EXPECT_TRUE(memory.Add("Sit", {{fr, "Asseoir"}}, "C.iff:TTAs:128:0"));
    EXPECT_FALSE(memory.Add("Sit", {}, "D.iff:TTAs:128:0"));  // nothing to remember
    EXPECT_FALSE(memory.Add("", {{fr, "x"}}, "E.iff:TTAs:128:0"));
    ASSERT_EQ(memory.GetCount(), 2u);
    EXPECT_EQ(memory.GetUnits()[1].count, 2u);
    EXPECT_EQ(memory.GetUnits()[1].place, "B.iff:TTAs:128:0");  // the first place stays
    const MemoryUnit* exact = memory.FindExact("Sit", fr);
    ASSERT_NE(exact, nullptr);
    EXPECT_EQ(*exact->Translation(fr), "Asseoir");
    EXPECT_EQ(memory.FindExact("Sit", de), nullptr);
    EXPECT_EQ(memory.FindExact("sit", fr), nullptr);
}

TEST_F(Memory, LookupGivesExactFirstThenByScoreOncePerDistinctPair) {
    memory.Add("Clean the Sink", {{fr, "Nettoyer l'\u00E9vier"}, {de, "Sp\u00FCle putzen"}}, "");
    memory.Add("Clean the Sink", {{fr, "Nettoyer l'\u00E9vier"}}, "");  // same French
    memory.Add("Clean the sink", {{fr, "Nettoyer l'\u00E9vier (2)"}}, "");
    memory.Add("Clean the Toilet", {{fr, "Nettoyer les toilettes"}}, "");
    memory.Add("Unrelated words", {{fr, "Autre"}}, "");
    const std::vector<MemoryMatch> matches = memory.Lookup("Clean the Sink", fr, 50, 10);
    ASSERT_EQ(matches.size(), 3u);
    EXPECT_EQ(matches[0].score, 100);
    EXPECT_EQ(*matches[0].target, "Nettoyer l'\u00E9vier");
    EXPECT_EQ(matches[1].score, 92);
    EXPECT_EQ(matches[2].unit->source, "Clean the Toilet");
    EXPECT_EQ(memory.Lookup("Clean the Sink", fr, 95, 10).size(), 1u);
    EXPECT_EQ(memory.Lookup("Clean the Sink", fr, 50, 1).size(), 1u);
    EXPECT_TRUE(memory.Lookup("Clean the Sink", de, 50, 10).size() == 1);
    // A unit added after a look-up is found by the next one.
    memory.Add("Clean the Sinks", {{fr, "Nettoyer les \u00E9viers"}}, "");
    EXPECT_EQ(memory.Lookup("Clean the Sink", fr, 90, 10).size(), 3u);
    // A word's stem brings in its other forms, which no word shares.
    memory.Add("Cleaning", {{fr, "Nettoyage"}}, "");
    const std::vector<MemoryMatch> stem = memory.Lookup("Cleanings", fr, 80, 10);
    ASSERT_EQ(stem.size(), 1u);
    EXPECT_EQ(*stem[0].target, "Nettoyage");
}

TEST_F(Memory, LocalesAreFoundByCodeThenByLanguage) {
    CTranslationMemory other;
    const uint16_t frFr = other.AddLocale("fr-FR");
    const uint16_t zh = other.AddLocale("zh_CN");
    EXPECT_EQ(other.FindLocale("FR_fr"), frFr);
    EXPECT_EQ(other.FindLocale("fr"), frFr);
    EXPECT_EQ(other.FindLocale("zh-Hans"), zh);
    EXPECT_EQ(other.FindLocale("zh_TW"), CTranslationMemory::kNoLocale);
}

// A unit's translations by locale code: the locale tables of two memories may differ in order.
std::map<std::string, std::string> ByLocale(const CTranslationMemory& memory,
                                            const MemoryUnit& unit) {
    std::map<std::string, std::string> out;
    for (const MemoryTranslation& translation : unit.translations) {
        out[memory.GetLocales()[translation.locale]] = translation.text;
    }
    return out;
}

// The memory built from the sample object whose catalog and pie menu carry several languages.
CTranslationMemory SampleMemory(MemoryBuildReport* report = nullptr) {
    std::vector<std::string> problems;
    const std::vector<MemoryInput> inputs =
        ListMemoryInputs({std::string(TALLYGLASS_EXAMPLES) + "/text-types.iff"}, problems);
    CTranslationMemory memory;
    const MemoryBuildReport built = BuildMemory(inputs, 0, memory);
    EXPECT_TRUE(problems.empty());
    if (report != nullptr) {
        *report = built;
    }
    return memory;
}

TEST(MemoryTmx, AMemoryOfTheSampleReadsBackAsBuilt) {
    MemoryBuildReport report;
    const CTranslationMemory built = SampleMemory(&report);
    EXPECT_EQ(report.files, 1u);
    EXPECT_TRUE(report.problems.empty());
    ASSERT_GT(built.GetCount(), 3u);
    const uint16_t fr = built.FindLocale("fr");
    const MemoryUnit* chair = built.FindExact("Rocking Chair", fr);
    ASSERT_NE(chair, nullptr);
    EXPECT_EQ(*chair->Translation(fr), "Chaise \u00E0 bascule");
    EXPECT_EQ(chair->place, "text-types.iff:CTSS:2000:0");
    // The pie menu's "Sit" in the UTF-8 layout has Polish, not French: a unit of its own.
    const MemoryUnit* sit = built.FindExact("Sit", built.FindLocale("pl"));
    ASSERT_NE(sit, nullptr);
    EXPECT_EQ(sit->place, "text-types.iff:TTAs:2001:0");
    EXPECT_EQ(sit->Translation(fr), nullptr);

    const std::optional<std::string> tmx = TmxText(built);
    ASSERT_TRUE(tmx);
    EXPECT_NE(tmx->find("srclang=\"en_US\""), std::string::npos);
    EXPECT_NE(tmx->find("<prop type=\"x-count\">1</prop>"), std::string::npos);
    CTranslationMemory read;
    std::string error;
    TmxReadStats stats;
    ASSERT_TRUE(ReadTmxBytes(reinterpret_cast<const uint8_t*>(tmx->data()), tmx->size(),
                             "sample.tmx", read, error, &stats))
        << error;
    EXPECT_EQ(stats.units, built.GetCount());
    EXPECT_EQ(stats.skipped, 0u);
    EXPECT_EQ(read.GetSourceLocale(), "en_US");
    ASSERT_EQ(read.GetCount(), built.GetCount());
    for (size_t i = 0; i < built.GetCount(); ++i) {
        const MemoryUnit& a = built.GetUnits()[i];
        const MemoryUnit& b = read.GetUnits()[i];
        EXPECT_EQ(a.source, b.source);
        EXPECT_EQ(a.count, b.count);
        EXPECT_EQ(a.place, b.place);
        EXPECT_EQ(ByLocale(built, a), ByLocale(read, b)) << a.source;
    }
}

TEST(MemoryTmx, TranslateToolkitReadsTheWrittenFile) {
    if (RunProgram({TALLYGLASS_PYTHON, "-c", "import translate.storage.tmx"}).exitCode != 0) {
        GTEST_SKIP() << "translate-toolkit is not installed";
    }
    const CTranslationMemory built = SampleMemory();
    TempFolder dir;
    std::string error;
    ASSERT_TRUE(WriteTmxFile(dir / "sample.tmx", built, error)) << error;
    // Every unit with its source and its French text where it has one.
    const ProgramResult read =
        RunProgram({TALLYGLASS_PYTHON, "-c",
                    "import sys\n"
                    "from translate.storage import tmx\n"
                    "store = tmx.tmxfile.parsefile(sys.argv[1])\n"
                    "for unit in store.units:\n"
                    "    node = unit.getlanguageNode(lang='fr')\n"
                    "    target = unit.getNodeText(node) if node is not None else ''\n"
                    "    sys.stdout.write(unit.source + '\\t' + target + '\\n')\n",
                    dir / "sample.tmx"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    std::string expected;
    const uint16_t fr = built.FindLocale("fr");
    for (const MemoryUnit& unit : built.GetUnits()) {
        const std::string* target = unit.Translation(fr);
        expected += unit.source + "\t" + (target ? *target : "") + "\n";
    }
    EXPECT_EQ(read.out, expected);
}

struct HostileRow {
    const char* name;
    std::string text;
    const char* reason;  // part of the error
};

TEST(MemoryTmx, HostileDocumentsAreRefusedClearly) {
    const std::string head = "<?xml version=\"1.0\"?>\n";
    const std::string body =
        "<tmx version=\"1.4\"><header srclang=\"en_US\"/><body><tu><tuv xml:lang=\"en_US\">"
        "<seg>Sit &x;</seg></tuv><tuv xml:lang=\"fr\"><seg>Asseoir</seg></tuv></tu></body></tmx>";
    std::string laughs = "<!DOCTYPE tmx [<!ENTITY x0 \"ha\">";
    for (int i = 1; i <= 9; ++i) {
        const std::string prev = "&x" + std::to_string(i - 1) + ";";
        laughs += "<!ENTITY x" + std::to_string(i) + " \"" + prev + prev + prev + prev + prev +
                  prev + prev + prev + prev + prev + "\">";
    }
    laughs += "<!ENTITY x \"&x9;\">]>";
    const HostileRow rows[] = {
        {"internal entity", head + "<!DOCTYPE tmx [<!ENTITY x \"stand\">]>" + body,
         "entity reference &x; is refused"},
        {"billion laughs", head + laughs + body, "line"},
        {"external entity",
         head + "<!DOCTYPE tmx [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>" + body,
         "entity reference &x; is refused"},
        {"external DTD", head + "<!DOCTYPE tmx SYSTEM \"http://127.0.0.1:9/tmx14.dtd\">" + body,
         "entity"},
        {"invalid UTF-8", head + "<tmx><body><tu><tuv xml:lang=\"en_US\"><seg>\xC3\x28</seg>",
         "line 2: Input is not proper UTF-8"},
        {"not TMX", head + "<html/>", "the root element is <html>"},
        {"not XML", "Sit\tAsseoir\n", "line 1"},
        {"cut short", head + "<tmx version=\"1.4\"><body><tu>", "line"},
    };
    for (const HostileRow& row : rows) {
        CTranslationMemory memory;
        std::string error;
        EXPECT_FALSE(ReadTmxBytes(reinterpret_cast<const uint8_t*>(row.text.data()),
                                  row.text.size(), "hostile.tmx", memory, error))
            << row.name;
        EXPECT_NE(error.find("hostile.tmx: "), std::string::npos) << row.name << ": " << error;
        EXPECT_NE(error.find(row.reason), std::string::npos) << row.name << ": " << error;
        EXPECT_EQ(memory.GetCount(), 0u) << row.name;
    }
}

TEST(MemoryTmx, AHundredMegabyteSegmentIsRefusedWithoutReadingItAll) {
    TempFolder dir;
    const std::string path = dir / "huge.tmx";
    {
        std::ofstream out(path, std::ios::binary);
        out << "<?xml version=\"1.0\"?><tmx version=\"1.4\"><header srclang=\"en_US\"/><body><tu>"
               "<tuv xml:lang=\"en_US\"><seg>";
        const std::string block(1 << 20, 'a');
        for (int i = 0; i < 100; ++i) {
            out << block;
        }
        out << "</seg></tuv></tu></body></tmx>";
    }
    CTranslationMemory memory;
    std::string error;
    EXPECT_FALSE(ReadTmxFile(path, memory, error));
    EXPECT_NE(error.find("huge.tmx: line 1: "), std::string::npos) << error;
}

TEST(MemoryTmx, UnitsWithoutSourceOrTranslationAreSkippedAndCounted) {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tmx version=\"1.4\">"
        "<header srclang=\"en-US\"/><body>"
        "<tu><tuv xml:lang=\"fr\"><seg>Seul</seg></tuv></tu>"
        "<tu><tuv xml:lang=\"en-us\"><seg>Alone</seg></tuv></tu>"
        "<tu><prop type=\"x-count\">7</prop><tuv xml:lang=\"EN-US\"><seg>Sit <ph>{0}</ph>now"
        "</seg></tuv><tuv lang=\"de\"><seg><![CDATA[Sitz & ]]><hi>jetzt</hi></seg></tuv></tu>"
        "</body></tmx>";
    CTranslationMemory memory;
    std::string error;
    TmxReadStats stats;
    ASSERT_TRUE(ReadTmxBytes(reinterpret_cast<const uint8_t*>(text.data()), text.size(), "t.tmx",
                             memory, error, &stats))
        << error;
    EXPECT_EQ(stats.units, 3u);
    EXPECT_EQ(stats.skipped, 2u);
    ASSERT_EQ(memory.GetCount(), 1u);
    const MemoryUnit& unit = memory.GetUnits()[0];
    EXPECT_EQ(unit.source, "Sit now");  // the markup's content is no text
    EXPECT_EQ(unit.count, 7u);
    EXPECT_EQ(*unit.Translation(memory.FindLocale("de")), "Sitz & jetzt");
}

TEST(Pretranslation, ExactFuzzyUnmatchedAndUnencodable) {
    CTranslationMemory memory;
    const uint16_t ru = memory.AddLocale("ru");
    memory.Add("Sit", {{ru, "\u0421\u0435\u0441\u0442\u044C"}}, "");
    memory.Add("Clean the Sink", {{ru, "\u041F\u043E\u043C\u044B\u0442\u044C"}}, "");
    memory.Add("Caf\u00E9", {{ru, "Caf\u00E9"}}, "");  // Russian's code page has no é
    CMemorySet memories;
    memories.Add(std::move(memory));
    std::vector<TranslationUnit> units(5);
    units[0].source = "Sit";
    units[1].source = "Clean the sink";
    units[1].translatorComment = "kept";
    units[2].source = "Caf\u00E9";
    units[3].source = "Something else";
    units[4].source = "Sit";
    units[4].target = "\u0421\u0438\u0434\u0435\u0442\u044C";
    const PretranslateStats stats = Pretranslate(units, memories, "ru", kRussian, 75);
    EXPECT_EQ(FormatPretranslateSummary(stats),
              "1 exact, 1 fuzzy, 1 without a match, 1 translated already, 1 skipped: the "
              "language's code page cannot hold the match");
    EXPECT_EQ(units[0].target, "\u0421\u0435\u0441\u0442\u044C");
    EXPECT_FALSE(units[0].fuzzy);
    EXPECT_TRUE(units[0].translatorComment.empty());
    EXPECT_TRUE(units[1].fuzzy);
    EXPECT_EQ(units[1].translatorComment, "kept\nmemory: 92% match of \u201CClean the Sink\u201D");
    EXPECT_TRUE(units[2].target.empty());
    EXPECT_TRUE(units[3].target.empty());
    EXPECT_EQ(units[4].target, "\u0421\u0438\u0434\u0435\u0442\u044C");
}

}  // namespace
