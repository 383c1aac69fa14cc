#pragma once

#include <string>
#include <string_view>
#include <vector>

using CsvRecord = std::vector<std::string>;

// RFC 4180 comma-separated values: a field holding a comma, a quote, CR or LF, or beginning or
// ending with a space, is quoted, its quotes doubled; records end with CR LF.
[[nodiscard]] std::string FormatCsvRecord(const CsvRecord& fields);

// The delimiter of a table as spreadsheets write them: whichever of ',', ';' and tab occurs
// most often outside quotes in the first record; ',' when none does.
[[nodiscard]] char DetectCsvDelimiter(std::string_view text);

// Parses text into records, fields separated by delimiter. Accepts CR LF, LF or a lone CR between
// records and a last record without a line break; a UTF-8 byte order mark at the start is skipped;
// an empty line is no record. False, with error naming the line, for a quote inside an unquoted
// field, text after a closing quote, or a quoted field never closed; records is then untouched.
[[nodiscard]] bool ParseCsv(std::string_view text, std::vector<CsvRecord>& records,
                            std::string& error, char delimiter = ',');
