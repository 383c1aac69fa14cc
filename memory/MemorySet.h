#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "memory/TranslationMemory.h"

// A suggestion for a text: the match and the memory it came from.
struct Suggestion {
    int score = 0;
    std::string source;
    std::string target;
    size_t memory = 0;  // index of the memory in the set
};

// The memories in use, in the order given: the first that holds an exact match gives it, and
// suggestions of all of them are merged by score.
class CMemorySet {
public:
    // Reads a TMX file and adds it; false, with error set and the set unchanged, when it cannot
    // be read.
    [[nodiscard]] bool Load(const std::string& path, std::string& error);
    void Add(CTranslationMemory memory, std::string path = {});

    [[nodiscard]] bool IsEmpty() const { return m_memories.empty(); }
    [[nodiscard]] size_t GetCount() const { return m_memories.size(); }
    [[nodiscard]] const CTranslationMemory& Memory(size_t index) const { return m_memories[index]; }
    [[nodiscard]] const std::string& Path(size_t index) const { return m_paths[index]; }

    // The translation of exactly this text into the language of a locale code; null for none.
    [[nodiscard]] const std::string* Exact(std::string_view text, std::string_view locale) const;
    // Up to limit suggestions of at least minScore, best first (exact first); one per distinct
    // source and translation.
    [[nodiscard]] std::vector<Suggestion> Suggest(std::string_view text, std::string_view locale,
                                                  int minScore, size_t limit) const;
    // Locale codes of the translations the memories hold, each once, in the order met.
    [[nodiscard]] std::vector<std::string> Locales() const;

private:
    std::vector<CTranslationMemory> m_memories;
    std::vector<std::string> m_paths;
};
