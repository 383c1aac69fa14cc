#include "iff/ResourceMap.h"

#include <array>

#include "iff/Format.h"

CResourceMapWalk::CResourceMapWalk(const uint8_t* payload, size_t size) : m_cursor(payload, size) {
    std::array<uint8_t, 4> magic{};
    m_cursor.Seek(kMapMagicOffset);
    m_cursor.Bytes(magic.data(), magic.size());
    m_cursor.Seek(kMapTypeCountOffset);
    m_nGroupsLeft = m_cursor.U32LE();
    m_bMap = m_cursor.Ok() && magic == kMapMagic;
}

bool CResourceMapWalk::Next(MapEntry& entry) {
    if (!m_bMap) {
        return false;
    }
    while (m_nEntriesLeft == 0) {
        if (m_nGroupsLeft == 0 || !m_cursor.Has(kMapGroupSize)) {
            m_bMap = false;
            return false;
        }
        --m_nGroupsLeft;
        m_nGroupAt = m_cursor.Position();
        m_type = m_cursor.U32LE();
        m_nEntriesLeft = m_cursor.U32LE();
    }
    entry.at = m_cursor.Position();
    if (!m_cursor.Has(kMapEntryFixedSize)) {
        m_bMap = false;
        return false;
    }
    entry.offset = m_cursor.U32LE();
    entry.id = m_cursor.U16LE();
    entry.flags = m_cursor.U16LE();
    entry.name = m_cursor.CStringView();
    if (!m_cursor.Ok()) {
        m_bMap = false;
        return false;
    }
    // Entries start at even offsets within the payload.
    if ((m_cursor.Position() & 1) != 0 && m_cursor.Remaining() != 0) {
        m_cursor.Skip(1);
    }
    --m_nEntriesLeft;
    entry.type = m_type;
    entry.end = m_cursor.Position();
    entry.groupAt = m_nGroupAt;
    return true;
}
