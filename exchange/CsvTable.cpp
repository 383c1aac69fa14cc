#include "exchange/CsvTable.h"

std::string FormatCsvRecord(const CsvRecord& fields) {
    std::string out;
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        if (i > 0) {
            out += ',';
        }
        // Spaces at the ends are quoted because some spreadsheets trim unquoted ones.
        const bool quote = field.find_first_of(",\"\r\n") != std::string::npos ||
                           (!field.empty() && (field.front() == ' ' || field.back() == ' '));
        if (!quote) {
            out += field;
            continue;
        }
        out += '"';
        for (const char c : field) {
            if (c == '"') {
                out += '"';
            }
            out += c;
        }
        out += '"';
    }
    out += "\r\n";
    return out;
}

char DetectCsvDelimiter(std::string_view text) {
    size_t counts[3] = {};
    constexpr char kDelimiters[3] = {',', ';', '\t'};
    bool quoted = false;
    for (const char c : text) {
        if (c == '"') {
            quoted = !quoted;
        } else if (!quoted && (c == '\r' || c == '\n')) {
            break;
        } else if (!quoted) {
            for (size_t k = 0; k < 3; ++k) {
                counts[k] += c == kDelimiters[k] ? 1 : 0;
            }
        }
    }
    size_t best = 0;
    for (size_t k = 1; k < 3; ++k) {
        best = counts[k] > counts[best] ? k : best;
    }
    return kDelimiters[best];
}

bool ParseCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error,
              char delimiter) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    std::vector<CsvRecord> out;
    CsvRecord record;
    std::string field;
    size_t line = 1;
    size_t i = 0;
    bool fieldBegun = false;   // the current field holds text or was quoted
    bool recordBegun = false;  // something of the current record was read (an empty line: no)
    const auto fail = [&](const std::string& what) {
        error = "line " + std::to_string(line) + ": " + what;
        return false;
    };
    const auto endRecord = [&] {
        if (recordBegun) {
            record.push_back(std::move(field));
            out.push_back(std::move(record));
        }
        record.clear();
        field.clear();
        fieldBegun = false;
        recordBegun = false;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' && !fieldBegun) {
            // A quoted field, up to the quote that is not doubled.
            const size_t startLine = line;
            ++i;
            bool closed = false;
            while (i < text.size()) {
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                if (text[i] == '\n') {
                    ++line;
                }
                field += text[i++];
            }
            if (!closed) {
                line = startLine;
                return fail("a quoted field is not closed");
            }
            fieldBegun = true;
            recordBegun = true;
            if (i < text.size() && text[i] != delimiter && text[i] != '\r' && text[i] != '\n') {
                return fail("text after the closing quote of a field");
            }
            continue;
        }
        if (c == '"') {
            return fail("a quote inside a field that does not begin with one");
        }
        if (c == delimiter) {
            record.push_back(std::move(field));
            field.clear();
            fieldBegun = false;
            recordBegun = true;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            i += c == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
            endRecord();
            ++line;
            continue;
        }
        field += c;
        fieldBegun = true;
        recordBegun = true;
        ++i;
    }
    endRecord();
    records = std::move(out);
    return true;
}
