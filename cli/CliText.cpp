#include "cli/CliText.h"

#include <cstdio>

#include "cli/Commands.h"

void PrintError(const std::string& message) {
    std::fprintf(stderr, "tallyglass-cli: %s\n", message.c_str());
}

void AppendDecimal(std::string& out, uint64_t value, size_t width) {
    char digits[20];
    size_t count = 0;
    do {
        digits[sizeof digits - ++count] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (count < width) {
        out.append(width - count, ' ');
    }
    out.append(digits + sizeof digits - count, count);
}

void AppendByteEscape(std::string& out, unsigned char byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char escaped[4] = {'\\', 'x', kHex[byte >> 4], kHex[byte & 0x0F]};
    out.append(escaped, sizeof escaped);
}
