// The translation commands: export writes the texts of a language as a PO or CSV catalog,
// import applies a translated catalog through the document's editing model, coverage counts
// what is translated. Each takes files and folders; a file that fails is reported and the
// others go on.
#include "cli/Commands.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CliReport.h"
#include "cli/CliText.h"
#include "cli/EditOperations.h"
#include "document/TallyglassDoc.h"
#include "exchange/Catalog.h"
#include "exchange/Locales.h"
#include "exchange/TranslationExchange.h"
#include "far/FarPath.h"
#include "far/IffSource.h"
#include "framework/doc/PathUtil.h"
#include "framework/stream/FileException.h"
#include "framework/stream/FileLock.h"

namespace fs = std::filesystem;

namespace {

// A file argument to work on: its path, and its name in catalogs (the file name for a file
// given, the path below the folder for one found in a folder given).
struct InputFile {
    std::string path;
    std::string name;
};

// ".IFF" as ".iff".
std::string LowerExtension(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

bool HasGameExtension(const fs::path& path) {
    const std::string extension = LowerExtension(path);
    return extension == ".iff" || extension == ".flr" || extension == ".wll" ||
           extension == ".spf" || extension == ".far" || extension == ".fam";
}

// Walks folder and the folders below it for game files (links to folders not followed). A
// folder that cannot be read is named and skipped, and the walk goes on; false then.
bool WalkFolder(const fs::path& top, const fs::path& folder, std::vector<InputFile>& found) {
    std::error_code error;
    fs::directory_iterator walk(folder, error);
    if (error) {
        PrintError(folder.string() + ": " + error.message() + "; the folder is skipped.");
        return false;
    }
    bool ok = true;
    std::vector<fs::path> folders;
    for (; !error && walk != fs::directory_iterator(); walk.increment(error)) {
        std::error_code typeError;
        const fs::file_status status = walk->symlink_status(typeError);
        if (fs::is_directory(status)) {
            folders.push_back(walk->path());
        } else if (walk->is_regular_file(typeError) && HasGameExtension(walk->path())) {
            found.push_back(
                {walk->path().string(), walk->path().lexically_relative(top).generic_string()});
        }
    }
    if (error) {
        PrintError(folder.string() + ": " + error.message() +
                   "; the rest of the folder is skipped.");
        ok = false;
    }
    for (const fs::path& below : folders) {
        ok = WalkFolder(top, below, found) && ok;
    }
    return ok;
}

// The files of the arguments: a file as given, a folder walked for game files and archives
// (sorted). False when an argument does not exist, a folder cannot be walked whole or holds no
// game file; the others are collected all the same.
bool CollectInputs(const std::vector<std::string>& arguments, std::vector<InputFile>& inputs) {
    bool ok = true;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (!fs::is_directory(argument, error)) {
            // "Objects.far:Chair.iff" is named by its archive; the entry's name follows it.
            const std::optional<FarPath> inArchive =
                fs::exists(argument, error) ? std::nullopt : SplitFarPath(argument);
            inputs.push_back(
                {argument,
                 fs::path(inArchive ? inArchive->archive : argument).filename().string()});
            continue;
        }
        std::vector<InputFile> found;
        ok = WalkFolder(argument, argument, found) && ok;
        if (found.empty()) {
            // Nothing done and nothing said would read as success.
            PrintError(argument + ": no game files (.iff, .flr, .wll, .spf, .fam, .far) in it.");
            ok = false;
        }
        std::sort(found.begin(), found.end(),
                  [](const InputFile& a, const InputFile& b) { return a.name < b.name; });
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    // Catalogs name files by these names: two alike would write over each other's catalog.
    std::vector<InputFile> unique;
    std::set<std::string> names;
    for (const InputFile& input : inputs) {
        if (!names.insert(input.name).second) {
            PrintError(input.path + ": another file given is named " + input.name +
                       " too; the file is skipped.");
            ok = false;
        } else {
            unique.push_back(input);
        }
    }
    inputs = std::move(unique);
    return ok;
}

// The file or stream error of a file, reported; false.
template <typename Work>
bool Guarded(const std::string& path, Work work) {
    try {
        return work();
    } catch (const CFileException& e) {
        PrintError(path + ": " + e.GetErrorMessage());
        return false;
    }
}

// One input read through its source: every IFF file it holds (one for a loose file, each IFF
// entry of an archive), each with its name in catalogs and in messages.
class CInput {
public:
    // Reads the input; false, with the reason on stderr, when it cannot be read. Entries an
    // archive cannot place are reported too (unless quiet), and the others are there.
    // With lockForSave the file (an entry's archive) stays locked until the input is destroyed,
    // so that another command saving it waits for this one and then reads what it wrote.
    bool Load(const InputFile& input, bool quiet = false, bool lockForSave = false) {
        m_input = input;
        if (lockForSave) {
            m_lock = std::make_unique<CFileLock>(SplitFarPathOr(input.path));
        }
        std::string why;
        if (!Guarded(input.path, [&] { return m_source.Load(input.path, why); })) {
            if (!why.empty()) {
                PrintError(why);
            }
            return false;
        }
        for (const std::string& problem :
             quiet ? std::vector<std::string>() : m_source.Problems()) {
            PrintError(input.path + ": " + problem);
        }
        return true;
    }
    // True when every entry of the input could be read.
    [[nodiscard]] bool IsWhole() const { return m_source.Problems().empty(); }

    [[nodiscard]] size_t Count() const { return m_source.Items().size(); }
    [[nodiscard]] std::string Name(size_t item) const {
        return m_source.IsArchive()
                   ? EntryCatalogName(m_input.name, m_source.Items()[item].entryName)
                   : m_input.name;
    }
    [[nodiscard]] std::string Shown(size_t item) const {
        const std::string archive = m_source.IsArchive() ? SplitFarPathOr(m_input.path) : "";
        return m_source.IsArchive() ? EntryCatalogName(archive, m_source.Items()[item].entryName)
                                    : m_input.path;
    }
    // Opens an item as doc; false, with the reason on stderr, when it is not a readable IFF file.
    bool Open(size_t item, CTallyglassDoc& doc) const {
        int code = 0;
        const std::span<const uint8_t> bytes = m_source.Bytes(item);
        if (!bytes.empty() && doc.OpenBytes(bytes, code)) {
            return true;
        }
        if (code != CIffFile::errVersion) {
            code = CIffFile::errNotIff;
        }
        PrintError(CTallyglassDoc::OpenErrorMessage(code, Shown(item)));
        PrintError(Shown(item) + ": the file is skipped.");
        return false;
    }
    [[nodiscard]] const InputFile& File() const { return m_input; }
    [[nodiscard]] CIffSource& Source() { return m_source; }

private:
    // The archive's own path of an "ARCHIVE.far:NAME" argument.
    static std::string SplitFarPathOr(const std::string& path) {
        std::error_code error;
        const std::optional<FarPath> inArchive =
            fs::exists(path, error) ? std::nullopt : SplitFarPath(path);
        return inArchive ? inArchive->archive : path;
    }

    InputFile m_input;
    std::unique_ptr<CFileLock> m_lock;
    CIffSource m_source;
};

CatalogFormat FormatOf(const std::optional<std::string>& option, const std::string& path) {
    if (option) {
        return *option == "csv" ? CatalogFormat::csv : CatalogFormat::po;
    }
    return CatalogFormatOf(path);
}

bool WriteCatalogFile(CatalogFormat format, const std::string& path, const CatalogInfo& info,
                      const std::vector<TranslationUnit>& units) {
    std::string error;
    if (!WriteCatalog(path, format, info, units, error)) {
        PrintError(error);
        return false;
    }
    return true;
}

// A path inside folder for a name that may hold folders of its own, those folders made.
std::optional<std::string> PathInside(const std::string& folder, const std::string& name) {
    const fs::path path = fs::path(folder) / name;
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) {
        PrintError(path.parent_path().string() + ": " + error.message());
        return std::nullopt;
    }
    return path.string();
}

// A damaged resource skips itself: it is named, and the rest of the file goes on.
bool ReportUnreadable(const std::string& shown, const std::vector<std::string>& unreadable) {
    for (const std::string& resource : unreadable) {
        PrintError(shown + ": " + resource + " cannot be read; it is left out.");
    }
    return unreadable.empty();
}

struct ExportArguments {
    std::vector<std::string> inputs;
    std::string lang;
    std::string source = "0";
    std::optional<std::string> format;
    bool descriptions = false;
    bool keepCopies = false;
    bool single = false;
    bool positional = false;
    bool templateOnly = false;
    bool all = false;
    bool inPlace = false;
    std::string output;
};

// The shape a catalog is written in: one unit per source text unless positional; a template
// without translations.
std::vector<TranslationUnit> Shaped(std::vector<TranslationUnit> units,
                                    const ExportArguments& arguments) {
    if (arguments.templateOnly) {
        for (TranslationUnit& unit : units) {
            unit.target.clear();
            unit.fuzzy = false;
        }
    }
    return arguments.positional ? units : ShareUnits(units);
}

int RunExport(const ExportArguments& arguments) {
    if (arguments.lang.empty() && !arguments.templateOnly) {
        PrintError("name the language to translate into with --lang (or write a --template).");
        return 2;
    }
    const int source = *ParseSlot(arguments.source);
    const int target = arguments.lang.empty() ? (source == 2 ? 3 : 2) : *ParseSlot(arguments.lang);
    if (target == source) {
        PrintError("the target language is the source language.");
        return 2;
    }
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments.inputs, inputs);
    const CatalogFormat format = FormatOf(arguments.format, arguments.output);
    const CatalogInfo info{arguments.templateOnly ? "" : LocaleOfSlot(target),
                           LocaleOfSlot(source)};
    const char* extension = format == CatalogFormat::csv ? ".csv"
                            : arguments.templateOnly     ? ".pot"
                                                         : ".po";
    // One output file: for all inputs with --single, or for one loose file given that is no
    // folder; else OUT/LOCALE/<name>.po (a template: OUT/<name>.pot).
    std::error_code error;
    const bool toFolder =
        !arguments.single && (inputs.size() != 1 || arguments.inputs.size() != 1 ||
                              fs::is_directory(arguments.inputs.front(), error) ||
                              fs::is_directory(arguments.output, error));
    const std::string folder = arguments.templateOnly
                                   ? arguments.output
                                   : (fs::path(arguments.output) / info.language).string();
    std::vector<TranslationUnit> all;
    LeftOut leftOut;
    CProgress progress(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        progress.Show(i, inputs[i].name);
        CInput input;
        if (!input.Load(inputs[i])) {
            progress.Clear();
            ok = false;
            continue;
        }
        ok = ok && input.IsWhole();
        for (size_t item = 0; item < input.Count(); ++item) {
            CTallyglassDoc doc;
            if (!input.Open(item, doc)) {
                progress.Clear();
                ok = false;
                continue;
            }
            ExportOptions options;
            options.sourceSlot = source;
            options.targetSlot = target;
            options.descriptions = arguments.descriptions;
            options.keepCopies = arguments.keepCopies;
            options.all = arguments.all;
            options.inPlace = arguments.inPlace;
            options.fileName = input.Name(item);
            // An archive's entries in one catalog are told apart by their file.
            options.keyByFile = arguments.single || (!toFolder && input.Source().IsArchive());
            ExportResult result = ExtractUnits(doc, options);
            leftOut += result.leftOut;
            if (!ReportUnreadable(input.Shown(item), result.unreadable)) {
                progress.Clear();
                ok = false;
            }
            if (!toFolder) {
                all.insert(all.end(), result.units.begin(), result.units.end());
                continue;
            }
            const std::optional<std::string> path =
                PathInside(folder, PortableCatalogPath(options.fileName) + extension);
            ok = path && WriteCatalogFile(format, *path, info, Shaped(result.units, arguments)) &&
                 ok;
        }
    }
    progress.Clear();
    // One file given that could not be read gets no catalog; --single writes what it has.
    if (!toFolder && (arguments.single || ok) &&
        !WriteCatalogFile(format, arguments.output, info, Shaped(all, arguments))) {
        ok = false;
    }
    if (const std::string line = FormatLeftOut(leftOut, "exports"); !line.empty()) {
        std::printf("%s\n", line.c_str());
    }
    return ok ? 0 : 1;
}

