#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// What to look for, as the Find and Replace dialog sets it.
struct SearchOptions {
    std::u16string pattern;
    bool matchCase = false;
    bool wholeWords = false;
    bool regex = false;  // ICU regular expression; otherwise the pattern is literal text
};

// A compiled search over decoded texts (as the edits show them, line breaks as '\n'): matches
// and replacements, with ICU's regular expressions for both literal and regex patterns.
class CTextSearch {
public:
    CTextSearch();
    ~CTextSearch();
    CTextSearch(const CTextSearch&) = delete;
    CTextSearch& operator=(const CTextSearch&) = delete;

    // False, with the reason in error, for an empty pattern or an invalid regular expression.
    [[nodiscard]] bool Compile(const SearchOptions& options, std::string& error);
    [[nodiscard]] bool IsCompiled() const { return m_pPattern != nullptr; }

    // Every match in text, as (start, length) in UTF-16 code units, in order; empty matches
    // (a pattern that can match nothing) are not reported.
    [[nodiscard]] std::vector<std::pair<size_t, size_t>> Matches(std::u16string_view text) const;
    // text with every match replaced: replacement taken literally, or with groups ($1 or \1)
    // for a regular expression. count receives the number of replacements.
    [[nodiscard]] std::u16string ReplaceAll(std::u16string_view text,
                                            std::u16string_view replacement, size_t& count) const;

private:
    struct Pattern;
    std::unique_ptr<Pattern> m_pPattern;
    bool m_bRegex = false;
};
