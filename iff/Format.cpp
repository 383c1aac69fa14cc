#include "iff/Format.h"

#include <algorithm>
#include <cstring>

void AppendU16LE(std::vector<uint8_t>& out, uint16_t v) {
    uint8_t bytes[2];
    PutU16LE(bytes, v);
    out.insert(out.end(), bytes, bytes + 2);
}

void AppendU32LE(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t bytes[4];
    PutU32LE(bytes, v);
    out.insert(out.end(), bytes, bytes + 4);
}

void AppendBytes(std::vector<uint8_t>& out, const void* data, size_t count) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + count);
}

std::array<uint8_t, kFileHeaderSize> MakeFileHeader(uint32_t mapOffset) {
    std::array<uint8_t, kFileHeaderSize> header{};
    std::copy(kFileSignature.begin(), kFileSignature.end(), header.begin());
    PutU32BE(header.data() + kMapOffsetField, mapOffset);
    return header;
}

ChunkHeader DecodeChunkHeader(const uint8_t* raw) {
    ChunkHeader header;
    header.type = ReadU32BE(raw);
    header.size = ReadU32BE(raw + 4);
    header.id = ReadU16BE(raw + 8);
    header.flags = ReadU16BE(raw + 10);
    std::memcpy(header.name.data(), raw + 12, kChunkNameSize);
    return header;
}

void EncodeChunkHeader(const ChunkHeader& header, uint8_t* out) {
    PutU32BE(out, header.type);
    PutU32BE(out + 4, header.size);
    PutU16BE(out + 8, header.id);
    PutU16BE(out + 10, header.flags);
    uint8_t* name = out + 12;
    std::memset(name, 0, kChunkNameSize);
    const auto end = std::find(header.name.begin(), header.name.begin() + kChunkNameSize - 1, '\0');
    std::copy(header.name.begin(), end, name);
}

std::string NameFromField(const std::array<char, kChunkNameSize>& field) {
    const auto end = std::find(field.begin(), field.end(), '\0');
    return std::string(field.begin(), end);
}

std::array<char, kChunkNameSize> NameField(const std::string& name) {
    std::array<char, kChunkNameSize> field{};
    const size_t length = std::min<size_t>(name.size(), kChunkNameSize - 1);
    std::copy_n(name.begin(), length, field.begin());
    return field;
}
