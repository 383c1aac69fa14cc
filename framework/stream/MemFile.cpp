#include "framework/stream/MemFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "framework/stream/FileException.h"

CMemFile::CMemFile(size_t growBytes) : m_nGrowBytes(growBytes == 0 ? 1024 : growBytes) {}

CMemFile::CMemFile(const void* data, size_t size, size_t growBytes) : CMemFile(growBytes) {
    GrowTo(size);
    if (size != 0) {
        std::memcpy(m_buffer.data(), data, size);
    }
    m_nLength = size;
}

std::unique_ptr<CFile> CMemFile::Duplicate() const {
    auto copy = std::make_unique<CMemFile>(m_buffer.data(), m_nLength, m_nGrowBytes);
    copy->m_nPosition = m_nPosition;
    return copy;
}

uint64_t CMemFile::Seek(int64_t offset, SeekPosition from) {
    return MovePosition(offset, from, m_nLength);
}

size_t CMemFile::Read(void* buffer, size_t count) {
    if (m_nPosition >= m_nLength) {
        return 0;
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, m_nLength - m_nPosition));
    if (n != 0) {
        std::memcpy(buffer, m_buffer.data() + m_nPosition, n);
    }
    m_nPosition += n;
    return n;
}

void CMemFile::Write(const void* buffer, size_t count) {
    if (count == 0) {
        return;
    }
    if (m_nPosition > std::numeric_limits<uint64_t>::max() - count) {
        throw CFileException(CFileException::diskFull, m_strFileName, ENOSPC);
    }
    const uint64_t endPos = m_nPosition + count;
    GrowTo(endPos);
    if (m_nPosition > m_nLength) {
        // The gap after a seek past the end reads as zeros, not as bytes an earlier SetLength cut.
        std::fill(m_buffer.begin() + static_cast<ptrdiff_t>(m_nLength),
                  m_buffer.begin() + static_cast<ptrdiff_t>(m_nPosition), 0);
    }
    std::memcpy(m_buffer.data() + m_nPosition, buffer, count);
    m_nPosition = endPos;
    m_nLength = std::max(m_nLength, endPos);
}

void CMemFile::SetLength(uint64_t length) {
    GrowTo(length);
    if (length > m_nLength) {
        std::fill(m_buffer.begin() + static_cast<ptrdiff_t>(m_nLength),
                  m_buffer.begin() + static_cast<ptrdiff_t>(length), 0);
    }
    m_nLength = length;
}

void CMemFile::Close() {
    m_buffer.clear();
    m_buffer.shrink_to_fit();
    m_nLength = 0;
    m_nPosition = 0;
}

void CMemFile::GrowTo(uint64_t length) {
    if (length <= m_buffer.size()) {
        return;
    }
    if (length > m_buffer.max_size() - m_nGrowBytes) {
        throw CFileException(CFileException::diskFull, m_strFileName, ENOMEM);
    }
    // Grow by at least half again so long sequences of small writes stay linear, and round up
    // to whole growth steps.
    uint64_t target = std::max<uint64_t>(length, m_buffer.size() + m_buffer.size() / 2);
    target = (target + m_nGrowBytes - 1) / m_nGrowBytes * m_nGrowBytes;
    m_buffer.resize(static_cast<size_t>(target));
}
