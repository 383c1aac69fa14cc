// The translation commands: export writes the texts of a language as a PO or CSV catalog,
// import applies a translated catalog through the document's editing model, coverage counts
// what is translated. Each takes files and folders; a file that fails is reported and the
// others go on.
#include "cli/Commands.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CliReport.h"
#include "cli/CliText.h"
#include "cli/EditOperations.h"
#include "document/TallyglassDoc.h"
#include "exchange/BatchExchange.h"
#include "exchange/Catalog.h"
#include "exchange/Locales.h"
#include "exchange/TranslationExchange.h"

namespace {

CatalogFormat FormatOf(const std::optional<std::string>& option, const std::string& path) {
    if (option) {
        return *option == "csv" ? CatalogFormat::csv : CatalogFormat::po;
    }
    return CatalogFormatOf(path);
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
    BatchExportOptions options;
    options.units.sourceSlot = source;
    options.units.targetSlot = target;
    options.units.descriptions = arguments.descriptions;
    options.units.keepCopies = arguments.keepCopies;
    options.units.all = arguments.all;
    options.units.inPlace = arguments.inPlace;
    options.format = FormatOf(arguments.format, arguments.output);
    options.single = arguments.single;
    options.positional = arguments.positional;
    options.templateOnly = arguments.templateOnly;
    options.output = arguments.output;
    CProgress progress;
    const BatchExportResult result = ExportFiles(arguments.inputs, options, progress);
    progress.Clear();
    if (const std::string line = FormatLeftOut(result.leftOut, "exports"); !line.empty()) {
        std::printf("%s\n", line.c_str());
    }
    return result.ok ? 0 : 1;
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
    BatchImportOptions options;
    options.units.sourceSlot = source;
    options.units.targetSlot = target;
    options.units.fuzzy = arguments.fuzzy;
    options.units.force = arguments.force;
    options.units.skipUnencodable = arguments.skipUnencodable;
    options.units.strict = arguments.strict;
    options.units.inPlace = arguments.inPlace;
    options.dryRun = arguments.dryRun;
    options.forceWrite = arguments.forceWrite;
    options.output = arguments.output;
    CProgress progress;
    CBatchImport batch(options, progress);
    const bool ok = batch.Run(arguments.inputs, units);
    progress.Clear();
    nlohmann::json files = nlohmann::json::array();
    for (const FileImport& file : batch.Files()) {
        if (arguments.json) {
            files.push_back(PlanJson(file.name, file.plan, file.mode));
        } else {
            PrintPlan(file.name, file.plan, file.mode, arguments.diff);
        }
    }
    const ImportPlan& elsewhere = batch.Elsewhere();
    const SummaryMode elsewhereMode = arguments.dryRun ? SummaryMode::dryRun : SummaryMode::written;
    if (arguments.json) {
        nlohmann::json out = {{"files", files}, {"dryRun", arguments.dryRun}, {"ok", ok}};
        if (!elsewhere.reports.empty()) {
            out["elsewhere"] = PlanJson("(no file)", elsewhere, elsewhereMode);
        }
        std::printf("%s\n",
                    out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else if (!elsewhere.reports.empty()) {
        PrintPlan("(no file)", elsewhere, elsewhereMode, false);
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
    CProgress progress;
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments.inputs, inputs, progress);
    nlohmann::json files = nlohmann::json::array();
    LeftOut leftOut;
    bool cancelled = false;
    const auto measure = [&](const CInput& input, size_t item, CTallyglassDoc& doc) {
        const FileCoverage coverage = MeasureCoverage(doc, source, arguments.all);
        leftOut += coverage.leftOut;
        progress.Clear();
        const std::string shown = input.Shown(item);
        const bool whole = ReportUnreadable(shown, coverage.unreadable, progress);
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
            return whole;
        }
        std::printf("%s: %zu units in %s\n", EscapeControls(shown).c_str(), coverage.units,
                    SlotName(source).c_str());
        for (const LanguageCoverage& language : coverage.languages) {
            std::printf("  %-20s %6zu translated %6zu identical %6zu empty\n",
                        SlotName(language.slot).c_str(), language.translated, language.identical,
                        language.empty);
        }
        return whole;
    };
    ok = ForEachInputFile(inputs, progress, cancelled, measure) && ok;
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
            ->check(CatalogFormatValidator());
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
            ->check(CatalogFormatValidator());
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
