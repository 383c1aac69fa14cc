#include "framework/doc/PathUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace {

// Collapses "//", "." and ".." of an absolute path without touching the disk.
std::string CollapseAbsolute(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos) {
            slash = path.size();
        }
        const std::string part = path.substr(start, slash - start);
        if (part == "..") {
            if (!parts.empty()) {
                parts.pop_back();
            }
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = slash + 1;
    }
    std::string result;
    for (const auto& part : parts) {
        result += '/';
        result += part;
    }
    return result.empty() ? std::string("/") : result;
}

bool IsContinuationByte(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

}  // namespace

std::string CurrentFolder() {
    std::vector<char> buffer(PATH_MAX + 1);
    if (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        return {};
    }
    return std::string(buffer.data());
}

std::string MakeAbsolutePath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    if (path.front() == '/') {
        return CollapseAbsolute(path);
    }
    return CollapseAbsolute(CurrentFolder() + "/" + path);
}

std::string NormalizeOpenPath(const std::string& path) {
    std::string unquoted = path;
    if (unquoted.size() >= 2 && unquoted.front() == '"' && unquoted.back() == '"') {
        unquoted = unquoted.substr(1, unquoted.size() - 2);
    }
    if (unquoted.empty()) {
        return unquoted;
    }
    const std::string absolute = MakeAbsolutePath(unquoted);
    if (char* real = ::realpath(absolute.c_str(), nullptr)) {
        std::string resolved(real);
        std::free(real);
        return resolved;
    }
    return absolute;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) {
        return false;
    }
    struct stat sa {};
    struct stat sb {};
    if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0) {
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    return MakeAbsolutePath(a) == MakeAbsolutePath(b);
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

bool IsWritableFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    // The superuser passes every access check, so the permission bits decide "read-only".
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && ::access(path.c_str(), W_OK) == 0;
}

bool IsReadOnlyFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    return (st.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

size_t Utf8Length(const std::string& text) {
    size_t count = 0;
    for (const char c : text) {
        if (!IsContinuationByte(static_cast<unsigned char>(c))) {
            ++count;
        }
    }
    return count;
}

std::string Utf8Left(const std::string& text, size_t count) {
    size_t seen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (!IsContinuationByte(static_cast<unsigned char>(text[i]))) {
            if (seen == count) {
                return text.substr(0, i);
            }
            ++seen;
        }
    }
    return text;
}
