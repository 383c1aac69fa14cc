#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "document/ResourceEditor.h"
#include "exchange/TranslationUnit.h"

class CStringSet;
class CTallyglassDoc;
class CTextCodec;

// Translation units out of a document's text resources and back in, through its editing model.
// Only resources whose layout holds languages take part: in the others one text stands for
// every language, and a translation would replace the source.

struct ExportOptions {
    int sourceSlot = 0;
    int targetSlot = 2;
    bool descriptions = false;  // descriptions as units of their own
    bool keepCopies = false;    // a target equal to its source exported as translated
    bool all = false;           // engine names and texts without a letter too
    bool inPlace = false;       // resources without languages too: their one text is the source
    std::string fileName;       // the file as references name it
    bool keyByFile = false;     // the file name in front of every key too (one catalog, many files)
};

// What an export leaves out on purpose, counted so that nothing goes missing unseen.
struct LeftOut {
    size_t engineResources = 0;      // resources of engine names (animations, walk styles ...)
    size_t noLetterTexts = 0;        // texts without a letter: numbers, punctuation
    size_t noLanguageResources = 0;  // one text stands for every language; a translation
                                     // would replace the source

    LeftOut& operator+=(const LeftOut& other) {
        engineResources += other.engineResources;
        noLetterTexts += other.noLetterTexts;
        noLanguageResources += other.noLanguageResources;
        return *this;
    }
};

struct ExportResult {
    std::vector<TranslationUnit> units;
    // Text resources that could not be read ("CTSS 2000"); their texts are missing from units,
    // the others' are there.
    std::vector<std::string> unreadable;
    LeftOut leftOut;
};

// One unit per entry (and, with descriptions, per description) whose source text is not empty,
// in type, chunk and entry order, as the editor currently holds the texts; each unit keyed by
// its place and referring to it. Unless options.all, resources of engine names (IsEngineNames)
// and texts without a letter are left out and counted.
[[nodiscard]] ExportResult ExtractUnits(CTallyglassDoc& doc, const ExportOptions& options);

// True for a text resource of an object file that holds names the engine looks up rather than
// text the game shows: STR# 129-132, 150, 256, 257, 300, 303 and 304 (animations, walk styles,
// suits, attribute labels), or one whose chunk name is one of theirs ("a2o", "Animations" ...).
[[nodiscard]] bool IsEngineNames(ChunkType type, uint16_t id, const std::string& chunkName,
                                 bool objectFile);
// True when text holds a letter of any script.
[[nodiscard]] bool HasLetter(std::u16string_view text);

enum class UnitOutcome { applied, unchanged, untranslated, fuzzy, outdated, unknown, refused };
inline constexpr size_t kOutcomeCount = 7;

// The name of an outcome as the summary shows it ("applied").
[[nodiscard]] const char* OutcomeName(UnitOutcome outcome);

struct ImportOptions {
    int sourceSlot = 0;
    int targetSlot = 2;
    bool fuzzy = false;            // apply fuzzy units
    bool force = false;            // apply units whose source text has changed since
    bool skipUnencodable = false;  // skip texts the code page cannot hold instead of refusing all
    bool strict = false;           // refuse the import on a token or line-break mismatch
    bool inPlace = false;  // in resources without languages the translation replaces the one text
};

struct UnitReport {
    std::string key;
    UnitOutcome outcome = UnitOutcome::applied;
    std::string reason;  // empty for plain outcomes
};

// A change as a reader sees it: the place, the text before and after (catalog texts).
struct ShownChange {
    std::string key;
    std::string before;
    std::string after;
};

// What an import would do: every unit's outcome, the changes, and whether it is refused.
// Why an import is refused whose texts a resource cannot hold.
inline constexpr const char* kImportTooLarge =
    "the import is refused: a text resource would hold more than 65,535 strings (each language "
    "counted separately; in a UTF-8 resource, each language's); nothing was written.";

struct ImportPlan {
    std::array<size_t, kOutcomeCount> counts{};
    std::vector<UnitReport> reports;    // each unit not applied, with its key
    std::vector<std::string> warnings;  // token and line-break mismatches
    std::vector<TextChange> changes;
    std::vector<ShownChange> shown;  // each change, as changes holds them
    bool refused = false;            // the import as a whole: nothing may be applied

    [[nodiscard]] size_t Count(UnitOutcome outcome) const {
        return counts[static_cast<size_t>(outcome)];
    }
};

// Plans the import of units into the document's target slot; changes nothing.
[[nodiscard]] ImportPlan PlanImport(CTallyglassDoc& doc, const std::vector<TranslationUnit>& units,
                                    const ImportOptions& options);
// Applies a plan that is not refused as one step of the document's history ("Import
// Translation"); nothing for a refused plan or one without changes.
EditResult ApplyImport(CTallyglassDoc& doc, const ImportPlan& plan);
// Whether the changes of a plan reached the file: written, not written (the save failed), or
// not meant to be (a dry run).
enum class SummaryMode { written, notWritten, dryRun };

// The summary: a line of counts (of a refused import: "refused, nothing applied: N would
// apply, ..."; of one not written: "N not written, ..."; of a dry run "N would apply, ..."),
// then each unit not applied and each warning, one a line; with diff, each change as
// "KEY: "before" -> "after"". In a dry run every line starts with "(dry run) ".
[[nodiscard]] std::string FormatImportSummary(const ImportPlan& plan,
                                              SummaryMode mode = SummaryMode::written,
                                              bool diff = false);
// True when every unit was applied, unchanged or untranslated, and the plan not refused.
[[nodiscard]] bool IsClean(const ImportPlan& plan);

struct LanguageCoverage {
    int slot = 0;
    size_t translated = 0;  // a text that differs from the source
    size_t identical = 0;   // the source's text pasted in, or its bytes in another code page
    size_t empty = 0;
};

struct FileCoverage {
    size_t units = 0;                         // the texts an export takes: the units of a
                                              // positional export without descriptions
    std::vector<LanguageCoverage> languages;  // every named language but the source
    std::vector<std::string> unreadable;
    LeftOut leftOut;  // what an export leaves out, counted as it counts it
};

// Counts the texts that an export from sourceSlot takes (with all, as export --all does), and
// how each named language holds them.
[[nodiscard]] FileCoverage MeasureCoverage(CTallyglassDoc& doc, int sourceSlot, bool all = false);

// The line that says what was left out ("left out: 2 resources of engine names, 5 texts
// without a letter (--all exports both), 1 resources without languages"), allDoes saying what
// --all does ("exports"); empty when nothing was.
[[nodiscard]] std::string FormatLeftOut(const LeftOut& leftOut, const char* allDoes);

// The $-tokens of a text ("$Me", "$Local:0", "$DynamicStringLocal:2:1"), in order.
[[nodiscard]] std::vector<std::string> GameTokens(const std::string& text);

// A stored text as catalogs hold it: UTF-8, each CR LF one '\n'; bytes the code page cannot
// decode stay escapes, so that they come back as they were.
[[nodiscard]] std::string CatalogText(const CTextCodec& codec, std::string_view bytes);

// Calls visit(key, strings) for every text resource of the document in type and chunk order,
// with the texts as the editor holds them; unreadable receives those that cannot be read.
void ForEachResource(
    CTallyglassDoc& doc, std::vector<std::string>& unreadable,
    const std::function<void(const CResourceEditor::Key&, const CStringSet&)>& visit);
