#include "memory/MemoryBuilder.h"

#include <algorithm>
#include <set>
#include <tuple>

#include "document/TallyglassDoc.h"
#include "exchange/Locales.h"
#include "memory/MemorySet.h"
#include "memory/TranslationMemory.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "strings/TextCodec.h"

namespace {

constexpr const char* kFillStep = "Fill from Memory";

void Count(ImportPlan& plan, UnitOutcome outcome, size_t n = 1) {
    plan.counts[static_cast<size_t>(outcome)] += n;
}

}  // namespace

bool IsMemoryText(std::string_view utf8) {
    const std::optional<std::u16string> text = FromUtf8(utf8);
    if (!text) {
        return false;
    }
    for (size_t i = 0; i < text->size(); ++i) {
        const char16_t c = (*text)[i];
        if (c < 0x20 && c != '\n' && c != '\t') {
            return false;
        }
        // Escapes live in plane 15 (high surrogate U+DB80 and up), and U+FFFE/U+FFFF are no XML.
        if ((c >= 0xDB80 && c <= 0xDBBF) || c == 0xFFFE || c == 0xFFFF) {
            return false;
        }
    }
    return true;
}

std::vector<MemoryInput> ListMemoryInputs(const std::vector<std::string>& arguments,
                                          std::vector<std::string>& problems) {
    // The exchange's walk: the same files, archives included, as export and import take.
    class CProblems : public IBatchReporter {
    public:
        explicit CProblems(std::vector<std::string>& problems) : m_problems(problems) {}
        void Problem(const std::string& sentence) override { m_problems.push_back(sentence); }
        bool Progress(size_t, size_t, const std::string&) override { return true; }

    private:
        std::vector<std::string>& m_problems;
    } reporter(problems);
    std::vector<MemoryInput> inputs;
    std::ignore = CollectInputs(arguments, inputs, reporter);  // each failure is a problem
    return inputs;
}

MemoryBuildReport BuildMemory(const std::vector<MemoryInput>& inputs, int sourceSlot,
                              CTranslationMemory& memory, const MemoryProgress& progress) {
    MemoryBuildReport report;
    memory.SetSourceLocale(LocaleOfSlot(sourceSlot));
    class CReporter : public IBatchReporter {
    public:
        CReporter(MemoryBuildReport& report, const MemoryProgress& progress)
            : m_report(report), m_progress(progress) {}
        void Problem(const std::string& sentence) override {
            m_report.problems.push_back(sentence);
        }
        bool Progress(size_t done, size_t total, const std::string& name) override {
            return !m_progress || m_progress(done, total, name);
        }

    private:
        MemoryBuildReport& m_report;
        const MemoryProgress& m_progress;
    } reporter(report, progress);
    // The exchange's walk through the files: archives as the set of their IFF entries.
    std::ignore =
        ForEachInputFile(inputs, reporter, report.cancelled,
                         [&](const CInput& input, size_t item, CTallyglassDoc& doc) {
                             ++report.files;
                             const MemoryBuildStats stats =
                                 AddDocumentToMemory(doc, input.Name(item), sourceSlot, memory);
                             report.places += stats.places;
                             report.skipped += stats.skipped;
                             for (const std::string& resource : stats.unreadable) {
                                 report.problems.push_back(input.Shown(item) + ": " + resource +
                                                           " cannot be read; it is skipped.");
                             }
                             return true;
                         });
    return report;
}

MemoryBuildStats AddDocumentToMemory(CTallyglassDoc& doc, const std::string& fileName,
                                     int sourceSlot, CTranslationMemory& memory) {
    MemoryBuildStats stats;
    std::vector<int> slots;
    for (int index = 0; index < kNamedLanguageCount; ++index) {
        if (const int slot = SlotOfLanguageIndex(index); slot != sourceSlot) {
            slots.push_back(slot);
        }
    }
    // A language enters the memory's table with its first text, so the table names only
    // languages the memory holds.
    std::vector<uint16_t> locales(slots.size(), CTranslationMemory::kNoLocale);
    ForEachResource(
        doc, stats.unreadable, [&](const CResourceEditor::Key& key, const CStringSet& strings) {
            if (!strings.HasLanguages()) {
                return;
            }
            const CTextCodec& sourceCodec = strings.GetSlotCodec(sourceSlot);
            for (size_t entry = 0; entry < strings.GetCount(); ++entry) {
                const std::string_view sourceBytes =
                    strings.GetSlot(entry, static_cast<size_t>(sourceSlot)).text;
                if (sourceBytes.empty()) {
                    continue;
                }
                std::string source = CatalogText(sourceCodec, sourceBytes);
                std::vector<MemoryTranslation> translations;
                for (size_t i = 0; i < slots.size() && IsMemoryText(source); ++i) {
                    const std::string_view bytes =
                        strings.GetSlot(entry, static_cast<size_t>(slots[i])).text;
                    if (bytes.empty() || bytes == sourceBytes) {
                        continue;
                    }
                    std::string text = CatalogText(strings.GetSlotCodec(slots[i]), bytes);
                    if (IsMemoryText(text)) {
                        if (locales[i] == CTranslationMemory::kNoLocale) {
                            locales[i] = memory.AddLocale(LocaleOfSlot(slots[i]));
                        }
                        translations.push_back({locales[i], std::move(text)});
                    }
                }
                const std::string place =
                    fileName + ":" +
                    FormatUnitKey({key.first, key.second, static_cast<uint16_t>(entry), 0});
                if (memory.Add(std::move(source), std::move(translations), place)) {
                    ++stats.places;
                } else {
                    ++stats.skipped;
                }
            }
        });
    return stats;
}