struct ImportArguments {
    std::vector<std::string> inputs;
    std::string from;
    std::optional<std::string> format;
    std::optional<std::string> lang;
    std::optional<std::string> source;
    bool fuzzy = false;
    bool force = false;
    bool skipUnencodable = false;
    bool strict = false;
    bool dryRun = false;
    bool diff = false;
    bool json = false;
    bool forceWrite = false;
    bool inPlace = false;
    std::string output;
};

nlohmann::json PlanJson(const std::string& name, const ImportPlan& plan, SummaryMode mode) {
    nlohmann::json counts = nlohmann::json::object();
    for (size_t i = 0; i < kOutcomeCount; ++i) {
        counts[OutcomeName(static_cast<UnitOutcome>(i))] = plan.counts[i];
    }
    nlohmann::json units = nlohmann::json::array();
    for (const UnitReport& report : plan.reports) {
        units.push_back({{"key", report.key},
                         {"outcome", OutcomeName(report.outcome)},
                         {"reason", report.reason}});
    }
    nlohmann::json changes = nlohmann::json::array();
    for (const ShownChange& change : plan.shown) {
        changes.push_back(
            {{"key", change.key}, {"before", change.before}, {"after", change.after}});
    }
    return {{"file", name},
            {"refused", plan.refused},
            {"written", mode == SummaryMode::written && !plan.refused && !plan.changes.empty()},
            {"counts", counts},
            {"units", units},
            {"changes", changes},
            {"warnings", plan.warnings}};
}

