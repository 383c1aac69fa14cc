#pragma once

#include <string>

namespace CLI {
class Validator;
}

// Validators of the command line's values, one wording for each kind of mistake; CLI11 puts the
// option's name in front ("--id: expected a number from 0 to 65535, got "70000"") and exits
// with the usage status 2.

// A plain decimal number from min to max: digits only, no sign, no spaces, no prefix.
[[nodiscard]] const CLI::Validator& NumberValidator(int min, int max);
// A language slot: a plain decimal number from 0 to 20, or a language name.
[[nodiscard]] const CLI::Validator& SlotValidator();
// A catalog format: po or csv.
[[nodiscard]] const CLI::Validator& CatalogFormatValidator();
// Text that is well-formed UTF-8.
[[nodiscard]] const CLI::Validator& Utf8Validator();

// The value of a plain decimal number from 0 to 65535; -1 for anything else.
[[nodiscard]] int ParseNumber(const std::string& text, int max);
