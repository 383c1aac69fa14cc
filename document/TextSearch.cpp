#include "document/TextSearch.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

namespace {

icu::UnicodeString ToIcu(std::u16string_view text) {
    return icu::UnicodeString(text.data(), static_cast<int32_t>(text.size()));
}

std::u16string FromIcu(const icu::UnicodeString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.getBuffer()),
                          static_cast<size_t>(text.length()));
}

// Literal text as a pattern: every character that is not a letter or digit escaped.
std::u16string EscapeLiteral(std::u16string_view text) {
    std::u16string out;
    for (const char16_t c : text) {
        const bool plain = (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') ||
                           (c >= u'A' && c <= u'Z') || c >= 0x80;
        if (!plain) {
            out.push_back(u'\\');
        }
        out.push_back(c);
    }
    return out;
}

// A literal replacement: $ and \ stand for themselves.
std::u16string EscapeReplacement(std::u16string_view text) {
    std::u16string out;
    for (const char16_t c : text) {
        if (c == u'$' || c == u'\\') {
            out.push_back(u'\\');
        }
        out.push_back(c);
    }
    return out;
}

// A regular expression's replacement: \1 to \9 (as most editors write them) name groups as $1
// to $9 do; any other escape stays as it is.
std::u16string GroupsAsDollars(std::u16string_view text) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const char16_t next = text[++i];
            out.push_back(next >= u'1' && next <= u'9' ? u'$' : u'\\');
            out.push_back(next);
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace

struct CTextSearch::Pattern {
    std::unique_ptr<icu::RegexPattern> regex;
};

CTextSearch::CTextSearch() = default;
CTextSearch::~CTextSearch() = default;

bool CTextSearch::Compile(const SearchOptions& options, std::string& error) {
    m_pPattern.reset();
    if (options.pattern.empty()) {
        error = "There is nothing to find.";
        return false;
    }
    std::u16string source = options.regex ? options.pattern : EscapeLiteral(options.pattern);
    if (options.wholeWords) {
        source = u"\\b(?:" + source + u")\\b";
    }
    UParseError parse{};
    UErrorCode status = U_ZERO_ERROR;
    const uint32_t flags = options.matchCase ? 0 : UREGEX_CASE_INSENSITIVE;
    std::unique_ptr<icu::RegexPattern> regex(
        icu::RegexPattern::compile(ToIcu(source), flags, parse, status));
    if (U_FAILURE(status) || !regex) {
        error = "The regular expression is not valid: " + std::string(u_errorName(status)) +
                " at character " + std::to_string(parse.offset + 1) + ".";
        return false;
    }
    m_pPattern = std::make_unique<Pattern>();
    m_pPattern->regex = std::move(regex);
    m_bRegex = options.regex;
    return true;
}

std::vector<std::pair<size_t, size_t>> CTextSearch::Matches(std::u16string_view text) const {
    std::vector<std::pair<size_t, size_t>> matches;
    if (!m_pPattern) {
        return matches;
    }
    const icu::UnicodeString input = ToIcu(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(m_pPattern->regex->matcher(input, status));
    if (U_FAILURE(status)) {
        return matches;
    }
    while (matcher->find(status) && U_SUCCESS(status)) {
        const int32_t start = matcher->start(status);
        const int32_t end = matcher->end(status);
        if (U_FAILURE(status)) {
            break;
        }
        if (end > start) {
            matches.emplace_back(static_cast<size_t>(start), static_cast<size_t>(end - start));
        }
    }
    return matches;
}

std::u16string CTextSearch::ReplaceAll(std::u16string_view text, std::u16string_view replacement,
                                       size_t& count) const {
    count = Matches(text).size();
    if (count == 0) {
        return std::u16string(text);
    }
    const icu::UnicodeString input = ToIcu(text);
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(m_pPattern->regex->matcher(input, status));
    const std::u16string with =
        m_bRegex ? GroupsAsDollars(replacement) : EscapeReplacement(replacement);
    const icu::UnicodeString result = matcher->replaceAll(ToIcu(with), status);
    if (U_FAILURE(status)) {
        count = 0;
        return std::u16string(text);
    }
    return FromIcu(result);
}
