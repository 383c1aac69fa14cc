// The editing commands: set, layout and copy-to-all. The work is in EditOperations; this file
// only declares the command line.
#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "cli/Arguments.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/EditOperations.h"
#include "framework/stream/FileException.h"
#include "strings/TextResources.h"

namespace {

struct EditOptions {
    EditTarget target;
    std::string lang = "0";
    std::string type = "STR#";
};

const CLI::Validator& TypeValidator() {
    static const CLI::Validator validator(
        [](std::string& value) {
            return ParseTextResourceType(value)
                       ? std::string()
                       : "not a text resource type (STR#, CTSS, TTAs or FAMs): " + value;
        },
        "TYPE");
    return validator;
}

const CLI::Validator& HexValidator() {
    static const CLI::Validator validator(
        [](std::string& value) {
            return ParseHexBytes(value) ? std::string() : "not hexadecimal bytes: " + value;
        },
        "HEX");
    return validator;
}

void AddTargetOptions(CLI::App* command, EditOptions& options) {
    command->add_option("FILE", options.target.file, "IFF file")->required();
    command->add_option("--id", options.target.id, "id of the resource")
        ->required()
        ->check(NumberValidator(0, 0xFFFF));
    command
        ->add_option("--type", options.type,
                     "type of the resource: STR# (default), CTSS, TTAs or FAMs")
        ->check(TypeValidator());
    command->add_option("-o,--output", options.target.output,
                        "file to save to instead of FILE (FILE stays untouched)");
    command->add_flag("--force", options.target.force, "replace the file even if it is read-only");
}

}  // namespace

void RegisterEditCommands(CLI::App& app, int& exitCode) {
    {
        auto options = std::make_shared<EditOptions>();
        auto request = std::make_shared<SetRequest>();
        auto text = std::make_shared<std::string>();
        auto desc = std::make_shared<std::string>();
        auto textHex = std::make_shared<std::string>();
        auto descHex = std::make_shared<std::string>();
        CLI::App* set = app.add_subcommand(
            "set", "Set the text and/or description of one entry (the entry count appends one)");
        AddTargetOptions(set, *options);
        set->add_option("--entry", request->entry, "entry index, from 0")
            ->required()
            ->check(NumberValidator(0, 0xFFFF));
        set->add_option("--lang", options->lang, "language slot: 0-20 or a language name")
            ->check(SlotValidator());
        auto* textOption =
            set->add_option("--text", *text, "new text (UTF-8)")->check(Utf8Validator());
        auto* textHexOption = set->add_option("--text-hex", *textHex, "new text as bytes in hex")
                                  ->check(HexValidator())
                                  ->excludes(textOption);
        auto* descOption =
            set->add_option("--desc", *desc, "new description (UTF-8)")->check(Utf8Validator());
        auto* descHexOption =
            set->add_option("--desc-hex", *descHex, "new description as bytes in hex")
                ->check(HexValidator())
                ->excludes(descOption);
        set->callback([&exitCode, options, request, text, desc, textHex, descHex, textOption,
                       textHexOption, descOption, descHexOption] {
            if (!*textOption && !*textHexOption && !*descOption && !*descHexOption) {
                throw CLI::RequiredError("--text, --text-hex, --desc or --desc-hex");
            }
            options->target.type = *ParseTextResourceType(options->type);
            request->target = options->target;
            request->slot = *ParseSlot(options->lang);
            if (*textOption) {
                request->text = *text;
            } else if (*textHexOption) {
                request->text = *ParseHexBytes(*textHex);
                request->textIsBytes = true;
            }
            if (*descOption) {
                request->description = *desc;
            } else if (*descHexOption) {
                request->description = *ParseHexBytes(*descHex);
                request->descriptionIsBytes = true;
            }
            exitCode = Guarded([&] { return RunSet(*request); });
        });
    }
    {
        auto options = std::make_shared<EditOptions>();
        auto mode = std::make_shared<std::string>();
        CLI::App* layout = app.add_subcommand(
            "layout", "Switch a resource's layout: basic, plain, described or multilingual");
        AddTargetOptions(layout, *options);
        layout->add_option("MODE", *mode, "basic, plain, described or multilingual")
            ->required()
            ->check(CLI::IsMember({"basic", "plain", "described", "multilingual"}));
        layout->callback([&exitCode, options, mode] {
            options->target.type = *ParseTextResourceType(options->type);
            StringLayout target = StringLayout::multilingual;
            if (*mode == "basic") {
                target = StringLayout::basic;
            } else if (*mode == "plain") {
                target = StringLayout::plain;
            } else if (*mode == "described") {
                target = StringLayout::described;
            }
            exitCode = Guarded([&] { return RunLayout(options->target, target); });
        });
    }
    {
        auto options = std::make_shared<EditOptions>();
        auto entries = std::make_shared<std::vector<int>>();
        CLI::App* copy = app.add_subcommand(
            "copy-to-all",
            "Copy the text and description of one language into every language, for the entries "
            "given");
        AddTargetOptions(copy, *options);
        copy->add_option("--entries", *entries, "entry indexes, comma-separated")
            ->required()
            ->delimiter(',')
            ->check(NumberValidator(0, 0xFFFF));
        copy->add_option("--lang", options->lang, "language slot to copy from: 0-20 or a name")
            ->check(SlotValidator());
        copy->callback([&exitCode, options, entries] {
            options->target.type = *ParseTextResourceType(options->type);
            exitCode = Guarded(
                [&] { return RunCopyToAll(options->target, *entries, *ParseSlot(options->lang)); });
        });
    }
}
