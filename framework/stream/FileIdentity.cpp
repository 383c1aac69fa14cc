#include "framework/stream/FileIdentity.h"

#include <sys/stat.h>

namespace {

FileIdentity FromStat(const struct stat& st) {
    FileIdentity identity;
    identity.device = static_cast<uint64_t>(st.st_dev);
    identity.inode = static_cast<uint64_t>(st.st_ino);
    identity.size = static_cast<uint64_t>(st.st_size);
    identity.modifiedSeconds = st.st_mtim.tv_sec;
    identity.modifiedNanoseconds = st.st_mtim.tv_nsec;
    identity.changedSeconds = st.st_ctim.tv_sec;
    identity.changedNanoseconds = st.st_ctim.tv_nsec;
    return identity;
}

}  // namespace

std::optional<FileIdentity> IdentityOfPath(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FromStat(st);
}

std::optional<FileIdentity> IdentityOfDescriptor(int fd) {
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        return std::nullopt;
    }
    return FromStat(st);
}
