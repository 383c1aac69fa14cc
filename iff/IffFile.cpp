#include "iff/IffFile.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <utility>

#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "iff/ChunkStore.h"
#include "iff/Format.h"
#include "iff/ResourceMap.h"

namespace {

constexpr uint32_t kMaxOffset = std::numeric_limits<uint32_t>::max();

CChunkStore& Store() {
    return CChunkStore::Instance();
}

}  // namespace

CIffFile::CIffFile() : m_header(MakeFileHeader(0)) {}

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
    m_header = MakeFileHeader(0);
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
    CResourceMapWalk walk(payload, size);
    if (!walk.IsMap()) {
        return;
    }
    // Sized once: a file of 100,000 chunks would otherwise rehash the index many times.
    MapEntry entry;
    size_t entries = 0;
    for (CResourceMapWalk counter(payload, size); counter.Next(entry);) {
        ++entries;
    }
    m_chunks.reserve(entries + 1);
    m_index.Reserve(entries + 1);
    CChunkStore& store = Store();
    // The entries before the first one that does not fit stay registered.
    while (walk.Next(entry)) {
        const ChunkHandle handle =
            store.RegisterMapEntry(entry.type, entry.id, entry.flags, std::string(entry.name), 0);
        CChunkRecord* record = RecordOf(handle);
        if (record == nullptr) {
            continue;
        }
        // An offset near 2^32 wraps here and back again when the header is read at
        // offset - 76; the read then fails on the source length.
        record->offset = entry.offset + kChunkHeaderSize;
        if (!readMapHeaders) {
            static_cast<void>(AddChunk(handle));
            continue;
        }
        ChunkHeader header;
        if (ReadChunkHeader(header, entry.offset) && header.size >= kChunkHeaderSize) {
            TakeHeader(*record, header);
            static_cast<void>(AddChunk(handle));
        } else {
            static_cast<void>(store.Release(handle));
        }
    }
}

void CIffFile::ScanChunks() {
    CChunkStore& store = Store();
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
            const POSITION pos = FindFirstEntry(header.type, header.id);
            CChunkRecord* listed = pos != 0 ? RecordOf(m_chunks[pos - 1]) : nullptr;
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

void CIffFile::RebuildIndex() {
    m_index.Clear();
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
