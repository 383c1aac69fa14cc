#include "framework/stream/SafeFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <utility>
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

std::string LeafOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Temporary names: "." + the target's name (cut to keep within the file system's 255) +
// ".tg-" + six letters or digits.
constexpr size_t kBaseLimit = 200;
constexpr char kTempMark[] = ".tg-";
constexpr size_t kRandomLength = 6;

std::string TempPrefix(const std::string& leaf) {
    return "." + leaf.substr(0, kBaseLimit) + kTempMark;
}

std::string RandomSuffix() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::mutex mutex;
    static std::mt19937_64 engine{std::random_device{}() ^ static_cast<uint64_t>(::getpid()) << 32};
    std::lock_guard<std::mutex> lock(mutex);
    std::string suffix;
    for (size_t i = 0; i < kRandomLength; ++i) {
        suffix += kAlphabet[engine() % (sizeof kAlphabet - 1)];
    }
    return suffix;
}

// Whether name is a temporary name of ours, for any target.
bool IsTempName(std::string_view name) {
    const size_t mark = name.rfind(kTempMark);
    if (name.size() < 2 || name.front() != '.' || mark == std::string_view::npos || mark < 1 ||
        name.size() - mark != sizeof kTempMark - 1 + kRandomLength) {
        return false;
    }
    return std::all_of(name.end() - kRandomLength, name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

// Named temporaries that exist right now, removed by the signal handler before the process
// ends. A slot is claimed through busy, then its name written, then its folder published.
struct SignalSlot {
    std::atomic<bool> busy{false};
    std::atomic<int> folder{-1};
    char name[256] = {};
};
constexpr size_t kSignalSlots = 32;
SignalSlot g_signalSlots[kSignalSlots];

extern "C" void RemoveTemporariesAndDie(int signal) {
    for (SignalSlot& slot : g_signalSlots) {
        const int folder = slot.folder.load();
        if (folder >= 0) {
            ::unlinkat(folder, slot.name, 0);
        }
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // delivered on return, with the default action: the process ends by it
}

void InstallSignalHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction current {};
            // A program with a handler of its own keeps it.
            if (::sigaction(signal, nullptr, &current) != 0 ||
                (current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) {
                continue;
            }
            struct sigaction action {};
            action.sa_handler = RemoveTemporariesAndDie;
            sigemptyset(&action.sa_mask);
            static_cast<void>(::sigaction(signal, &action, nullptr));
        }
    });
}

int RegisterForSignals(int folder, const std::string& name) {
    InstallSignalHandlers();
    for (size_t i = 0; i < kSignalSlots; ++i) {
        bool expected = false;
        if (name.size() < sizeof g_signalSlots[i].name &&
            g_signalSlots[i].busy.compare_exchange_strong(expected, true)) {
            std::memcpy(g_signalSlots[i].name, name.c_str(), name.size() + 1);
            g_signalSlots[i].folder.store(folder);
            return static_cast<int>(i);
        }
    }
    return -1;  // more at once than slots: the next save's clean-up takes what a signal leaves
}

void UnregisterForSignals(int& slot) {
    if (slot >= 0) {
        g_signalSlots[slot].folder.store(-1);
        g_signalSlots[slot].busy.store(false);
        slot = -1;
    }
}

// Folders already cleaned of leftovers by this process: one look per folder, not one per file
// (an extraction writes thousands into one).
bool FirstVisit(int folder) {
    struct stat st {};
    if (::fstat(folder, &st) != 0) {
        return false;
    }
    static std::mutex mutex;
    static std::set<std::pair<dev_t, ino_t>> visited;
    std::lock_guard<std::mutex> lock(mutex);
    return visited.insert({st.st_dev, st.st_ino}).second;
}

}  // namespace

CSafeFile::CSafeFile(const std::string& target)
    : m_strTarget(ResolveTarget(target)), m_strLeaf(LeafOf(m_strTarget)) {
    std::string folder = FolderOf(m_strTarget);
    m_nFolder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_nFolder < 0) {
        CFileException::ThrowOsError(errno, target);
    }
    m_bOwnFolder = true;
    if (folder == "." || folder.front() != '/') {
        if (char* real = ::realpath(folder.c_str(), nullptr)) {
            folder = real;
            std::free(real);
        }
    }
    try {
        Create(target, folder);
    } catch (...) {
        ::close(m_nFolder);
        throw;
    }
}

CSafeFile::CSafeFile(int folderFd, const std::string& name, const std::string& shownAs)
    : m_strTarget(shownAs), m_strLeaf(name), m_nFolder(folderFd) {
    Create(shownAs, FolderOf(shownAs));
}

