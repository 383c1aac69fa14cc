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

struct SlotText {
    int slot = 0;
    std::string text;         // the stored bytes
    std::string description;  // the stored bytes
};

struct EntryReport {
    size_t index = 0;
    std::vector<SlotText> slots;  // only slots holding a text or a description
};

struct ResourceReport {
    ChunkType type = kTypeStrings;
    uint16_t id = 0;
    std::string name;   // UTF-8
    std::string label;  // UTF-8
    bool loaded = false;
    std::string error;
    StringLayout layout = StringLayout::multilingual;
    std::vector<EntryReport> entries;
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

// Decoded text for a one-line listing: line breaks, tabs and other control characters, the
// backslash, and bytes the code page cannot show are written as escapes.
std::string Printable(const CTextCodec& codec, std::string_view bytes) {
    const std::u16string text = codec.Decode(bytes);
    std::string out;
    char escape[8];
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        if (CTextCodec::IsEscape(c)) {
            std::snprintf(escape, sizeof escape, "\\x%02X",
                          static_cast<unsigned>(c - CTextCodec::kEscapeBase));
            out += escape;
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
            out += escape;
        } else {
            AppendUtf8(out, c);
        }
    }
    return out;
}

// Loads one text resource into a new set, as the editor's view does: FindChunk, then Load.
ResourceReport LoadResource(CIffFile& iff, ChunkType type, const CChunkRecord& listed) {
    ResourceReport report;
    report.type = type;
    report.id = listed.id;
    report.name = CTextCodec::Western().DecodeUtf8(listed.name);
    report.label = ResourceLabelPrefix(type, listed.id) + report.name;

    CStringSet set;
    ChunkHandle handle = 0;
    if (!iff.FindChunk(handle, type, listed.id)) {
        report.error = "the chunk's header cannot be read";
    } else if (const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
               record == nullptr || record->size == 0) {
        report.error = "the chunk has no payload";
    } else if (set.Load(iff, handle)) {
        report.loaded = true;
    } else if (!iff.EnsureLoaded(handle)) {
        report.error = "the payload cannot be read";
    } else {
        report.error = "the payload is malformed; decoding stopped at a bad record";
    }

    // After a failed decode the set holds what was decoded before the bad record.
    report.layout = set.GetLayout();
    for (size_t index = 0; index < set.GetCount(); ++index) {
        EntryReport entry{index, {}};
        for (int slot = 0; slot < kSlotCount; ++slot) {
            const StringSlot value = set.GetSlot(index, static_cast<size_t>(slot));
            if (!value.IsEmpty()) {
                entry.slots.push_back(
                    {slot, std::string(value.text), std::string(value.description)});
            }
        }
        report.entries.push_back(std::move(entry));
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
        resource["layout"] = LayoutName(report.layout);
        json entries = json::array();
        for (const EntryReport& entry : report.entries) {
            json slots = json::object();
            for (const SlotText& slot : entry.slots) {
                const CTextCodec& codec = CodecOfLayout(report.layout, slot.slot);
                slots[std::to_string(slot.slot)] = {
                    {"text", codec.DecodeUtf8(slot.text)},
                    {"description", codec.DecodeUtf8(slot.description)},
                    {"text_hex", Hex(slot.text)},
                    {"description_hex", Hex(slot.description)}};
            }
            entries.push_back({{"index", entry.index}, {"slots", std::move(slots)}});
        }
        resource["entries"] = std::move(entries);
        resources.push_back(std::move(resource));
    }
    const json root = {{"file", path}, {"resources", std::move(resources)}};
    // The path is bytes from the command line: never let one that is not UTF-8 stop the output.
    std::printf("%s\n", root.dump(2, ' ', false, json::error_handler_t::replace).c_str());
}

void PrintListing(const std::vector<ResourceReport>& reports) {
    for (const ResourceReport& report : reports) {
        std::printf("%s\n", report.label.c_str());
        if (report.loaded) {
            std::printf("  layout %s, %zu entries\n", LayoutName(report.layout),
                        report.entries.size());
        } else {
            std::printf("  not loaded: %s\n", report.error.c_str());
            if (report.entries.empty()) {
                continue;
            }
            std::printf("  decoded before the failure: layout %s, %zu entries\n",
                        LayoutName(report.layout), report.entries.size());
        }
        for (const EntryReport& entry : report.entries) {
            std::string index = "#";  // not "#" + ...: a false -Wrestrict in GCC 12 at -O3
            index += std::to_string(entry.index);
            for (const SlotText& slot : entry.slots) {
                const CTextCodec& codec = CodecOfLayout(report.layout, slot.slot);
                std::printf("  %-6s slot %-2d  %s\n", index.c_str(), slot.slot,
                            Printable(codec, slot.text).c_str());
                if (!slot.description.empty()) {
                    std::printf("  %-6s %-7s  description: %s\n", "", "",
                                Printable(codec, slot.description).c_str());
                }
            }
        }
    }
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
    std::vector<ResourceReport> reports;
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
            reports.push_back(LoadResource(iff, listed, *record));
        }
    }
    if (id && reports.empty()) {
        PrintError("There is no " + ChunkTypeName(*type) + " resource with the id " +
                   std::to_string(*id) + ".");
        return 1;
    }
    if (json) {
        PrintJson(path, reports);
    } else {
        PrintListing(reports);
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
