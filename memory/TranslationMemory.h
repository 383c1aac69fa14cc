#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// A translation in one language of a memory unit; locale indexes the memory's locale table.
struct MemoryTranslation {
    uint16_t locale = 0;
    std::string text;

    friend bool operator==(const MemoryTranslation&, const MemoryTranslation&) = default;
};

// One source text with its translations, as a TMX <tu> holds it. Texts are UTF-8 with line
// breaks as '\n', as catalogs hold them.
struct MemoryUnit {
    std::string source;
    std::vector<MemoryTranslation> translations;  // sorted by locale, one per locale
    uint32_t count = 1;                           // places merged into this unit
    std::string place;                            // the first place: "Chair.iff:TTAs:128:0"

    // The translation into a locale of the memory's table; null when there is none.
    [[nodiscard]] const std::string* Translation(uint16_t locale) const;
};

// A unit found for a text: its score (100 for the same text, else the similarity in percent),
// the unit and its translation into the language asked for.
struct MemoryMatch {
    int score = 0;
    const MemoryUnit* unit = nullptr;
    const std::string* target = nullptr;
};

// The similarity of two texts in percent: 100 × (1 − d / n), rounded down, where d is the edit
// distance over Unicode characters (insert, delete and substitute one, case and punctuation
// counted) and n the longer text's length in characters. 100 only for equal texts; 0 when
// either is empty and the other not. Ill-formed UTF-8 compares byte by byte.
[[nodiscard]] int MatchScore(std::string_view a, std::string_view b);

// A translation memory: units of one source language, looked up exactly by a hash of the source
// text and fuzzily by edit distance among the units that share a word with the text. Adding the
// same source with the same translations again merges into one unit and counts it.
class CTranslationMemory {
public:
    static constexpr uint16_t kNoLocale = 0xFFFF;

    CTranslationMemory() = default;
    CTranslationMemory(CTranslationMemory&&) = default;
    CTranslationMemory& operator=(CTranslationMemory&&) = default;

    // The source language's locale code ("en_US"), as TMX's srclang names it.
    void SetSourceLocale(std::string locale) { m_strSourceLocale = std::move(locale); }
    [[nodiscard]] const std::string& GetSourceLocale() const { return m_strSourceLocale; }

    // The index of a locale code in the table, added when new.
    uint16_t AddLocale(std::string_view locale);
    // The index of the locale that stands for a language: the same code (case ignored, '-' as
    // '_') first, else one that names the same language slot ("fr_FR" for "fr"); kNoLocale when
    // the memory holds none.
    [[nodiscard]] uint16_t FindLocale(std::string_view locale) const;
    [[nodiscard]] const std::vector<std::string>& GetLocales() const { return m_locales; }

    // Adds a unit (translations in any order, one per locale) or, when a unit with the same
    // source and translations is there, adds count to it. A unit without a source or without a
    // translation is not added; false then.
    bool Add(std::string source, std::vector<MemoryTranslation> translations, std::string place,
             uint32_t count = 1);

    [[nodiscard]] const std::vector<MemoryUnit>& GetUnits() const { return m_units; }
    [[nodiscard]] size_t GetCount() const { return m_units.size(); }

    // The translation into locale of the same source text (same case and punctuation): of the
    // units with that source, the one counted most often (the first on a tie). Null for none.
    [[nodiscard]] const MemoryUnit* FindExact(std::string_view text, uint16_t locale) const;
    // Up to limit matches with a translation into locale and a score of at least minScore, best
    // first (exact first, then by score, then by count); one per distinct source and
    // translation.
    [[nodiscard]] std::vector<MemoryMatch> Lookup(std::string_view text, uint16_t locale,
                                                  int minScore, size_t limit) const;

private:
    // Word tokens of a text for the fuzzy prefilter: runs of letters and digits, ASCII lower-
    // cased (every character above U+007F is a letter), and the first four bytes of each longer
    // word as a stem.
    static std::vector<std::string> Tokens(std::string_view text);
    void IndexTokens() const;

    std::string m_strSourceLocale = "en_US";
    std::vector<std::string> m_locales;
    std::vector<MemoryUnit> m_units;
    std::unordered_multimap<size_t, uint32_t> m_exact;  // hash of the source -> unit
    // Word -> units holding it, built on the first fuzzy look-up and kept while no unit is
    // added.
    mutable std::unordered_map<std::string, std::vector<uint32_t>> m_tokens;
    mutable size_t m_nIndexed = 0;  // units in m_tokens
};
