#include "iff/BufferedWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "framework/stream/FileException.h"

namespace {

// Grows the window's memory to hold at least bytes, doubling up to the window size, so that
// writing a small file does not zero-fill the whole window first.
void Reserve(std::vector<uint8_t>& buffer, size_t bytes, size_t window) {
    if (buffer.size() < bytes) {
        buffer.resize(std::min(window, std::max(bytes, 2 * buffer.size())));
    }
}

}  // namespace

CBufferedWriter::CBufferedWriter(CFile& target, size_t window)
    : m_target(target), m_nWindow(std::max<size_t>(window, 1024)) {
    m_strFileName = target.GetFilePath();
    m_nLength = target.GetLength();
    m_nPosition = target.GetPosition();
}

void CBufferedWriter::FlushBuffer() {
    if (m_nFill == 0) {
        return;
    }
    const size_t count = m_nFill;
    m_nFill = 0;
    m_target.Seek(static_cast<int64_t>(m_nStart), CFile::begin);
    m_target.Write(m_buffer.data(), count);
}

std::unique_ptr<CFile> CBufferedWriter::Duplicate() const {
    // A second stream would not see the window's bytes.
    throw CFileException(CFileException::invalidFile, m_strFileName, EINVAL);
}

uint64_t CBufferedWriter::Seek(int64_t offset, SeekPosition from) {
    return MovePosition(offset, from, m_nLength);
}

size_t CBufferedWriter::Read(void* buffer, size_t count) {
    FlushBuffer();
    m_target.Seek(static_cast<int64_t>(m_nPosition), CFile::begin);
    const size_t n = m_target.Read(buffer, count);
    m_nPosition += n;
    return n;
}

void CBufferedWriter::Write(const void* buffer, size_t count) {
    if (count == 0) {
        return;
    }
    if (m_nPosition > std::numeric_limits<uint64_t>::max() - count) {
        throw CFileException(CFileException::diskFull, m_strFileName, ENOSPC);
    }
    const uint64_t pos = m_nPosition;
    const bool continues = m_nFill != 0 && pos >= m_nStart && pos - m_nStart <= m_nFill &&
                           count <= m_nWindow - (pos - m_nStart);
    if (continues) {
        const auto at = static_cast<size_t>(pos - m_nStart);
        Reserve(m_buffer, at + count, m_nWindow);
        std::memcpy(m_buffer.data() + at, buffer, count);
        m_nFill = std::max(m_nFill, at + count);
    } else {
        FlushBuffer();
        if (count >= m_nWindow / 2) {
            m_target.Seek(static_cast<int64_t>(pos), CFile::begin);
            m_target.Write(buffer, count);
        } else {
            Reserve(m_buffer, count, m_nWindow);
            m_nStart = pos;
            std::memcpy(m_buffer.data(), buffer, count);
            m_nFill = count;
        }
    }
    m_nPosition = pos + count;
    m_nLength = std::max(m_nLength, m_nPosition);
}

void CBufferedWriter::SetLength(uint64_t length) {
    FlushBuffer();
    m_target.SetLength(length);
    m_nLength = length;
}

void CBufferedWriter::Flush() {
    FlushBuffer();
    m_target.Flush();
}

void CBufferedWriter::Close() {
    FlushBuffer();
}
