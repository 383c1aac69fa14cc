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

void CChunkIndex::InsertIfAbsent(uint64_t key, size_t value) {
    if ((m_nUsed + 1) * 2 > m_slots.size()) {
        Grow();
    }
    Slot& slot = m_slots[Probe(key)];
    if (slot.key == kEmpty) {
        slot = Slot{key, value};
        ++m_nUsed;
    } else if (slot.value == npos) {
        slot.value = value;
    }
}

void CChunkIndex::Assign(uint64_t key, size_t value) {
    if ((m_nUsed + 1) * 2 > m_slots.size()) {
        Grow();
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

void CChunkIndex::Grow() {
    std::vector<Slot> old = std::move(m_slots);
    const size_t capacity = old.empty() ? 64 : old.size() * 2;
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
