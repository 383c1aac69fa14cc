#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A hash map from a chunk's (type, id) key to its chunk-list index, built for indexing a file:
// one flat table with linear probing, no allocation per entry. Removing a key keeps its slot
// with no value, so removal never disturbs a probe sequence.
class CChunkIndex {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    // The chunk-list index stored for key, or npos.
    [[nodiscard]] size_t Find(uint64_t key) const;
    // Stores value for key unless key already has one.
    void InsertIfAbsent(uint64_t key, size_t value) { static_cast<void>(TryInsert(key, value)); }
    // As InsertIfAbsent; true when value was stored (key had no value before).
    [[nodiscard]] bool TryInsert(uint64_t key, size_t value);
    // Makes room for count keys in all, so that filling the index does not rehash on the way.
    void Reserve(size_t count);
    // Stores value for key, replacing any.
    void Assign(uint64_t key, size_t value);
    void Erase(uint64_t key) { Assign(key, npos); }
    void Clear();
    [[nodiscard]] bool Empty() const { return m_nUsed == 0; }

private:
    struct Slot {
        uint64_t key;
        size_t value;
    };
    // Keys are 48 bits wide, so this never names one.
    static constexpr uint64_t kEmpty = ~uint64_t{0};

    // Four neighbouring ids of a type share a home run of four slots (one cache line), so
    // indexing a file whose ids run in sequence touches a new line once per four chunks.
    [[nodiscard]] size_t Home(uint64_t key) const {
        const uint64_t group = (key >> 2) * 0x9E3779B97F4A7C15ull;
        return (static_cast<size_t>(group >> m_nShift) & ~size_t{3}) | static_cast<size_t>(key & 3);
    }
    // The slot holding key, or the empty slot where it belongs.
    [[nodiscard]] size_t Probe(uint64_t key) const;
    // Rehashes into capacity slots (a power of two, at least twice the keys held).
    void Rehash(size_t capacity);

    std::vector<Slot> m_slots;
    size_t m_nUsed = 0;
    unsigned m_nShift = 64;
};
