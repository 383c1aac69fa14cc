#pragma once

#include <string>

// Path helpers of the file commands. Paths are UTF-8 byte strings; none of these show anything.

// Removes one pair of quotation marks around the path, makes it absolute against the current
// folder, collapses "." and ".." lexically and resolves symbolic links when the file exists.
[[nodiscard]] std::string NormalizeOpenPath(const std::string& path);

// Absolute against the current folder, "." and ".." collapsed; links are kept.
[[nodiscard]] std::string MakeAbsolutePath(const std::string& path);

// True when both paths name the same file on disk (same device and inode after following links),
// or, when either does not exist, when they are spelled the same. Never a case-insensitive match:
// two spellings that differ in case are two files here.
[[nodiscard]] bool IsSameFile(const std::string& a, const std::string& b);

// The last component of the path ("file.iff" of "/a/b/file.iff").
[[nodiscard]] std::string FileNameOf(const std::string& path);
// The folder of the path, without a trailing slash ("/" for a file in the root).
[[nodiscard]] std::string FolderOf(const std::string& path);
// The current folder, or empty when it cannot be had.
[[nodiscard]] std::string CurrentFolder();

// True when path exists as a file that can be replaced (a write permission bit set and, for
// other users than root, write access granted).
[[nodiscard]] bool IsWritableFile(const std::string& path);
// A file that exists and may not be written: no write bit at all (which root, who could write it
// anyway, respects too), or no write permission for this process, or on a read-only file system.
// False for a path that does not exist (a file yet to be made).
[[nodiscard]] bool IsReadOnlyFile(const std::string& path);

// Number of characters (UTF-8 code points) of text.
[[nodiscard]] size_t Utf8Length(const std::string& text);
// The first count characters of text, never cutting a UTF-8 sequence.
[[nodiscard]] std::string Utf8Left(const std::string& text, size_t count);
