#include "iff/IffFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "iff/ChunkIndex.h"
#include "iff/ChunkStore.h"
#include "iff/Format.h"

// Writing a file back: the header, the chunks and the resource map.

namespace {

constexpr uint32_t kMaxOffset = std::numeric_limits<uint32_t>::max();

CChunkStore& Store() {
    return CChunkStore::Instance();
}

uint64_t KeyOf(const CChunkRecord& record) {
    return (static_cast<uint64_t>(record.type) << 16) | record.id;
}

// Tells, for the entries of a chunk list taken in order, which is the first with its type and id
// (maps left out). Keys repeat only after a late header read changed one, so the keys are only
// gathered from the moment the file says they may repeat.
class CFirstOfKey {
public:
    explicit CFirstOfKey(const std::vector<ChunkHandle>& chunks) : m_chunks(chunks) {}

    // record is the entry at index; keysMayRepeat is the file's flag as it stands now.
    [[nodiscard]] bool IsFirst(size_t index, const CChunkRecord& record, bool keysMayRepeat) {
        if (!m_bGathering) {
            if (!keysMayRepeat) {
                return true;
            }
            // The entries before index were all distinct when they were passed.
            m_bGathering = true;
            m_seen.Reserve(m_chunks.size());
            for (size_t before = 0; before < index; ++before) {
                const CChunkRecord* earlier = Store().Resolve(Store().GetTarget(m_chunks[before]));
                if (earlier != nullptr && earlier->type != kTypeResourceMap) {
                    m_seen.InsertIfAbsent(KeyOf(*earlier), 0);
                }
            }
        }
        return m_seen.TryInsert(KeyOf(record), 0);
    }

private:
    const std::vector<ChunkHandle>& m_chunks;
    CChunkIndex m_seen;
    bool m_bGathering = false;
};

}  // namespace

bool CIffFile::Save(CFile* file) {
    m_pWriteError.reset();
    m_header = MakeFileHeader(0);
    CFile* target = file != nullptr ? file : m_pSource.get();
    if (target == nullptr) {
        return false;
    }
    const bool intoSource = target == m_pSource.get();
    // A save into the source must not stop half way for a payload it cannot read.
    if (intoSource && !LoadAll()) {
        return false;
    }
    target->SetLength(0);
    target->Seek(0, CFile::begin);
    if (intoSource) {
        // The snapshot is the old content from here on; offsets now name the new one.
        m_bSnapshotReadable = false;
    }
    target->Write(m_header.data(), m_header.size());
    if (!WriteChunks(*target)) {
        return false;
    }
    const bool done = WriteResourceMap(*target);
    if (intoSource) {
        m_nSourceLength =
            static_cast<uint32_t>(std::min<uint64_t>(target->GetPosition(), kMaxOffset));
    }
    return done;
}

namespace {

// Gathers chunks for one gathered write per megabyte or so: a large payload goes to the file
// straight from where it lies (its slice of the snapshot); headers and small payloads are copied
// into a staging block first, since handing the kernel hundreds of thousands of parts of a few
// hundred bytes costs more than the copy. Payload pointers must stay valid until Flush.
class CChunkGather {
public:
    explicit CChunkGather(CFile& file) : m_file(file) {}

    // 76 bytes to encode the next header into.
    [[nodiscard]] uint8_t* NextHeader() { return Stage(kChunkHeaderSize); }
    void AddPayload(const uint8_t* data, size_t size) {
        if (size == 0) {
            return;
        }
        if (size < kDirect) {
            std::memcpy(Stage(size), data, size);
            return;
        }
        if (m_nParts == kParts) {
            Flush();
        }
        m_parts[m_nParts++] = {data, size};
        m_bLastStaged = false;
    }
    // Writes what is gathered; stream errors pass.
    void Flush() {
        const size_t count = m_nParts;
        m_nParts = 0;
        m_nFill = 0;
        m_bLastStaged = false;
        if (count != 0) {
            m_file.WriteGather(m_parts.data(), count);
        }
    }

private:
    static constexpr size_t kStaging = 1024 * 1024;
    static constexpr size_t kDirect = 16 * 1024;  // payloads from this size on are not copied
    static constexpr size_t kParts = 1024;

