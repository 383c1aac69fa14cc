#pragma once

#include <cstdint>
#include <optional>
#include <string>

// What tells one state of a file on disk from another: which file it is (device, inode) and when
// and how it last changed (size, modification and change times to the nanosecond). Another
// program that rewrites the file in place changes the times; one that replaces it changes the
// inode.
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    int64_t modifiedSeconds = 0;
    int64_t modifiedNanoseconds = 0;
    int64_t changedSeconds = 0;
    int64_t changedNanoseconds = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The identity of the file path names (links followed), or none when it does not exist.
[[nodiscard]] std::optional<FileIdentity> IdentityOfPath(const std::string& path);
// The identity of an open descriptor's file, or none when it cannot be had.
[[nodiscard]] std::optional<FileIdentity> IdentityOfDescriptor(int fd);
