#include "iff/IffFile.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "iff/ByteCursor.h"
#include "iff/ChunkStore.h"
#include "iff/Format.h"

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

// The entries a map payload lists completely, by the rules ParseResourceMap reads them with, so
// that the chunk list and its index are sized once. Costs a walk over the map's bytes only.
size_t CountMapEntries(const uint8_t* payload, uint32_t size) {
    CByteCursor cursor(payload, size);
    cursor.Seek(kMapTypeCountOffset);
    const uint32_t typeCount = cursor.U32LE();
    size_t count = 0;
    for (uint32_t group = 0; group < typeCount && cursor.Has(kMapGroupSize); ++group) {
        cursor.Skip(4);
        const uint32_t entryCount = cursor.U32LE();
        for (uint32_t entry = 0; entry < entryCount; ++entry) {
            if (!cursor.Has(kMapEntryFixedSize)) {
                return count;
            }
            cursor.Skip(kMapEntryFixedSize);
            const auto* name = payload + cursor.Position();
            const void* nul = std::memchr(name, 0, cursor.Remaining());
            if (nul == nullptr) {
                return count;
            }
            cursor.Skip(static_cast<size_t>(static_cast<const uint8_t*>(nul) - name) + 1);
            if ((cursor.Position() & 1) != 0 && cursor.Remaining() != 0) {
                cursor.Skip(1);
            }
            ++count;
        }
    }
    return count;
}

// Sorts values that mostly come as a few ascending runs, as a map's entries do in offset order
// (each type's group in file order): merging the runs costs n log(runs) rather than a sort.
void SortRuns(std::vector<uint64_t>& values) {
    constexpr size_t kMaxRuns = 64;
    std::vector<size_t> bounds = {0};
    for (size_t i = 1; i < values.size(); ++i) {
        if (values[i] < values[i - 1]) {
            if (bounds.size() == kMaxRuns) {
                std::sort(values.begin(), values.end());
                return;
            }
            bounds.push_back(i);
        }
    }
    bounds.push_back(values.size());
    while (bounds.size() > 2) {
        std::vector<size_t> merged = {0};
        size_t k = 0;
        for (; k + 2 < bounds.size(); k += 2) {
            const auto at = [&](size_t bound) {
                return values.begin() + static_cast<std::ptrdiff_t>(bounds[bound]);
            };
            std::inplace_merge(at(k), at(k + 1), at(k + 2));
            merged.push_back(bounds[k + 2]);
        }
        if (k + 1 < bounds.size()) {
            merged.push_back(bounds.back());  // an odd run waits for the next round
        }
        bounds = std::move(merged);
    }
}

}  // namespace

CIffFile::CIffFile() : m_header(TemplateFileHeader()) {}

CIffFile::~CIffFile() {
    Reset();
    Close();
}

void CIffFile::SetErrorReporter(std::function<void(const CFileException&)> reporter) {
    m_reporter = std::move(reporter);
}

CChunkRecord* CIffFile::RecordOf(ChunkHandle handle) {
    return Store().Resolve(Store().GetTarget(handle));
}

// ---------------------------------------------------------------------------------------------
// Source

uint32_t CIffFile::Attach(CFile& file) {
    Close();
    try {
        std::unique_ptr<CFile> duplicate = file.Duplicate();
        const uint64_t length = file.GetLength();
        m_pSource = std::move(duplicate);
        m_nSourceLength = static_cast<uint32_t>(std::min<uint64_t>(length, kMaxOffset));
    } catch (const CFileException& error) {
        if (m_reporter) {
            m_reporter(error);
        }
        return 0;
    }
    return m_nSourceLength;
}

void CIffFile::Close() {
    std::unique_ptr<CFile> source = std::move(m_pSource);
    m_nSourceLength = 0;
    m_bSnapshotReadable = false;
    if (m_chunks.empty()) {
        FreeSnapshot();
    }
    if (source) {
        try {
            source->Close();
        } catch (const CFileException&) {
            // The descriptor is gone either way; nothing was pending on it.
        }
    }
}