void CSafeFile::Create(const std::string& shownAs, const std::string& folderShown) {
    // Renaming over a device, a pipe or a folder would replace it with a plain file. A symbolic
    // link inside a folder given open is replaced; a path's links were resolved.
    struct stat st {};
    if (::fstatat(m_nFolder, m_strLeaf.c_str(), &st, m_bOwnFolder ? 0 : AT_SYMLINK_NOFOLLOW) == 0 &&
        !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        throw CFileException(CFileException::notRegularFile, shownAs, EINVAL);
    }
    // A save clears what a killed save of its target left; an extraction, which writes
    // thousands of files into one folder, clears the folder of every leftover of ours once.
    if (m_bOwnFolder) {
        RemoveLeftovers(TempPrefix(m_strLeaf));
    } else if (FirstVisit(m_nFolder)) {
        RemoveLeftovers({});
    }
    m_strTempName = TempPrefix(m_strLeaf) + RandomSuffix();
    // Unnamed while it is written: a process killed now leaves nothing behind.
    int fd = ::openat(m_nFolder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0 && errno != EACCES && errno != EPERM && errno != EROFS && errno != ENOSPC &&
        errno != EDQUOT && errno != EMFILE && errno != ENFILE) {
        // The file system cannot: a named temporary, removed on a signal or by the next save.
        for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
            if (attempt > 0) {
                m_strTempName = TempPrefix(m_strLeaf) + RandomSuffix();
            }
            fd = ::openat(m_nFolder, m_strTempName.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (fd < 0 && errno != EEXIST) {
                break;
            }
        }
        if (fd >= 0) {
            m_bNamed = true;
            m_nSignalSlot = RegisterForSignals(m_nFolder, m_strTempName);
        }
    }
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM || error == EROFS) {
            throw CFileException(CFileException::folderDenied, folderShown, error);
        }
        CFileException::ThrowOsError(error, shownAs);
    }
    m_strTemp = (m_bOwnFolder ? FolderOf(m_strTarget) : FolderOf(shownAs)) + "/" + m_strTempName;
    // The lock says the temporary is alive: a clean-up removes only those nobody holds. A second
    // descriptor keeps it held from the close to the rename.
    static_cast<void>(::flock(fd, LOCK_EX | LOCK_NB));
    m_nHold = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    // Report every later error under the name the user chose.
    AttachDescriptor(fd, shownAs);
}

CSafeFile::~CSafeFile() {
    Discard();
    if (m_bOwnFolder && m_nFolder >= 0) {
        ::close(m_nFolder);
    }
}

void CSafeFile::LinkTemp() {
    if (m_bNamed) {
        return;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(GetDescriptor());
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (attempt > 0) {
            m_strTempName = TempPrefix(m_strLeaf) + RandomSuffix();
            m_strTemp = FolderOf(m_strTemp) + "/" + m_strTempName;
        }
        // AT_EMPTY_PATH needs a privilege; the descriptor's name under /proc does not.
        if (::linkat(GetDescriptor(), "", m_nFolder, m_strTempName.c_str(), AT_EMPTY_PATH) == 0 ||
            (errno != EEXIST && ::linkat(AT_FDCWD, self.c_str(), m_nFolder, m_strTempName.c_str(),
                                         AT_SYMLINK_FOLLOW) == 0)) {
            m_bNamed = true;
            m_nSignalSlot = RegisterForSignals(m_nFolder, m_strTempName);
            return;
        }
        if (errno != EEXIST) {
            CFileException::ThrowOsError(errno, m_strFileName);
        }
    }
    CFileException::ThrowOsError(EEXIST, m_strFileName);
}

void CSafeFile::RemoveLeftovers(const std::string& prefix) noexcept {
    const int listing = ::openat(m_nFolder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0) {
            ::close(listing);
        }
        return;
    }
    std::vector<std::string> found;
    while (const dirent* entry = ::readdir(dir)) {
        if (IsTempName(entry->d_name) && std::string_view(entry->d_name).starts_with(prefix) &&
            std::strlen(entry->d_name) ==
                (prefix.empty() ? std::strlen(entry->d_name) : prefix.size() + kRandomLength)) {
            found.emplace_back(entry->d_name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : found) {
        const int fd =
            ::openat(m_nFolder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // Ours, and nobody holds it: its writer is gone.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(m_nFolder, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
            ::unlinkat(m_nFolder, name.c_str(), 0);
        }
        ::close(fd);
    }
}

void CSafeFile::Commit() {
    try {
        Flush();
        mode_t mode = 0;
        struct stat st {};
        // A symbolic link inside a folder given open is replaced like a missing file.
        const bool replacing = ::fstatat(m_nFolder, m_strLeaf.c_str(), &st,
                                         m_bOwnFolder ? 0 : AT_SYMLINK_NOFOLLOW) == 0 &&
                               S_ISREG(st.st_mode);
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
        if (replacing && m_bOwnFolder) {
            CopyAttributes();
        }
        LinkTemp();
        CFile::Close();
        if (m_bCheckIdentity && IdentityOfPath(m_strTarget) != m_expected) {
            throw CFileException(CFileException::changedOnDisk, m_strFileName);
        }
        RenameOver(m_strTemp, m_strTarget);
    } catch (...) {
        Discard();
        throw;
    }
    UnregisterForSignals(m_nSignalSlot);
    m_bNamed = false;
    m_strTemp.clear();
    if (m_nHold >= 0) {
        ::close(m_nHold);
        m_nHold = -1;
    }
    m_bCommitted = true;
    // The rename is durable only once the folder's entry is on disk; a failure here cannot
    // undo the save, so it is not reported.
    static_cast<void>(::fsync(m_nFolder));
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
    if (m_bNamed) {
        ::unlinkat(m_nFolder, m_strTempName.c_str(), 0);
        m_bNamed = false;
    }
    UnregisterForSignals(m_nSignalSlot);
    m_strTemp.clear();
    if (m_nHold >= 0) {
        ::close(m_nHold);
        m_nHold = -1;
    }
}

void CSafeFile::RenameOver(const std::string&, const std::string&) {
    if (::renameat(m_nFolder, m_strTempName.c_str(), m_nFolder, m_strLeaf.c_str()) != 0) {
        CFileException::ThrowOsError(errno, m_strFileName);
    }
}

void WriteFileSafely(const std::string& target, const void* data, size_t size) {
    CSafeFile file(target);
    file.Write(data, size);
    file.Commit();
}
