#pragma once

#include <string>

class CIffFile;

// Opens path into iff and indexes it as the editor does (map headers not read). On failure
// prints the reason on stderr, in the editor's words, and returns false. Stream errors while
// the file's header is read pass to the caller.
[[nodiscard]] bool OpenIff(const std::string& path, CIffFile& iff);
