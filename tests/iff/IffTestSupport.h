#pragma once

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"

// Helpers shared by the container tests.
namespace ifftest {

inline constexpr ChunkType kStr = kTypeStrings;
inline constexpr ChunkType kMap = kTypeResourceMap;
inline constexpr ChunkType kBhav = MakeChunkType('B', 'H', 'A', 'V');
inline constexpr ChunkType kGlob = MakeChunkType('G', 'L', 'O', 'B');
inline constexpr ChunkType kJunk = MakeChunkType('X', 'X', 'X', 'X');

// count bytes that differ from chunk to chunk.
inline std::vector<uint8_t> Payload(size_t count, uint8_t seed) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<uint8_t>(seed + i * 7);
    }
    return bytes;
}

struct ChunkInfo {
    ChunkType type;
    uint16_t id;
    uint16_t flags;
    std::string name;
    std::vector<uint8_t> payload;
    bool operator==(const ChunkInfo&) const = default;
};

using Key = std::pair<ChunkType, uint16_t>;

// The (type, id) of every chunk-list entry, in order.
inline std::vector<Key> Keys(const CIffFile& iff) {
    std::vector<Key> keys;
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        keys.emplace_back(record ? record->type : 0, record ? record->id : 0);
    }
    return keys;
}

// Every listed chunk, loaded; payload left empty for a chunk that cannot be loaded.
inline std::vector<ChunkInfo> Chunks(CIffFile& iff) {
    std::vector<ChunkInfo> chunks;
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const bool loaded = iff.EnsureLoaded(handle);
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        ChunkInfo info{record->type, record->id, record->flags, record->name, {}};
        if (loaded) {
            info.payload.assign(record->data, record->data + record->size);
        }
        chunks.push_back(std::move(info));
    }
    return chunks;
}

// An IFF file object attached to a copy of bytes.
struct OpenedFile {
    explicit OpenedFile(const std::vector<uint8_t>& bytes, bool readMapHeaders = false)
        : file(bytes.data(), bytes.size()) {
        std::ignore = iff.Attach(file);
        opened = iff.Open(&error, readMapHeaders);
    }
    CMemFile file;
    CIffFile iff;
    int error = 0;
    bool opened = false;
};

// Saves into a fresh memory stream; empty when the save fails.
inline std::vector<uint8_t> SaveToBytes(CIffFile& iff) {
    CMemFile out;
    if (!iff.Save(&out)) {
        return {};
    }
    return out.ToVector();
}

inline uint32_t BE32(const std::vector<uint8_t>& bytes, size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) |
           (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

}  // namespace ifftest
