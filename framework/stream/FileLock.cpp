#include "framework/stream/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

CFileLock::CFileLock(const std::string& path) {
    // A file replaced while we waited is not the one to read: lock the file the path names once
    // the lock is ours.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            return;
        }
        struct stat held {};
        if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
            ::close(fd);
            return;
        }
        int locked = 0;
        do {
            locked = ::flock(fd, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
        struct stat named {};
        if (locked == 0 && ::stat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev &&
            named.st_ino == held.st_ino) {
            m_fd = fd;
            return;
        }
        ::close(fd);
        if (locked != 0) {
            return;
        }
    }
}

CFileLock::~CFileLock() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}
