#include "iff/ChunkIndex.h"

#include <utility>

size_t CChunkIndex::Probe(uint64_t key) const {
    const size_t mask = m_slots.size() - 1;
    size_t at = Home(key);
    while (m_slots[at].key != kEmpty && m_slots[at].key != key) {
        at = (at + 1) & mask;
    }
    return at;
}

size_t CChunkIndex::Find(uint64_t key) const {
    if (m_slots.empty()) {
        return npos;
    }
    const Slot& slot = m_slots[Probe(key)];
    return slot.key == key ? slot.value : npos;
}

bool CChunkIndex::TryInsert(uint64_t key, size_t value) {
    if ((m_nUsed + 1) * 2 > m_slots.size()) {
        Rehash(m_slots.empty() ? 64 : m_slots.size() * 2);
    }
    Slot& slot = m_slots[Probe(key)];
    if (slot.key == kEmpty) {
        slot = Slot{key, value};
        ++m_nUsed;
        return true;
    }
    if (slot.value == npos) {
        slot.value = value;
        return true;
    }
    return false;
}

void CChunkIndex::Reserve(size_t count) {
    size_t capacity = m_slots.empty() ? 64 : m_slots.size();
    while (capacity / 2 < count && capacity <= (static_cast<size_t>(-1) >> 2)) {
        capacity *= 2;
    }
    if (capacity > m_slots.size()) {
        Rehash(capacity);
    }
}

void CChunkIndex::Assign(uint64_t key, size_t value) {
    if ((m_nUsed + 1) * 2 > m_slots.size()) {
        Rehash(m_slots.empty() ? 64 : m_slots.size() * 2);
    }
    Slot& slot = m_slots[Probe(key)];
    if (slot.key == kEmpty) {
        if (value == npos) {
            return;
        }
        ++m_nUsed;
    }
    slot = Slot{key, value};
}

void CChunkIndex::Clear() {
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_nUsed = 0;
    m_nShift = 64;
}

void CChunkIndex::Rehash(size_t capacity) {
    std::vector<Slot> old = std::move(m_slots);
    m_slots.assign(capacity, Slot{kEmpty, npos});
    m_nShift = 64;
    for (size_t n = capacity; n > 1; n >>= 1) {
        --m_nShift;
    }
    m_nUsed = 0;
    for (const Slot& slot : old) {
        // Removed keys are dropped here.
        if (slot.key != kEmpty && slot.value != npos) {
            m_slots[Probe(slot.key)] = slot;
            ++m_nUsed;
        }
    }
}
