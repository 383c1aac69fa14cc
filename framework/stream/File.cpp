#include "framework/stream/File.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <tuple>
#include <utility>

#include "framework/stream/FileException.h"

namespace {

// The outcome of one write call: true when it wrote n > 0 bytes, false when a signal interrupted
// it (write again); a failure, or no progress (a full disk), throws.
bool Written(ssize_t n, const std::string& path) {
    if (n < 0) {
        if (errno == EINTR) {
            return false;
        }
        CFileException::ThrowOsError(errno, path);
    }
    if (n == 0) {
        throw CFileException(CFileException::diskFull, path, ENOSPC);
    }
    return true;
}

}  // namespace

CFile::CFile(const std::string& path, unsigned flags) {
    CFileException error(CFileException::none, path);
    if (!Open(path, flags, &error)) {
        throw error;
    }
}

CFile::CFile(int fd, std::string path) : m_strFileName(std::move(path)), m_fd(fd) {}

CFile::~CFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void CFile::AttachDescriptor(int fd, std::string path) {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    m_fd = fd;
    m_strFileName = std::move(path);
    m_nPosition = 0;
}

bool CFile::Open(const std::string& path, unsigned flags, CFileException* error) {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_strFileName = path;
    m_nPosition = 0;
    // Non-blocking, so that opening a FIFO with no writer (or a device) returns at once and is
    // refused below instead of hanging; cleared again for the regular file that passes.
    int oflags = O_CLOEXEC | O_NONBLOCK;
    if (flags & modeReadWrite) {
        oflags |= O_RDWR;
    } else if (flags & modeWrite) {
        oflags |= O_WRONLY;
    } else {
        oflags |= O_RDONLY;
    }
    if (flags & modeCreate) {
        oflags |= O_CREAT;
        if (!(flags & modeNoTruncate)) {
            oflags |= O_TRUNC;
        }
    }
    int fd;
    do {
        fd = ::open(path.c_str(), oflags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int err = errno;
        if (error) {
            // A folder is refused as what it is whether it was asked for reading (below) or
            // writing; so is a FIFO opened for writing without a reader (ENXIO).
            const bool special = err == EISDIR || err == ENXIO;
            const int cause = special ? static_cast<int>(CFileException::notRegularFile)
                                      : CFileException::CauseFromErrno(err);
            *error = CFileException(cause, path, err);
        }
        return false;
    }
    // Folders, FIFOs, sockets and devices are refused before anything reads them: a read could
    // block forever or never end.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = errno;
        ::close(fd);
        if (error) {
            *error = CFileException(CFileException::notRegularFile, path,
                                    S_ISDIR(st.st_mode) ? EISDIR : err);
        }
        return false;
    }
    const int fileFlags = ::fcntl(fd, F_GETFL);
    if (fileFlags >= 0) {
        std::ignore = ::fcntl(fd, F_SETFL, fileFlags & ~O_NONBLOCK);
    }
    m_fd = fd;
    return true;
}

std::unique_ptr<CFile> CFile::Duplicate() const {
    if (m_fd < 0) {
        throw CFileException(CFileException::invalidFile, m_strFileName, EBADF);
    }
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        CFileException::ThrowOsError(errno, m_strFileName);
    }
    auto copy = std::make_unique<CFile>(fd, m_strFileName);
    copy->m_nPosition = m_nPosition;
    return copy;
}

uint64_t CFile::MovePosition(int64_t offset, SeekPosition from, uint64_t length) {
    int64_t base = 0;
    if (from == current) {
        base = static_cast<int64_t>(m_nPosition);
    } else if (from == end) {
        base = static_cast<int64_t>(length);
    }
    if ((offset < 0 && base < -offset) ||
        (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)) {
        throw CFileException(CFileException::badSeek, m_strFileName, EINVAL);
    }
    m_nPosition = static_cast<uint64_t>(base + offset);
    return m_nPosition;
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from) {
    if (m_fd < 0) {
        throw CFileException(CFileException::invalidFile, m_strFileName, EBADF);
    }
    return MovePosition(offset, from, from == end ? GetLength() : 0);
}

