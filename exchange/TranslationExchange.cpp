#include "exchange/TranslationExchange.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "document/TallyglassDoc.h"
#include "iff/ChunkStore.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "strings/TextCodec.h"
#include "strings/TextResources.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

namespace {

constexpr const char* kImportStep = "Import Translation";

size_t CountLineBreaks(const std::string& text) {
    return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
}

bool IsAsciiAlpha(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool IsAsciiAlnum(char c) {
    return IsAsciiAlpha(c) || (c >= '0' && c <= '9');
}

void Report(ImportPlan& plan, const std::string& key, UnitOutcome outcome,
            std::string reason = {}) {
    ++plan.counts[static_cast<size_t>(outcome)];
    if (outcome != UnitOutcome::applied) {
        plan.reports.push_back({key, outcome, std::move(reason)});
    }
}

}  // namespace

std::string CatalogText(const CTextCodec& codec, std::string_view bytes) {
    return ToUtf8(CTextCodec::ToDisplay(codec.Decode(bytes)));
}

namespace {

// Calls visit(key, name, strings) for every text resource of the document in type and chunk
// order, with its chunk name and the texts as the editor holds them; unreadable receives those
// that cannot be read, and the others are visited all the same.
void ForEachNamedResource(CTallyglassDoc& doc, std::vector<std::string>& unreadable,
                          const std::function<void(const CResourceEditor::Key&, const std::string&,
                                                   const CStringSet&)>& visit) {
    const CChunkStore& store = CChunkStore::Instance();
    for (const ChunkType type : kTextResourceTypes) {
        std::vector<std::pair<uint16_t, std::string>> chunks;
        for (POSITION pos = doc.m_iff.FindFirstOfType(type); pos != 0;) {
            if (const CChunkRecord* record = store.Resolve(doc.m_iff.GetNextOfType(pos))) {
                chunks.emplace_back(record->id, record->name);
            }
        }
        std::sort(chunks.begin(), chunks.end());
        for (const auto& [id, name] : chunks) {
            const CResourceEditor::Key key(type, id);
            CStringSet holder;
            const CStringSet* strings = doc.m_editor.Content(key, holder);
            if (strings == nullptr) {
                unreadable.push_back(ChunkTypeName(type) + " " + std::to_string(id));
                continue;
            }
            visit(key, name, *strings);
        }
    }
}

// Object files, whose string tables 129 and up hold engine names, have an object definition.
bool IsObjectFile(CTallyglassDoc& doc) {
    return doc.m_iff.FindFirstOfType(MakeChunkType('O', 'B', 'J', 'D')) != 0;
}

}  // namespace

void ForEachResource(
    CTallyglassDoc& doc, std::vector<std::string>& unreadable,
    const std::function<void(const CResourceEditor::Key&, const CStringSet&)>& visit) {
    ForEachNamedResource(doc, unreadable,
                         [&](const CResourceEditor::Key& key, const std::string&,
                             const CStringSet& strings) { visit(key, strings); });
}

std::vector<std::string> GameTokens(const std::string& text) {
    std::vector<std::string> tokens;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '$' || i + 1 >= text.size() || !IsAsciiAlpha(text[i + 1])) {
            continue;
        }
        size_t end = i + 1;
        while (end < text.size() && IsAsciiAlpha(text[end])) {
            ++end;
        }
        // Arguments: ':' and letters or digits, as many as follow.
        while (end + 1 < text.size() && text[end] == ':' && IsAsciiAlnum(text[end + 1])) {
            ++end;
            while (end < text.size() && IsAsciiAlnum(text[end])) {
                ++end;
            }
        }
        tokens.push_back(text.substr(i, end - i));
        i = end - 1;
    }
    return tokens;
}

const char* OutcomeName(UnitOutcome outcome) {
    static const char* const kNames[kOutcomeCount] = {
        "applied", "unchanged", "untranslated", "fuzzy", "outdated", "unknown", "refused"};
    return kNames[static_cast<size_t>(outcome)];
}

bool IsEngineNames(ChunkType type, uint16_t id, const std::string& chunkName, bool objectFile) {
    static constexpr uint16_t kIds[] = {129, 130, 131, 132, 150, 256, 257, 300, 303, 304};
    static const char* const kNames[] = {"a2o", "c2o", "a2c", "c2a", "animations"};
    if (type != kTypeStrings) {
        return false;
    }
    std::string lower = chunkName;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool named = std::any_of(std::begin(kNames), std::end(kNames),
                                   [&](const char* name) { return lower == name; });
    return named ||
           (objectFile && std::find(std::begin(kIds), std::end(kIds), id) != std::end(kIds));
}