PretranslateStats Pretranslate(std::vector<TranslationUnit>& units, const CMemorySet& memories,
                               const std::string& locale, int targetSlot, int minScore) {
    PretranslateStats stats;
    const CTextCodec& codec = CTextCodec::ForSlot(targetSlot);
    const auto fits = [&codec](const std::string& text) {
        const std::optional<std::u16string> display = FromUtf8(text);
        std::string bytes;
        return display && codec.EncodeDisplay(*display, bytes);
    };
    constexpr size_t kCandidates = 5;
    for (TranslationUnit& unit : units) {
        if (!unit.target.empty()) {
            ++stats.translated;
            continue;
        }
        bool skipped = false;
        bool filled = false;
        for (const Suggestion& match :
             memories.Suggest(unit.source, locale, minScore, kCandidates)) {
            if (!fits(match.target)) {
                skipped = true;
                continue;
            }
            unit.target = match.target;
            if (match.score == 100 && match.source == unit.source) {
                unit.fuzzy = false;
                ++stats.exact;
            } else {
                unit.fuzzy = true;
                const std::string note = "memory: " + std::to_string(match.score) +
                                         "% match of \u201C" + match.source + "\u201D";
                unit.translatorComment += (unit.translatorComment.empty() ? "" : "\n") + note;
                ++stats.fuzzy;
            }
            filled = true;
            break;
        }
        if (!filled) {
            ++(skipped ? stats.unencodable : stats.unmatched);
        }
    }
    return stats;
}

std::string FormatPretranslateSummary(const PretranslateStats& stats) {
    std::string out = std::to_string(stats.exact) + " exact, " + std::to_string(stats.fuzzy) +
                      " fuzzy, " + std::to_string(stats.unmatched) + " without a match, " +
                      std::to_string(stats.translated) + " translated already";
    if (stats.unencodable != 0) {
        out += ", " + std::to_string(stats.unencodable) +
               " skipped: the language's code page cannot hold the match";
    }
    return out;
}

ImportPlan PlanFill(CTallyglassDoc& doc, const CMemorySet& memories, int sourceSlot,
                    const std::vector<int>& slots) {
    ImportPlan plan;
    for (const int slot : slots) {
        if (slot == sourceSlot) {
            continue;
        }
        const char* locale = LocaleOfSlot(slot);
        ExportOptions exportOptions;
        exportOptions.sourceSlot = sourceSlot;
        exportOptions.targetSlot = slot;
        ExportResult exported = ExtractUnits(doc, exportOptions);
        std::vector<TranslationUnit> matched;
        for (TranslationUnit& unit : exported.units) {
            if (!unit.target.empty()) {
                continue;  // translated already
            }
            if (const std::string* translation = memories.Exact(unit.source, locale)) {
                unit.target = *translation;
                matched.push_back(std::move(unit));
            } else {
                Count(plan, UnitOutcome::untranslated);
            }
        }
        ImportOptions options;
        options.sourceSlot = sourceSlot;
        options.targetSlot = slot;
        options.skipUnencodable = true;
        ImportPlan part = PlanImport(doc, matched, options);
        for (size_t i = 0; i < kOutcomeCount; ++i) {
            plan.counts[i] += part.counts[i];
        }
        const std::string prefix = std::string(locale) + ": ";
        for (UnitReport& report : part.reports) {
            report.key = prefix + report.key;
            plan.reports.push_back(std::move(report));
        }
        for (const std::string& warning : part.warnings) {
            plan.warnings.push_back(prefix + warning);
        }
        plan.changes.insert(plan.changes.end(), part.changes.begin(), part.changes.end());
    }
    return plan;
}

EditResult ApplyFill(CTallyglassDoc& doc, const ImportPlan& plan) {
    if (plan.changes.empty()) {
        return {};
    }
    return doc.m_editor.ApplyChanges(plan.changes, kFillStep);
}
