#include "exchange/CsvCatalog.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>

#include "exchange/CsvTable.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/SafeFile.h"
#include "strings/TextCodec.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsTrue(const std::string& value) {
    const std::string lower = Lower(value);
    return lower == "true" || lower == "yes" || lower == "1" || lower == "fuzzy";
}

// Stored line breaks in a catalog are '\n'; a spreadsheet may write CR LF inside a field.
std::string ToNewlines(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        } else {
            out += text[i];
        }
    }
    return out;
}

// A spreadsheet runs a cell that starts with one of these as a formula.
bool StartsAsFormula(std::string_view text) {
    return !text.empty() &&
           std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
}

// A cell that would be run gets a leading '; so does one that only looks guarded already, so
// that Unguard gives back every text exactly.
bool NeedsGuard(std::string_view text) {
    return StartsAsFormula(text) ||
           (text.size() > 1 && text.front() == '\'' && NeedsGuard(text.substr(1)));
}

std::string Guard(const std::string& text) {
    return NeedsGuard(text) ? "'" + text : text;
}

std::string Unguard(const std::string& text) {
    return !text.empty() && text.front() == '\'' && NeedsGuard(std::string_view(text).substr(1))
               ? text.substr(1)
               : text;
}

std::string JoinReferences(const std::vector<std::string>& references) {
    std::string out;
    for (const std::string& reference : references) {
        out += (out.empty() ? "" : " ") + EncodeReference(reference);
    }
    return out;
}

std::vector<std::string> SplitReferences(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while ((start = text.find_first_not_of(" \t\r\n", start)) != std::string::npos) {
        const size_t end = text.find_first_of(" \t\r\n", start);
        out.push_back(text.substr(start, end - start));
        start = end;
    }
    return RejoinReferences(out);
}

}  // namespace

bool WriteCsvCatalog(const std::string& path, const std::vector<TranslationUnit>& units,
                     std::string& error) {
    std::string text = FormatCsvRecord(CsvRecord(std::begin(kCsvColumns), std::end(kCsvColumns)));
    for (const TranslationUnit& unit : units) {
        text += FormatCsvRecord({Guard(JoinReferences(unit.references)), Guard(unit.source),
                                 Guard(unit.target), Guard(unit.context),
                                 unit.fuzzy ? "True" : "False", Guard(unit.context),
                                 Guard(unit.translatorComment), Guard(unit.comment)});
    }
    try {
        WriteFileSafely(path, text.data(), text.size());
    } catch (const CFileException& e) {
        error = e.GetErrorMessage();
        return false;
    }
    return true;
}

bool ReadCsvCatalog(const std::string& path, std::vector<TranslationUnit>& units,
                    std::string& error) {
    std::string text;
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(path);
        text.assign(bytes.begin(), bytes.end());
    } catch (const CFileException& e) {
        error = e.GetErrorMessage();
        return false;
    }
    if (const size_t bad = CTextCodec::FindInvalidUtf8(text); bad != std::string::npos) {
        error = path + ": not UTF-8 (byte " + std::to_string(bad) + ")";
        return false;
    }
    std::vector<CsvRecord> records;
    if (!ParseCsv(text, records, error, DetectCsvDelimiter(text))) {
        error = path + ": " + error;
        return false;
    }
    if (records.empty()) {
        error = path + ": no header row";
        return false;
    }
    std::map<std::string, size_t> columns;
    for (size_t i = 0; i < records.front().size(); ++i) {
        columns.emplace(Lower(records.front()[i]), i);
    }
    const auto column = [&](const char* name) {
        const auto found = columns.find(name);
        return found != columns.end() ? static_cast<long>(found->second) : -1L;
    };
    const long source = column("source");
    const long target = column("target");
    const long context = column("context");
    const long id = column("id");
    const long location = column("location");
    if (source < 0 || target < 0 || (context < 0 && id < 0 && location < 0)) {
        error = path +
                ": the header row needs the columns source, target and context (or id, or "
                "location)";
        return false;
    }
    const long fuzzy = column("fuzzy");
    const long translator = column("translator_comments");
    const long developer = column("developer_comments");
    std::vector<TranslationUnit> read;
    // A key twice is an error, as it is in a PO file: which row would hold the translation?
    std::map<std::pair<std::string, std::string>, size_t> rowOfKey;
    for (size_t row = 1; row < records.size(); ++row) {
        const CsvRecord& record = records[row];
        const auto field = [&](long index) {
            return index >= 0 && static_cast<size_t>(index) < record.size()
                       ? Unguard(record[static_cast<size_t>(index)])
                       : std::string();
        };
        TranslationUnit unit;
        unit.context = field(context);
        if (unit.context.empty()) {
            // po2csv writes the id as the context, a U+0004 and the source, or as the source
            // alone when there is no context.
            const std::string idText = field(id);
            const size_t separator = idText.find('\x04');
            unit.context = separator != std::string::npos ? idText.substr(0, separator)
                           : idText != field(source)      ? idText
                                                          : std::string();
        }
        unit.references = SplitReferences(field(location));
        unit.source = ToNewlines(field(source));
        unit.target = ToNewlines(field(target));
        unit.fuzzy = IsTrue(field(fuzzy));
        unit.translatorComment = field(translator);
        unit.comment = field(developer);
        const auto [found, added] = rowOfKey.emplace(
            std::pair(unit.context.empty() ? field(location) : unit.context, unit.source), row);
        if (!added) {
            error = path + ": rows " + std::to_string(found->second + 1) + " and " +
                    std::to_string(row + 1) + " have the same key";
            return false;
        }
        read.push_back(std::move(unit));
    }
    units = std::move(read);
    return true;
}
