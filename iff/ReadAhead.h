#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class CFile;

// Serves small reads at absolute offsets of a file from a window of the file's bytes, so that
// walking many chunk headers costs one read per block instead of one per header. Reads that
// move forward fill a large block; others fill a small one, so random access stays cheap.
// Stream errors pass to the caller and leave the window empty.
class CReadAhead {
public:
    static constexpr size_t kLargeBlock = 64 * 1024;
    static constexpr size_t kSmallBlock = 4 * 1024;

    // Copies count bytes at offset into dest. False when they do not all lie below limit or
    // the file delivers fewer; dest is then undefined.
    [[nodiscard]] bool Read(CFile& file, uint64_t offset, void* dest, size_t count, uint64_t limit);
    // Forgets the window; call whenever the file may have changed.
    void Invalidate() { m_nFill = 0; }

private:
    [[nodiscard]] bool Contains(uint64_t offset, size_t count) const {
        return m_nFill != 0 && offset >= m_nStart && offset - m_nStart <= m_nFill &&
               count <= m_nFill - (offset - m_nStart);
    }

    std::vector<uint8_t> m_window;
    uint64_t m_nStart = 0;
    size_t m_nFill = 0;
};