    // count bytes at the end of the staging block, which the next write takes in order.
    uint8_t* Stage(size_t count) {
        if (count > m_staging.size() - m_nFill || (!m_bLastStaged && m_nParts == kParts)) {
            Flush();
            // Grown only while empty (the parts point into it), doubling up to its size, so
            // that saving a small file does not take the whole block.
            if (count > m_staging.size()) {
                m_staging.resize(
                    std::min(kStaging, std::max({count, 2 * m_staging.size(), size_t{4096}})));
            } else if (m_staging.size() < kStaging) {
                m_staging.resize(std::min(kStaging, 2 * m_staging.size()));
            }
        }
        uint8_t* at = m_staging.data() + m_nFill;
        if (m_bLastStaged) {
            m_parts[m_nParts - 1].size += count;
        } else {
            m_parts[m_nParts++] = {at, count};
            m_bLastStaged = true;
        }
        m_nFill += count;
        return at;
    }

    CFile& m_file;
    std::vector<uint8_t> m_staging;
    std::array<ConstBuffer, kParts> m_parts{};
    size_t m_nFill = 0;
    size_t m_nParts = 0;
    bool m_bLastStaged = false;  // the last part is the staging block's end
};

}  // namespace

bool CIffFile::WriteChunks(CFile& file) {
    CFirstOfKey written(m_chunks);
    // Chunks follow each other from the stream's end with no gap.
    uint64_t at = file.GetLength();
    file.Seek(static_cast<int64_t>(at), CFile::begin);
    auto gather = std::make_unique<CChunkGather>(file);
    // What was gathered is written before a failure is returned, as an unbuffered stream would
    // have it; a stream error is kept for the caller.
    const auto finish = [&](bool result) {
        try {
            gather->Flush();
        } catch (const CFileException& error) {
            m_pWriteError = std::make_unique<CFileException>(error);
            return false;
        }
        return result;
    };
    for (size_t index = 0; index < m_chunks.size(); ++index) {
        CChunkRecord* record = RecordOf(m_chunks[index]);
        if (record == nullptr) {
            return finish(false);
        }
        if (record->type == kTypeResourceMap) {
            continue;
        }
        if (!record->headerRead && !ReadRecordHeader(*record)) {
            return finish(false);
        }
        if (record->type == kTypeResourceMap) {
            continue;
        }
        // A header read late can give a chunk the type and id of one before it (a map that
        // disagrees with the file). Look-ups and edits only ever reach the first; written too,
        // the later one would displace it when the file is opened again.
        if (!written.IsFirst(index, *record, m_bKeysMayRepeat)) {
            continue;
        }
        if (!LoadRecord(*record)) {
            return finish(false);
        }
        // Offsets in the container are 32-bit: a chunk that would end beyond them cannot be
        // listed in the map, so the save fails instead of writing a file that lies.
        if (at > kMaxOffset - kChunkHeaderSize ||
            record->size > kMaxOffset - kChunkHeaderSize - at) {
            return finish(false);
        }
        record->offset = static_cast<uint32_t>(at + kChunkHeaderSize);
        try {
            EncodeChunkHeader(CChunkStore::HeaderOf(*record), gather->NextHeader());
        } catch (const CFileException& error) {
            m_pWriteError = std::make_unique<CFileException>(error);
            return false;
        }
        gather->AddPayload(record->data, record->size);
        at += kChunkHeaderSize + uint64_t{record->size};
    }
    return finish(true);
}

bool CIffFile::WriteChunkHeader(CFile& file, const ChunkHeader& header, uint32_t offset) {
    uint8_t raw[kChunkHeaderSize];
    EncodeChunkHeader(header, raw);
    try {
        file.Seek(offset, CFile::begin);
        file.Write(raw, sizeof(raw));
    } catch (const CFileException& error) {
        m_pWriteError = std::make_unique<CFileException>(error);
        return false;
    }
    return true;
}

