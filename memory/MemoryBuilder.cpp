#include "memory/MemoryBuilder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "document/TallyglassDoc.h"
#include "exchange/Locales.h"
#include "far/FarArchive.h"
#include "framework/doc/Archive.h"
#include "framework/stream/FileException.h"
#include "framework/stream/MemFile.h"
#include "memory/MemorySet.h"
#include "memory/TranslationMemory.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "strings/TextCodec.h"

namespace {

constexpr const char* kFillStep = "Fill from Memory";

namespace fs = std::filesystem;

bool IsMemoryInputFile(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".iff" || extension == ".flr" || extension == ".wll" ||
           extension == ".spf" || extension == ".far";
}

// Reads the IFF file in bytes into doc, as opening it would; the reason when it is none.
std::string LoadDocument(CTallyglassDoc& doc, const uint8_t* data, size_t size,
                         const std::string& name) {
    CMemFile file(data, size);
    CArchive archive(&file, CArchive::load);
    doc.Serialize(archive);
    if (doc.GetOpenError() != 0 || !doc.m_iff.IsAttached()) {
        return CTallyglassDoc::OpenErrorMessage(
            doc.GetOpenError() != 0 ? doc.GetOpenError() : CIffFile::errNotIff, name);
    }
    return {};
}

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
    std::vector<MemoryInput> inputs;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (!fs::is_directory(argument, error)) {
            inputs.push_back({argument, fs::path(argument).filename().string()});
            continue;
        }
        std::vector<MemoryInput> found;
        fs::recursive_directory_iterator walk(argument, error);
        for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
            std::error_code typeError;
            if (walk->is_regular_file(typeError) && IsMemoryInputFile(walk->path())) {
                found.push_back({walk->path().string(),
                                 walk->path().lexically_relative(argument).generic_string()});
            }
        }
        if (error) {
            problems.push_back(argument + ": " + error.message());
        }
        std::sort(found.begin(), found.end(),
                  [](const MemoryInput& a, const MemoryInput& b) { return a.name < b.name; });
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    return inputs;
}

MemoryBuildReport BuildMemory(const std::vector<MemoryInput>& inputs, int sourceSlot,
                              CTranslationMemory& memory, const MemoryProgress& progress) {
    MemoryBuildReport report;
    memory.SetSourceLocale(LocaleOfSlot(sourceSlot));
    const auto addDocument = [&](const uint8_t* data, size_t size, const std::string& path,
                                 const std::string& name) {
        CTallyglassDoc doc;
        if (std::string why = LoadDocument(doc, data, size, name); !why.empty()) {
            report.problems.push_back(path + ": " + why + " It is skipped.");
            return;
        }
        ++report.files;
        const MemoryBuildStats stats = AddDocumentToMemory(doc, name, sourceSlot, memory);
        report.places += stats.places;
        report.skipped += stats.skipped;
        for (const std::string& resource : stats.unreadable) {
            report.problems.push_back(path + ": " + resource + " cannot be read; it is skipped.");
        }
    };
    for (size_t i = 0; i < inputs.size(); ++i) {
        const MemoryInput& input = inputs[i];
        if (progress && !progress(i, inputs.size(), input.name)) {
            report.cancelled = true;
            return report;
        }
        std::ifstream stream(input.path, std::ios::binary);
        std::vector<uint8_t> bytes;
        if (stream) {
            bytes.assign(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
        }
        if (!stream && !stream.eof()) {
            report.problems.push_back(input.path + ": the file cannot be read; it is skipped.");
            continue;
        }
        try {
            CFarArchive archive;
            // The archive keeps the bytes, also those of a file that is none.
            const CFarArchive::Status status = archive.Load(std::move(bytes));
            if (status == CFarArchive::Status::notArchive) {
                addDocument(archive.GetBytes().data(), archive.GetBytes().size(), input.path,
                            input.name);
                continue;
            }
            if (status != CFarArchive::Status::ok) {
                report.problems.push_back(archive.DescribeStatus(input.path) + " It is skipped.");
                continue;
            }
            for (const size_t entry : CTallyglassDoc::FindIffEntries(archive)) {
                std::string name = FarDisplayName(archive.GetEntries()[entry].name);
                std::replace(name.begin(), name.end(), '\\', '/');
                const std::span<const uint8_t> entryBytes = archive.EntryBytes(entry);
                addDocument(entryBytes.data(), entryBytes.size(), input.path + ":" + name,
                            input.name + "/" + name);
            }
        } catch (const CFileException& e) {
            report.problems.push_back(input.path + ": " + e.GetErrorMessage());
        }
    }
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
