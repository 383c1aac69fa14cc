// Export and import through a document: round trips in every layout and code page that change
// nothing, translations that arrive as one undoable step, the rules for units that may not be
// applied, and catalogs edited by gettext's own tools.

#include "exchange/TranslationExchange.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "document/TallyglassDoc.h"
#include "exchange/CsvCatalog.h"
#include "exchange/Locales.h"
#include "exchange/PoCatalog.h"
#include "iff/ChunkStore.h"
#include "strings/Languages.h"
#include "strings/TextCodec.h"
#include "tests/support/IffBytes.h"
#include "tests/support/IffPayloads.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"
#include "tests/support/Utf8Payload.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kFrench = 2;

// The texts of one language, entry by entry ("" for none); descriptions beside them.
struct Language {
    int slot = 0;
    std::vector<std::string> texts;
    std::vector<std::string> descriptions;
};

// Stored bytes of a UTF-8 text in a slot's code page (or UTF-8), line breaks as CR LF.
std::string Stored(const CTextCodec& codec, const std::string& utf8) {
    std::string withCrLf;
    for (const char c : utf8) {
        withCrLf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    std::string bytes;
    if (!codec.EncodeUtf8(withCrLf, bytes)) {
        ADD_FAILURE() << "the test's text does not fit " << codec.Name() << ": " << utf8;
    }
    return bytes;
}

// A multilingual (FD FF) payload: each language's records in a block, text and description
// each ended by NUL.
Bytes Multilingual(const std::vector<Language>& languages) {
    Bytes records;
    size_t count = 0;
    for (const Language& language : languages) {
        const CTextCodec& codec = CTextCodec::ForSlot(language.slot);
        for (size_t i = 0; i < language.texts.size(); ++i) {
            records.push_back(LanguageToCode(language.slot));
            for (const std::string& part :
                 {Stored(codec, language.texts[i]),
                  Stored(codec,
                         i < language.descriptions.size() ? language.descriptions[i] : "")}) {
                records.insert(records.end(), part.begin(), part.end());
                records.push_back(0);
            }
            ++count;
        }
    }
    // Built by appending, not inserting into a list of four: GCC 12 at -O2 takes the insert
    // for a copy past the list's end (-Warray-bounds).
    Bytes out;
    out.reserve(4 + records.size());
    for (const uint8_t byte : {uint8_t{0xFD}, uint8_t{0xFF}, static_cast<uint8_t>(count),
                               static_cast<uint8_t>(count >> 8)}) {
        out.push_back(byte);
    }
    out.insert(out.end(), records.begin(), records.end());
    return out;
}

Bytes Utf8Layout(const std::vector<Language>& languages) {
    Utf8Sets sets(20);
    for (const Language& language : languages) {
        auto& pairs = sets[LanguageToCode(language.slot) - 1];
        for (size_t i = 0; i < language.texts.size(); ++i) {
            const auto crlf = [](const std::string& text) {
                return Stored(CTextCodec::Utf8(), text);
            };
            pairs.push_back(
                {crlf(language.texts[i]),
                 crlf(i < language.descriptions.size() ? language.descriptions[i] : "")});
        }
    }
    return BuildUtf8Payload(sets);
}

const std::vector<std::string> kEnglish = {"Chair", "Sit on $Object\nnow", "Same", "Only English"};

// A row of the round trip: a language, its layout, a translation and an edit of it.
struct LayoutRow {
    const char* name;
    int slot;
    bool utf8;
    std::string translated;
    std::string edited;
};

class ExchangeFile {
public:
    // STR# 128 and CTSS 2000 with English and the row's language; STR# 300 in the plain
    // layout, which has no languages.
    void Write(const LayoutRow& row, const std::vector<std::string>& english = kEnglish) {
        const std::vector<Language> languages = {
            {0, english, {"Object name"}},
            {row.slot, {row.translated, "Sur $Object\nmaintenant", "Same"}, {}},
        };
        const Bytes text = row.utf8 ? Utf8Layout(languages) : Multilingual(languages);
        WriteBytes(m_path, MakeIffFile({MakeChunk("STR#", 128, text, "names"),
                                        MakeChunk("CTSS", 2000, text, "catalog"),
                                        MakeChunk("STR#", 300, MakePlainPayload({"Plain"}))}));
    }
    void Open() { ASSERT_TRUE(m_doc.OnOpenDocument(m_path)); }
    [[nodiscard]] ExportResult Export(int slot, bool keepCopies = false) {
        ExportOptions options;
        options.targetSlot = slot;
        options.keepCopies = keepCopies;
        options.fileName = "t.iff";
        return ExtractUnits(m_doc, options);
    }
    [[nodiscard]] ImportPlan Plan(const std::vector<TranslationUnit>& units, int slot,
                                  ImportOptions options = {}) {
        options.targetSlot = slot;
        return PlanImport(m_doc, units, options);
    }
    // The stored bytes of a text as the editor holds them now.
    [[nodiscard]] std::string Text(ChunkType type, uint16_t id, size_t entry, int slot) {
        CStringSet holder;
        const CStringSet* strings = m_doc.m_editor.Content({type, id}, holder);
        return strings != nullptr
                   ? std::string(strings->GetSlot(entry, static_cast<size_t>(slot)).text)
                   : "(unreadable)";
    }

    TempFolder m_dir;
    std::string m_path = m_dir / "t.iff";
    CTallyglassDoc m_doc;
};

bool HaveTool(const char* path) {
    return std::string(path).size() > 0;
}

void ExpectMsgfmtAccepts(const std::string& po) {
    if (!HaveTool(TALLYGLASS_MSGFMT)) {
        return;  // the test that needs it says so
    }
    const ProgramResult check = RunProgram({TALLYGLASS_MSGFMT, "--check", "-o", "/dev/null", po});
    EXPECT_EQ(check.exitCode, 0) << po << ": " << check.err;
    EXPECT_EQ(check.err, "") << po;
}

class RoundTrip : public testing::TestWithParam<LayoutRow> {};

TEST_P(RoundTrip, AnUntouchedExportChangesNothingAndATranslationIsOneStep) {
    if (!HaveTool(TALLYGLASS_MSGFMT)) {
        GTEST_SKIP() << "msgfmt not found";
    }
    const LayoutRow& row = GetParam();
    ExchangeFile file;
    file.Write(row);
    file.Open();
    const Payloads before = ReadPayloads(file.m_path);

    const ExportResult exported = file.Export(row.slot);
    EXPECT_TRUE(exported.unreadable.empty());
    // Four English texts in each of the two resources with languages; none of the plain one.
    ASSERT_EQ(exported.units.size(), 8u);
    const TranslationUnit& first = exported.units[0];
    EXPECT_EQ(first.context, "STR#:128:0");
    EXPECT_EQ(first.references, std::vector<std::string>{"t.iff:STR#:128:0"});
    EXPECT_EQ(first.source, "Chair");
    EXPECT_EQ(first.target, row.translated);
    EXPECT_EQ(first.comment, "Object name");
    EXPECT_EQ(exported.units[1].source, "Sit on $Object\nnow");
    EXPECT_EQ(exported.units[1].target, "Sur $Object\nmaintenant");
    EXPECT_EQ(exported.units[2].target, "");  // a copy of the source is work still to do
    EXPECT_EQ(exported.units[3].target, "");
    EXPECT_EQ(exported.units[4].context, "CTSS:2000:0");
    EXPECT_EQ(file.Export(row.slot, true).units[2].target, "Same");

    std::string error;
    const std::string po = file.m_dir / "t.po";
    const std::string csv = file.m_dir / "t.csv";
    ASSERT_TRUE(WritePoCatalog(po, {"xx", "en_US"}, exported.units, error)) << error;
    ASSERT_TRUE(WriteCsvCatalog(csv, exported.units, error)) << error;
    ExpectMsgfmtAccepts(po);
    CatalogInfo info;
    std::vector<TranslationUnit> fromPo;
    std::vector<TranslationUnit> fromCsv;
    ASSERT_TRUE(ReadPoCatalog(po, info, fromPo, error)) << error;
    ASSERT_TRUE(ReadCsvCatalog(csv, fromCsv, error)) << error;
    for (const auto* units : {&fromPo, &fromCsv}) {
        const ImportPlan plan = file.Plan(*units, row.slot);
        EXPECT_FALSE(plan.refused);
        EXPECT_TRUE(plan.changes.empty());
        EXPECT_EQ(plan.Count(UnitOutcome::unchanged), 4u);
        EXPECT_EQ(plan.Count(UnitOutcome::untranslated), 4u);
        EXPECT_TRUE(plan.warnings.empty());
        EXPECT_TRUE(ApplyImport(file.m_doc, plan).Ok());
        EXPECT_FALSE(file.m_doc.m_undo.CanUndo());
    }

    // Translated: every untranslated unit and the first one.
    std::vector<TranslationUnit> translated = fromPo;
    for (TranslationUnit& unit : translated) {
        if (unit.target.empty() || unit.context.ends_with(":0")) {
            unit.target = row.edited;
        }
    }
    const ImportPlan plan = file.Plan(translated, row.slot);
    ASSERT_FALSE(plan.refused);
    EXPECT_EQ(plan.Count(UnitOutcome::applied), 6u);
    ASSERT_TRUE(ApplyImport(file.m_doc, plan).Ok());
    EXPECT_EQ(file.m_doc.m_undo.GetCount(), 1u);
    EXPECT_EQ(file.m_doc.m_undo.GetUndoText(), "Import Translation");
    const CTextCodec& codec = row.utf8 ? CTextCodec::Utf8() : CTextCodec::ForSlot(row.slot);
    EXPECT_EQ(file.Text(kTypeCatalogStrings, 2000, 3, row.slot), Stored(codec, row.edited));
    EXPECT_EQ(file.Text(kTypeStrings, 128, 1, row.slot), Stored(codec, "Sur $Object\nmaintenant"));
    for (size_t i = 0; i < translated.size(); ++i) {
        EXPECT_EQ(file.Export(row.slot).units[i].target, translated[i].target) << i;
    }

    // One undo takes it all back; the save then writes the bytes the file came with.
    ASSERT_TRUE(file.m_doc.m_editor.Undo().Ok());
    EXPECT_EQ(file.Export(row.slot).units[0].target, row.translated);
    const std::string saved = file.m_dir / "saved.iff";
    ASSERT_TRUE(file.m_doc.OnSaveDocument(saved));
    EXPECT_EQ(ReadPayloads(saved), before);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RoundTrip,
    testing::Values(
        LayoutRow{"French", kFrench, false, "Chaise \xC3\xA9l\xC3\xA9gante \xC5\x93",
                  "Si\xC3\xA8ge \xE2\x80\x99"},
        LayoutRow{"Japanese", 9, false, "\xE6\xA4\x85\xE5\xAD\x90\xE3\x82\xBD",
                  "\xE8\xA1\xA8\xE7\xA4\xBA\xE5\x90\x8D"},
        LayoutRow{"Polish", 10, false, "Krzes\xC5\x82o", "\xC5\xBB\xC3\xB3\xC5\x82w"},
        LayoutRow{"SimplifiedChinese", 11, false, "\xE6\xA4\x85\xE5\xAD\x90",
                  "\xE8\x88\x92\xE9\x80\x82"},
        LayoutRow{"TraditionalChinese", 12, false, "\xE6\xA4\x85\xE5\xAD\x90",
                  "\xE8\x88\x92\xE9\x81\xA9"},
        LayoutRow{"Thai", 13, false, "\xE0\xB9\x80\xE0\xB8\x81\xE0\xB9\x89\xE0\xB8\xB2",
                  "\xE0\xB8\xAA\xE0\xB8\x9A\xE0\xB8\xB2\xE0\xB8\xA2"},
        LayoutRow{"Korean", 14, false, "\xEC\x9D\x98\xEC\x9E\x90", "\xED\x8E\xB8\xED\x95\x9C"},
        LayoutRow{"Russian", 20, false, "\xD0\xA1\xD1\x82\xD1\x83\xD0\xBB",
                  "\xD0\x9A\xD1\x80\xD0\xB5\xD1\x81\xD0\xBB\xD0\xBE"},
        LayoutRow{"Utf8Japanese", 9, true, "\xE6\xA4\x85\xE5\xAD\x90", "\xF0\x9F\xAA\x91 \xC5\x82"},
        LayoutRow{"Utf8Polish", 10, true, "Krzes\xC5\x82o", "\xE6\xA4\x85 \xC3\xA9"}),
    [](const testing::TestParamInfo<LayoutRow>& info) { return std::string(info.param.name); });

class ImportRules : public testing::Test {
protected:
    void SetUp() override {
        m_file.Write({"French", kFrench, false, "Chaise", ""},
                     {"Chair", "Sit on $Object\nnow", "Same", "Only English", "Lamp $Me"});
        m_file.Open();
    }
    static TranslationUnit Unit(const std::string& key, const std::string& source,
                                const std::string& target, bool fuzzy = false) {
        TranslationUnit unit;
        unit.context = key;
        unit.source = source;
        unit.target = target;
        unit.fuzzy = fuzzy;
        return unit;
    }
    static std::string Reasons(const ImportPlan& plan) {
        std::string out;
        for (const UnitReport& report : plan.reports) {
            out += std::string(OutcomeName(report.outcome)) + " " + report.key +
                   (report.reason.empty() ? "" : ": " + report.reason) + "\n";
        }
        return out;
    }
    ExchangeFile m_file;
};

TEST_F(ImportRules, EachUnitThatMayNotBeAppliedIsCountedAndListedWithItsKey) {
    const std::vector<TranslationUnit> units = {
        Unit("STR#:128:0", "Chairs", "Chaises"),                               // outdated
        Unit("STR#:128:3", "Only English", "Seulement", true),                 // fuzzy
        Unit("STR#:128:2", "Same", ""),                                        // untranslated
        Unit("STR#:128:1", "Sit on $Object\nnow", "Sur $Object\nmaintenant"),  // unchanged
        Unit("STR#:999:0", "Chair", "Chaise"),                                 // no resource
        Unit("STR#:128:77", "Chair", "Chaise"),                                // no entry
        Unit("STR#:300:0", "Plain", "Simple"),                                 // no languages
        Unit("chair", "Chair", "Chaise"),                                      // no key
        Unit("CTSS:2000:4", "Lamp $Me", "Lampe $Me"),                          // applied
        Unit("CTSS:2000:4", "Lamp $Me", "Lampe"),                              // a second one
    };
    const ImportPlan plan = m_file.Plan(units, kFrench);
    EXPECT_FALSE(plan.refused);
    EXPECT_EQ(Reasons(plan),
              "outdated STR#:128:0: the source text has changed since\n"
              "fuzzy STR#:128:3\n"
              "untranslated STR#:128:2\n"
              "unchanged STR#:128:1\n"
              "unknown STR#:999:0: no such resource in the file\n"
              "unknown STR#:128:77: no such entry in the resource\n"
              "unknown STR#:300:0: the resource has no languages (--in-place replaces its one "
              "text)\n"
              "unknown chair: not a key of a text resource\n"
              "refused CTSS:2000:4: a second unit for this key\n");
    const std::string summary = FormatImportSummary(plan);
    EXPECT_EQ(
        summary.substr(0, summary.find('\n') + 1),
        "1 applied, 1 unchanged, 1 untranslated, 1 fuzzy, 1 outdated, 4 unknown, 1 refused\n");
    ASSERT_EQ(plan.changes.size(), 1u);
    EXPECT_EQ(plan.changes[0].text, u"Lampe $Me");

    ImportOptions options;
    options.force = true;
    options.fuzzy = true;
    options.inPlace = true;
    const ImportPlan forced = m_file.Plan(units, kFrench, options);
    EXPECT_EQ(forced.Count(UnitOutcome::applied), 4u);
    ASSERT_TRUE(ApplyImport(m_file.m_doc, forced).Ok());
    EXPECT_EQ(m_file.Text(kTypeStrings, 128, 0, kFrench), "Chaises");
    EXPECT_EQ(m_file.Text(kTypeStrings, 128, 3, kFrench), "Seulement");
    EXPECT_EQ(m_file.Text(kTypeStrings, 300, 0, 0), "Simple");  // the one text, replaced
}

TEST_F(ImportRules, AnUnencodableTextRefusesTheWholeImportUnlessSkipped) {
    const std::vector<TranslationUnit> units = {
        Unit("STR#:128:0", "Chair", "Krzes\xC5\x82o"),
        Unit("STR#:128:3", "Only English", "Seulement"),
        Unit("CTSS:2000:2", "Same", "\xE6\xA4\x85"),
    };
    const ImportPlan plan = m_file.Plan(units, kFrench);
    EXPECT_TRUE(plan.refused);
    EXPECT_TRUE(plan.changes.empty());
    EXPECT_EQ(
        Reasons(plan),
        "refused STR#:128:0: \xE2\x80\x9C\xC5\x82\xE2\x80\x9D cannot be stored in French text.\n"
        "refused CTSS:2000:2: \xE2\x80\x9C\xE6\xA4\x85\xE2\x80\x9D cannot be stored in French "
        "text.\n");
    const std::string summary = FormatImportSummary(plan);
    EXPECT_EQ(summary.substr(0, summary.find('\n')),
              "refused, nothing applied: 1 would apply, 0 unchanged, 0 untranslated, 0 fuzzy, "
              "0 outdated, 0 unknown, 2 refused");
    EXPECT_TRUE(ApplyImport(m_file.m_doc, plan).Ok());
    EXPECT_FALSE(m_file.m_doc.m_undo.CanUndo());
    EXPECT_EQ(m_file.Text(kTypeStrings, 128, 3, kFrench), "");

    ImportOptions options;
    options.skipUnencodable = true;
    const ImportPlan skipping = m_file.Plan(units, kFrench, options);
    EXPECT_FALSE(skipping.refused);
    EXPECT_EQ(skipping.Count(UnitOutcome::refused), 2u);
    EXPECT_EQ(skipping.Count(UnitOutcome::applied), 1u);
    ASSERT_TRUE(ApplyImport(m_file.m_doc, skipping).Ok());
    EXPECT_EQ(m_file.Text(kTypeStrings, 128, 3, kFrench), "Seulement");
    EXPECT_EQ(m_file.Text(kTypeStrings, 128, 0, kFrench), "Chaise");
}

TEST_F(ImportRules, TokenAndLineBreakMismatchesWarnOrWithStrictRefuse) {
    const std::vector<TranslationUnit> units = {
        Unit("STR#:128:1", "Sit on $Object\nnow", "Sur $Objet\nmaintenant"),
        Unit("CTSS:2000:4", "Lamp $Me", "Lampe $Me\n"),
        Unit("STR#:128:4", "Lamp $Me", "$Me lampe"),
    };
    const ImportPlan plan = m_file.Plan(units, kFrench);
    EXPECT_FALSE(plan.refused);
    EXPECT_EQ(plan.Count(UnitOutcome::applied), 3u);
    EXPECT_EQ(plan.warnings, (std::vector<std::string>{
                                 "STR#:128:1: the $-tokens differ from the source's",
                                 "CTSS:2000:4: the source has 0 line breaks, the translation 1"}));
    ImportOptions options;
    options.strict = true;
    const ImportPlan strict = m_file.Plan(units, kFrench, options);
    EXPECT_TRUE(strict.refused);
    EXPECT_TRUE(strict.changes.empty());
    EXPECT_EQ(strict.Count(UnitOutcome::refused), 2u);
}

// A NUL in a catalog, raw or escaped, in a translation or in a key, refuses its unit: the text
// up to it is never applied as if it were the whole. An escaped backslash before a 0 is no NUL.
TEST_F(ImportRules, ANulInACatalogRefusesItsUnitRawOrEscapedInATextOrAKey) {
    struct Row {
        const char* name;
        std::string catalog;  // PO messages after the header, or the CSV's rows
        bool csv;
        std::string reasons;
    };
    const std::string nul(1, '\0');
    const std::string refusedChair = "refused STR#:128:0: A text cannot hold U+0000.\n";
    const std::vector<Row> rows = {
        {"PoEscaped", "msgctxt \"STR#:128:0\"\nmsgid \"Chair\"\nmsgstr \"Cha\\0ise\"\n", false,
         refusedChair},
        {"PoOctal", "msgctxt \"STR#:128:0\"\nmsgid \"Chair\"\nmsgstr \"Cha\\000\"\n", false,
         refusedChair},
        {"PoHex", "msgctxt \"STR#:128:0\"\nmsgid \"Chair\"\nmsgstr \"\"\n\"Cha\\x00ise\"\n", false,
         refusedChair},
        {"PoRaw", "msgctxt \"STR#:128:0\"\nmsgid \"Chair\"\nmsgstr \"Cha" + nul + "ise\"\n", false,
         refusedChair},
        {"PoKey", "msgctxt \"STR#:128:0\\0junk\"\nmsgid \"Chair\"\nmsgstr \"Chaise!\"\n", false,
         "refused STR#:128:0\\0: A text cannot hold U+0000.\n"},
        {"PoEscapedBackslash",
         "msgctxt \"STR#:128:0\"\nmsgid \"Chair\"\nmsgstr \"C\\\\0\"\n\n"
         "msgctxt \"STR#:128:3\"\nmsgid \"Only English\"\nmsgstr \"Cha\\0\"\n",
         false, "refused STR#:128:3: A text cannot hold U+0000.\n"},
        {"CsvRaw", "STR#:128:0,Chair,Cha" + nul + "ise\n", true, refusedChair},
        {"CsvKey", "STR#:128:0" + nul + "x,Chair,Chaise!\n", true,
         "refused STR#:128:0\\0x: A text cannot hold U+0000.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string path = m_file.m_dir / (row.csv ? "n.csv" : "n.po");
        const std::string text =
            row.csv ? "context,source,target\n" + row.catalog
                    : "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
                      "\"Language: fr\\n\"\n\n" +
                          row.catalog;
        WriteBytes(path, Bytes(text.begin(), text.end()));
        CatalogInfo info;
        std::vector<TranslationUnit> units;
        std::string error;
        ASSERT_TRUE(row.csv ? ReadCsvCatalog(path, units, error)
                            : ReadPoCatalog(path, info, units, error))
            << error;
        const ImportPlan plan = m_file.Plan(units, kFrench);
        EXPECT_EQ(Reasons(plan), row.reasons);
        EXPECT_TRUE(plan.refused);
        EXPECT_TRUE(plan.changes.empty());
    }
    // The escaped backslash: "C\0" as two characters, applied once the NUL unit is skipped.
    ImportOptions options;
    options.skipUnencodable = true;
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    ASSERT_TRUE(ReadPoCatalog(m_file.m_dir / "n.po", info, units, error)) << error;
    ASSERT_TRUE(ApplyImport(m_file.m_doc, m_file.Plan(units, kFrench, options)).Ok());
    EXPECT_EQ(m_file.Text(kTypeStrings, 128, 0, kFrench), "C\\0");
}

TEST(GameTokens, FindsTokensWithTheirArguments) {
    EXPECT_EQ(GameTokens("$Me gives $Object to $Local:0, $DynamicStringLocal:2:1 and $ 5 $"),
              (std::vector<std::string>{"$Me", "$Object", "$Local:0", "$DynamicStringLocal:2:1"}));
    EXPECT_EQ(GameTokens("costs $5 or $:x"), std::vector<std::string>{});
    EXPECT_EQ(GameTokens("$Me:"), std::vector<std::string>{"$Me"});
}

TEST(Coverage, CountsTranslatedIdenticalAndEmptyPerLanguage) {
    ExchangeFile file;
    file.Write({"French", kFrench, false, "Chaise", ""});
    file.Open();
    const FileCoverage coverage = MeasureCoverage(file.m_doc, 0);
    EXPECT_EQ(coverage.units, 8u);
    ASSERT_EQ(coverage.languages.size(), static_cast<size_t>(kNamedLanguageCount - 1));
    const LanguageCoverage& french = coverage.languages[1];
    ASSERT_EQ(french.slot, kFrench);
    EXPECT_EQ(french.translated, 4u);
    EXPECT_EQ(french.identical, 2u);
    EXPECT_EQ(french.empty, 2u);
    EXPECT_EQ(coverage.languages[2].empty, 8u);  // German
}

// Catalogs edited by gettext's tools, which run in a UTF-8 locale to keep non-ASCII text.
class GettextTools : public testing::Test {
protected:
    void SetUp() override {
        if (!HaveTool(TALLYGLASS_MSGFILTER) || !HaveTool(TALLYGLASS_MSGMERGE) ||
            !HaveTool(TALLYGLASS_MSGFMT)) {
            GTEST_SKIP() << "gettext's tools not found";
        }
        ::setenv("LC_ALL", "C.UTF-8", 1);
    }
};

TEST_F(GettextTools, ATranslationEditedWithMsgfilterImportsItsEdits) {
    ExchangeFile file;
    file.Write({"French", kFrench, false, "Chaise \xC3\xA9l\xC3\xA9gante", ""});
    file.Open();
    const std::string in = file.m_dir / "in.po";
    const std::string out = file.m_dir / "out.po";
    std::string error;
    ASSERT_TRUE(WritePoCatalog(in, {"fr", "en_US"}, file.Export(kFrench).units, error)) << error;
    const ProgramResult filter = RunProgram({TALLYGLASS_MSGFILTER, "--keep-header", "-i", in, "-o",
                                             out, "sed", "-e", "s/a/\xC3\xA0/g"});
    ASSERT_EQ(filter.exitCode, 0) << filter.err;
    ExpectMsgfmtAccepts(out);
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    ASSERT_TRUE(ReadPoCatalog(out, info, units, error)) << error;
    EXPECT_EQ(info.language, "fr");
    const ImportPlan plan = file.Plan(units, SlotOfLocale(info.language));
    EXPECT_FALSE(plan.refused);
    EXPECT_EQ(plan.Count(UnitOutcome::applied), 4u);  // both resources, entries 0 and 1
    EXPECT_EQ(plan.Count(UnitOutcome::untranslated), 4u);
    ASSERT_TRUE(ApplyImport(file.m_doc, plan).Ok());
    EXPECT_EQ(file.Text(kTypeStrings, 128, 0, kFrench), "Ch\xE0ise \xE9l\xE9g\xE0nte");
    EXPECT_EQ(file.Text(kTypeCatalogStrings, 2000, 1, kFrench), "Sur $Object\r\nm\xE0inten\xE0nt");
}

TEST_F(GettextTools, AfterMsgmergeAChangedSourceIsFuzzyAndWaitsForFuzzy) {
    ExchangeFile old;
    old.Write({"French", kFrench, false, "Chaise", ""});
    old.Open();
    const std::string oldPo = old.m_dir / "old.po";
    std::string error;
    ASSERT_TRUE(WritePoCatalog(oldPo, {"fr", "en_US"}, old.Export(kFrench).units, error));

    // The object's English name changed; its French name was cleared to be done again.
    ExchangeFile now;
    now.Write({"French", kFrench, false, "", ""},
              {"Chairs", "Sit on $Object\nnow", "Same", "Only English"});
    now.Open();
    const std::string reference = now.m_dir / "now.po";
    const std::string merged = now.m_dir / "merged.po";
    ASSERT_TRUE(WritePoCatalog(reference, {"fr", "en_US"}, now.Export(kFrench).units, error));
    const ProgramResult merge =
        RunProgram({TALLYGLASS_MSGMERGE, "--quiet", "-o", merged, oldPo, reference});
    ASSERT_EQ(merge.exitCode, 0) << merge.err;
    ExpectMsgfmtAccepts(merged);
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    ASSERT_TRUE(ReadPoCatalog(merged, info, units, error)) << error;

    const ImportPlan plan = now.Plan(units, kFrench);
    EXPECT_EQ(plan.Count(UnitOutcome::fuzzy), 2u);  // STR# 128 and CTSS 2000, entry 0
    EXPECT_EQ(plan.Count(UnitOutcome::unchanged), 2u);
    EXPECT_TRUE(plan.changes.empty());
    ImportOptions options;
    options.fuzzy = true;
    const ImportPlan withFuzzy = now.Plan(units, kFrench, options);
    ASSERT_TRUE(ApplyImport(now.m_doc, withFuzzy).Ok());
    EXPECT_EQ(now.Text(kTypeStrings, 128, 0, kFrench), "Chaise");
}

}  // namespace

namespace {

// What an export leaves out: engine names (by id in object files, by chunk name anywhere), texts
// without a letter, resources without languages; --all takes the first two back.
TEST(LeftOut, IsCountedAndTakenBackByAll) {
    struct Row {
        const char* name;
        bool objectFile;
        bool all;
        std::vector<std::string> exported;
        size_t engine;
        size_t noLetter;
    };
    const Row rows[] = {
        {"object_file", true, false, {"Chair"}, 2, 2},
        {"other_file", false, false, {"Chair", "sit_loop"}, 1, 2},
        {"all", true, true, {"Chair", "42", "...", "sit_loop", "a2o-stand"}, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempFolder dir;
        std::vector<TestChunk> chunks;
        if (row.objectFile) {
            chunks.push_back(MakeChunk("OBJD", 128, Bytes(8, 0)));
        }
        chunks.push_back(
            MakeChunk("STR#", 128, Multilingual({{0, {"Chair", "42", "..."}, {}}}), "names"));
        chunks.push_back(MakeChunk("STR#", 129, Multilingual({{0, {"sit_loop"}, {}}}), "x"));
        chunks.push_back(
            MakeChunk("STR#", 140, Multilingual({{0, {"a2o-stand"}, {}}}), "Animations"));
        chunks.push_back(MakeChunk("STR#", 300, MakePlainPayload({"Plain"})));
        WriteBytes(dir / "o.iff", MakeIffFile(chunks));
        CTallyglassDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(dir / "o.iff"));
        ExportOptions options;
        options.targetSlot = kFrench;
        options.all = row.all;
        const ExportResult result = ExtractUnits(doc, options);
        std::vector<std::string> exported;
        for (const TranslationUnit& unit : result.units) {
            exported.push_back(unit.source);
        }
        EXPECT_EQ(exported, row.exported);
        EXPECT_EQ(result.leftOut.engineResources, row.engine);
        EXPECT_EQ(result.leftOut.noLetterTexts, row.noLetter);
        EXPECT_EQ(result.leftOut.noLanguageResources, 1u);
    }
}

// English bytes pasted into the Japanese slot read as other characters there, but are a copy.
TEST(Copies, TheSourcesBytesInAnotherCodePageAreNoTranslation) {
    constexpr int kJapanese = 9;
    TempFolder dir;
    const Bytes payload =
        Multilingual({{0, {"I don\xE2\x80\x99t see", "Chair"}, {}},
                      {kJapanese, {"I don\xE7\xA8\x9A see", "\xE6\xA4\x85\xE5\xAD\x90"}, {}}});
    WriteBytes(dir / "c.iff", MakeIffFile({MakeChunk("STR#", 128, payload)}));
    CTallyglassDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(dir / "c.iff"));
    ExportOptions options;
    options.targetSlot = kJapanese;
    const ExportResult result = ExtractUnits(doc, options);
    ASSERT_EQ(result.units.size(), 2u);
    EXPECT_EQ(result.units[0].target, "");
    EXPECT_EQ(result.units[1].target, "\xE6\xA4\x85\xE5\xAD\x90");
    const FileCoverage coverage = MeasureCoverage(doc, 0);
    const auto japanese =
        std::find_if(coverage.languages.begin(), coverage.languages.end(),
                     [](const LanguageCoverage& l) { return l.slot == kJapanese; });
    ASSERT_NE(japanese, coverage.languages.end());
    EXPECT_EQ(japanese->identical, 1u);
    EXPECT_EQ(japanese->translated, 1u);
}

}  // namespace
