#include "memory/TranslationMemory.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <limits>
#include <set>
#include <utility>

#include "exchange/Locales.h"

namespace {

// Code points of UTF-8; a byte that does not start a well-formed sequence stands for itself.
std::u32string CodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        size_t length = c < 0x80           ? 1
                        : (c >> 5) == 0x6  ? 2
                        : (c >> 4) == 0xE  ? 3
                        : (c >> 3) == 0x1E ? 4
                                           : 0;
        char32_t value = length == 1   ? c
                         : length == 2 ? c & 0x1F
                         : length == 3 ? c & 0x0F
                                       : c & 0x07;
        if (length == 0 || length > text.size() - i) {
            length = 1;
            value = c;
        } else {
            for (size_t k = 1; k < length; ++k) {
                const auto trail = static_cast<unsigned char>(text[i + k]);
                if ((trail & 0xC0) != 0x80) {
                    length = 1;
                    value = c;
                    break;
                }
                value = (value << 6) | (trail & 0x3F);
            }
        }
        out.push_back(value);
        i += length;
    }
    return out;
}

// The edit distance of a and b, or limit + 1 when it is larger than limit: only the diagonal
// band of width limit is computed, so a look-up costs length × limit, not length².
size_t BoundedDistance(const std::u32string& a, const std::u32string& b, size_t limit) {
    const size_t n = a.size();
    const size_t m = b.size();
    const size_t over = limit + 1;
    if ((n > m ? n - m : m - n) > limit) {
        return over;
    }
    std::vector<size_t> previous(m + 1, over);
    std::vector<size_t> current(m + 1, over);
    for (size_t j = 0; j <= std::min(m, limit); ++j) {
        previous[j] = j;
    }
    for (size_t i = 1; i <= n; ++i) {
        const size_t from = i > limit ? i - limit : 1;
        const size_t to = std::min(m, i + limit);
        std::fill(current.begin(), current.end(), over);
        current[0] = i <= limit ? i : over;
        size_t best = current[0];
        for (size_t j = from; j <= to; ++j) {
            const size_t substitute = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
            const size_t cost = std::min({substitute, previous[j] + 1, current[j - 1] + 1});
            current[j] = std::min(cost, over);
            best = std::min(best, current[j]);
        }
        if (best > limit) {
            return over;
        }
        std::swap(previous, current);
    }
    return std::min(previous[m], over);
}

int ScoreOf(size_t distance, size_t longer) {
    return longer == 0 ? 100 : static_cast<int>(100 * (longer - distance) / longer);
}

// The largest distance that still scores minScore between texts of which the longer has longer
// characters.
size_t DistanceLimit(size_t longer, int minScore) {
    const auto score = static_cast<size_t>(std::clamp(minScore, 0, 100));
    return longer * (100 - score) / 100;
}

}  // namespace

const std::string* MemoryUnit::Translation(uint16_t locale) const {
    for (const MemoryTranslation& translation : translations) {
        if (translation.locale == locale) {
            return &translation.text;
        }
    }
    return nullptr;
}

int MatchScore(std::string_view a, std::string_view b) {
    const std::u32string left = CodePoints(a);
    const std::u32string right = CodePoints(b);
    const size_t longer = std::max(left.size(), right.size());
    return ScoreOf(BoundedDistance(left, right, longer), longer);
}

uint16_t CTranslationMemory::AddLocale(std::string_view locale) {
    for (size_t i = 0; i < m_locales.size(); ++i) {
        if (m_locales[i] == locale) {
            return static_cast<uint16_t>(i);
        }
    }
    m_locales.emplace_back(locale);
    return static_cast<uint16_t>(m_locales.size() - 1);
}

uint16_t CTranslationMemory::FindLocale(std::string_view locale) const {
    const auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   const auto fold = [](char c) {
                       return c == '-'
                                  ? '_'
                                  : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                   };
                   return fold(x) == fold(y);
               });
    };
    for (size_t i = 0; i < m_locales.size(); ++i) {
        if (same(m_locales[i], locale)) {
            return static_cast<uint16_t>(i);
        }
    }
    const int slot = SlotOfLocale(locale);
    for (size_t i = 0; slot >= 0 && i < m_locales.size(); ++i) {
        if (SlotOfLocale(m_locales[i]) == slot) {
            return static_cast<uint16_t>(i);
        }
    }
    return kNoLocale;
}

bool CTranslationMemory::Add(std::string source, std::vector<MemoryTranslation> translations,
                             std::string place, uint32_t count) {
    if (source.empty() || translations.empty()) {
        return false;
    }
    std::sort(
        translations.begin(), translations.end(),
        [](const MemoryTranslation& a, const MemoryTranslation& b) { return a.locale < b.locale; });
    const size_t hash = std::hash<std::string_view>()(source);
    const auto [first, last] = m_exact.equal_range(hash);
    for (auto it = first; it != last; ++it) {
        MemoryUnit& unit = m_units[it->second];
        if (unit.source == source && unit.translations == translations) {
            const uint64_t sum = uint64_t{unit.count} + count;
            unit.count = static_cast<uint32_t>(std::min<uint64_t>(sum, UINT32_MAX));
            return true;
        }
    }
    m_exact.emplace(hash, static_cast<uint32_t>(m_units.size()));
    m_units.push_back({std::move(source), std::move(translations), count, std::move(place)});
    return true;
}

