#pragma once

// Builds payloads of the UTF-8 text layout (format word FC FF) byte by byte, independently of
// the encoder under test: one byte N, then N sets of a 16-bit little-endian pair count and pairs
// of a language byte and two varint-length-prefixed strings.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct Utf8Pair {
    std::string text;
    std::string description;
    int languageByte = -1;  // -1: the set's index, as real files write it
};

using Utf8Sets = std::vector<std::vector<Utf8Pair>>;

inline void AppendVarint(std::vector<uint8_t>& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(0x80 | (value & 0x7F)));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

// sets[i] holds the pairs of code i + 1; setCount (when >= 0) is written as N instead of the
// number of sets given, which are padded with empty sets up to it.
inline std::vector<uint8_t> BuildUtf8Payload(const Utf8Sets& sets, int setCount = 20) {
    const size_t n = setCount >= 0 ? static_cast<size_t>(setCount) : sets.size();
    std::vector<uint8_t> out = {0xFC, 0xFF, static_cast<uint8_t>(n)};
    for (size_t set = 0; set < n; ++set) {
        const std::vector<Utf8Pair> empty;
        const std::vector<Utf8Pair>& pairs = set < sets.size() ? sets[set] : empty;
        out.push_back(static_cast<uint8_t>(pairs.size() & 0xFF));
        out.push_back(static_cast<uint8_t>(pairs.size() >> 8));
        for (const Utf8Pair& pair : pairs) {
            out.push_back(static_cast<uint8_t>(pair.languageByte >= 0 ? pair.languageByte : set));
            for (const std::string* part : {&pair.text, &pair.description}) {
                AppendVarint(out, part->size());
                out.insert(out.end(), part->begin(), part->end());
            }
        }
    }
    return out;
}
