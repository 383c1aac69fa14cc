#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "iff/ByteCursor.h"
#include "iff/ChunkTypes.h"

// One entry of a resource map as it stands in the map's payload.
struct MapEntry {
    ChunkType type = 0;
    uint32_t offset = 0;  // of the chunk's header from the start of the file
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string_view name;  // points into the payload
    size_t at = 0;          // where the entry (its offset field) starts in the payload
    size_t end = 0;         // where the next entry starts: after the name's NUL and any pad
    size_t groupAt = 0;     // where its type group (type, then entry count) starts
};

// The one reading of a resource map payload, shared by opening (which lists the entries) and
// saving (which moves their offsets): the entries in the order they stand, type groups in order.
// The walk ends at the first group or entry that does not lie in the payload completely; a pad
// byte that would lie past the end is simply absent. Never reads outside the payload.
class CResourceMapWalk {
public:
    CResourceMapWalk(const uint8_t* payload, size_t size);

    // True when the payload carries the map's magic; without it the walk has no entries.
    [[nodiscard]] bool IsMap() const { return m_bMap; }
    // The next entry into entry; false at the end of the walk.
    [[nodiscard]] bool Next(MapEntry& entry);

private:
    CByteCursor m_cursor;
    bool m_bMap = false;
    uint32_t m_nGroupsLeft = 0;
    uint32_t m_nEntriesLeft = 0;
    ChunkType m_type = 0;
    size_t m_nGroupAt = 0;
};