bool HasLetter(std::u16string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
        UChar32 c = text[i];
        if (U16_IS_LEAD(text[i]) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
            c = U16_GET_SUPPLEMENTARY(text[i], text[i + 1]);
            ++i;
        }
        if (u_isalpha(c)) {
            return true;
        }
    }
    return false;
}

namespace {

// One text an export takes, with its place and its source as the catalog shows it.
struct ExportedText {
    const CResourceEditor::Key& key;
    const CStringSet& strings;
    size_t entry;
    int part;        // 0 the text, 1 the description
    int sourceSlot;  // in a resource without languages both slots are 0: its one text
    int targetSlot;
    std::string_view sourceBytes;
    const std::u16string& sourceDisplay;
};

// Calls visit for every text an export with options takes, in type, chunk and entry order,
// and counts in leftOut what it leaves out: the one rule of what export and coverage count.
void ForEachExportedText(CTallyglassDoc& doc, const ExportOptions& options,
                         std::vector<std::string>& unreadable, LeftOut& leftOut,
                         const std::function<void(const ExportedText&)>& visit) {
    const bool objectFile = IsObjectFile(doc);
    ForEachNamedResource(
        doc, unreadable,
        [&](const CResourceEditor::Key& key, const std::string& name, const CStringSet& strings) {
            const bool languages = strings.HasLanguages();
            if (!languages && !options.inPlace) {
                ++leftOut.noLanguageResources;
                return;
            }
            if (!options.all && IsEngineNames(key.first, key.second, name, objectFile)) {
                ++leftOut.engineResources;
                return;
            }
            const int sourceSlot = languages ? options.sourceSlot : 0;
            const int targetSlot = languages ? options.targetSlot : 0;
            const CTextCodec& sourceCodec = strings.GetSlotCodec(sourceSlot);
            for (size_t entry = 0; entry < strings.GetCount(); ++entry) {
                const StringSlot source = strings.GetSlot(entry, static_cast<size_t>(sourceSlot));
                for (int part = 0; part < (options.descriptions ? 2 : 1); ++part) {
                    const std::string_view sourceBytes =
                        part == 0 ? source.text : source.description;
                    if (sourceBytes.empty()) {
                        continue;
                    }
                    const std::u16string sourceDisplay =
                        CTextCodec::ToDisplay(sourceCodec.Decode(sourceBytes));
                    if (!options.all && !HasLetter(sourceDisplay)) {
                        ++leftOut.noLetterTexts;
                        continue;
                    }
                    visit({key, strings, entry, part, sourceSlot, targetSlot, sourceBytes,
                           sourceDisplay});
                }
            }
        });
}

}  // namespace

ExportResult ExtractUnits(CTallyglassDoc& doc, const ExportOptions& options) {
    ExportResult result;
    ForEachExportedText(
        doc, options, result.unreadable, result.leftOut, [&](const ExportedText& text) {
            const std::string key = FormatUnitKey(
                {text.key.first, text.key.second, static_cast<uint16_t>(text.entry), text.part});
            TranslationUnit unit;
            unit.context = options.keyByFile ? options.fileName + ":" + key : key;
            unit.references = {options.fileName + ":" + key};
            unit.source = ToUtf8(text.sourceDisplay);
            const StringSlot target =
                text.strings.GetSlot(text.entry, static_cast<size_t>(text.targetSlot));
            const std::string_view targetBytes = text.part == 0 ? target.text : target.description;
            unit.target = CatalogText(text.strings.GetSlotCodec(text.targetSlot), targetBytes);
            // The source's bytes in another slot are a copy, whatever that slot's code page makes
            // of them.
            if (!options.keepCopies &&
                (unit.target == unit.source || targetBytes == text.sourceBytes)) {
                unit.target.clear();
            }
            if (const StringSlot source =
                    text.strings.GetSlot(text.entry, static_cast<size_t>(text.sourceSlot));
                text.part == 0 && !source.description.empty()) {
                unit.comment =
                    CatalogText(text.strings.GetSlotCodec(text.sourceSlot), source.description);
            }
            result.units.push_back(std::move(unit));
        });
    return result;
}

