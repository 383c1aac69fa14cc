// The container commands: list shows a file's chunks as the open indexes them; resave writes a
// file back through the same steps as the editor's save.
#include "cli/Commands.h"

#include "cli/CliText.h"
#include "cli/DocSession.h"
#include "cli/OpenIff.h"
#include "framework/stream/FileException.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A chunk type's four characters; bytes outside printable ASCII (and the backslash) escaped.
std::string ShowType(ChunkType type) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned char>(type >> shift);
        if (byte < 0x20 || byte >= 0x7F || byte == '\\') {
            AppendHexEscape(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

// A chunk name read as windows-1252, the code page the game writes names in; control bytes,
// the backslash and the five bytes windows-1252 leaves undefined are escaped.
std::string ShowName(const std::string& name) {
    static constexpr char16_t k80to9F[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
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
    return out;
}

size_t DecimalWidth(uint32_t value) {
    size_t width = 1;
    while (value >= 10) {
        value /= 10;
        ++width;
    }
    return width;
}

void AppendPadded(std::string& out, const std::string& text, size_t width, bool right) {
    if (right && text.size() < width) {
        out.append(width - text.size(), ' ');
    }
    out += text;
    if (!right && text.size() < width) {
        out.append(width - text.size(), ' ');
    }
}

// Output goes out in large blocks: a line at a time through printf would cost more than the
// whole open.
class CBlockOutput {
public:
    static constexpr size_t kBlock = 1 << 20;

    CBlockOutput() { m_text.reserve(kBlock + 1024); }
    ~CBlockOutput() { Flush(); }
    CBlockOutput(const CBlockOutput&) = delete;
    CBlockOutput& operator=(const CBlockOutput&) = delete;

    std::string& Text() { return m_text; }
    void LineDone() {
        if (m_text.size() >= kBlock) {
            Flush();
        }
    }
    void Flush() {
        if (!m_text.empty()) {
            std::ignore = std::fwrite(m_text.data(), 1, m_text.size(), stdout);
            m_text.clear();
        }
    }

private:
    std::string m_text;
};

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
        typeWidth = std::max(typeWidth, ShowType(record->type).size());
        idWidth = std::max(idWidth, DecimalWidth(record->id));
        // A chunk known only from the map has no size until its header is read: "?".
        sizeWidth = std::max(sizeWidth, record->IsHeaderRead() ? DecimalWidth(record->size) : 1);
    }
    const int version = iff.GetVersion();
    CBlockOutput out;
    out.Text() +=
        "version " + std::to_string(version / 10) + "." + std::to_string(version % 10) + "\n";
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const CChunkRecord* record = store.Resolve(handle);
        if (record == nullptr) {
            continue;
        }
        std::string& text = out.Text();
        AppendPadded(text, ShowType(record->type), typeWidth, false);
        text += "  ";
        AppendPadded(text, std::to_string(record->id), idWidth, true);
        char flags[16];
        std::snprintf(flags, sizeof flags, "  0x%04X  ", static_cast<unsigned>(record->flags));
        text += flags;
        AppendPadded(text, record->IsHeaderRead() ? std::to_string(record->size) : "?", sizeWidth,
                     true);
        if (!record->name.empty()) {
            text += "  ";
            text += ShowName(record->name);
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
