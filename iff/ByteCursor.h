#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// A read cursor over a byte range that never reads past its end. A read that does not fit sets
// a sticky failure flag, leaves the position where it was and yields zeros, so a whole record
// can be read first and checked once.
class CByteCursor {
public:
    CByteCursor(const uint8_t* data, size_t size) : m_pData(data), m_nSize(size) {}

    [[nodiscard]] uint8_t U8();
    [[nodiscard]] uint16_t U16LE();
    [[nodiscard]] uint32_t U32LE();
    [[nodiscard]] uint16_t U16BE();
    [[nodiscard]] uint32_t U32BE();
    // Copies count bytes to dest (zeros on failure).
    void Bytes(void* dest, size_t count);
    // Reads text up to a NUL inside the range and moves past the NUL; fails without one.
    [[nodiscard]] std::string CString();
    // CString without a copy: the text points into the range.
    [[nodiscard]] std::string_view CStringView();
    void Skip(size_t count);
    // Moves to an absolute position; fails beyond the end.
    void Seek(size_t position);
    // True when the next count bytes lie inside the range (and no read has failed).
    [[nodiscard]] bool Has(size_t count) const { return m_bOk && count <= m_nSize - m_nPos; }

    [[nodiscard]] bool Ok() const { return m_bOk; }
    [[nodiscard]] size_t Position() const { return m_nPos; }
    [[nodiscard]] size_t Remaining() const { return m_nSize - m_nPos; }
    [[nodiscard]] size_t Size() const { return m_nSize; }

private:
    // The next count bytes, or null (and the failure flag set) when they do not fit.
    const uint8_t* Take(size_t count);

    const uint8_t* m_pData;
    size_t m_nSize;
    size_t m_nPos = 0;
    bool m_bOk = true;
};
