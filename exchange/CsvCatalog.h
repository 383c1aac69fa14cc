#pragma once

#include <string>
#include <vector>

#include "exchange/TranslationUnit.h"

// The columns of a translation CSV, in the order they are written.
inline constexpr const char* kCsvColumns[] = {
    "location",          "source", "target", "id", "fuzzy", "context", "translator_comments",
    "developer_comments"};

// Writes a header row and one row per unit (UTF-8, RFC 4180); the key goes into both context
// and id, the source description into developer_comments. False, with error set, when the
// file cannot be written.
[[nodiscard]] bool WriteCsvCatalog(const std::string& path,
                                   const std::vector<TranslationUnit>& units, std::string& error);

// Reads the rows of such a file. Columns are found by the header row's names, in any order;
// source, target and context (or id) must be there. A row's key is its context, else its id.
// False, with error set, for a file that cannot be read, is not UTF-8 or is not such a table;
// units then untouched.
[[nodiscard]] bool ReadCsvCatalog(const std::string& path, std::vector<TranslationUnit>& units,
                                  std::string& error);
