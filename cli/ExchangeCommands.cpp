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
#include "cli/DocSession.h"
#include "cli/EditOperations.h"
#include "exchange/CsvCatalog.h"
#include "exchange/Locales.h"
#include "exchange/PoCatalog.h"
#include "exchange/TranslationExchange.h"
#include "framework/stream/FileException.h"

namespace fs = std::filesystem;

namespace {

// A file to work on: its path, and its name in catalogs (the file name for a file given, the
// path below the folder for one found in a folder given).
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
    return extension == ".iff" || extension == ".flr" || extension == ".wll" || extension == ".spf";
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

// The files of the arguments: a file as given, a folder walked for game files (sorted). False
// when an argument does not exist or a folder cannot be walked whole; the others are collected
// all the same.
bool CollectInputs(const std::vector<std::string>& arguments, std::vector<InputFile>& inputs) {
    bool ok = true;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (!fs::is_directory(argument, error)) {
            inputs.push_back({argument, fs::path(argument).filename().string()});
            continue;
        }
        std::vector<InputFile> found;
        ok = WalkFolder(argument, argument, found) && ok;
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

// Opens a file argument as a document: every command opens its inputs here and only here.
bool OpenInput(CDocSession& session, const InputFile& input, bool saveInPlace = false) {
    if (!session.Open(input.path, saveInPlace)) {
        // The document's message names the file only by its name; among many files in
        // folders, the path tells which one.
        PrintError(input.path + ": the file is skipped.");
        return false;
    }
    return true;
}

enum class Format { po, csv };

Format FormatOf(const std::optional<std::string>& option, const std::string& path) {
    if (option) {
        return *option == "csv" ? Format::csv : Format::po;
    }
    return LowerExtension(path) == ".csv" ? Format::csv : Format::po;
}

bool WriteCatalog(Format format, const std::string& path, const CatalogInfo& info,
                  const std::vector<TranslationUnit>& units) {
    std::string error;
    const bool written = format == Format::csv ? WriteCsvCatalog(path, units, error)
                                               : WritePoCatalog(path, info, units, error);
    if (!written) {
        PrintError(error);
    }
    return written;
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

// The file or stream error of a file, reported; false.
template <typename Work>
bool Guarded(const InputFile& input, Work work) {
    try {
        return work();
    } catch (const CFileException& e) {
        PrintError(input.path + ": " + e.GetErrorMessage());
        return false;
    }
}

bool ReportUnreadable(const InputFile& input, const std::vector<std::string>& unreadable) {
    for (const std::string& resource : unreadable) {
        PrintError(input.path + ": " + resource + " cannot be read; the file is skipped.");
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
    std::string output;
};

int RunExport(const ExportArguments& arguments) {
    const int target = *ParseSlot(arguments.lang);
    const int source = *ParseSlot(arguments.source);
    if (target == source) {
        PrintError("the target language is the source language.");
        return 2;
    }
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments.inputs, inputs);
    const Format format = FormatOf(arguments.format, arguments.output);
    const CatalogInfo info{LocaleOfSlot(target), LocaleOfSlot(source)};
    const char* extension = format == Format::csv ? ".csv" : ".po";
    // One output file: for all inputs with --single, or for one file given that is no folder.
    std::error_code error;
    const bool toFolder =
        !arguments.single && (inputs.size() != 1 || arguments.inputs.size() != 1 ||
                              fs::is_directory(arguments.inputs.front(), error) ||
                              fs::is_directory(arguments.output, error));
    std::vector<TranslationUnit> all;
    CProgress progress(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        const InputFile& input = inputs[i];
        progress.Show(i, input.name);
        const bool done = Guarded(input, [&] {
            CDocSession session;
            if (!OpenInput(session, input)) {
                return false;
            }
            ExportOptions options;
            options.sourceSlot = source;
            options.targetSlot = target;
            options.descriptions = arguments.descriptions;
            options.keepCopies = arguments.keepCopies;
            options.fileName = input.name;
            options.keyByFile = arguments.single;
            ExportResult result = ExtractUnits(session.Document(), options);
            if (!ReportUnreadable(input, result.unreadable)) {
                return false;
            }
            if (arguments.single) {
                all.insert(all.end(), result.units.begin(), result.units.end());
                return true;
            }
            std::optional<std::string> path = arguments.output;
            if (toFolder) {
                path = PathInside(arguments.output, input.name + "." + info.language + extension);
            }
            return path && WriteCatalog(format, *path, info, result.units);
        });
        if (!done) {
            progress.Clear();
        }
        ok = ok && done;
    }
    progress.Clear();
    if (arguments.single && !WriteCatalog(format, arguments.output, info, all)) {
        ok = false;
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
    bool forceWrite = false;
    std::string output;
};

int RunImport(const ImportArguments& arguments) {
    const Format format = FormatOf(arguments.format, arguments.from);
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    if (format == Format::csv ? !ReadCsvCatalog(arguments.from, units, error)
                              : !ReadPoCatalog(arguments.from, info, units, error)) {
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
    // Each unit to its file: with one file, every unit not keyed by another file; with more,
    // the file its key or reference names.
    std::map<std::string, std::vector<TranslationUnit>> byFile;
    ImportPlan elsewhere;  // units that belong to no file given
    for (const TranslationUnit& unit : units) {
        std::string keyFile;
        std::ignore = ParseUnitKey(unit.context, &keyFile);
        std::string file =
            inputs.size() == 1 && keyFile.empty() ? inputs.front().name : FileOfUnit(unit);
        const bool known = std::any_of(inputs.begin(), inputs.end(),
                                       [&](const InputFile& input) { return input.name == file; });
        if (known) {
            byFile[file].push_back(unit);
        } else {
            ++elsewhere.counts[static_cast<size_t>(UnitOutcome::unknown)];
            elsewhere.reports.push_back(
                {unit.context, UnitOutcome::unknown,
                 file.empty() ? "names no file" : "for " + file + ", which is not imported into"});
        }
    }
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
    CProgress progress(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        const InputFile& input = inputs[i];
        progress.Show(i, input.name);
        const bool done = Guarded(input, [&] {
            CDocSession session;
            if (!OpenInput(session, input, arguments.output.empty() && !arguments.dryRun)) {
                progress.Clear();
                return false;
            }
            session.SetForce(arguments.forceWrite);
            ImportPlan plan = PlanImport(session.Document(), byFile[input.name], options);
            progress.Clear();
            if (plan.refused) {
                PrintPlan(input.name, plan);
                PrintError(input.path + ": the import is refused; nothing was written.");
                return false;
            }
            // Stored before the summary: a resource that cannot take the import refuses it
            // before anything is reported as applied.
            std::string failure;
            if (const EditResult applied = ApplyImport(session.Document(), plan); !applied.Ok()) {
                failure = applied.reason;
            } else if (const EditResult stored = session.Editor().Store(); !stored.Ok()) {
                failure = stored.status == EditStatus::tooLarge ? kImportTooLarge : stored.reason;
            }
            bool written = failure.empty();
            if (written && !arguments.dryRun &&
                !(plan.changes.empty() && arguments.output.empty())) {
                // Otherwise nothing to write: the file keeps every byte and its time.
                std::optional<std::string> path = arguments.output;
                if (toFolder) {
                    path = PathInside(arguments.output, input.name);
                }
                written = path && session.Save(*path);
            }
            // Nothing is counted as applied to a file that was not written.
            plan.refused = !written;
            PrintPlan(input.name, plan);
            if (!failure.empty()) {
                PrintError(input.path + ": " + failure);
            }
            return written;
        });
        ok = ok && done;
    }
    progress.Clear();
    if (!elsewhere.reports.empty()) {
        PrintPlan("(no file)", elsewhere);
    }
    return ok ? 0 : 1;
}

struct CoverageArguments {
    std::vector<std::string> inputs;
    std::string source = "0";
    bool json = false;
};

int RunCoverage(const CoverageArguments& arguments) {
    const int source = *ParseSlot(arguments.source);
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments.inputs, inputs);
    nlohmann::json files = nlohmann::json::array();
    CProgress progress(inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        const InputFile& input = inputs[i];
        progress.Show(i, input.name);
        const bool done = Guarded(input, [&] {
            CDocSession session;
            if (!OpenInput(session, input)) {
                progress.Clear();
                return false;
            }
            const FileCoverage coverage = MeasureCoverage(session.Document(), source);
            progress.Clear();
            if (!ReportUnreadable(input, coverage.unreadable)) {
                return false;
            }
            if (arguments.json) {
                nlohmann::json languages = nlohmann::json::array();
                for (const LanguageCoverage& language : coverage.languages) {
                    languages.push_back({{"language", SlotName(language.slot)},
                                         {"locale", LocaleOfSlot(language.slot)},
                                         {"translated", language.translated},
                                         {"identical", language.identical},
                                         {"empty", language.empty}});
                }
                files.push_back({{"file", input.path},
                                 {"source", SlotName(source)},
                                 {"units", coverage.units},
                                 {"languages", languages}});
                return true;
            }
            std::printf("%s: %zu units in %s\n", EscapeControls(input.path).c_str(), coverage.units,
                        SlotName(source).c_str());
            for (const LanguageCoverage& language : coverage.languages) {
                std::printf("  %-20s %6zu translated %6zu identical %6zu empty\n",
                            SlotName(language.slot).c_str(), language.translated,
                            language.identical, language.empty);
            }
            return true;
        });
        ok = ok && done;
    }
    progress.Clear();
    if (arguments.json) {
        // A file name that is not UTF-8 has its bytes replaced, as strings --json does.
        std::printf("%s\n", nlohmann::json{{"files", files}}
                                .dump(2, ' ', false, nlohmann::json::error_handler_t::replace)
                                .c_str());
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
                         "IFF files or folders (walked for .iff, "
                         ".flr, .wll and .spf files)")
            ->required();
        command->add_option("--lang", arguments->lang, "the language to translate into")
            ->required()
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
        command
            ->add_option("-o,--output", arguments->output,
                         "the catalog, or a folder for one catalog per file")
            ->required();
        command->callback([&exitCode, arguments] { exitCode = RunExport(*arguments); });
    }
    {
        auto arguments = std::make_shared<ImportArguments>();
        CLI::App* command = app.add_subcommand(
            "import", "Apply a translated PO or CSV catalog; a summary of every unit on stdout");
        command->add_option("FILE", arguments->inputs, "IFF files or folders")->required();
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
        command->add_flag("--force-write", arguments->forceWrite,
                          "replace the file even if it is read-only");
        command->add_option("-o,--output", arguments->output,
                            "file (or folder, for several) to save to; the inputs stay untouched");
        command->callback([&exitCode, arguments] { exitCode = RunImport(*arguments); });
    }
    {
        auto arguments = std::make_shared<CoverageArguments>();
        CLI::App* command = app.add_subcommand(
            "coverage", "Per file and language: texts translated, identical to the source, empty");
        command->add_option("FILE", arguments->inputs, "IFF files or folders")->required();
        command
            ->add_option("--source", arguments->source, "the source language (default USEnglish)")
            ->check(SlotValidator());
        command->add_flag("--json", arguments->json, "print JSON (UTF-8)");
        command->callback([&exitCode, arguments] { exitCode = RunCoverage(*arguments); });
    }
}
