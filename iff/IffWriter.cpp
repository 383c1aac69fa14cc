#include "iff/IffWriter.h"

#include <algorithm>
#include <array>
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
#include "iff/IffFile.h"
#include "iff/ResourceMap.h"

namespace {

constexpr uint32_t kMaxOffset = std::numeric_limits<uint32_t>::max();

// A range of the source written as other bytes: a staged part, then a payload.
struct Replacement {
    uint64_t start = 0;
    uint64_t end = 0;  // exclusive
    const uint8_t* staged = nullptr;
    size_t stagedSize = 0;
    const uint8_t* payload = nullptr;
    size_t payloadSize = 0;

    [[nodiscard]] int64_t Delta() const {
        return static_cast<int64_t>(stagedSize + payloadSize) - static_cast<int64_t>(end - start);
    }
};

// Where offsets land once the replacements are made: every offset at or past the end of a
// replaced range moves by that range's change in length.
class COffsetShift {
public:
    explicit COffsetShift(const std::vector<Replacement>& sorted) {
        int64_t sum = 0;
        for (const Replacement& r : sorted) {
            sum += r.Delta();
            m_ends.push_back(r.end);
            m_sums.push_back(sum);
        }
    }
    [[nodiscard]] uint32_t Moved(uint32_t offset) const {
        const auto after = std::upper_bound(m_ends.begin(), m_ends.end(), uint64_t{offset});
        if (after == m_ends.begin()) {
            return offset;
        }
        const int64_t moved =
            int64_t{offset} + m_sums[static_cast<size_t>(after - m_ends.begin()) - 1];
        // Only an offset beyond the file can leave the 32-bit range; it names nothing either way.
        if (moved < 0 || moved > static_cast<int64_t>(kMaxOffset)) {
            return offset;
        }
        return static_cast<uint32_t>(moved);
    }
    [[nodiscard]] int64_t Total() const { return m_sums.empty() ? 0 : m_sums.back(); }

private:
    std::vector<uint64_t> m_ends;
    std::vector<int64_t> m_sums;
};

// The header offsets the chunk scan of the open reaches, in order.
std::vector<uint32_t> ScanChain(std::span<const uint8_t> source) {
    std::vector<uint32_t> chain;
    uint64_t offset = kFileHeaderSize;
    while (offset < source.size() && source.size() - offset >= kChunkHeaderSize) {
        const uint32_t size = ReadU32BE(source.data() + offset + 4);
        if (size < kChunkHeaderSize || size > kMaxChunkSize) {
            break;
        }
        chain.push_back(static_cast<uint32_t>(offset));
        offset += size;
    }
    return chain;
}

bool Overlap(const Replacement& a, uint64_t start, uint64_t end) {
    return a.start < end && start < a.end;
}

}  // namespace

