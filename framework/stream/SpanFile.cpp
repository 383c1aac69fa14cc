#include "framework/stream/SpanFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "framework/stream/FileException.h"

std::unique_ptr<CFile> CSpanFile::Duplicate() const {
    auto copy = std::make_unique<CSpanFile>(m_bytes);
    copy->m_nPosition = m_nPosition;
    return copy;
}

uint64_t CSpanFile::Seek(int64_t offset, SeekPosition from) {
    return MovePosition(offset, from, m_bytes.size());
}

size_t CSpanFile::Read(void* buffer, size_t count) {
    if (m_nPosition >= m_bytes.size()) {
        return 0;
    }
    const size_t n = static_cast<size_t>(std::min<uint64_t>(count, m_bytes.size() - m_nPosition));
    if (n != 0) {
        std::memcpy(buffer, m_bytes.data() + m_nPosition, n);
    }
    m_nPosition += n;
    return n;
}

void CSpanFile::Write(const void*, size_t) {
    throw CFileException(CFileException::accessDenied, m_strFileName, EBADF);
}

void CSpanFile::WriteGather(const ConstBuffer*, size_t) {
    throw CFileException(CFileException::accessDenied, m_strFileName, EBADF);
}

void CSpanFile::SetLength(uint64_t) {
    throw CFileException(CFileException::accessDenied, m_strFileName, EBADF);
}

void CSpanFile::Close() {
    m_bytes = {};
    m_nPosition = 0;
}