ImportPlan PlanImport(CTallyglassDoc& doc, const std::vector<TranslationUnit>& units,
                      const ImportOptions& options) {
    ImportPlan plan;
    std::set<std::pair<CResourceEditor::Key, std::pair<uint16_t, int>>> seen;
    // Each resource decoded once, not once per unit (the selected one is the working copy).
    std::map<CResourceEditor::Key, std::unique_ptr<CStringSet>> holders;
    std::map<CResourceEditor::Key, const CStringSet*> contents;
    const auto contentOf = [&](const CResourceEditor::Key& key) {
        auto found = contents.find(key);
        if (found == contents.end()) {
            auto holder = std::make_unique<CStringSet>();
            found = contents.emplace(key, doc.m_editor.Content(key, *holder)).first;
            holders.emplace(key, std::move(holder));
        }
        return found->second;
    };
    for (const TranslationUnit& unit : units) {
        const std::optional<UnitKey> parsed = ParseUnitKey(unit.context, nullptr);
        // A unit without a key is named by the start of its source text.
        std::string key =
            !unit.context.empty() ? unit.context : "(no key) \"" + unit.source.substr(0, 40) + "\"";
        // A NUL in the key or the source is refused as one in the translation is: a reader
        // that ends texts there would take it for another key or text.
        if (const size_t nul = key.find('\0');
            nul != std::string::npos || unit.source.find('\0') != std::string::npos) {
            for (size_t at = nul; at != std::string::npos; at = key.find('\0', at)) {
                key.replace(at, 1, "\\0");
            }
            Report(plan, key, UnitOutcome::refused, kNoNul);
            plan.refused = plan.refused || !options.skipUnencodable;
            continue;
        }
        if (!parsed) {
            Report(plan, key, UnitOutcome::unknown, "not a key of a text resource");
            continue;
        }
        const CResourceEditor::Key resource(parsed->type, parsed->id);
        const CStringSet* strings = contentOf(resource);
        if (strings == nullptr) {
            Report(plan, key, UnitOutcome::unknown, "no such resource in the file");
            continue;
        }
        const bool languages = strings->HasLanguages();
        if (!languages && !options.inPlace) {
            Report(plan, key, UnitOutcome::unknown,
                   "the resource has no languages (--in-place replaces its one text)");
            continue;
        }
        const int sourceSlot = languages ? options.sourceSlot : 0;
        const int targetSlot = languages ? options.targetSlot : 0;
        if (parsed->entry >= strings->GetCount()) {
            Report(plan, key, UnitOutcome::unknown, "no such entry in the resource");
            continue;
        }
        if (!seen.insert({resource, {parsed->entry, parsed->part}}).second) {
            Report(plan, key, UnitOutcome::refused, "a second unit for this key");
            continue;
        }
        if (unit.target.empty()) {
            Report(plan, key, UnitOutcome::untranslated);
            continue;
        }
        if (unit.fuzzy && !options.fuzzy) {
            Report(plan, key, UnitOutcome::fuzzy);
            continue;
        }
        const StringSlot source = strings->GetSlot(parsed->entry, static_cast<size_t>(sourceSlot));
        const std::string sourceText =
            CatalogText(strings->GetSlotCodec(sourceSlot),
                        parsed->part == 0 ? source.text : source.description);
        if (unit.source != sourceText && !options.force) {
            Report(plan, key, UnitOutcome::outdated, "the source text has changed since");
            continue;
        }
        const CTextCodec& codec = strings->GetSlotCodec(targetSlot);
        std::optional<std::u16string> display = FromUtf8(unit.target);
        if (!display) {
            Report(plan, key, UnitOutcome::refused, "the translation is not UTF-8");
            plan.refused = plan.refused || !options.skipUnencodable;
            continue;
        }
        std::string bytes;
        if (const EditResult encoded = EncodeText(*strings, targetSlot, *display, bytes);
            !encoded.Ok()) {
            Report(plan, key, UnitOutcome::refused, encoded.reason);
            plan.refused = plan.refused || !options.skipUnencodable;
            continue;
        }
        std::vector<std::string> wanted = GameTokens(sourceText);
        std::vector<std::string> given = GameTokens(unit.target);
        std::sort(wanted.begin(), wanted.end());
        std::sort(given.begin(), given.end());
        std::string mismatch;
        if (wanted != given) {
            mismatch = "the $-tokens differ from the source's";
        } else if (CountLineBreaks(sourceText) != CountLineBreaks(unit.target)) {
            mismatch = "the source has " + std::to_string(CountLineBreaks(sourceText)) +
                       " line breaks, the translation " +
                       std::to_string(CountLineBreaks(unit.target));
        }
        if (!mismatch.empty()) {
            if (options.strict) {
                Report(plan, key, UnitOutcome::refused, mismatch);
                plan.refused = true;
                continue;
            }
            plan.warnings.push_back(key + ": " + mismatch);
        }
        const StringSlot target = strings->GetSlot(parsed->entry, static_cast<size_t>(targetSlot));
        if (bytes == (parsed->part == 0 ? target.text : target.description)) {
            Report(plan, key, UnitOutcome::unchanged);
            continue;
        }
        Report(plan, key, UnitOutcome::applied);
        plan.shown.push_back(
            {key, CatalogText(codec, parsed->part == 0 ? target.text : target.description),
             unit.target});
        plan.changes.push_back({parsed->type, parsed->id, parsed->entry, targetSlot, parsed->part,
                                std::move(*display)});
    }
    if (plan.refused) {
        plan.changes.clear();
        plan.shown.clear();
    }
    return plan;
}

