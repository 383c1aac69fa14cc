#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "iff/ChunkTypes.h"

// Assembles the bytes of an IFF file for tests and fuzz seeds: file header, chunks and resource
// map, with knobs for the quirks real files show (map in the middle, map order unlike file
// order, chunks the map leaves out, a map that claims more bytes than the file holds, "996" in
// the offset field, stale bytes at the end). It encodes everything itself and does not use the
// container code it is meant to test.

struct IffChunkSpec {
    ChunkType type = 0;
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string name;  // written NUL-terminated, cut to 63 bytes; listed whole in the map
    std::vector<uint8_t> payload;
    bool inMap = true;
    int64_t sizeAdjust = 0;                       // added to the size declared in the chunk header
    std::optional<std::array<char, 64>> rawName;  // the header's name field verbatim
};

struct IffMapEntrySpec {
    ChunkType type = 0;
    uint32_t offset = 0;  // of the chunk header
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string name;
};

class IffBuilder {
public:
    enum class MapPlace { None, End, AfterChunk };
    enum class OffsetField { Map, Explicit, Legacy996 };

    IffBuilder& Version(std::string text) {
        m_version = std::move(text);
        return *this;
    }
    // Adds a chunk; returns its index.
    size_t Add(IffChunkSpec chunk) {
        m_chunks.push_back(std::move(chunk));
        return m_chunks.size() - 1;
    }
    IffBuilder& Chunk(ChunkType type, uint16_t id, std::vector<uint8_t> payload,
                      std::string name = {}, uint16_t flags = 0) {
        IffChunkSpec spec;
        spec.type = type;
        spec.id = id;
        spec.flags = flags;
        spec.name = std::move(name);
        spec.payload = std::move(payload);
        Add(std::move(spec));
        return *this;
    }
    IffChunkSpec& Last() { return m_chunks.back(); }
    IffChunkSpec& At(size_t index) { return m_chunks.at(index); }

    // Where the map chunk goes: nowhere (the default), after the last chunk, or right after
    // chunk index (so chunks after it follow the map).
    IffBuilder& NoMap() {
        m_mapPlace = MapPlace::None;
        return *this;
    }
    IffBuilder& MapAtEnd() {
        m_mapPlace = MapPlace::End;
        return *this;
    }
    IffBuilder& MapAfter(size_t index) {
        m_mapPlace = MapPlace::AfterChunk;
        m_mapAfter = index;
        return *this;
    }
    // The chunks the map lists, by index, in map order (grouped by type in first-occurrence
    // order, as a map must be). Default: every chunk with inMap, in file order.
    IffBuilder& MapOrder(std::vector<size_t> order) {
        m_mapOrder = std::move(order);
        return *this;
    }
    IffBuilder& ExtraMapEntry(IffMapEntrySpec entry) {
        m_extraEntries.push_back(std::move(entry));
        return *this;
    }
    IffBuilder& MapSizeAdjust(int64_t adjust) {
        m_mapSizeAdjust = adjust;
        return *this;
    }
    IffBuilder& MapVersion(uint32_t version) {
        m_mapVersion = version;
        return *this;
    }
    IffBuilder& MapMagic(std::array<uint8_t, 4> magic) {
        m_mapMagic = magic;
        return *this;
    }
    // Replaces the generated map payload by these bytes.
    IffBuilder& MapPayload(std::vector<uint8_t> payload) {
        m_mapPayload = std::move(payload);
        return *this;
    }
    IffBuilder& OffsetFieldValue(uint32_t value) {
        m_offsetField = OffsetField::Explicit;
        m_offsetValue = value;
        return *this;
    }
    // Bytes 60-63 read "996" and a NUL, as after a save that stopped before the map.
    IffBuilder& Legacy996() {
        m_offsetField = OffsetField::Legacy996;
        return *this;
    }
    IffBuilder& Trailing(std::vector<uint8_t> bytes) {
        m_trailing = std::move(bytes);
        return *this;
    }

    [[nodiscard]] uint32_t ChunkOffset(size_t index) const { return m_offsets.at(index); }
    [[nodiscard]] uint32_t MapOffset() const { return m_mapOffset; }
    [[nodiscard]] const std::vector<IffChunkSpec>& Chunks() const { return m_chunks; }

