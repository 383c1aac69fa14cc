#include "memory/MemorySet.h"

#include <algorithm>
#include <set>
#include <utility>

#include "memory/Tmx.h"

bool CMemorySet::Load(const std::string& path, std::string& error) {
    CTranslationMemory memory;
    if (!ReadTmxFile(path, memory, error)) {
        return false;
    }
    Add(std::move(memory), path);
    return true;
}

void CMemorySet::Add(CTranslationMemory memory, std::string path) {
    m_memories.push_back(std::move(memory));
    m_paths.push_back(std::move(path));
}

const std::string* CMemorySet::Exact(std::string_view text, std::string_view locale) const {
    for (const CTranslationMemory& memory : m_memories) {
        const uint16_t index = memory.FindLocale(locale);
        if (index == CTranslationMemory::kNoLocale) {
            continue;
        }
        if (const MemoryUnit* unit = memory.FindExact(text, index)) {
            return unit->Translation(index);
        }
    }
    return nullptr;
}

std::vector<Suggestion> CMemorySet::Suggest(std::string_view text, std::string_view locale,
                                            int minScore, size_t limit) const {
    std::vector<Suggestion> all;
    for (size_t i = 0; i < m_memories.size(); ++i) {
        const uint16_t index = m_memories[i].FindLocale(locale);
        if (index == CTranslationMemory::kNoLocale) {
            continue;
        }
        for (const MemoryMatch& match : m_memories[i].Lookup(text, index, minScore, limit)) {
            all.push_back({match.score, match.unit->source, *match.target, i});
        }
    }
    // Stable: among equal scores the earlier memory, and within one its own order, stay first.
    std::stable_sort(all.begin(), all.end(),
                     [](const Suggestion& a, const Suggestion& b) { return a.score > b.score; });
    std::set<std::pair<std::string, std::string>> seen;
    std::vector<Suggestion> out;
    for (Suggestion& suggestion : all) {
        if (out.size() < limit && seen.emplace(suggestion.source, suggestion.target).second) {
            out.push_back(std::move(suggestion));
        }
    }
    return out;
}

std::vector<std::string> CMemorySet::Locales() const {
    std::vector<std::string> out;
    for (const CTranslationMemory& memory : m_memories) {
        for (const std::string& locale : memory.GetLocales()) {
            if (std::find(out.begin(), out.end(), locale) == out.end()) {
                out.push_back(locale);
            }
        }
    }
    return out;
}
