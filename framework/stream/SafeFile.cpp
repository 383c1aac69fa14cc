#include "framework/stream/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "framework/stream/FileException.h"

namespace {

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Follows a symbolic link at path so that the save replaces the file it names, not the link.
// A link to a file that does not exist yet leads to that file, so the save creates it.
std::string ResolveTarget(const std::string& path) {
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {  // the kernel's own limit on a chain of links
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            break;
        }
        if (char* real = ::realpath(current.c_str(), nullptr)) {
            std::string resolved(real);
            std::free(real);
            return resolved;
        }
        // Dangling: follow one step by hand, relative to the link's folder.
        std::vector<char> buffer(static_cast<size_t>(PATH_MAX) + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size() - 1);
        if (n <= 0) {
            break;
        }
        const std::string next(buffer.data(), static_cast<size_t>(n));
        current = next.front() == '/' ? next : FolderOf(current) + "/" + next;
    }
    return current;
}

int CreateTemp(const std::string& target, std::string& tempPath) {
    const std::string folder = FolderOf(target);
    const auto slash = target.rfind('/');
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    // The temporary name adds 8 characters; keep it within the file system's 255 for any target.
    base.resize(std::min<size_t>(base.size(), 200));
    std::string pattern = folder + "/." + base + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd >= 0) {
        tempPath.assign(buffer.data());
    }
    return fd;
}

}  // namespace

CSafeFile::CSafeFile(const std::string& target) : m_strTarget(ResolveTarget(target)) {
    // Renaming over a device, a pipe or a folder would replace it with a plain file.
    struct stat st {};
    if (::stat(m_strTarget.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        throw CFileException(CFileException::accessDenied, target, EINVAL);
    }
    const int fd = CreateTemp(m_strTarget, m_strTemp);
    if (fd < 0) {
        CFileException::ThrowOsError(errno, target);
    }
    // Report every later error under the name the user chose.
    AttachDescriptor(fd, target);
}

CSafeFile::~CSafeFile() {
    Discard();
}

void CSafeFile::Commit() {
    try {
        Flush();
        mode_t mode = 0;
        struct stat st {};
        const bool replacing = ::stat(m_strTarget.c_str(), &st) == 0;
        if (replacing) {
            mode = st.st_mode & 07777;
            // Another owner or group is kept when the process may give it (root, or a group the
            // user belongs to); otherwise the new file is the user's, as any file they create.
            // Before the mode: a change of owner clears the set-id bits.
            if (::fchown(GetDescriptor(), st.st_uid, st.st_gid) != 0) {
                static_cast<void>(::fchown(GetDescriptor(), static_cast<uid_t>(-1), st.st_gid));
            }
            m_bSeparatedLinks = st.st_nlink > 1;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        if (::fchmod(GetDescriptor(), mode) != 0) {
            CFileException::ThrowOsError(errno, m_strFileName);
        }
        if (replacing) {
            CopyAttributes();
        }
        CFile::Close();
        RenameOver(m_strTemp, m_strTarget);
    } catch (...) {
        Discard();
        throw;
    }
    m_strTemp.clear();
    m_bCommitted = true;
    // The rename is durable only once the folder's entry is on disk; a failure here cannot
    // undo the save, so it is not reported.
    const int dir = ::open(FolderOf(m_strTarget).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        static_cast<void>(::fsync(dir));
        ::close(dir);
    }
}

void CSafeFile::CopyAttributes() {
    // After the mode: an access ACL sets the mode bits it implies, and it is the target's.
    ssize_t size = ::listxattr(m_strTarget.c_str(), nullptr, 0);
    if (size <= 0) {
        return;  // none, or a file system without them (ENOTSUP): nothing to keep
    }
    std::vector<char> names(static_cast<size_t>(size));
    size = ::listxattr(m_strTarget.c_str(), names.data(), names.size());
    if (size < 0) {
        m_lostAttributes.emplace_back("(the list of extended attributes)");
        return;
    }
    names.resize(static_cast<size_t>(size));
    for (size_t at = 0; at < names.size();) {
        const std::string name(names.data() + at);
        at += name.size() + 1;
        if (name.empty()) {
            continue;
        }
        std::vector<char> value;
        ssize_t length = ::getxattr(m_strTarget.c_str(), name.c_str(), nullptr, 0);
        if (length > 0) {
            value.resize(static_cast<size_t>(length));
            length = ::getxattr(m_strTarget.c_str(), name.c_str(), value.data(), value.size());
        }
        if (length < 0) {
            m_lostAttributes.push_back(name);
            continue;
        }
        value.resize(static_cast<size_t>(length));
        if (!PutAttribute(name, value)) {
            m_lostAttributes.push_back(name);
        }
    }
}

bool CSafeFile::PutAttribute(const std::string& name, const std::vector<char>& value) {
    return ::fsetxattr(GetDescriptor(), name.c_str(), value.data(), value.size(), 0) == 0;
}

void CSafeFile::Discard() noexcept {
    if (IsOpen()) {
        try {
            CFile::Close();
        } catch (...) {
        }
    }
    if (!m_strTemp.empty()) {
        ::unlink(m_strTemp.c_str());
        m_strTemp.clear();
    }
}

void CSafeFile::RenameOver(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        CFileException::ThrowOsError(errno, m_strFileName);
    }
}