bool CIffWriter::Write(CFile& file, std::vector<ChunkSplice> splices) {
    m_strError.clear();
    const uint8_t* source = m_source.data();
    const uint64_t size = m_source.size();
    const auto fail = [this](const char* why) {
        m_strError = why;
        return false;
    };
    if (size < kFileHeaderSize) {
        return fail("The file to write from has no complete header.");
    }

    std::vector<Replacement> replaced;
    replaced.reserve(splices.size() + 2);
    // Staged bytes stay where they are until the write: reserved once, never grown.
    std::vector<std::array<uint8_t, kChunkHeaderSize>> headers;
    headers.reserve(splices.size());
    std::vector<uint32_t> dropped;
    std::vector<uint32_t> chain;
    bool chainTaken = false;
    for (const ChunkSplice& splice : splices) {
        const uint64_t start = splice.start;
        const bool headerInside =
            start >= kFileHeaderSize && start <= size && size - start >= kChunkHeaderSize;
        const uint32_t declared = headerInside ? ReadU32BE(source + start + 4) : 0;
        if (splice.drop) {
            dropped.push_back(splice.start);
            if (!chainTaken) {
                chain = ScanChain(m_source);
                chainTaken = true;
            }
            // Only a chunk that the scan reaches and that runs past the end owns the bytes from
            // its header on: elsewhere they may belong to chunks that are kept.
            if (headerInside && std::binary_search(chain.begin(), chain.end(), splice.start) &&
                start + declared > size) {
                replaced.push_back({start, size, nullptr, 0, nullptr, 0});
            }
            continue;
        }
        if (!headerInside || declared < kChunkHeaderSize) {
            return fail("A changed chunk's header does not lie in the file.");
        }
        if (splice.size > kMaxOffset - kChunkHeaderSize) {
            return fail("A changed chunk is larger than the file format allows.");
        }
        auto& header = headers.emplace_back();
        std::memcpy(header.data(), source + start, kChunkHeaderSize);
        PutU32BE(header.data() + 4, splice.size + kChunkHeaderSize);
        replaced.push_back({start, std::min<uint64_t>(start + declared, size), header.data(),
                            header.size(), splice.payload, splice.size});
    }
    std::sort(replaced.begin(), replaced.end(),
              [](const Replacement& a, const Replacement& b) { return a.start < b.start; });
    for (size_t i = 1; i < replaced.size(); ++i) {
        if (replaced[i].start < replaced[i - 1].end) {
            return fail("Two changed chunks overlap in the file.");
        }
    }
    std::sort(dropped.begin(), dropped.end());

    // The map the header names, as far as the file holds it.
    const bool version25 = std::memcmp(source + kVersionOffset, "2.5", kVersionLength) == 0;
    const uint32_t mapOffset = version25 ? ReadU32BE(source + kMapOffsetField) : 0;
    uint64_t mapEnd = 0;
    if (mapOffset >= kFileHeaderSize && mapOffset <= size && size - mapOffset >= kChunkHeaderSize) {
        const uint32_t declared = ReadU32BE(source + mapOffset + 4);
        if (declared >= kChunkHeaderSize) {
            mapEnd = std::min<uint64_t>(uint64_t{mapOffset} + declared, size);
        }
    }
    std::vector<uint8_t> map;
    if (mapEnd != 0) {
        if (std::any_of(replaced.begin(), replaced.end(),
                        [&](const Replacement& r) { return Overlap(r, mapOffset, mapEnd); })) {
            return fail("The resource map lies inside a changed chunk.");
        }
        const uint8_t* payload = source + mapOffset + kChunkHeaderSize;
        const auto payloadSize = static_cast<size_t>(mapEnd - mapOffset - kChunkHeaderSize);
        // First: which entries go, and so the map's new length.
        const auto removed = [&](const MapEntry& entry) {
            return std::binary_search(dropped.begin(), dropped.end(), entry.offset);
        };
        MapEntry entry;
        size_t removedBytes = 0;
        if (!dropped.empty()) {
            for (CResourceMapWalk walk(payload, payloadSize); walk.Next(entry);) {
                removedBytes += removed(entry) ? entry.end - entry.at : 0;
            }
        }
        const COffsetShift chunksOnly(replaced);
        bool moves = false;
        for (CResourceMapWalk walk(payload, payloadSize); !moves && walk.Next(entry);) {
            moves = chunksOnly.Moved(entry.offset) != entry.offset;
        }
        if (moves || removedBytes != 0) {
            const size_t mapSize = static_cast<size_t>(mapEnd - mapOffset) - removedBytes;
            map.reserve(mapSize);
            const auto at = std::lower_bound(
                replaced.begin(), replaced.end(), mapOffset,
                [](const Replacement& r, uint64_t offset) { return r.start < offset; });
            const auto mapIndex = static_cast<size_t>(at - replaced.begin());
            replaced.insert(at, {mapOffset, mapEnd, nullptr, mapSize, nullptr, 0});
            const COffsetShift shift(replaced);
            map.assign(source + mapOffset, payload);
            size_t from = 0;
            size_t gone = 0;
            size_t group = std::numeric_limits<size_t>::max();
            size_t groupAt = 0;  // the group's place in the new payload
            for (CResourceMapWalk walk(payload, payloadSize); walk.Next(entry);) {
                if (entry.groupAt != group) {
                    group = entry.groupAt;
                    groupAt = entry.groupAt - gone;
                }
                map.insert(map.end(), payload + from, payload + entry.at);
                from = entry.end;
                if (removed(entry)) {
                    gone += entry.end - entry.at;
                    uint8_t* count = map.data() + kChunkHeaderSize + groupAt + 4;
                    PutU32LE(count, ReadU32LE(count) - 1);
                    continue;
                }
                const size_t newAt = map.size() - kChunkHeaderSize;
                map.insert(map.end(), payload + entry.at, payload + entry.end);
                PutU32LE(map.data() + kChunkHeaderSize + newAt, shift.Moved(entry.offset));
            }
            map.insert(map.end(), payload + from, payload + payloadSize);
            if (removedBytes != 0) {
                PutU32BE(map.data() + 4,
                         ReadU32BE(map.data() + 4) - static_cast<uint32_t>(removedBytes));
                if (map.size() >= kChunkHeaderSize + kMapSizeOffset + 4) {
                    uint8_t* field = map.data() + kChunkHeaderSize + kMapSizeOffset;
                    PutU32LE(field, ReadU32LE(field) - static_cast<uint32_t>(removedBytes));
                }
            }
            replaced[mapIndex].staged = map.data();
        }
    }

    const COffsetShift shift(replaced);
    if (int64_t{static_cast<int64_t>(size)} + shift.Total() > static_cast<int64_t>(kMaxOffset)) {
        return fail("The file would be longer than its 32-bit offsets can address.");
    }
    std::array<uint8_t, kFileHeaderSize> header{};
    std::vector<ConstBuffer> parts;
    parts.reserve(2 * replaced.size() + 3);
    uint64_t from = 0;
    if (version25 && shift.Moved(mapOffset) != mapOffset) {
        std::memcpy(header.data(), source, kFileHeaderSize);
        PutU32BE(header.data() + kMapOffsetField, shift.Moved(mapOffset));
        parts.push_back({header.data(), header.size()});
        from = kFileHeaderSize;
    }
    for (const Replacement& r : replaced) {
        if (r.start > from) {
            parts.push_back({source + from, static_cast<size_t>(r.start - from)});
        }
        if (r.stagedSize != 0) {
            parts.push_back({r.staged, r.stagedSize});
        }
        if (r.payloadSize != 0) {
            parts.push_back({r.payload, r.payloadSize});
        }
        from = r.end;
    }
    if (size > from) {
        parts.push_back({source + from, static_cast<size_t>(size - from)});
    }
    file.SetLength(0);
    file.Seek(0, CFile::begin);
    file.WriteGather(parts.data(), parts.size());
    return true;
}

