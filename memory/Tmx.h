#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

class CTranslationMemory;

// TMX 1.4b, the exchange format of translation memories, read and written by libxml2's
// streaming reader and writer. Reading never touches the network, loads no DTD and expands no
// entity: a document that refers to an entity is refused, so a hostile file can neither read
// other files nor grow without bound.

// The longest segment read, in bytes of UTF-8; longer ones refuse the file.
inline constexpr size_t kMaxTmxSegment = 1 << 20;

// What a read found besides the units it added.
struct TmxReadStats {
    size_t units = 0;    // <tu> elements read
    size_t skipped = 0;  // of them, without a segment in the source language or a translation
};

// Reads the TMX file at path into memory: the header's srclang becomes its source locale (kept
// when it is "*all*"), each <tu> with a segment in that language and at least one other becomes
// a unit (its x-count and x-place properties kept). False, with error naming the file and the
// line, when the file cannot be read or is not a well-formed TMX document in UTF-8 or UTF-16;
// memory may then hold the units read before the fault.
[[nodiscard]] bool ReadTmxFile(const std::string& path, CTranslationMemory& memory,
                               std::string& error, TmxReadStats* stats = nullptr);
// The same from bytes; name is what messages call them.
[[nodiscard]] bool ReadTmxBytes(const uint8_t* data, size_t size, const std::string& name,
                                CTranslationMemory& memory, std::string& error,
                                TmxReadStats* stats = nullptr);

// The memory as a TMX document in UTF-8: srclang its source locale, one <tu> per unit with its
// count and place as x-count and x-place properties and one <tuv xml:lang> per language.
// Nothing when memory runs out.
[[nodiscard]] std::optional<std::string> TmxText(const CTranslationMemory& memory);
// Writes TmxText to path through the safe output path (a temporary beside it, renamed over it);
// false, with error set and the file as it was, when it cannot be written.
[[nodiscard]] bool WriteTmxFile(const std::string& path, const CTranslationMemory& memory,
                                std::string& error);