void CIffFile::Reset() {
    CChunkStore& store = Store();
    for (const ChunkHandle handle : m_chunks) {
        static_cast<void>(store.DestroyEntry(store.GetTarget(handle)));
    }
    m_chunks.clear();
    m_types.clear();
    m_index.Clear();
    m_bIndexDirty = false;
    m_bKeysMayRepeat = false;
    m_maxIdOfType.clear();
    m_bKeysTracked = true;
    m_header = TemplateFileHeader();
    // No record points into the snapshot any more; while a source is attached it still serves
    // header reads by offset.
    if (!m_pSource) {
        FreeSnapshot();
    }
}

void CIffFile::FreeSnapshot() {
    m_pSnapshot.reset();
    m_nSnapshotSize = 0;
    m_bSnapshotReadable = false;
}

void SnapshotRelease::operator()(uint8_t* bytes) const {
    if (mappedBytes != 0) {
        ::munmap(mappedBase, mappedBytes);
    } else {
        delete[] bytes;
    }
}

std::unique_ptr<uint8_t[], SnapshotRelease> CIffFile::AllocateSnapshot(uint64_t length) {
    // A large snapshot goes into huge pages where the system offers them: filling 4 KiB pages
    // one fault at a time would cost about as much as reading the file.
    constexpr uint64_t kHugePage = 2 * 1024 * 1024;
    if (length >= 2 * kHugePage) {
        const auto mapped = static_cast<size_t>(length + kHugePage);
        void* base =
            ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base != MAP_FAILED) {
            const auto address = reinterpret_cast<uintptr_t>(base);
            auto* aligned =
                reinterpret_cast<uint8_t*>((address + kHugePage - 1) & ~(kHugePage - 1));
            static_cast<void>(::madvise(aligned, static_cast<size_t>(length), MADV_HUGEPAGE));
            return std::unique_ptr<uint8_t[], SnapshotRelease>(aligned,
                                                               SnapshotRelease{mapped, base});
        }
        // Fall through to the heap, which may still find the memory.
    }
    // Not value-initialised: every byte kept is overwritten by the read.
    return std::unique_ptr<uint8_t[], SnapshotRelease>(new (std::nothrow)
                                                           uint8_t[std::max<uint64_t>(length, 1)]);
}

bool CIffFile::TakeSnapshot(uint64_t length) {
    FreeSnapshot();
    std::unique_ptr<uint8_t[], SnapshotRelease> bytes = AllocateSnapshot(length);
    if (!bytes) {
        return false;
    }
    m_pSource->Seek(0, CFile::begin);
    // Large reads until the end; a file that shrank since its length was taken gives fewer
    // bytes, one that grew is read as it was at that length.
    uint64_t done = 0;
    while (done < length) {
        const size_t n = m_pSource->Read(bytes.get() + done, static_cast<size_t>(length - done));
        if (n == 0) {
            break;
        }
        done += n;
    }
    m_pSnapshot = std::move(bytes);
    m_nSnapshotSize = static_cast<uint32_t>(done);
    m_bSnapshotReadable = true;
    return true;
}

uint8_t* CIffFile::SnapshotAt(uint64_t offset, uint64_t count) const {
    if (!m_bSnapshotReadable || !m_pSource || offset > m_nSnapshotSize ||
        count > m_nSnapshotSize - offset) {
        return nullptr;
    }
    return m_pSnapshot.get() + offset;
}

// ---------------------------------------------------------------------------------------------
// Opening

int CIffFile::CheckHeader(const uint8_t* bytes, size_t size, uint64_t fileLength) {
    if (fileLength > kMaxOffset || bytes == nullptr || size < kFileHeaderSize) {
        return errNotIff;
    }
    if (std::memcmp(bytes + kSignatureOffset, "IFF FILE", kSignatureLength) != 0) {
        return errNotIff;
    }
    const uint8_t* version = bytes + kVersionOffset;
    if (std::memcmp(version, "2.0", kVersionLength) != 0 &&
        std::memcmp(version, "2.5", kVersionLength) != 0) {
        return errVersion;
    }
    return 0;
}

