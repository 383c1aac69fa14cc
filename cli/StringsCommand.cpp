// The strings command: every text resource of a file (STR#, CTSS, TTAs), loaded as the editor
// loads it, with the texts and descriptions of every filled language slot.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "cli/Arguments.h"
#include "cli/BlockOutput.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "cli/OpenIff.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "strings/TextCodec.h"
#include "strings/TextResources.h"

namespace {

struct ResourceReport {
    ChunkType type = kTypeStrings;
    uint16_t id = 0;
    std::string name;   // UTF-8
    std::string label;  // UTF-8
    bool loaded = false;
    std::string error;
    // After a failed decode the set holds what was decoded before the bad record.
    std::unique_ptr<CStringSet> set = std::make_unique<CStringSet>();
};

const char* LayoutName(StringLayout layout) {
    switch (layout) {
        case StringLayout::basic:
            return "basic";
        case StringLayout::plain:
            return "plain";
        case StringLayout::described:
            return "described";
        case StringLayout::multilingual:
            return "multilingual";
        case StringLayout::utf8:
            return "utf8";
    }
    return "multilingual";
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }
    return out;
}

// Appends decoded text for a one-line listing: line breaks, tabs and other control
// characters, the backslash, and bytes the code page cannot show are written as escapes.
// codePoints is scratch space, reused from one text to the next.
void AppendPrintable(std::string& out, const CTextCodec& codec, std::string_view bytes,
                     std::u32string& codePoints) {
    codec.DecodeCodePoints(bytes, codePoints);
    for (const char32_t c : codePoints) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else if (CTextCodec::IsEscape(c)) {
            AppendHexEscape(out, static_cast<unsigned char>(c - CTextCodec::kEscapeBase));
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            AppendHexEscape(out, static_cast<unsigned char>(c));
        } else {
            AppendUtf8(out, c);
        }
    }
}

// Appends text left-aligned in width columns (text is ASCII).
void AppendLeft(std::string& out, std::string_view text, size_t width) {
    out += text;
    if (text.size() < width) {
        out.append(width - text.size(), ' ');
    }
}

// Loads one text resource into a new set, as the editor's view does: FindChunk, then Load.
ResourceReport LoadResource(CIffFile& iff, ChunkType type, const CChunkRecord& listed) {
    ResourceReport report;
    report.type = type;
    report.id = listed.id;
    report.name = CTextCodec::Western().DecodeUtf8(listed.name);
    report.label = ResourceLabelPrefix(type, listed.id) + report.name;

    ChunkHandle handle = 0;
    if (!iff.FindChunk(handle, type, listed.id)) {
        report.error = "the chunk's header cannot be read";
    } else if (const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
               record == nullptr || record->size == 0) {
        report.error = "the chunk has no payload";
    } else if (report.set->Load(iff, handle)) {
        report.loaded = true;
    } else if (!iff.EnsureLoaded(handle)) {
        report.error = "the payload cannot be read";
    } else {
        report.error = "the payload is malformed; decoding stopped at a bad record";
    }
    return report;
}

void PrintJson(const std::string& path, const std::vector<ResourceReport>& reports) {
    // Keys stay in the order they are written, as the format is documented.
    using json = nlohmann::ordered_json;
    json resources = json::array();
    for (const ResourceReport& report : reports) {
        json resource = {{"type", ChunkTypeName(report.type)},
                         {"id", report.id},
                         {"name", report.name},
                         {"label", report.label},
                         {"loaded", report.loaded}};
        if (!report.loaded) {
            resource["error"] = report.error;
        }
        const CStringSet& set = *report.set;
        const StringLayout layout = set.GetLayout();
        resource["layout"] = LayoutName(layout);
        json entries = json::array();
        for (size_t index = 0; index < set.GetCount(); ++index) {
            json slots = json::object();
            for (int slot = 0; slot < kSlotCount; ++slot) {
                const StringSlot value = set.GetSlot(index, static_cast<size_t>(slot));
                if (value.IsEmpty()) {
                    continue;
                }
                const CTextCodec& codec = CodecOfLayout(layout, slot);
                slots[std::to_string(slot)] = {{"text", codec.DecodeUtf8(value.text)},
                                               {"description", codec.DecodeUtf8(value.description)},
                                               {"text_hex", Hex(value.text)},
                                               {"description_hex", Hex(value.description)}};
            }
            entries.push_back({{"index", index}, {"slots", std::move(slots)}});
        }
        resource["entries"] = std::move(entries);
        resources.push_back(std::move(resource));
    }
    const json root = {{"file", path}, {"resources", std::move(resources)}};
    // The path is bytes from the command line: never let one that is not UTF-8 stop the output.
    std::printf("%s\n", root.dump(2, ' ', false, json::error_handler_t::replace).c_str());
}

