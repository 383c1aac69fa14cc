// The translation-memory commands: memory build collects the game's own translations from files,
// folders and archives into a TMX file; pretranslate fills a catalog's empty translations from
// memories; fill writes exact matches into the empty language slots of files.
#include "cli/Commands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CliReport.h"
#include "cli/EditOperations.h"
#include "document/TallyglassDoc.h"
#include "exchange/BatchExchange.h"
#include "exchange/CsvCatalog.h"
#include "exchange/Locales.h"
#include "exchange/PoCatalog.h"
#include "exchange/TranslationExchange.h"
#include "memory/MemoryBuilder.h"
#include "memory/MemorySet.h"
#include "memory/Tmx.h"
#include "memory/TranslationMemory.h"
#include "strings/Languages.h"

namespace {

bool LoadMemories(const std::vector<std::string>& paths, CMemorySet& memories) {
    for (const std::string& path : paths) {
        std::string error;
        if (!memories.Load(path, error)) {
            PrintError(error);
            return false;
        }
    }
    return true;
}

struct BuildArguments {
    std::vector<std::string> inputs;
    std::string source = "0";
    std::string output;
};

int RunMemoryBuild(const BuildArguments& arguments) {
    const int source = *ParseSlot(arguments.source);
    std::vector<std::string> problems;
    const std::vector<MemoryInput> inputs = ListMemoryInputs(arguments.inputs, problems);
    CTranslationMemory memory;
    MemoryBuildReport report;
    {
        CProgress progress(inputs.size());
        report = BuildMemory(inputs, source, memory,
                             [&progress](size_t done, size_t, const std::string& name) {
                                 progress.Show(done, name);
                                 return true;
                             });
    }
    problems.insert(problems.end(), report.problems.begin(), report.problems.end());
    for (const std::string& problem : problems) {
        PrintError(problem);
    }
    std::string error;
    if (!WriteTmxFile(arguments.output, memory, error)) {
        PrintError(error);
        return 1;
    }
    std::printf("%s: %zu units from %zu places in %zu files, %zu languages\n",
                arguments.output.c_str(), memory.GetCount(), report.places, report.files,
                memory.GetLocales().size());
    return problems.empty() ? 0 : 1;
}

struct PretranslateArguments {
    std::string catalog;
    std::vector<std::string> memories;
    int minScore = 75;
    std::optional<std::string> lang;
    std::optional<std::string> format;
    std::string output;
};

int RunPretranslate(const PretranslateArguments& arguments) {
    const bool csv = arguments.format ? *arguments.format == "csv"
                                      : arguments.catalog.size() >= 4 &&
                                            arguments.catalog.compare(arguments.catalog.size() - 4,
                                                                      4, ".csv") == 0;
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    if (csv ? !ReadCsvCatalog(arguments.catalog, units, error)
            : !ReadPoCatalog(arguments.catalog, info, units, error)) {
        PrintError(error);
        return 1;
    }
    int target = -1;
    if (arguments.lang) {
        target = *ParseSlot(*arguments.lang);
    } else if (!info.language.empty()) {
        target = SlotOfLocale(info.language);
    }
    if (target < 0) {
        PrintError(info.language.empty()
                       ? "the catalog does not name its language; name it with --lang."
                       : "the catalog's language \"" + info.language +
                             "\" is none that files hold; name one with --lang.");
        return 1;
    }
    CMemorySet memories;
    if (!LoadMemories(arguments.memories, memories)) {
        return 1;
    }
    const std::string locale = LocaleOfSlot(target);
    const PretranslateStats stats =
        Pretranslate(units, memories, locale, target, arguments.minScore);
    const bool written = csv ? WriteCsvCatalog(arguments.output, units, error)
                             : WritePoCatalog(arguments.output, info, units, error);
    if (!written) {
        PrintError(error);
        return 1;
    }
    std::printf("%s: %s\n", arguments.output.c_str(), FormatPretranslateSummary(stats).c_str());
    return 0;
}

struct FillArguments {
    std::vector<std::string> inputs;
    std::vector<std::string> memories;
    std::vector<std::string> langs;
    bool allLanguages = false;
    std::string source = "0";
    bool dryRun = false;
    bool forceWrite = false;
};

int RunFill(const FillArguments& arguments) {
    const int source = *ParseSlot(arguments.source);
    CMemorySet memories;
    if (!LoadMemories(arguments.memories, memories)) {
        return 1;
    }
    std::vector<int> slots;
    if (arguments.allLanguages) {
        for (const std::string& locale : memories.Locales()) {
            const int slot = SlotOfLocale(locale);
            if (slot >= 0 && slot != kSlotWithoutName &&
                std::find(slots.begin(), slots.end(), slot) == slots.end()) {
                slots.push_back(slot);
            }
        }
    } else {
        for (const std::string& lang : arguments.langs) {
            slots.push_back(*ParseSlot(lang));
        }
    }
    std::sort(slots.begin(), slots.end());
    slots.erase(std::remove(slots.begin(), slots.end(), source), slots.end());
    CProgress progress;
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments.inputs, inputs, progress);
    for (size_t i = 0; i < inputs.size(); ++i) {
        std::ignore = progress.Progress(i, inputs.size(), inputs[i].name);
        CInput input(progress);
        if (!input.Load(inputs[i], false, !arguments.dryRun)) {
            ok = false;
            continue;
        }
        ok = ok && input.IsWhole();
        // Every entry filled in memory; the file is written once, after them all.
        std::vector<FileImport> parts;
        for (size_t item = 0; item < input.Count(); ++item) {
            CTallyglassDoc doc;
            if (!input.Open(item, doc)) {
                ok = false;
                continue;
            }
            FileImport part{input.Name(item), PlanFill(doc, memories, source, slots)};
            part.mode = arguments.dryRun ? SummaryMode::dryRun : SummaryMode::written;
            if (!arguments.dryRun &&
                !input.Apply(item, doc, part.plan, [&] { return ApplyFill(doc, part.plan); })) {
                part.mode = SummaryMode::notWritten;
                ok = false;
            }
            parts.push_back(std::move(part));
        }
        progress.Clear();
        const bool written = arguments.dryRun || !input.Source().HasChanges() ||
                             input.WriteTo(CInput::FilePath(inputs[i].path), arguments.forceWrite);
        ok = ok && written;
        for (FileImport& part : parts) {
            PrintPlan(part.name, part.plan, written ? part.mode : SummaryMode::notWritten);
        }
    }
    return ok ? 0 : 1;
}

}  // namespace