bool CIffFile::WriteResourceMap(CFile& file) {
    RebuildTypeList();
    const uint64_t mapOffset = file.GetPosition();

    // One pass gathers each type's loaded chunks in chunk-list order, so the map costs the
    // same for two types and for thousands.
    bool hasOldMap = false;
    std::vector<std::vector<const CChunkRecord*>> groups(m_types.size());
    std::unordered_map<ChunkType, size_t> groupOf;
    if (m_types.size() > 1) {
        groupOf.reserve(m_types.size());
        for (size_t group = 0; group < m_types.size(); ++group) {
            groupOf.emplace(m_types[group], group);
        }
    }
    CFirstOfKey listed(m_chunks);
    // Chunks of one type tend to stand together: the last group found is tried first.
    ChunkType lastType = m_types.empty() ? 0 : m_types.front();
    size_t lastGroup = 0;
    size_t entryBytes = 0;
    for (size_t index = 0; index < m_chunks.size(); ++index) {
        const CChunkRecord* record = RecordOf(m_chunks[index]);
        if (record == nullptr) {
            continue;
        }
        hasOldMap = hasOldMap || record->type == kTypeResourceMap;
        // The chunks WriteChunks passed over as duplicates are not in the file.
        if (record->type != kTypeResourceMap && !listed.IsFirst(index, *record, m_bKeysMayRepeat)) {
            continue;
        }
        if (!record->loaded) {
            continue;
        }
        if (record->type != lastType) {
            lastType = record->type;
            lastGroup = groupOf.at(lastType);
        }
        groups[lastGroup].push_back(record);
        // Offset, id, flags, the name, its NUL and at most one pad byte.
        entryBytes += kMapEntryFixedSize + record->name.size() + 2;
    }

    std::vector<uint8_t> map(kChunkHeaderSize);
    map.reserve(kChunkHeaderSize + kMapFixedSize + kMapGroupSize * m_types.size() + entryBytes);
    ChunkHeader header;
    header.type = kTypeResourceMap;
    header.flags = kMapFlags;
    EncodeChunkHeader(header, map.data());
    AppendU32LE(map, 0);  // reserved
    AppendU32LE(map, 0);  // version
    AppendBytes(map, kMapMagic.data(), kMapMagic.size());
    AppendU32LE(map, 0);  // size, filled in below
    AppendU32LE(map, static_cast<uint32_t>(m_types.size() - (hasOldMap ? 1 : 0)));
    for (size_t group = 0; group < m_types.size(); ++group) {
        const ChunkType type = m_types[group];
        if (type == kTypeResourceMap) {
            continue;
        }
        const auto& records = groups[group];
        AppendU32LE(map, type);
        AppendU32LE(map, static_cast<uint32_t>(records.size()));
        for (const CChunkRecord* record : records) {
            // Entries start at even offsets within the map, so the pad follows an even name.
            const size_t nameBytes = record->name.size() + 1;
            const size_t bytes = kMapEntryFixedSize + nameBytes + ((nameBytes & 1) != 0 ? 1 : 0);
            const size_t at = map.size();
            map.resize(at + bytes);
            uint8_t* entry = map.data() + at;
            PutU32LE(entry, record->offset - kChunkHeaderSize);
            PutU16LE(entry + 4, record->id);
            PutU16LE(entry + 6, record->flags);
            std::memcpy(entry + kMapEntryFixedSize, record->name.data(), nameBytes - 1);
            entry[kMapEntryFixedSize + nameBytes - 1] = 0;
            if (bytes != kMapEntryFixedSize + nameBytes) {
                entry[bytes - 1] = kMapPadByte;
            }
        }
    }
    const auto mapSize = static_cast<uint32_t>(map.size());
    PutU32LE(map.data() + kChunkHeaderSize + kMapSizeOffset, mapSize);
    PutU32BE(map.data() + 4, mapSize);

    file.Seek(static_cast<int64_t>(mapOffset), CFile::begin);
    file.Write(map.data(), map.size());
    // The header's offset goes in last: a save that stops earlier leaves 0 there, which names
    // no map.
    uint8_t offsetField[4];
    PutU32BE(offsetField, static_cast<uint32_t>(mapOffset));
    file.Seek(kMapOffsetField, CFile::begin);
    file.Write(offsetField, sizeof(offsetField));
    file.SeekToEnd();
    return true;
}
