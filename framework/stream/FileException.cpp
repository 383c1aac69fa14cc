#include "framework/stream/FileException.h"

#include <cerrno>
#include <utility>

namespace {

const char* const kTexts[] = {
    "No error occurred.",
    "An unknown error occurred while accessing %1.",
    "%1 was not found.",
    "%1 contains an invalid path.",
    "%1 could not be opened because there are too many open files.",
    "Access to %1 was denied.",
    "An invalid file handle was associated with %1.",
    "%1 could not be removed because it is the current directory.",
    "%1 could not be created because the directory is full.",
    "Seek failed on %1",
    "A hardware I/O error was reported while accessing %1.",
    "A sharing violation occurred while accessing %1.",
    "A locking violation occurred while accessing %1.",
    "Disk full while accessing %1.",
    "An attempt was made to access %1 past its end.",
    "%1 is not a regular file.",
    "%1 changed on disk since it was read; nothing was written.",
    "The folder %1 cannot be written to.",
};

}  // namespace

CFileException::CFileException(int cause, std::string path, int osError)
    : m_cause(cause),
      m_strFileName(std::move(path)),
      m_lOsError(osError),
      m_strMessage(MessageFor(cause, m_strFileName)) {}

int CFileException::CauseFromErrno(int err) {
    switch (err) {
        case 0:
            return none;
        case ENOENT:
            return fileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return accessDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return diskFull;
        case EMFILE:
        case ENFILE:
            return tooManyOpenFiles;
        case ENOTDIR:
        case ENAMETOOLONG:
        case EINVAL:
        case ELOOP:
        case EISDIR:
            return badPath;
        case EBADF:
            return invalidFile;
        case ESPIPE:
            return badSeek;
        case EIO:
            return hardIO;
        case EBUSY:
            return sharingViolation;
        case ENOLCK:
        case EDEADLK:
            return lockViolation;
        default:
            return genericException;
    }
}

void CFileException::ThrowOsError(int err, const std::string& path) {
    throw CFileException(CauseFromErrno(err), path, err);
}

std::string CFileException::GetErrorMessage() const {
    return m_strMessage;
}

std::string CFileException::MessageFor(int cause, const std::string& path) {
    if (cause < 0 || cause > folderDenied) {
        cause = genericException;
    }
    std::string text = kTexts[cause];
    const std::string name = path.empty() ? std::string("an unnamed file") : path;
    if (const auto at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, name);
    }
    return text;
}