void RegisterMemoryCommands(CLI::App& app, int& exitCode) {
    {
        CLI::App* memory =
            app.add_subcommand("memory", "Translation memories (TMX) from the game's own texts");
        memory->require_subcommand(1);
        auto arguments = std::make_shared<BuildArguments>();
        CLI::App* command = memory->add_subcommand(
            "build", "Collect every text with its translations from files, folders and archives");
        command
            ->add_option("FILE", arguments->inputs,
                         "IFF files, FAR archives or folders (walked for both)")
            ->required();
        command
            ->add_option("--source", arguments->source,
                         "the language translated from (default USEnglish)")
            ->check(SlotValidator());
        command->add_option("-o,--output", arguments->output, "the TMX file to write")->required();
        command->callback([&exitCode, arguments] { exitCode = RunMemoryBuild(*arguments); });
    }
    {
        auto arguments = std::make_shared<PretranslateArguments>();
        CLI::App* command = app.add_subcommand(
            "pretranslate", "Fill a catalog's empty translations from translation memories");
        command->add_option("CATALOG", arguments->catalog, "a PO or CSV catalog")->required();
        command->add_option("--memory", arguments->memories, "a TMX file (any number)")->required();
        command
            ->add_option("--min", arguments->minScore,
                         "the lowest score of a fuzzy match, in percent (default 75)")
            ->check(NumberValidator(1, 100));
        command
            ->add_option("--lang", arguments->lang,
                         "the catalog's language (default: the one its header names)")
            ->check(SlotValidator());
        command->add_option("--format", arguments->format, "po or csv (default: by the name)")
            ->check(CatalogFormatValidator());
        command->add_option("-o,--output", arguments->output, "the catalog to write")->required();
        command->callback([&exitCode, arguments] { exitCode = RunPretranslate(*arguments); });
    }
    {
        auto arguments = std::make_shared<FillArguments>();
        CLI::App* command = app.add_subcommand(
            "fill", "Write a memory's exact matches into the empty language slots of files");
        command
            ->add_option("FILE", arguments->inputs,
                         "IFF files, FAR archives or folders (walked for both)")
            ->required();
        command->add_option("--memory", arguments->memories, "a TMX file (any number)")->required();
        CLI::Option* lang =
            command->add_option("--lang", arguments->langs, "a language to fill (any number)")
                ->check(SlotValidator());
        CLI::Option* all = command->add_flag("--all-languages", arguments->allLanguages,
                                             "every language the memories hold");
        lang->excludes(all);
        command
            ->add_option("--source", arguments->source,
                         "the language translated from (default USEnglish)")
            ->check(SlotValidator());
        command->add_flag("--dry-run", arguments->dryRun, "show the summary, write nothing");
        command->add_flag("--force-write", arguments->forceWrite,
                          "replace the file even if it is read-only");
        command->callback([&exitCode, arguments] {
            if (arguments->langs.empty() && !arguments->allLanguages) {
                PrintError("name the languages to fill with --lang or --all-languages.");
                exitCode = 2;
                return;
            }
            exitCode = RunFill(*arguments);
        });
    }
}