bool CIffFile::Open(int* error, bool readMapHeaders) {
    Reset();
    const auto fail = [error](int code) {
        if (error) {
            *error = code;
        }
        return false;
    };
    if (!m_pSource) {
        return fail(errNoSource);
    }
    // Stream errors here reach the caller, who tells the user why the file cannot be read.
    const uint64_t length = m_pSource->GetLength();
    if (length > kMaxOffset) {
        // No offset of the container could address the rest; reading it would only cost memory.
        FreeSnapshot();
        return fail(errNotIff);
    }
    if (!TakeSnapshot(length)) {
        return fail(errNoMemory);
    }
    m_nSourceLength = m_nSnapshotSize;
    const uint8_t* header = SnapshotAt(0, kFileHeaderSize);
    if (const int code = CheckHeader(header, header != nullptr ? kFileHeaderSize : 0, length);
        code != 0) {
        if (header != nullptr) {
            std::memcpy(m_header.data(), header, kFileHeaderSize);
        }
        return fail(code);
    }
    std::memcpy(m_header.data(), header, kFileHeaderSize);
    if (GetVersion() == 25) {
        ReadResourceMap(readMapHeaders);
    }
    ScanChunks();
    // Headers read while the map was parsed changed records not yet listed.
    m_bKeysMayRepeat = false;
    RebuildTypeList();
    return true;
}

void CIffFile::ReadResourceMap(bool readMapHeaders) {
    const uint32_t mapOffset = ReadU32BE(m_header.data() + kMapOffsetField);
    if (mapOffset == 0) {
        return;
    }
    ChunkHeader header;
    if (!ReadChunkHeader(header, mapOffset) || header.size < kChunkHeaderSize) {
        return;
    }
    CChunkStore& store = Store();
    // The header was read below the 32-bit source length, so the payload offset cannot wrap.
    const ChunkHandle mapHandle = store.RegisterChunk(header, mapOffset + kChunkHeaderSize);
    if (mapHandle == 0) {
        return;
    }
    if (LoadPayload(mapHandle)) {
        if (const CChunkRecord* map = RecordOf(mapHandle)) {
            ParseResourceMap(map->data, map->size, readMapHeaders);
        }
    }
    // The map chunk served only for reading; the scan registers it again as a chunk.
    static_cast<void>(store.Release(mapHandle));
}

void CIffFile::ParseResourceMap(const uint8_t* payload, uint32_t size, bool readMapHeaders) {
    CByteCursor cursor(payload, size);
    std::array<uint8_t, 4> magic{};
    cursor.Seek(kMapMagicOffset);
    cursor.Bytes(magic.data(), magic.size());
    if (!cursor.Ok() || magic != kMapMagic) {
        return;
    }
    // Sized once: a file of 100,000 chunks would otherwise rehash the index many times.
    const size_t entries = CountMapEntries(payload, size);
    m_chunks.reserve(entries + 1);
    cursor.Seek(kMapTypeCountOffset);
    const uint32_t typeCount = cursor.U32LE();
    CChunkStore& store = Store();
    // The parse stops at the first group or entry that does not fit in the payload completely;
    // the entries before it stay registered.
    for (uint32_t group = 0; group < typeCount && cursor.Has(kMapGroupSize); ++group) {
        const ChunkType type = cursor.U32LE();
        const uint32_t entryCount = cursor.U32LE();
        for (uint32_t entry = 0; entry < entryCount; ++entry) {
            if (!cursor.Has(kMapEntryFixedSize)) {
                return;
            }
            const uint32_t offset = cursor.U32LE();
            const uint16_t id = cursor.U16LE();
            const uint16_t flags = cursor.U16LE();
            const std::string name = cursor.CString();
            if (!cursor.Ok()) {
                return;
            }
            // A pad byte that would lie past the end of the payload is simply absent.
            if ((cursor.Position() & 1) != 0 && cursor.Remaining() != 0) {
                cursor.Skip(1);
            }
            const ChunkHandle handle = store.RegisterMapEntry(type, id, flags, name, 0);
            CChunkRecord* record = RecordOf(handle);
            if (record == nullptr) {
                continue;
            }
            // An offset near 2^32 wraps here and back again when the header is read at
            // offset - 76; the read then fails on the source length.
            record->offset = offset + kChunkHeaderSize;
            if (!readMapHeaders) {
                static_cast<void>(AddChunk(handle));
                continue;
            }
            ChunkHeader header;
            if (ReadChunkHeader(header, offset) && header.size >= kChunkHeaderSize) {
                TakeHeader(*record, header);
                static_cast<void>(AddChunk(handle));
            } else {
                static_cast<void>(store.Release(handle));
            }
        }
    }
}

