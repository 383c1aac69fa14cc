#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "iff/ChunkTypes.h"

// Byte-order helpers and the fixed byte layouts of the container: file header, chunk header and
// the resource map's framing. Integers are assembled byte by byte in the stated order.

inline constexpr uint16_t ReadU16BE(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline constexpr uint32_t ReadU32BE(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline constexpr uint16_t ReadU16LE(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline constexpr uint32_t ReadU32LE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline constexpr void PutU16BE(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline constexpr void PutU32BE(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}
inline constexpr void PutU16LE(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline constexpr void PutU32LE(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

void AppendU16LE(std::vector<uint8_t>& out, uint16_t v);
void AppendU32LE(std::vector<uint8_t>& out, uint32_t v);
void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t count);

// File header: bytes 0-7 are compared, 9-11 hold the version, 60-63 the map offset (big-endian).
inline constexpr size_t kSignatureOffset = 0;
inline constexpr size_t kSignatureLength = 8;
inline constexpr size_t kVersionOffset = 9;
inline constexpr size_t kVersionLength = 3;
inline constexpr size_t kMapOffsetField = 60;

// Resource map payload: reserved, version, magic, size, type count; then the type groups.
inline constexpr size_t kMapMagicOffset = 8;
inline constexpr size_t kMapSizeOffset = 12;
inline constexpr size_t kMapTypeCountOffset = 16;
inline constexpr size_t kMapFixedSize = 20;
inline constexpr size_t kMapGroupSize = 8;       // type + entry count
inline constexpr size_t kMapEntryFixedSize = 8;  // offset + id + flags, before the name
inline constexpr uint8_t kMapPadByte = 0xA3;
inline constexpr uint16_t kMapFlags = kFlagResourceMap;
// The map's magic as it stands in the payload: kTypeResourceMap stored little-endian.
inline constexpr std::array<uint8_t, 4> kMapMagic = {'p', 'm', 's', 'r'};

// Bytes 0-59 of every file header written: the signature that the game's files carry and that
// other readers of the format compare exactly. The NUL after "SIZE" belongs to it.
inline constexpr size_t kFileSignatureSize = 60;
inline constexpr std::array<uint8_t, kFileSignatureSize> kFileSignature = [] {
    constexpr char text[] = "IFF FILE 2.5:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1";
    static_assert(sizeof(text) == kFileSignatureSize + 1);
    std::array<uint8_t, kFileSignatureSize> bytes{};
    for (size_t i = 0; i < kFileSignatureSize; ++i) {
        bytes[i] = static_cast<uint8_t>(text[i]);
    }
    return bytes;
}();

// A version 2.5 file header: the signature, then mapOffset big-endian in bytes 60-63.
[[nodiscard]] std::array<uint8_t, kFileHeaderSize> MakeFileHeader(uint32_t mapOffset);

// Decodes the 76 bytes at raw; the name keeps its 64 raw bytes.
[[nodiscard]] ChunkHeader DecodeChunkHeader(const uint8_t* raw);
// Encodes header into 76 bytes at out: the name's bytes up to its first NUL, at most 63 of them,
// then zeros to the end of the field.
void EncodeChunkHeader(const ChunkHeader& header, uint8_t* out);
// The name a 64-byte name field holds: up to its first NUL, or all 64 bytes when it has none.
[[nodiscard]] std::string NameFromField(const std::array<char, kChunkNameSize>& field);
// A 64-byte name field holding the first 63 bytes of name at most, zero-filled.
[[nodiscard]] std::array<char, kChunkNameSize> NameField(const std::string& name);
