#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Builds IFF file images in memory for tests: the 64-byte header and chunks laid back to back,
// without a resource map (bytes 60-63 zero), so readers find the chunks by the linear scan.
struct TestChunk {
    std::string type = "STR#";
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string name;
    std::vector<uint8_t> payload;
};

inline TestChunk MakeChunk(const std::string& type, uint16_t id, std::vector<uint8_t> payload,
                           const std::string& name = {}, uint16_t flags = 0) {
    TestChunk chunk;
    chunk.type = type;
    chunk.id = id;
    chunk.flags = flags;
    chunk.name = name;
    chunk.payload = std::move(payload);
    return chunk;
}

inline void PutU32BE(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

inline void PutU16BE(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

inline std::vector<uint8_t> MakeIffHeader(const std::string& version = "2.5") {
    std::string text("IFF FILE 2.5:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1", 60);
    text.replace(9, 3, version);
    text.resize(64, '\0');
    return {text.begin(), text.end()};
}

inline std::vector<uint8_t> MakeChunkBytes(const TestChunk& chunk) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(i < chunk.type.size() ? chunk.type[i] : ' '));
    }
    PutU32BE(out, static_cast<uint32_t>(76 + chunk.payload.size()));
    PutU16BE(out, chunk.id);
    PutU16BE(out, chunk.flags);
    std::string name = chunk.name.substr(0, 63);
    name.resize(64, '\0');
    out.insert(out.end(), name.begin(), name.end());
    out.insert(out.end(), chunk.payload.begin(), chunk.payload.end());
    return out;
}

inline std::vector<uint8_t> MakeIffFile(const std::vector<TestChunk>& chunks,
                                        const std::string& version = "2.5") {
    std::vector<uint8_t> out = MakeIffHeader(version);
    for (const auto& chunk : chunks) {
        const auto bytes = MakeChunkBytes(chunk);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    return out;
}

// Texts of a payload in the plain layout: FF FF, count, each text and a NUL.
inline std::vector<uint8_t> MakePlainPayload(const std::vector<std::string>& texts) {
    std::vector<uint8_t> out = {0xFF, 0xFF, static_cast<uint8_t>(texts.size()),
                                static_cast<uint8_t>(texts.size() >> 8)};
    for (const auto& text : texts) {
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    return out;
}

// A file of one multilingual STR# 128 ("names") of texts by language code: by default English
// "Chair" and "Table", French "Chaise" for the first only.
inline std::vector<uint8_t> MakeChairsFile(
    const std::vector<std::pair<uint8_t, std::string>>& texts = {
        {1, "Chair"}, {1, "Table"}, {3, "Chaise"}}) {
    std::vector<uint8_t> payload = {0xFD, 0xFF, static_cast<uint8_t>(texts.size()), 0};
    for (const auto& [code, text] : texts) {
        payload.push_back(code);
        payload.insert(payload.end(), text.begin(), text.end());
        payload.insert(payload.end(), {0, 0});
    }
    return MakeIffFile({MakeChunk("STR#", 128, payload, "names")});
}