const MemoryUnit* CTranslationMemory::FindExact(std::string_view text, uint16_t locale) const {
    const MemoryUnit* best = nullptr;
    const auto [first, last] = m_exact.equal_range(std::hash<std::string_view>()(text));
    for (auto it = first; it != last; ++it) {
        const MemoryUnit& unit = m_units[it->second];
        if (unit.source == text && unit.Translation(locale) != nullptr &&
            (best == nullptr || unit.count > best->count ||
             (unit.count == best->count && &unit < best))) {
            best = &unit;
        }
    }
    return best;
}

std::vector<std::string> CTranslationMemory::Tokens(std::string_view text) {
    std::vector<std::string> tokens;
    std::string word;
    // Each word, and the first bytes of a longer one with a mark of their own, so that "Table"
    // and "Tables" meet.
    constexpr size_t kStem = 4;
    const auto finish = [&tokens, &word] {
        if (word.size() > kStem) {
            tokens.push_back("#" + word.substr(0, kStem));
        }
        tokens.push_back(std::move(word));
        word.clear();
    };
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalnum(byte)) {
            word += static_cast<char>(std::tolower(byte));
        } else if (!word.empty()) {
            finish();
        }
    }
    if (!word.empty()) {
        finish();
    }
    std::sort(tokens.begin(), tokens.end());
    tokens.erase(std::unique(tokens.begin(), tokens.end()), tokens.end());
    return tokens;
}

void CTranslationMemory::IndexTokens() const {
    for (; m_nIndexed < m_units.size(); ++m_nIndexed) {
        for (std::string& token : Tokens(m_units[m_nIndexed].source)) {
            m_tokens[std::move(token)].push_back(static_cast<uint32_t>(m_nIndexed));
        }
    }
}

std::vector<MemoryMatch> CTranslationMemory::Lookup(std::string_view text, uint16_t locale,
                                                    int minScore, size_t limit) const {
    std::vector<MemoryMatch> matches;
    if (limit == 0 || text.empty()) {
        return matches;
    }
    IndexTokens();
    // Candidates: units sharing a word with the text, counted by the words they share, so that
    // the closest are measured first when a common word brings in many.
    std::unordered_map<uint32_t, uint32_t> shared;
    for (const std::string& token : Tokens(text)) {
        if (const auto found = m_tokens.find(token); found != m_tokens.end()) {
            for (const uint32_t index : found->second) {
                ++shared[index];
            }
        }
    }
    const MemoryUnit* exact = FindExact(text, locale);
    if (exact != nullptr) {
        matches.push_back({100, exact, exact->Translation(locale)});
    }
    const std::u32string query = CodePoints(text);
    std::vector<std::pair<uint32_t, uint32_t>> order(shared.begin(), shared.end());
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
        return a.second != b.second ? a.second > b.second : a.first < b.first;
    });
    // Measuring is the cost of a look-up; a word found in every unit must not make it linear
    // in the memory's size.
    constexpr size_t kMaxMeasured = 4000;
    size_t measured = 0;
    for (const auto& [index, words] : order) {
        const MemoryUnit& unit = m_units[index];
        const std::string* target = unit.Translation(locale);
        if (target == nullptr || &unit == exact || unit.source == text) {
            continue;
        }
        if (++measured > kMaxMeasured) {
            break;
        }
        const std::u32string candidate = CodePoints(unit.source);
        const size_t longer = std::max(query.size(), candidate.size());
        const size_t distance = BoundedDistance(query, candidate, DistanceLimit(longer, minScore));
        const int score = ScoreOf(std::min(distance, longer), longer);
        if (distance <= DistanceLimit(longer, minScore) && score >= minScore) {
            matches.push_back({score, &unit, target});
        }
    }
    std::stable_sort(matches.begin() + (exact != nullptr ? 1 : 0), matches.end(),
                     [](const MemoryMatch& a, const MemoryMatch& b) {
                         return a.score != b.score ? a.score > b.score
                                                   : a.unit->count > b.unit->count;
                     });
    // One row per distinct source and translation: units that differ only in other languages
    // would otherwise offer the same suggestion twice.
    std::set<std::pair<std::string_view, std::string_view>> seen;
    std::vector<MemoryMatch> distinct;
    for (const MemoryMatch& match : matches) {
        if (distinct.size() < limit && seen.emplace(match.unit->source, *match.target).second) {
            distinct.push_back(match);
        }
    }
    return distinct;
}
