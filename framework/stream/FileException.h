#pragma once

#include <exception>
#include <string>

// A failed stream operation. Carries the cause (0-15), the path of the file involved and the
// operating system's error number, and renders the message that the user is shown.
class CFileException : public std::exception {
public:
    enum Cause {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14,
        // Beyond the classic causes: a folder, FIFO, socket or device where a file was expected.
        notRegularFile = 15,
        // Another process replaced or rewrote the file between our read and our save.
        changedOnDisk = 16,
        // The folder that was to hold the file refused it (no write permission, read-only).
        folderDenied = 17,
    };

    CFileException(int cause, std::string path, int osError = 0);

    // Maps an errno value to one of the causes above.
    [[nodiscard]] static int CauseFromErrno(int err);

    // Throws a CFileException for errno value err on path.
    [[noreturn]] static void ThrowOsError(int err, const std::string& path);

    // The user-facing text of the cause, with the path or "an unnamed file" in place of %1.
    [[nodiscard]] std::string GetErrorMessage() const;
    [[nodiscard]] static std::string MessageFor(int cause, const std::string& path);

    [[nodiscard]] const char* what() const noexcept override { return m_strMessage.c_str(); }

    int m_cause;
    std::string m_strFileName;
    int m_lOsError;

private:
    std::string m_strMessage;
};