std::vector<uint64_t> CIffFile::UnreadEntriesByOffset() const {
    std::vector<uint64_t> entries;
    entries.reserve(m_chunks.size());
    for (size_t index = 0; index < m_chunks.size(); ++index) {
        const CChunkRecord* record = RecordOf(m_chunks[index]);
        if (record != nullptr && !record->headerRead) {
            entries.push_back(uint64_t{record->offset} << 32 | index);
        }
    }
    SortRuns(entries);
    return entries;
}

void CIffFile::ScanChunks() {
    CChunkStore& store = Store();
    // While the chunk list's keys are distinct, the map's entry for a scanned chunk can only be
    // the one at its offset: the map's entries, in offset order, are paired with the chunks as
    // the scan meets them, and no look-up by key is needed.
    const bool pairByOffset = !m_bKeysMayRepeat;
    const std::vector<uint64_t> byOffset =
        pairByOffset ? UnreadEntriesByOffset() : std::vector<uint64_t>();
    size_t nextEntry = 0;
    uint64_t offset = kFileHeaderSize;
    while (offset < m_nSourceLength) {
        ChunkHeader header;
        if (!ReadChunkHeader(header, static_cast<uint32_t>(offset))) {
            break;
        }
        if (header.size < kChunkHeaderSize || header.size > kMaxChunkSize) {
            break;
        }
        // 64-bit, so a large size near the end of a 4 GiB file cannot wrap back to the start.
        const uint64_t next = offset + header.size;
        if ((header.flags & kFlagSkipScan) == 0) {
            const auto payloadOffset = static_cast<uint32_t>(offset + kChunkHeaderSize);
            // The map's entry for this very chunk takes the header in place: the same result as
            // registering it anew and letting it displace the entry, at half the cost.
            CChunkRecord* listed = nullptr;
            if (pairByOffset) {
                while (nextEntry < byOffset.size() && (byOffset[nextEntry] >> 32) < payloadOffset) {
                    ++nextEntry;
                }
                for (size_t k = nextEntry;
                     k < byOffset.size() && (byOffset[k] >> 32) == payloadOffset; ++k) {
                    CChunkRecord* entry = RecordOf(m_chunks[static_cast<uint32_t>(byOffset[k])]);
                    if (entry != nullptr && entry->type == header.type && entry->id == header.id) {
                        listed = entry;
                        break;
                    }
                }
            } else if (const POSITION pos = FindFirstEntry(header.type, header.id); pos != 0) {
                listed = RecordOf(m_chunks[pos - 1]);
            }
            if (listed != nullptr && !listed->headerRead && !listed->loaded &&
                listed->offset == payloadOffset) {
                TakeHeader(*listed, header);
            } else {
                const ChunkHandle handle = store.RegisterChunk(header, payloadOffset);
                if (handle != 0) {
                    static_cast<void>(AddChunk(handle));
                }
            }
        }
        offset = next;
    }
}

// ---------------------------------------------------------------------------------------------
// The chunk list and its index

bool CIffFile::AddChunk(ChunkHandle handle) {
    const CChunkRecord* record = RecordOf(handle);
    if (record == nullptr) {
        return false;
    }
    if (m_bKeysTracked) {
        if (TrackNewKey(record->type, record->id)) {
            // The index is built on the first look-up, if one comes.
            m_chunks.push_back(handle);
            m_bIndexDirty = true;
            return true;
        }
        m_bKeysTracked = false;
    }
    if (m_bIndexDirty) {
        RebuildIndex();
    }
    // The common case, a key not listed yet, costs one probe of the index.
    m_chunks.push_back(handle);
    if (m_index.TryInsert(IndexKey(record->type, record->id), m_chunks.size() - 1)) {
        return true;
    }
    m_chunks.pop_back();
    const POSITION pos = FindFirstEntry(record->type, record->id);
    if (pos != 0) {
        const ChunkHandle old = m_chunks[pos - 1];
        m_chunks[pos - 1] = handle;
        if (old != handle) {
            static_cast<void>(Store().Release(old));
        }
        return true;
    }
    m_chunks.push_back(handle);
    m_index.InsertIfAbsent(IndexKey(record->type, record->id), m_chunks.size() - 1);
    return true;
}

