#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A chunk type: four characters, the first in the most significant byte ('STR#' is 0x53545223).
using ChunkType = uint32_t;
// The chunk store's name for a registered chunk; 0 names none.
using ChunkHandle = uint32_t;
// A place in one of CIffFile's lists: the index plus one; 0 means none.
using POSITION = size_t;

constexpr ChunkType MakeChunkType(char a, char b, char c, char d) {
    return (static_cast<ChunkType>(static_cast<uint8_t>(a)) << 24) |
           (static_cast<ChunkType>(static_cast<uint8_t>(b)) << 16) |
           (static_cast<ChunkType>(static_cast<uint8_t>(c)) << 8) |
           static_cast<ChunkType>(static_cast<uint8_t>(d));
}

inline constexpr ChunkType kTypeStrings = MakeChunkType('S', 'T', 'R', '#');
// Catalog text (an object's name and description) and pie-menu strings: the STR# layouts.
inline constexpr ChunkType kTypeCatalogStrings = MakeChunkType('C', 'T', 'S', 'S');
inline constexpr ChunkType kTypePieMenuStrings = MakeChunkType('T', 'T', 'A', 's');
// The family names of a family file (.FAM), in the layouts of STR#.
inline constexpr ChunkType kTypeFamilyStrings = MakeChunkType('F', 'A', 'M', 's');
inline constexpr ChunkType kTypeResourceMap = MakeChunkType('r', 's', 'm', 'p');

inline constexpr uint32_t kFileHeaderSize = 64;
inline constexpr uint32_t kChunkHeaderSize = 76;
inline constexpr uint32_t kChunkNameSize = 64;
inline constexpr uint32_t kMaxChunkSize = 0x40000000;
inline constexpr uint16_t kFlagSkipScan = 0x0004;
inline constexpr uint16_t kFlagResourceMap = 0x0010;

// The fields of a chunk header in host byte order; the name as its 64 raw bytes.
struct ChunkHeader {
    ChunkType type = 0;
    uint32_t size = 0;  // the whole chunk, the 76 header bytes included
    uint16_t id = 0;
    uint16_t flags = 0;
    std::array<char, kChunkNameSize> name{};
};