int RunImport(const ImportArguments& arguments) {
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    if (!ReadCatalog(arguments.from, FormatOf(arguments.format, arguments.from), info, units,
                     error)) {
        PrintError(error);
        return 1;
    }
    // The languages: as given, else as the catalog names them.
    int target = -1;
    if (arguments.lang) {
        target = *ParseSlot(*arguments.lang);
    } else if (!info.language.empty()) {
        target = SlotOfLocale(info.language);
        if (target < 0) {
            PrintError("the catalog's language \"" + info.language +
                       "\" is none that files hold; name one with --lang.");
            return 1;
        }
    } else {
        PrintError("the catalog does not name its language; name it with --lang.");
        return 1;
    }
    int source = 0;
    if (arguments.source) {
        source = *ParseSlot(*arguments.source);
    } else if (!info.sourceLanguage.empty() && SlotOfLocale(info.sourceLanguage) >= 0) {
        source = SlotOfLocale(info.sourceLanguage);
    }
    if (target == source) {
        PrintError("the target language is the source language.");
        return 2;
    }
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments.inputs, inputs);
    // Every IFF file the inputs hold, by name, so that each unit goes to the places it names.
    std::vector<std::string> names;
    std::vector<size_t> firstName(inputs.size() + 1, 0);
    std::vector<bool> loaded(inputs.size(), false);
    for (size_t i = 0; i < inputs.size(); ++i) {
        firstName[i] = names.size();
        CInput input;
        loaded[i] = input.Load(inputs[i]);
        ok = ok && loaded[i] && input.IsWhole();
        for (size_t item = 0; loaded[i] && item < input.Count(); ++item) {
            names.push_back(input.Name(item));
        }
    }
    firstName[inputs.size()] = names.size();
    RoutedUnits routed = RouteUnits(units, names);
    ok = ok && routed.elsewhere.reports.empty();
    std::error_code fsError;
    const bool toFolder = !arguments.output.empty() &&
                          (inputs.size() != 1 || fs::is_directory(arguments.output, fsError));
    ImportOptions options;
    options.sourceSlot = source;
    options.targetSlot = target;
    options.fuzzy = arguments.fuzzy;
    options.force = arguments.force;
    options.skipUnencodable = arguments.skipUnencodable;
    options.strict = arguments.strict;
    options.inPlace = arguments.inPlace;
    nlohmann::json files = nlohmann::json::array();
    CProgress progress(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!loaded[i]) {
            continue;
        }
        progress.Show(i, inputs[i].name);
        CInput input;
        const bool inPlace = arguments.output.empty() && !arguments.dryRun;
        if (!input.Load(inputs[i], true, inPlace) ||
            input.Count() != firstName[i + 1] - firstName[i]) {
            progress.Clear();
            ok = false;
            continue;
        }
        // Every part planned and applied in memory; the file is written once, after them all.
        struct Planned {
            std::string name;
            ImportPlan plan;
            bool saved = true;  // its changes could be stored
        };
        std::vector<Planned> plans;
        for (size_t item = 0; item < input.Count(); ++item) {
            const std::vector<TranslationUnit>& mine = routed.byFile[firstName[i] + item];
            CTallyglassDoc doc;
            if (mine.empty() && input.Source().IsArchive()) {
                continue;  // an entry no unit names keeps its bytes
            }
            if (!input.Open(item, doc)) {
                progress.Clear();
                ok = false;
                continue;
            }
            Planned planned{input.Name(item), PlanImport(doc, mine, options)};
            ImportPlan& plan = planned.plan;
            ok = ok && IsClean(plan);
            if (!plan.refused && !plan.changes.empty()) {
                // Stored before the summary: a resource that cannot take the import refuses it
                // before anything is reported as applied.
                std::string failure;
                std::optional<std::vector<uint8_t>> bytes;
                if (const EditResult applied = ApplyImport(doc, plan); !applied.Ok()) {
                    failure = applied.reason;
                } else if (const EditResult stored = doc.m_editor.Store(); !stored.Ok()) {
                    failure =
                        stored.status == EditStatus::tooLarge ? kImportTooLarge : stored.reason;
                } else {
                    bytes = doc.SaveToBytes(failure);
                }
                if (!bytes) {
                    progress.Clear();
                    PrintError(input.Shown(item) + ": " + failure);
                    // Nothing of it is counted as applied, and its file keeps every byte.
                    plan.refused = true;
                    planned.saved = false;
                    ok = false;
                } else {
                    input.Source().Replace(item, std::move(*bytes));
                }
            }
            plans.push_back(std::move(planned));
        }
        // A refused part keeps the whole file as it is, as a refused import of a loose file does.
        const bool refused = std::any_of(plans.begin(), plans.end(), [](const Planned& planned) {
            return planned.plan.refused;
        });
        bool written = !refused;
        if (refused) {
            progress.Clear();
            PrintError(inputs[i].path + ": the import is refused; nothing was written.");
        } else if (!arguments.dryRun &&
                   (input.Source().HasChanges() || !arguments.output.empty())) {
            std::optional<std::string> path = arguments.output.empty()
                                                  ? std::optional<std::string>(inputs[i].path)
                                                  : arguments.output;
            if (toFolder) {
                path = PathInside(arguments.output, inputs[i].name);
            }
            std::error_code existsError;
            if (path && !fs::exists(*path, existsError)) {
                // "ARCHIVE.far:NAME" writes the archive.
                if (const std::optional<FarPath> inArchive = SplitFarPath(*path)) {
                    path = inArchive->archive;
                }
            }
            std::string why;
            if (!path) {
                written = false;
            } else if (!arguments.forceWrite && IsReadOnlyFile(*path)) {
                progress.Clear();
                PrintError(*path + " is read-only.");
                written = false;
            } else if (!input.Source().Write(*path, why)) {
                progress.Clear();
                PrintError(*path + ": " + why);
                written = false;
            }
        }
        progress.Clear();
        ok = ok && written;
        for (const auto& [name, plan, saved] : plans) {
            const SummaryMode mode = arguments.dryRun   ? SummaryMode::dryRun
                                     : written && saved ? SummaryMode::written
                                                        : SummaryMode::notWritten;
            if (arguments.json) {
                files.push_back(PlanJson(name, plan, mode));
            } else {
                PrintPlan(name, plan, mode, arguments.diff);
            }
        }
    }
    progress.Clear();
    const SummaryMode elsewhereMode = arguments.dryRun ? SummaryMode::dryRun : SummaryMode::written;
    if (arguments.json) {
        nlohmann::json out = {{"files", files}, {"dryRun", arguments.dryRun}, {"ok", ok}};
        if (!routed.elsewhere.reports.empty()) {
            out["elsewhere"] = PlanJson("(no file)", routed.elsewhere, elsewhereMode);
        }
        std::printf("%s\n",
                    out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else if (!routed.elsewhere.reports.empty()) {
        PrintPlan("(no file)", routed.elsewhere, elsewhereMode, false);
    }
    return ok ? 0 : 1;
}

struct CoverageArguments {
    std::vector<std::string> inputs;
    std::string source = "0";
    bool all = false;
    bool json = false;
};

nlohmann::json LeftOutJson(const LeftOut& leftOut) {
    return {{"engineResources", leftOut.engineResources},
            {"noLetterTexts", leftOut.noLetterTexts},
            {"noLanguageResources", leftOut.noLanguageResources}};
}

int RunCoverage(const CoverageArguments& arguments) {
    const int source = *ParseSlot(arguments.source);
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments.inputs, inputs);
    nlohmann::json files = nlohmann::json::array();
    LeftOut leftOut;
    CProgress progress(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        progress.Show(i, inputs[i].name);
        CInput input;
        if (!input.Load(inputs[i])) {
            progress.Clear();
            ok = false;
            continue;
        }
        ok = ok && input.IsWhole();
        for (size_t item = 0; item < input.Count(); ++item) {
            CTallyglassDoc doc;
            if (!input.Open(item, doc)) {
                progress.Clear();
                ok = false;
                continue;
            }
            const FileCoverage coverage = MeasureCoverage(doc, source, arguments.all);
            leftOut += coverage.leftOut;
            progress.Clear();
            ok = ReportUnreadable(input.Shown(item), coverage.unreadable) && ok;
            const std::string shown = input.Shown(item);
            if (arguments.json) {
                nlohmann::json languages = nlohmann::json::array();
                for (const LanguageCoverage& language : coverage.languages) {
                    languages.push_back({{"language", SlotName(language.slot)},
                                         {"locale", LocaleOfSlot(language.slot)},
                                         {"translated", language.translated},
                                         {"identical", language.identical},
                                         {"empty", language.empty}});
                }
                files.push_back({{"file", shown},
                                 {"source", SlotName(source)},
                                 {"units", coverage.units},
                                 {"leftOut", LeftOutJson(coverage.leftOut)},
                                 {"languages", languages}});
                continue;
            }
            std::printf("%s: %zu units in %s\n", EscapeControls(shown).c_str(), coverage.units,
                        SlotName(source).c_str());
            for (const LanguageCoverage& language : coverage.languages) {
                std::printf("  %-20s %6zu translated %6zu identical %6zu empty\n",
                            SlotName(language.slot).c_str(), language.translated,
                            language.identical, language.empty);
            }
        }
    }
    progress.Clear();
    if (arguments.json) {
        // A file name that is not UTF-8 has its bytes replaced, as strings --json does.
        std::printf("%s\n", nlohmann::json{{"files", files}, {"leftOut", LeftOutJson(leftOut)}}
                                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                                .c_str());
    } else if (const std::string line = FormatLeftOut(leftOut, "counts"); !line.empty()) {
        std::printf("%s\n", line.c_str());
    }
    return ok ? 0 : 1;
}