POSITION CIffFile::FindFirstEntry(ChunkType type, uint16_t id) {
    if (m_bIndexDirty) {
        RebuildIndex();
    }
    const uint64_t key = IndexKey(type, id);
    const size_t found = m_index.Find(key);
    if (found == CChunkIndex::npos) {
        return 0;
    }
    const auto matches = [&](size_t index) {
        const CChunkRecord* record = RecordOf(m_chunks[index]);
        return record != nullptr && record->type == type && record->id == id;
    };
    if (found < m_chunks.size() && matches(found)) {
        return found + 1;
    }
    // The indexed entry was released from outside; no entry before it had this type and id.
    for (size_t index = found + 1; index < m_chunks.size(); ++index) {
        if (matches(index)) {
            m_index.Assign(key, index);
            return index + 1;
        }
    }
    m_index.Erase(key);
    return 0;
}

bool CIffFile::TrackNewKey(ChunkType type, uint16_t id) {
    // Beyond a few dozen types the search here would cost more than the index.
    constexpr size_t kMaxTrackedTypes = 64;
    if (m_maxIdOfType.empty() || m_maxIdOfType[m_nLastTracked].first != type) {
        const auto it = std::find_if(m_maxIdOfType.begin(), m_maxIdOfType.end(),
                                     [type](const auto& entry) { return entry.first == type; });
        if (it == m_maxIdOfType.end()) {
            if (m_maxIdOfType.size() == kMaxTrackedTypes) {
                return false;
            }
            m_nLastTracked = m_maxIdOfType.size();
            m_maxIdOfType.emplace_back(type, id);
            return true;
        }
        m_nLastTracked = static_cast<size_t>(it - m_maxIdOfType.begin());
    }
    uint16_t& maxId = m_maxIdOfType[m_nLastTracked].second;
    if (id <= maxId) {
        return false;
    }
    maxId = id;
    return true;
}

void CIffFile::RebuildIndex() {
    // From here on the index is kept up to date: building it again on every look-up that
    // follows an addition would cost more than the tracking saves.
    m_bKeysTracked = false;
    m_index.Clear();
    m_index.Reserve(m_chunks.size() + 1);
    for (size_t index = 0; index < m_chunks.size(); ++index) {
        if (const CChunkRecord* record = RecordOf(m_chunks[index])) {
            m_index.InsertIfAbsent(IndexKey(record->type, record->id), index);
        }
    }
    m_bIndexDirty = false;
}

void CIffFile::TakeHeader(CChunkRecord& record, const ChunkHeader& header) {
    if (record.type != header.type || record.id != header.id) {
        // Rare (a map that disagrees with the file): rebuilt on the next look-up.
        m_bIndexDirty = true;
        m_bKeysMayRepeat = true;
        m_bKeysTracked = false;
    }
    const uint32_t size = header.size - kChunkHeaderSize;
    if (record.size != size && record.data != nullptr) {
        // A buffer filled before the size was known must not pass for the payload.
        record.FreeBuffer();
    }
    record.type = header.type;
    record.id = header.id;
    record.flags = header.flags;
    // Usually the map gave the same name; comparing in place spares a string per chunk.
    const auto nameEnd = std::find(header.name.begin(), header.name.end(), '\0');
    const auto nameLength = static_cast<size_t>(nameEnd - header.name.begin());
    if (record.name.size() != nameLength ||
        !std::equal(header.name.begin(), nameEnd, record.name.begin())) {
        record.name.assign(header.name.begin(), nameEnd);
    }
    record.size = size;
    record.headerRead = true;
}