    // A map payload listing entries, grouped by type in first-occurrence order.
    static std::vector<uint8_t> EncodeMapPayload(const std::vector<IffMapEntrySpec>& entries,
                                                 uint32_t version = 0,
                                                 std::array<uint8_t, 4> magic = {'p', 'm', 's',
                                                                                 'r'}) {
        std::vector<ChunkType> types;
        for (const auto& entry : entries) {
            if (std::find(types.begin(), types.end(), entry.type) == types.end()) {
                types.push_back(entry.type);
            }
        }
        std::vector<uint8_t> out;
        PutLE32(out, 0);
        PutLE32(out, version);
        out.insert(out.end(), magic.begin(), magic.end());
        PutLE32(out, 0);  // the whole map chunk's size, patched by Build
        PutLE32(out, static_cast<uint32_t>(types.size()));
        for (const ChunkType type : types) {
            const auto count = std::count_if(entries.begin(), entries.end(),
                                             [type](const auto& e) { return e.type == type; });
            PutLE32(out, type);
            PutLE32(out, static_cast<uint32_t>(count));
            for (const auto& entry : entries) {
                if (entry.type != type) {
                    continue;
                }
                PutLE32(out, entry.offset);
                PutLE16(out, entry.id);
                PutLE16(out, entry.flags);
                out.insert(out.end(), entry.name.begin(), entry.name.end());
                out.push_back(0);
                if (out.size() % 2 != 0) {
                    out.push_back(0xA3);
                }
            }
        }
        return out;
    }

    static void PutBE32(uint8_t* p, uint32_t v) {
        p[0] = static_cast<uint8_t>(v >> 24);
        p[1] = static_cast<uint8_t>(v >> 16);
        p[2] = static_cast<uint8_t>(v >> 8);
        p[3] = static_cast<uint8_t>(v);
    }
    static void PutLE32(std::vector<uint8_t>& out, uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8) {
            out.push_back(static_cast<uint8_t>(v >> shift));
        }
    }
    static void PutLE16(std::vector<uint8_t>& out, uint16_t v) {
        out.push_back(static_cast<uint8_t>(v));
        out.push_back(static_cast<uint8_t>(v >> 8));
    }
    // 76 bytes of chunk header.
    static std::vector<uint8_t> ChunkHeaderBytes(ChunkType type, uint32_t size, uint16_t id,
                                                 uint16_t flags, const std::string& name) {
        std::vector<uint8_t> out(76, 0);
        PutBE32(out.data(), type);
        PutBE32(out.data() + 4, size);
        out[8] = static_cast<uint8_t>(id >> 8);
        out[9] = static_cast<uint8_t>(id);
        out[10] = static_cast<uint8_t>(flags >> 8);
        out[11] = static_cast<uint8_t>(flags);
        std::memcpy(out.data() + 12, name.data(), std::min<size_t>(name.size(), 63));
        return out;
    }

    std::vector<uint8_t> Build() {
        // Pass 1 lays the chunks out (the map's size does not depend on the offsets), pass 2
        // encodes the map with the real offsets.
        m_offsets.assign(m_chunks.size(), 0);
        const size_t mapChunkSize = m_mapPlace == MapPlace::None ? 0 : 76 + MapBytes().size();
        uint32_t offset = 64;
        m_mapOffset = 0;
        if (m_mapPlace == MapPlace::AfterChunk && m_chunks.empty()) {
            m_mapOffset = offset;
            offset += static_cast<uint32_t>(mapChunkSize);
        }
        for (size_t i = 0; i < m_chunks.size(); ++i) {
            m_offsets[i] = offset;
            offset += static_cast<uint32_t>(76 + m_chunks[i].payload.size());
            if (m_mapPlace == MapPlace::AfterChunk &&
                i == std::min(m_mapAfter, m_chunks.size() - 1)) {
                m_mapOffset = offset;
                offset += static_cast<uint32_t>(mapChunkSize);
            }
        }
        if (m_mapPlace == MapPlace::End) {
            m_mapOffset = offset;
        }

        std::vector<uint8_t> out(64, 0);
        static const char kSignature[] =
            "IFF FILE 2.5:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1996";
        std::memcpy(out.data(), kSignature, 64);
        std::memcpy(out.data() + 9, m_version.data(), std::min<size_t>(m_version.size(), 3));
        switch (m_offsetField) {
            case OffsetField::Map:
                PutBE32(out.data() + 60, m_mapOffset);
                break;
            case OffsetField::Explicit:
                PutBE32(out.data() + 60, m_offsetValue);
                break;
            case OffsetField::Legacy996:
                std::memcpy(out.data() + 60, "996", 4);
                break;
        }

        const std::vector<uint8_t> map = MapBytes();
        const auto appendMap = [&] {
            const auto declared =
                static_cast<uint32_t>(static_cast<int64_t>(76 + map.size()) + m_mapSizeAdjust);
            const auto header =
                ChunkHeaderBytes(MakeChunkType('r', 's', 'm', 'p'), declared, 0, 0x10, {});
            out.insert(out.end(), header.begin(), header.end());
            out.insert(out.end(), map.begin(), map.end());
        };
        if (m_mapPlace == MapPlace::AfterChunk && m_chunks.empty()) {
            appendMap();
        }
        for (size_t i = 0; i < m_chunks.size(); ++i) {
            const IffChunkSpec& chunk = m_chunks[i];
            const auto declared = static_cast<uint32_t>(
                static_cast<int64_t>(76 + chunk.payload.size()) + chunk.sizeAdjust);
            auto header = ChunkHeaderBytes(chunk.type, declared, chunk.id, chunk.flags, chunk.name);
            if (chunk.rawName) {
                std::memcpy(header.data() + 12, chunk.rawName->data(), 64);
            }
            out.insert(out.end(), header.begin(), header.end());
            out.insert(out.end(), chunk.payload.begin(), chunk.payload.end());
            if (m_mapPlace == MapPlace::AfterChunk &&
                i == std::min(m_mapAfter, m_chunks.size() - 1)) {
                appendMap();
            }
        }
        if (m_mapPlace == MapPlace::End) {
            appendMap();
        }
        out.insert(out.end(), m_trailing.begin(), m_trailing.end());
        return out;
    }

