#include "cli/Arguments.h"

#include <CLI/CLI.hpp>

#include <map>
#include <memory>
#include <utility>

#include "cli/EditOperations.h"
#include "strings/TextCodec.h"

namespace {

std::string Quoted(const std::string& value) {
    return "\"" + value + "\"";
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
                       : "expected a number from 0 to 20, a language name or a locale code, got " +
                             Quoted(value);
        },
        "SLOT");
    return validator;
}

const CLI::Validator& CatalogFormatValidator() {
    static const CLI::Validator validator = CLI::IsMember({"po", "csv"});
    return validator;
}

const CLI::Validator& Utf8Validator() {
    static const CLI::Validator validator(
        [](std::string& value) {
            const size_t bad = CTextCodec::FindInvalidUtf8(value);
            return bad == std::string::npos ? std::string()
                                            : "not valid UTF-8 at byte " + std::to_string(bad);
        },
        "TEXT");
    return validator;
}