const CLI::Validator& FormatValidator() {
    static const CLI::Validator validator = CLI::IsMember({"po", "csv"});
    return validator;
}

}  // namespace

void RegisterExchangeCommands(CLI::App& app, int& exitCode) {
    {
        auto arguments = std::make_shared<ExportArguments>();
        CLI::App* command = app.add_subcommand(
            "export", "Write the texts of a language as a PO or CSV catalog for translators");
        command
            ->add_option("FILE", arguments->inputs,
                         "IFF files, FAR archives or folders (walked for .iff, .flr, .wll, .spf, "
                         ".fam and .far files)")
            ->required();
        command
            ->add_option("--lang", arguments->lang,
                         "the language to translate into (a slot, name or locale code)")
            ->check(SlotValidator());
        command
            ->add_option("--source", arguments->source,
                         "the language translated from (default USEnglish)")
            ->check(SlotValidator());
        command->add_option("--format", arguments->format, "po (default) or csv")
            ->check(FormatValidator());
        command->add_flag("--descriptions", arguments->descriptions,
                          "descriptions as units of their own");
        command->add_flag("--keep-copies", arguments->keepCopies,
                          "export a text equal to its source as translated");
        command->add_flag("--single", arguments->single,
                          "one catalog for every file, keyed by file");
        command->add_flag(
            "--positional", arguments->positional,
            "one unit per place, keyed TYPE:ID:ENTRY, instead of one per source text");
        command->add_flag("--template", arguments->templateOnly,
                          "write a template (.pot) without language or translations");
        command->add_flag("--all", arguments->all,
                          "export engine names and texts without a letter too");
        command->add_flag("--in-place", arguments->inPlace,
                          "export resources without languages too (the translation will replace "
                          "their one text)");
        command
            ->add_option("-o,--output", arguments->output,
                         "the catalog, or a folder for one catalog per file (OUT/LOCALE/NAME.po)")
            ->required();
        command->callback([&exitCode, arguments] { exitCode = RunExport(*arguments); });
    }
    {
        auto arguments = std::make_shared<ImportArguments>();
        CLI::App* command = app.add_subcommand(
            "import", "Apply a translated PO or CSV catalog; a summary of every unit on stdout");
        command->add_option("FILE", arguments->inputs, "IFF files, FAR archives or folders")
            ->required();
        command->add_option("--from", arguments->from, "the translated catalog")->required();
        command->add_option("--format", arguments->format, "po or csv (default: by --from's name)")
            ->check(FormatValidator());
        command
            ->add_option("--lang", arguments->lang,
                         "the language to import into (default: the catalog's)")
            ->check(SlotValidator());
        command
            ->add_option("--source", arguments->source,
                         "the source language (default: the catalog's, else USEnglish)")
            ->check(SlotValidator());
        command->add_flag("--fuzzy", arguments->fuzzy, "apply fuzzy units too");
        command->add_flag("--force", arguments->force,
                          "apply units whose source text has changed since the export");
        command->add_flag("--skip-unencodable", arguments->skipUnencodable,
                          "skip texts the language's code page cannot hold instead of refusing");
        command->add_flag("--strict", arguments->strict,
                          "refuse the import when $-tokens or line breaks differ");
        command->add_flag("--dry-run", arguments->dryRun, "show the summary, write nothing");
        command->add_flag("--in-place", arguments->inPlace,
                          "in resources without languages, replace the one text");
        command->add_flag("--diff", arguments->diff, "show each change, old -> new");
        command->add_flag("--json", arguments->json, "print the summary as JSON (UTF-8)");
        command->add_flag("--force-write", arguments->forceWrite,
                          "replace the file even if it is read-only");
        command->add_option("-o,--output", arguments->output,
                            "file (or folder, for several) to save to; the inputs stay untouched");
        command->callback([&exitCode, arguments] { exitCode = RunImport(*arguments); });
    }
    {
        auto arguments = std::make_shared<CoverageArguments>();
        CLI::App* command = app.add_subcommand(
            "coverage",
            "Per file and language: of the texts export takes, those translated, identical to "
            "the source, empty");
        command->add_option("FILE", arguments->inputs, "IFF files, FAR archives or folders")
            ->required();
        command
            ->add_option("--source", arguments->source, "the source language (default USEnglish)")
            ->check(SlotValidator());
        command->add_flag("--all", arguments->all,
                          "count engine names and texts without a letter too, as export --all "
                          "exports them");
        command->add_flag("--json", arguments->json, "print JSON (UTF-8)");
        command->callback([&exitCode, arguments] { exitCode = RunCoverage(*arguments); });
    }
}
