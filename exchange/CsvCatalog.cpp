#include "exchange/CsvCatalog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>

#include "exchange/CsvTable.h"
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

}  // namespace

bool WriteCsvCatalog(const std::string& path, const std::vector<TranslationUnit>& units,
                     std::string& error) {
    std::string text = FormatCsvRecord(CsvRecord(std::begin(kCsvColumns), std::end(kCsvColumns)));
    for (const TranslationUnit& unit : units) {
        text += FormatCsvRecord({unit.reference, unit.source, unit.target, unit.context,
                                 unit.fuzzy ? "True" : "False", unit.context,
                                 unit.translatorComment, unit.comment});
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
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string text;
    char buffer[65536];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) {
        error = path + ": cannot be read";
        return false;
    }
    if (const size_t bad = CTextCodec::FindInvalidUtf8(text); bad != std::string::npos) {
        error = path + ": not UTF-8 (byte " + std::to_string(bad) + ")";
        return false;
    }
    std::vector<CsvRecord> records;
    if (!ParseCsv(text, records, error)) {
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
    if (source < 0 || target < 0 || (context < 0 && id < 0)) {
        error = path + ": the header row needs the columns source, target and context (or id)";
        return false;
    }
    const long location = column("location");
    const long fuzzy = column("fuzzy");
    const long translator = column("translator_comments");
    const long developer = column("developer_comments");
    std::vector<TranslationUnit> read;
    for (size_t row = 1; row < records.size(); ++row) {
        const CsvRecord& record = records[row];
        const auto field = [&](long index) {
            return index >= 0 && static_cast<size_t>(index) < record.size()
                       ? record[static_cast<size_t>(index)]
                       : std::string();
        };
        TranslationUnit unit;
        unit.context = field(context);
        if (unit.context.empty()) {
            unit.context = field(id);
        }
        unit.reference = field(location);
        unit.source = ToNewlines(field(source));
        unit.target = ToNewlines(field(target));
        unit.fuzzy = IsTrue(field(fuzzy));
        unit.translatorComment = field(translator);
        unit.comment = field(developer);
        read.push_back(std::move(unit));
    }
    units = std::move(read);
    return true;
}
