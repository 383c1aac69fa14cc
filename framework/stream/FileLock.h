#pragma once

#include <string>

// An advisory lock (flock) on a file for the lifetime of the object, so that two processes that
// both take it before reading and saving one file queue instead of racing. It guards only
// against writers that take it too; a save still checks the file's identity before replacing it.
class CFileLock {
public:
    // Blocks until the file at path is locked. When the file does not exist, is no regular file
    // or cannot be opened, nothing is locked (the open that follows reports why).
    explicit CFileLock(const std::string& path);
    ~CFileLock();
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;

    [[nodiscard]] bool IsLocked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};