void PrintListing(const ResourceReport& report, CBlockOutput& out, std::u32string& codePoints) {
    std::string& text = out.Text();
    const CStringSet& set = *report.set;
    const StringLayout layout = set.GetLayout();
    const auto appendLayout = [&] {
        text += "layout ";
        text += LayoutName(layout);
        text += ", ";
        AppendDecimal(text, set.GetCount());
        text += " entries\n";
    };
    text += report.label;
    text += '\n';
    if (report.loaded) {
        text += "  ";
        appendLayout();
    } else {
        text += "  not loaded: ";
        text += report.error;
        text += '\n';
        if (set.GetCount() == 0) {
            out.LineDone();
            return;
        }
        text += "  decoded before the failure: ";
        appendLayout();
    }
    std::string index;
    for (size_t entry = 0; entry < set.GetCount(); ++entry) {
        index = "#";
        AppendDecimal(index, entry);
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const StringSlot value = set.GetSlot(entry, static_cast<size_t>(slot));
            if (value.IsEmpty()) {
                continue;
            }
            const CTextCodec& codec = CodecOfLayout(layout, slot);
            text += "  ";
            AppendLeft(text, index, 6);
            text += " slot ";
            const size_t slotStart = text.size();
            AppendDecimal(text, static_cast<size_t>(slot));
            AppendLeft(text, "", 2 - (text.size() - slotStart));
            text += "  ";
            AppendPrintable(text, codec, value.text, codePoints);
            text += '\n';
            if (!value.description.empty()) {
                text += "                  description: ";
                AppendPrintable(text, codec, value.description, codePoints);
                text += '\n';
            }
            out.LineDone();
        }
    }
    out.LineDone();
}

// Without a type every text resource is listed, STR# first; an id alone names a STR# resource,
// as it did before other types were listed.
int RunStrings(const std::string& path, std::optional<ChunkType> type, std::optional<int> id,
               bool json) {
    CIffFile iff;
    if (!OpenIff(path, iff)) {
        return 1;
    }
    if (!type && id) {
        type = kTypeStrings;
    }
    // The listing goes out resource by resource; JSON is one document, written at the end.
    std::vector<ResourceReport> reports;
    size_t found = 0;
    CBlockOutput out;
    std::u32string codePoints;
    const CChunkStore& store = CChunkStore::Instance();
    for (const ChunkType listed : kTextResourceTypes) {
        if (type && listed != *type) {
            continue;
        }
        for (POSITION pos = iff.FindFirstOfType(listed); pos != 0;) {
            const ChunkHandle handle = iff.GetNextOfType(pos);
            const CChunkRecord* record = store.Resolve(handle);
            if (record == nullptr || (id && record->id != *id)) {
                continue;
            }
            ++found;
            if (json) {
                reports.push_back(LoadResource(iff, listed, *record));
            } else {
                PrintListing(LoadResource(iff, listed, *record), out, codePoints);
            }
        }
    }
    if (id && found == 0) {
        PrintError("There is no " + ChunkTypeName(*type) + " resource with the id " +
                   std::to_string(*id) + ".");
        return 1;
    }
    if (json) {
        PrintJson(path, reports);
    }
    return 0;
}

}  // namespace

void RegisterStringsCommand(CLI::App& app, int& exitCode) {
    struct Options {
        std::string file;
        std::optional<std::string> type;
        std::optional<int> id;
        bool json = false;
    };
    auto options = std::make_shared<Options>();
    CLI::App* command = app.add_subcommand("strings",
                                           "Show every text resource (STR#, CTSS, TTAs, FAMs): its "
                                           "layout and the texts and descriptions "
                                           "of each filled language slot");
    command->add_option("FILE", options->file, "IFF file")->required();
    command
        ->add_option("--type", options->type,
                     "only resources of this type: STR#, CTSS, TTAs or FAMs")
        ->check(CLI::IsMember({"STR#", "CTSS", "TTAs", "FAMs"}));
    command
        ->add_option("--id", options->id,
                     "only the resource with this id (of type STR# unless --type says)")
        ->check(NumberValidator(0, 0xFFFF));
    command->add_flag("--json", options->json, "print JSON (UTF-8)");
    command->callback([&exitCode, options] {
        try {
            const std::optional<ChunkType> type =
                options->type ? ParseTextResourceType(*options->type) : std::nullopt;
            exitCode = RunStrings(options->file, type, options->id, options->json);
        } catch (const CFileException& e) {
            PrintError(e.GetErrorMessage());
            exitCode = 1;
        }
    });
}
