#include "cli/CliText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/Commands.h"

void AppendHexEscape(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

namespace {

// The length of the well-formed UTF-8 sequence at text[at], or 0.
size_t Utf8Length(const std::string& text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    char32_t value = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) {
            return 0;
        }
        value = (value << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    if (overlong || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    // C1 controls (U+0080-U+009F) act on a terminal as C0 ones do.
    return value >= 0x80 && value <= 0x9F ? 0 : length;
}

}  // namespace

std::string EscapeControls(const std::string& text, bool keepLineBreaks) {
    std::string out;
    out.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if (byte < 0x80) {
            if ((byte < 0x20 && !(keepLineBreaks && byte == '\n')) || byte == 0x7F) {
                AppendHexEscape(out, byte);
            } else {
                out += static_cast<char>(byte);
            }
            ++at;
        } else if (const size_t length = Utf8Length(text, at); length != 0) {
            out.append(text, at, length);
            at += length;
        } else {
            AppendHexEscape(out, byte);
            ++at;
        }
    }
    return out;
}

void PrintError(const std::string& message) {
    std::fprintf(stderr, "tallyglass-cli: %s\n", EscapeControls(message, true).c_str());
}

bool FinishStandardOutput() {
    errno = 0;
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return true;
    }
    // A reader that stopped early (head) has what it wanted; the pipe's end is no failure
    // worth a message.
    if (errno != EPIPE) {
        PrintError(std::string("cannot write to standard output: ") +
                   (errno != 0 ? std::strerror(errno) : "write error"));
    }
    return false;
}
