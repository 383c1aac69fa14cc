#include "cli/Arguments.h"

#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <utility>

#include "cli/EditOperations.h"

namespace {

std::string Quoted(const std::string& value) {
    return "\"" + value + "\"";
}

// The offset of the first byte that does not belong to a well-formed UTF-8 sequence, or npos.
size_t FirstInvalidUtf8(const std::string& text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t extra = 0;
        unsigned min = 0;
        unsigned c = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            extra = 1;
            c = lead & 0x1F;
            min = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            c = lead & 0x0F;
            min = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            c = lead & 0x07;
            min = 0x10000;
        } else {
            return i;
        }
        if (extra > text.size() - i - 1) {
            return i;
        }
        for (size_t k = 1; k <= extra; ++k) {
            const auto trail = static_cast<unsigned char>(text[i + k]);
            if ((trail & 0xC0) != 0x80) {
                return i;
            }
            c = (c << 6) | (trail & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return i;
        }
        i += extra + 1;
    }
    return std::string::npos;
}

}  // namespace

int ParseNumber(const std::string& text, int max) {
    if (text.empty() || text.size() > 5) {
        return -1;
    }
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = value * 10 + (c - '0');
    }
    return value <= max ? value : -1;
}

const CLI::Validator& NumberValidator(int min, int max) {
    static std::map<std::pair<int, int>, std::unique_ptr<CLI::Validator>> s_validators;
    std::unique_ptr<CLI::Validator>& validator = s_validators[{min, max}];
    if (!validator) {
        validator = std::make_unique<CLI::Validator>(
            [min, max](std::string& value) {
                const int number = ParseNumber(value, max);
                if (number >= min) {
                    return std::string();
                }
                return "expected a number from " + std::to_string(min) + " to " +
                       std::to_string(max) + ", got " + Quoted(value);
            },
            "NUMBER");
    }
    return *validator;
}

const CLI::Validator& SlotValidator() {
    static const CLI::Validator validator(
        [](std::string& value) {
            return ParseSlot(value)
                       ? std::string()
                       : "expected a number from 0 to 20 or a language name, got " + Quoted(value);
        },
        "SLOT");
    return validator;
}

const CLI::Validator& Utf8Validator() {
    static const CLI::Validator validator(
        [](std::string& value) {
            const size_t bad = FirstInvalidUtf8(value);
            return bad == std::string::npos ? std::string()
                                            : "not valid UTF-8 at byte " + std::to_string(bad);
        },
        "TEXT");
    return validator;
}