size_t CFile::Read(void* buffer, size_t count) {
    if (m_fd < 0) {
        throw CFileException(CFileException::invalidFile, m_strFileName, EBADF);
    }
    auto* out = static_cast<unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(m_fd, out + done, count - done, static_cast<off_t>(m_nPosition + done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            CFileException::ThrowOsError(errno, m_strFileName);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    m_nPosition += done;
    return done;
}

void CFile::Write(const void* buffer, size_t count) {
    if (m_fd < 0) {
        throw CFileException(CFileException::invalidFile, m_strFileName, EBADF);
    }
    const auto* in = static_cast<const unsigned char*>(buffer);
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(m_fd, in + done, count - done, static_cast<off_t>(m_nPosition + done));
        if (!Written(n, m_strFileName)) {
            continue;
        }
        done += static_cast<size_t>(n);
    }
    m_nPosition += done;
}

void CFile::WriteGather(const ConstBuffer* parts, size_t count) {
    if (m_fd < 0) {
        for (size_t i = 0; i < count; ++i) {
            Write(parts[i].data, parts[i].size);
        }
        return;
    }
    // pwritev takes at most IOV_MAX parts and may write fewer bytes than asked: the loop
    // resumes inside the part where the kernel stopped.
    constexpr size_t kMaxParts = 1024;
    iovec vec[kMaxParts];
    size_t next = 0;     // first part not yet handed over
    size_t skipped = 0;  // bytes of parts[next] already written
    while (next < count) {
        size_t used = 0;
        for (size_t i = next; i < count && used < kMaxParts; ++i) {
            const size_t offset = i == next ? skipped : 0;
            if (parts[i].size == offset) {
                continue;
            }
            vec[used].iov_base =
                const_cast<unsigned char*>(static_cast<const unsigned char*>(parts[i].data)) +
                offset;
            vec[used].iov_len = parts[i].size - offset;
            ++used;
        }
        if (used == 0) {
            break;
        }
        const ssize_t n =
            ::pwritev(m_fd, vec, static_cast<int>(used), static_cast<off_t>(m_nPosition));
        if (!Written(n, m_strFileName)) {
            continue;
        }
        m_nPosition += static_cast<uint64_t>(n);
        auto left = static_cast<size_t>(n);
        while (next < count && left >= parts[next].size - skipped) {
            left -= parts[next].size - skipped;
            skipped = 0;
            ++next;
        }
        skipped += left;
    }
}

uint64_t CFile::GetLength() const {
    if (m_fd < 0) {
        throw CFileException(CFileException::invalidFile, m_strFileName, EBADF);
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        CFileException::ThrowOsError(errno, m_strFileName);
    }
    return static_cast<uint64_t>(st.st_size);
}

void CFile::SetLength(uint64_t length) {
    if (m_fd < 0) {
        throw CFileException(CFileException::invalidFile, m_strFileName, EBADF);
    }
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0) {
        CFileException::ThrowOsError(errno, m_strFileName);
    }
}

void CFile::Flush() {
    if (m_fd < 0) {
        throw CFileException(CFileException::invalidFile, m_strFileName, EBADF);
    }
    if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS) {
        CFileException::ThrowOsError(errno, m_strFileName);
    }
}

void CFile::Close() {
    if (m_fd >= 0) {
        const int fd = m_fd;
        m_fd = -1;
        if (::close(fd) != 0 && errno != EINTR) {
            CFileException::ThrowOsError(errno, m_strFileName);
        }
    }
    m_nPosition = 0;
}

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    CFile file(path, CFile::modeRead);
    return ReadWholeFile(file);
}

std::vector<uint8_t> ReadWholeFile(CFile& file, uint64_t limit) {
    const auto size = static_cast<size_t>(std::min(file.GetLength(), limit));
    std::vector<uint8_t> bytes;
    bytes.reserve(size);
    // A large file (a game archive) goes into huge pages where the system offers them: filling
    // fresh 4 KiB pages one fault at a time costs more than reading the file.
    constexpr uintptr_t kHugePage = 2 * 1024 * 1024;
    if (size >= 2 * kHugePage) {
        const auto start = reinterpret_cast<uintptr_t>(bytes.data());
        const uintptr_t aligned = (start + kHugePage - 1) & ~(kHugePage - 1);
        static_cast<void>(
            ::madvise(reinterpret_cast<void*>(aligned), start + size - aligned, MADV_HUGEPAGE));
    }
    bytes.resize(size);
    file.SeekToBegin();
    bytes.resize(file.Read(bytes.data(), bytes.size()));
    return bytes;
}