private:
    // The map payload with the current offsets (zeros before layout).
    std::vector<uint8_t> MapBytes() const {
        if (m_mapPayload) {
            return *m_mapPayload;
        }
        std::vector<IffMapEntrySpec> entries;
        const auto list = [&](size_t i) {
            const IffChunkSpec& chunk = m_chunks.at(i);
            std::string name = chunk.name;
            if (chunk.rawName) {
                const auto& raw = *chunk.rawName;
                name.assign(raw.begin(), std::find(raw.begin(), raw.end(), '\0'));
            }
            entries.push_back(
                {chunk.type, i < m_offsets.size() ? m_offsets[i] : 0, chunk.id, chunk.flags, name});
        };
        if (m_mapOrder) {
            for (const size_t i : *m_mapOrder) {
                list(i);
            }
        } else {
            for (size_t i = 0; i < m_chunks.size(); ++i) {
                if (m_chunks[i].inMap) {
                    list(i);
                }
            }
        }
        entries.insert(entries.end(), m_extraEntries.begin(), m_extraEntries.end());
        std::vector<uint8_t> payload = EncodeMapPayload(entries, m_mapVersion, m_mapMagic);
        const auto size = static_cast<uint32_t>(76 + payload.size());
        for (int b = 0; b < 4; ++b) {
            payload[12 + b] = static_cast<uint8_t>(size >> (8 * b));
        }
        return payload;
    }

    std::string m_version = "2.5";
    std::vector<IffChunkSpec> m_chunks;
    MapPlace m_mapPlace = MapPlace::None;
    size_t m_mapAfter = 0;
    std::optional<std::vector<size_t>> m_mapOrder;
    std::vector<IffMapEntrySpec> m_extraEntries;
    int64_t m_mapSizeAdjust = 0;
    uint32_t m_mapVersion = 0;
    std::array<uint8_t, 4> m_mapMagic = {'p', 'm', 's', 'r'};
    std::optional<std::vector<uint8_t>> m_mapPayload;
    OffsetField m_offsetField = OffsetField::Map;
    uint32_t m_offsetValue = 0;
    std::vector<uint8_t> m_trailing;
    std::vector<uint32_t> m_offsets;
    uint32_t m_mapOffset = 0;
};
