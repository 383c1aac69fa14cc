// The container commands: list shows a file's chunks as the open indexes them; resave writes a
// file back through the same steps as the editor's save.
#include "cli/Commands.h"

#include "cli/BlockOutput.h"
#include "cli/CliText.h"
#include "cli/DocSession.h"
#include "cli/OpenIff.h"
#include "framework/stream/FileException.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

bool IsPlainTypeByte(unsigned char byte) {
    return byte >= 0x20 && byte < 0x7F && byte != '\\';
}

// Appends a chunk type's four characters; bytes outside printable ASCII (and the backslash)
// escaped.
void AppendType(std::string& out, ChunkType type) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned char>(type >> shift);
        if (IsPlainTypeByte(byte)) {
            out += static_cast<char>(byte);
        } else {
            AppendHexEscape(out, byte);
        }
    }
}

size_t TypeWidth(ChunkType type) {
    size_t width = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
        width += IsPlainTypeByte(static_cast<unsigned char>(type >> shift)) ? 1 : 4;
    }
    return width;
}

// Appends a chunk name read as windows-1252, the code page the game writes names in; control
// bytes, the backslash and the five bytes windows-1252 leaves undefined are escaped.
void AppendName(std::string& out, const std::string& name) {
    static constexpr char16_t k80to9F[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    for (const char ch : name) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x20 || byte == 0x7F || byte == '\\') {
            AppendHexEscape(out, byte);
        } else if (byte < 0x80) {
            out += ch;
        } else if (byte < 0xA0) {
            const char16_t c = k80to9F[byte - 0x80];
            if (c == 0) {
                AppendHexEscape(out, byte);
            } else {
                AppendUtf8(out, c);
            }
        } else {
            AppendUtf8(out, byte);
        }
    }
}

size_t DecimalWidth(uint32_t value) {
    size_t width = 1;
    while (value >= 10) {
        value /= 10;
        ++width;
    }
    return width;
}

int RunList(const std::string& path) {
    CIffFile iff;
    if (!OpenIff(path, iff)) {
        return 1;
    }
    const CChunkStore& store = CChunkStore::Instance();
    // The columns are as wide as their widest entry: a first pass measures them.
    size_t typeWidth = 0, idWidth = 0, sizeWidth = 0;
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const CChunkRecord* record = store.Resolve(handle);
        if (record == nullptr) {
            continue;
        }
        typeWidth = std::max(typeWidth, TypeWidth(record->type));
        idWidth = std::max(idWidth, DecimalWidth(record->id));
        // A chunk known only from the map has no size until its header is read: "?".
        sizeWidth = std::max(sizeWidth, record->IsHeaderRead() ? DecimalWidth(record->size) : 1);
    }
    const int version = iff.GetVersion();
    CBlockOutput out;
    std::string& text = out.Text();
    text += "version " + std::to_string(version / 10) + "." + std::to_string(version % 10) + "\n";
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const CChunkRecord* record = store.Resolve(handle);
        if (record == nullptr) {
            continue;
        }
        const size_t lineStart = text.size();
        AppendType(text, record->type);
        text.append(typeWidth - (text.size() - lineStart), ' ');
        text += "  ";
        AppendDecimal(text, record->id, idWidth);
        static constexpr char kHex[] = "0123456789ABCDEF";
        const unsigned flags = record->flags;
        const char flagText[12] = {' ',
                                   ' ',
                                   '0',
                                   'x',
                                   kHex[(flags >> 12) & 0xF],
                                   kHex[(flags >> 8) & 0xF],
                                   kHex[(flags >> 4) & 0xF],
                                   kHex[flags & 0xF],
                                   ' ',
                                   ' '};
        text.append(flagText, 10);
        if (record->IsHeaderRead()) {
            AppendDecimal(text, record->size, sizeWidth);
        } else {
            text.append(sizeWidth - 1, ' ');
            text += '?';
        }
        if (!record->name.empty()) {
            text += "  ";
            AppendName(text, record->name);
        }
        text += '\n';
        out.LineDone();
    }
    return 0;
}

}  // namespace

void RegisterContainerCommands(CLI::App& app, int& exitCode) {
    auto listFile = std::make_shared<std::string>();
    CLI::App* list = app.add_subcommand(
        "list", "Show the file's version and its chunks: type, id, flags, payload size, name");
    list->add_option("FILE", *listFile, "IFF file")->required();
    list->callback(
        [&exitCode, listFile] { exitCode = Guarded([&] { return RunList(*listFile); }); });

    auto resaveFile = std::make_shared<std::string>();
    auto resaveOut = std::make_shared<std::string>();
    CLI::App* resave = app.add_subcommand(
        "resave", "Write the file back unchanged (to OUT when given), through a temporary file");
    resave->add_option("FILE", *resaveFile, "IFF file")->required();
    resave->add_option("-o,--output", *resaveOut, "file to write instead of FILE");
    auto dropUnreadable = std::make_shared<bool>(false);
    resave->add_flag("--drop-unreadable", *dropUnreadable,
                     "Leave out the chunks that cannot be read (listed on stdout) instead of "
                     "refusing the file");
    auto force = std::make_shared<bool>(false);
    resave->add_flag("--force", *force, "replace the file even if it is read-only");
    resave->callback([&exitCode, resaveFile, resaveOut, dropUnreadable, force] {
        // The editor's own save path: the document loads every payload, closes the source and
        // writes the target through a temporary file that replaces it only once complete.
        exitCode = Guarded([&] {
            return ResaveThroughDocument(*resaveFile, *resaveOut, *dropUnreadable, *force);
        });
    });
}