namespace {

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
    m_strWriteProblem.clear();
    CFile* target = file != nullptr ? file : m_pSource.get();
    if (target == nullptr) {
        return false;
    }
    const bool intoSource = target == m_pSource.get();
    if (m_pSnapshot && m_nSnapshotSize != 0) {
        CIffWriter writer({m_pSnapshot.get(), m_nSnapshotSize});
        if (!writer.Write(*target, CollectSplices())) {
            m_strWriteProblem = writer.GetError();
            return false;
        }
    } else {
        // Nothing was read: a new file of the listed chunks and a map of them.
        m_header = MakeFileHeader(0);
        // A save into the source must not stop half way for a payload it cannot read.
        if (intoSource && !LoadAll()) {
            return false;
        }
        target->SetLength(0);
        target->Seek(0, CFile::begin);
        target->Write(m_header.data(), m_header.size());
        if (!WriteChunks(*target) || !WriteResourceMap(*target)) {
            return false;
        }
    }
    if (intoSource) {
        // The snapshot is the old content from here on; it stays what later saves write from.
        m_bSnapshotReadable = false;
        m_nSourceLength =
            static_cast<uint32_t>(std::min<uint64_t>(target->GetPosition(), kMaxOffset));
    }
    return true;
}

bool CIffFile::IsChanged(const CChunkRecord& record) const {
    const uint8_t* snapshot = m_pSnapshot.get();
    const uint64_t offset = record.offset;
    if (offset < kChunkHeaderSize || offset > m_nSnapshotSize) {
        return true;  // no bytes of the source to compare with: the writer judges
    }
    if (record.data == snapshot + offset) {
        return false;  // still its slice of the snapshot
    }
    const uint32_t declared = ReadU32BE(snapshot + offset - kChunkHeaderSize + 4);
    return declared < kChunkHeaderSize || declared - kChunkHeaderSize != record.size ||
           record.size > m_nSnapshotSize - offset ||
           (record.size != 0 && std::memcmp(record.data, snapshot + offset, record.size) != 0);
}

std::vector<ChunkSplice> CIffFile::CollectSplices() const {
    std::vector<ChunkSplice> splices;
    for (const ChunkHandle handle : m_chunks) {
        const CChunkRecord* record = RecordOf(handle);
        // A chunk never loaded cannot have been replaced.
        if (record != nullptr && record->loaded && IsChanged(*record)) {
            splices.push_back({record->offset - kChunkHeaderSize, record->data, record->size});
        }
    }
    for (const uint32_t start : m_droppedHeaders) {
        ChunkSplice drop;
        drop.start = start;
        drop.drop = true;
        splices.push_back(drop);
    }
    return splices;
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
