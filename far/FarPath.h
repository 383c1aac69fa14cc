#pragma once

#include <optional>
#include <string>

// A file argument that names an entry of an archive: "Objects.far:Chair.iff".
struct FarPath {
    std::string archive;  // the archive's path
    std::string entry;    // the entry's name within it
};

// How a file argument is read: a path that exists as given is a plain file, whatever it holds;
// otherwise the longest prefix before a ':' that names an existing regular file is the archive
// and the rest (not empty) the entry, so archive paths may contain ':' themselves. nullopt for a
// plain path.
[[nodiscard]] std::optional<FarPath> SplitFarPath(const std::string& argument);