bool CIffFile::ReadRecordHeader(CChunkRecord& record) {
    ChunkHeader header;
    // record.offset - 76 wraps for offsets below 76, which no readable header has.
    if (!ReadChunkHeader(header, record.offset - kChunkHeaderSize) ||
        header.size < kChunkHeaderSize) {
        return false;
    }
    TakeHeader(record, header);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Look-ups

POSITION CIffFile::FindFirstOfType(ChunkType type) const {
    for (size_t index = 0; index < m_chunks.size(); ++index) {
        const CChunkRecord* record = RecordOf(m_chunks[index]);
        if (record != nullptr && record->type == type) {
            return index + 1;
        }
    }
    return 0;
}

ChunkHandle CIffFile::GetNextOfType(POSITION& pos) const {
    if (pos == 0 || pos > m_chunks.size()) {
        pos = 0;
        return 0;
    }
    const ChunkHandle handle = m_chunks[pos - 1];
    const CChunkRecord* record = RecordOf(handle);
    const size_t from = pos;
    pos = 0;
    if (record == nullptr) {
        return handle;
    }
    const ChunkType type = record->type;
    for (size_t index = from; index < m_chunks.size(); ++index) {
        const CChunkRecord* next = RecordOf(m_chunks[index]);
        if (next != nullptr && next->type == type) {
            pos = index + 1;
            break;
        }
    }
    return handle;
}

POSITION CIffFile::GetFirstTypePosition() const {
    return m_types.empty() ? 0 : 1;
}

ChunkType CIffFile::GetNextType(POSITION& pos) const {
    if (pos == 0 || pos > m_types.size()) {
        pos = 0;
        return 0;
    }
    const ChunkType type = m_types[pos - 1];
    pos = pos < m_types.size() ? pos + 1 : 0;
    return type;
}

uint32_t CIffFile::CountOfType(ChunkType type, bool loadedOnly) const {
    uint32_t count = 0;
    for (const ChunkHandle handle : m_chunks) {
        const CChunkRecord* record = RecordOf(handle);
        if (record != nullptr && record->type == type && (!loadedOnly || record->loaded)) {
            ++count;
        }
    }
    return count;
}

bool CIffFile::FindChunk(ChunkHandle& handle, ChunkType type, uint16_t id) {
    // Each pass either answers or reads one unread header, so the loop ends.
    for (;;) {
        const POSITION pos = FindFirstEntry(type, id);
        if (pos == 0) {
            return false;
        }
        const ChunkHandle found = m_chunks[pos - 1];
        CChunkRecord* record = RecordOf(found);
        if (!record->headerRead) {
            // A header that cannot be read ends the search: later entries are not tried.
            if (!ReadRecordHeader(*record)) {
                return false;
            }
            if (record->type != type || record->id != id) {
                continue;
            }
        }
        handle = found;
        return true;
    }
}

int CIffFile::GetVersion() const {
    return static_cast<int8_t>(m_header[9]) * 10 + static_cast<int8_t>(m_header[11]) - 528;
}

void CIffFile::RebuildTypeList() {
    m_types.clear();
    // Files hold a few dozen types at most; the set only guards against pathological ones.
    constexpr size_t kLinearTypes = 32;
    std::unordered_set<ChunkType> seen;
    for (const ChunkHandle handle : m_chunks) {
        const CChunkRecord* record = RecordOf(handle);
        if (record == nullptr) {
            continue;
        }
        const ChunkType type = record->type;
        if (m_types.size() < kLinearTypes) {
            if (std::find(m_types.begin(), m_types.end(), type) == m_types.end()) {
                m_types.push_back(type);
            }
            continue;
        }
        if (seen.empty()) {
            seen.insert(m_types.begin(), m_types.end());
        }
        if (seen.insert(type).second) {
            m_types.push_back(type);
        }
    }
}

void CIffFile::UpdateTypeList(ChunkType type) {
    const auto it = std::find(m_types.begin(), m_types.end(), type);
    if (FindFirstOfType(type) != 0) {
        if (it == m_types.end()) {
            m_types.push_back(type);
        }
    } else if (it != m_types.end()) {
        m_types.erase(it);
    }
}

// ---------------------------------------------------------------------------------------------
// Reading

bool CIffFile::ReadChunkHeader(ChunkHeader& header, uint32_t offset) {
    const uint8_t* raw = SnapshotAt(offset, kChunkHeaderSize);
    if (raw == nullptr) {
        return false;
    }
    header = DecodeChunkHeader(raw);
    return true;
}

bool CIffFile::LoadPayload(ChunkHandle handle) {
    CChunkRecord* record = RecordOf(handle);
    return record != nullptr && LoadRecord(*record);
}

bool CIffFile::LoadRecord(CChunkRecord& record) {
    if (record.loaded) {
        return true;
    }
    // Refused before anything changes: a damaged size must not cost memory.
    uint8_t* bytes = SnapshotAt(record.offset, record.size);
    if (bytes == nullptr) {
        return false;
    }
    if (record.size == 0) {
        if (!record.AllocateBuffer()) {
            return false;
        }
    } else {
        record.BorrowBuffer(bytes);
    }
    record.loaded = true;
    return true;
}

bool CIffFile::EnsureLoaded(ChunkHandle handle) {
    CChunkRecord* record = RecordOf(handle);
    if (record == nullptr) {
        return false;
    }
    if (!record->headerRead && !ReadRecordHeader(*record)) {
        return false;
    }
    return LoadRecord(*record);
}

bool CIffFile::LoadAll() {
    for (const ChunkHandle handle : m_chunks) {
        const CChunkRecord* record = RecordOf(handle);
        // Old maps are never written, so they need not load: real files end with a map chunk
        // that claims one byte more than the file holds.
        if (record != nullptr && record->type == kTypeResourceMap) {
            continue;
        }
        if (!EnsureLoaded(handle)) {
            return false;
        }
    }
    return true;
}

std::vector<UnreadableChunk> CIffFile::FindUnreadable() {
    std::vector<UnreadableChunk> unreadable;
    for (const ChunkHandle handle : m_chunks) {
        const CChunkRecord* record = RecordOf(handle);
        if (record != nullptr && record->type == kTypeResourceMap) {
            continue;
        }
        if (EnsureLoaded(handle)) {
            continue;
        }
        UnreadableChunk chunk;
        if (record == nullptr) {
            chunk.resolves = false;
        } else {
            chunk.type = record->type;
            chunk.id = record->id;
            chunk.name = record->name;
            chunk.headerOffset = record->offset - kChunkHeaderSize;
            chunk.headerRead = record->headerRead;
            if (record->headerRead) {
                chunk.claimedSize = static_cast<uint32_t>(
                    std::min<uint64_t>(uint64_t{record->size} + kChunkHeaderSize, kMaxOffset));
            }
        }
        unreadable.push_back(std::move(chunk));
    }
    return unreadable;
}

std::vector<UnreadableChunk> CIffFile::DropUnreadable() {
    std::vector<UnreadableChunk> dropped = FindUnreadable();
    if (dropped.empty()) {
        return dropped;
    }
    std::vector<ChunkHandle> kept;
    kept.reserve(m_chunks.size());
    CChunkStore& store = Store();
    for (const ChunkHandle handle : m_chunks) {
        const CChunkRecord* record = RecordOf(handle);
        // FindUnreadable has tried every one, so what is not loaded now cannot be.
        if (record != nullptr && (record->type == kTypeResourceMap || record->loaded)) {
            kept.push_back(handle);
        } else {
            static_cast<void>(store.DestroyEntry(store.GetTarget(handle)));
        }
    }
    m_chunks = std::move(kept);
    m_bIndexDirty = true;
    RebuildTypeList();
    return dropped;
}

bool CIffFile::CopyPayload(ChunkHandle handle, void* dest) {
    if (!EnsureLoaded(handle)) {
        return false;
    }
    const CChunkRecord* record = RecordOf(handle);
    if (record->size != 0) {
        std::memcpy(dest, record->data, record->size);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Writing

bool CIffFile::ReplaceChunkData(ChunkType type, uint16_t id, CFile& stream) {
    ChunkHandle handle = 0;
    if (!FindChunk(handle, type, id)) {
        return false;
    }
    CChunkRecord* record = RecordOf(handle);
    const uint64_t length = stream.GetLength();
    // The chunk header's size field must still hold payload + 76.
    if (length > kMaxOffset - kChunkHeaderSize) {
        return false;
    }
    // The new bytes are complete before the old payload goes, so a failed allocation or read
    // leaves the chunk as it was.
    CChunkRecord fresh;
    fresh.size = static_cast<uint32_t>(length);
    if (!fresh.AllocateBuffer()) {
        return false;
    }
    stream.Seek(0, CFile::begin);
    size_t done = 0;
    while (done < fresh.size) {
        const size_t n = stream.Read(fresh.data + done, fresh.size - done);
        if (n == 0) {
            break;
        }
        done += n;
    }
    record->AdoptBuffer(fresh);
    record->headerRead = true;
    record->loaded = true;
    UpdateTypeList(type);
    return true;
}

bool CIffFile::Save(CFile* file) {
    m_pWriteError.reset();
    m_header = SavedFileHeader();
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
    // The header's offset goes in last: a save that stops earlier leaves "996" and a NUL there,
    // which no reader takes for a map.
    uint8_t offsetField[4];
    PutU32BE(offsetField, static_cast<uint32_t>(mapOffset));
    file.Seek(kMapOffsetField, CFile::begin);
    file.Write(offsetField, sizeof(offsetField));
    file.SeekToEnd();
    return true;
}
