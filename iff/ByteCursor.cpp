#include "iff/ByteCursor.h"

#include <cstring>

#include "iff/Format.h"

const uint8_t* CByteCursor::Take(size_t count) {
    if (!Has(count)) {
        m_bOk = false;
        return nullptr;
    }
    const uint8_t* p = m_pData + m_nPos;
    m_nPos += count;
    return p;
}

uint8_t CByteCursor::U8() {
    const uint8_t* p = Take(1);
    return p ? *p : 0;
}

uint16_t CByteCursor::U16LE() {
    const uint8_t* p = Take(2);
    return p ? ReadU16LE(p) : 0;
}

uint32_t CByteCursor::U32LE() {
    const uint8_t* p = Take(4);
    return p ? ReadU32LE(p) : 0;
}

uint16_t CByteCursor::U16BE() {
    const uint8_t* p = Take(2);
    return p ? ReadU16BE(p) : 0;
}

uint32_t CByteCursor::U32BE() {
    const uint8_t* p = Take(4);
    return p ? ReadU32BE(p) : 0;
}

void CByteCursor::Bytes(void* dest, size_t count) {
    const uint8_t* p = Take(count);
    if (p) {
        std::memcpy(dest, p, count);
    } else if (count != 0) {
        std::memset(dest, 0, count);
    }
}

std::string CByteCursor::CString() {
    return std::string(CStringView());
}

std::string_view CByteCursor::CStringView() {
    if (!m_bOk || m_nPos == m_nSize) {
        m_bOk = false;
        return {};
    }
    const auto* start = m_pData + m_nPos;
    const auto* nul = static_cast<const uint8_t*>(std::memchr(start, 0, m_nSize - m_nPos));
    if (nul == nullptr) {
        m_bOk = false;
        return {};
    }
    const size_t length = static_cast<size_t>(nul - start);
    m_nPos += length + 1;
    return {reinterpret_cast<const char*>(start), length};
}

void CByteCursor::Skip(size_t count) {
    static_cast<void>(Take(count));
}

void CByteCursor::Seek(size_t position) {
    if (!m_bOk || position > m_nSize) {
        m_bOk = false;
        return;
    }
    m_nPos = position;
}