EditResult ApplyImport(CTallyglassDoc& doc, const ImportPlan& plan) {
    if (plan.refused || plan.changes.empty()) {
        return {};
    }
    return doc.m_editor.ApplyChanges(plan.changes, kImportStep);
}

std::string FormatImportSummary(const ImportPlan& plan, SummaryMode mode, bool diff) {
    // A refused import applies nothing: its count of applicable units says so.
    const char* firstName = plan.refused || mode == SummaryMode::dryRun ? "would apply"
                            : mode == SummaryMode::notWritten           ? "not written"
                                                                        : "applied";
    const std::string lead = mode == SummaryMode::dryRun ? "(dry run) " : "";
    std::string out = lead + (plan.refused ? "refused, nothing applied: " : "");
    for (size_t i = 0; i < kOutcomeCount; ++i) {
        out += (i == 0 ? "" : ", ") + std::to_string(plan.counts[i]) + " " +
               (i == 0 ? firstName : OutcomeName(static_cast<UnitOutcome>(i)));
    }
    out += "\n";
    for (const UnitReport& report : plan.reports) {
        out += lead + OutcomeName(report.outcome) + ": " + report.key;
        if (!report.reason.empty()) {
            out += ": " + report.reason;
        }
        out += "\n";
    }
    for (const std::string& warning : plan.warnings) {
        out += lead + "warning: " + warning + "\n";
    }
    if (diff) {
        for (const ShownChange& change : plan.shown) {
            out += lead + change.key + ": \"" + change.before + "\" -> \"" + change.after + "\"\n";
        }
    }
    return out;
}

bool IsClean(const ImportPlan& plan) {
    return !plan.refused && plan.Count(UnitOutcome::fuzzy) == 0 &&
           plan.Count(UnitOutcome::outdated) == 0 && plan.Count(UnitOutcome::unknown) == 0 &&
           plan.Count(UnitOutcome::refused) == 0;
}

FileCoverage MeasureCoverage(CTallyglassDoc& doc, int sourceSlot, bool all) {
    FileCoverage coverage;
    for (int index = 0; index < kNamedLanguageCount; ++index) {
        const int slot = SlotOfLanguageIndex(index);
        if (slot != sourceSlot) {
            coverage.languages.push_back({slot, 0, 0, 0});
        }
    }
    ExportOptions options;
    options.sourceSlot = sourceSlot;
    options.all = all;
    ForEachExportedText(
        doc, options, coverage.unreadable, coverage.leftOut, [&](const ExportedText& text) {
            ++coverage.units;
            const std::string sourceText = ToUtf8(text.sourceDisplay);
            for (LanguageCoverage& language : coverage.languages) {
                const std::string_view target =
                    text.strings.GetSlot(text.entry, static_cast<size_t>(language.slot)).text;
                if (target.empty()) {
                    ++language.empty;
                } else if (target == text.sourceBytes ||
                           CatalogText(text.strings.GetSlotCodec(language.slot), target) ==
                               sourceText) {
                    ++language.identical;
                } else {
                    ++language.translated;
                }
            }
        });
    return coverage;
}

std::string FormatLeftOut(const LeftOut& leftOut, const char* allDoes) {
    if (leftOut.engineResources + leftOut.noLetterTexts + leftOut.noLanguageResources == 0) {
        return {};
    }
    return "left out: " + std::to_string(leftOut.engineResources) + " resources of engine names, " +
           std::to_string(leftOut.noLetterTexts) + " texts without a letter (--all " + allDoes +
           " both), " + std::to_string(leftOut.noLanguageResources) +
           " resources without languages";
}
