#include "iff/ReadAhead.h"

#include <algorithm>
#include <cstring>

#include "framework/stream/File.h"

namespace {

// Reads until count bytes have arrived or the file ends; returns the number read.
size_t ReadFully(CFile& file, uint64_t offset, uint8_t* dest, size_t count) {
    file.Seek(static_cast<int64_t>(offset), CFile::begin);
    size_t done = 0;
    while (done < count) {
        const size_t n = file.Read(dest + done, count - done);
        if (n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

}  // namespace

bool CReadAhead::Read(CFile& file, uint64_t offset, void* dest, size_t count, uint64_t limit) {
    if (offset > limit || count > limit - offset) {
        return false;
    }
    if (count == 0) {
        return true;
    }
    if (Contains(offset, count)) {
        std::memcpy(dest, m_window.data() + (offset - m_nStart), count);
        return true;
    }
    if (count >= kLargeBlock / 2) {
        // Too big to be worth a copy through the window.
        return ReadFully(file, offset, static_cast<uint8_t*>(dest), count) == count;
    }
    const bool forward =
        m_nFill != 0 && offset >= m_nStart && offset - m_nStart <= m_nFill + kLargeBlock;
    const size_t block = forward ? kLargeBlock : kSmallBlock;
    const size_t want =
        static_cast<size_t>(std::min<uint64_t>(std::max(block, count), limit - offset));
    if (m_window.size() < kLargeBlock) {
        m_window.resize(kLargeBlock);
    }
    m_nFill = 0;
    const size_t got = ReadFully(file, offset, m_window.data(), want);
    m_nStart = offset;
    m_nFill = got;
    if (got < count) {
        return false;
    }
    std::memcpy(dest, m_window.data(), count);
    return true;
}
