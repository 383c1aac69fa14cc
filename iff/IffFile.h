#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "iff/ChunkIndex.h"
#include "iff/ChunkTypes.h"

class CChunkRecord;
class CFile;
class CFileException;

// A listed chunk whose header or payload does not lie within the file as it was read.
struct UnreadableChunk {
    ChunkType type = 0;
    uint16_t id = 0;
    std::string name;
    uint32_t headerOffset = 0;  // where its header lies (or was said to lie) in the file
    uint32_t claimedSize = 0;   // the whole chunk as its header claims; 0 when unread
    bool headerRead = false;    // false: the header itself lies outside the file
    bool resolves = true;       // false: the handle names no record any more
};

// Frees the snapshot of a CIffFile: mapped memory when a large one was mapped, else the array.
struct SnapshotRelease {
    size_t mappedBytes = 0;
    void* mappedBase = nullptr;
    void operator()(uint8_t* bytes) const;
};

// The in-memory form of one IFF file: checks and indexes a file given as an open stream,
// registers its chunks in the chunk store and writes the file back. Open reads the whole source
// once into a snapshot that the object owns; headers and payloads are read from it (a payload is
// a slice of it until replaced), never from the file again, so another program changing the file
// afterwards cannot reach a save. Operations return true on success and false on failure unless
// they say otherwise.
class CIffFile {
public:
    // Open's error codes. errNoMemory: the snapshot could not be allocated.
    enum OpenError { errNoMemory = 2, errNotIff = 3, errVersion = 4, errNoSource = 5 };

    CIffFile();
    virtual ~CIffFile();
    CIffFile(const CIffFile&) = delete;
    CIffFile& operator=(const CIffFile&) = delete;

    // Receives a stream error that Attach reports to the user (the core shows nothing itself).
    void SetErrorReporter(std::function<void(const CFileException&)> reporter);

    // Takes an own duplicate of file as the source; returns the file's length, at most
    // 0xFFFFFFFF (0 on failure, with the stream error passed to the reporter). Reads nothing.
    uint32_t Attach(CFile& file);
    // Closes and drops the source; from then on nothing more is read (the payloads already
    // loaded stay). Never throws: the source only serves reads, and a failure to close it loses
    // nothing.
    void Close();
    // Destroys the listed records; frees the snapshot when no source is attached.
    void Reset();
    // Reads the whole source into the snapshot, checks the header and indexes the chunks; on
    // failure writes 2, 3, 4 or 5 to *error when given. A source longer than 0xFFFFFFFF bytes,
    // which 32-bit offsets cannot address, is refused with 3 before anything is read. A stream
    // error while reading the source passes to the caller.
    [[nodiscard]] bool Open(int* error, bool readMapHeaders);
    // The verdict Open gives on a file's first size bytes (its header) and its length: 0, or
    // errNotIff or errVersion. Lets a caller refuse a file before giving up what it holds.
    [[nodiscard]] static int CheckHeader(const uint8_t* bytes, size_t size, uint64_t fileLength);

    [[nodiscard]] POSITION FindFirstOfType(ChunkType type) const;
    // The handle at pos; pos moves to the next chunk of the same type, or 0.
    ChunkHandle GetNextOfType(POSITION& pos) const;
    [[nodiscard]] POSITION GetFirstTypePosition() const;
    ChunkType GetNextType(POSITION& pos) const;
    [[nodiscard]] uint32_t CountOfType(ChunkType type, bool loadedOnly) const;
    [[nodiscard]] bool FindChunk(ChunkHandle& handle, ChunkType type, uint16_t id);
    [[nodiscard]] bool ReadChunkHeader(ChunkHeader& header, uint32_t offset);
    [[nodiscard]] bool LoadPayload(ChunkHandle handle);
    [[nodiscard]] bool EnsureLoaded(ChunkHandle handle);
    [[nodiscard]] bool LoadAll();
    // The listed chunks (old maps aside) that cannot be loaded, in chunk-list order: what makes
    // LoadAll fail.
    [[nodiscard]] std::vector<UnreadableChunk> FindUnreadable();
    // Removes the chunks FindUnreadable names from the chunk list and returns them; afterwards
    // LoadAll succeeds while a source is attached.
    std::vector<UnreadableChunk> DropUnreadable();
    // Copies the payload (EnsureLoaded first) into dest, which holds the record's size bytes.
    [[nodiscard]] bool CopyPayload(ChunkHandle handle, void* dest);
    [[nodiscard]] int GetVersion() const;
    bool AddChunk(ChunkHandle handle);
    void RebuildTypeList();

    // Writing. Save writes into file, or into the source when file is null; writing into the
    // source first loads every payload, and fails before truncating it when one cannot be read.
    // Stream errors while writing the header or the map pass to the caller.
    [[nodiscard]] bool Save(CFile* file);
    [[nodiscard]] bool WriteChunks(CFile& file);
    bool WriteResourceMap(CFile& file);
    [[nodiscard]] bool WriteChunkHeader(CFile& file, const ChunkHeader& header, uint32_t offset);
    // The chunk's payload becomes the stream's whole content. Stream errors pass to the caller.
    [[nodiscard]] bool ReplaceChunkData(ChunkType type, uint16_t id, CFile& stream);
    // The stream error that made the last Save fail while it wrote a chunk (WriteChunks turns it
    // into a false result), or null: lets the caller tell the user its real cause.
    [[nodiscard]] const CFileException* GetWriteError() const { return m_pWriteError.get(); }
    void UpdateTypeList(ChunkType type);

    [[nodiscard]] const std::vector<ChunkHandle>& GetChunkList() const { return m_chunks; }
    [[nodiscard]] const std::vector<ChunkType>& GetTypeList() const { return m_types; }
    [[nodiscard]] bool IsAttached() const { return m_pSource != nullptr; }
    // Bytes the snapshot holds: the source's length when Open read it.
    [[nodiscard]] uint32_t GetSnapshotSize() const { return m_nSnapshotSize; }
    [[nodiscard]] uint32_t GetSourceLength() const { return m_nSourceLength; }
    [[nodiscard]] const std::array<uint8_t, kFileHeaderSize>& GetHeaderBytes() const {
        return m_header;
    }

private:
    // The record of a handle, or null when it does not resolve.
    [[nodiscard]] static CChunkRecord* RecordOf(ChunkHandle handle);
    [[nodiscard]] static uint64_t IndexKey(ChunkType type, uint16_t id) {
        return (static_cast<uint64_t>(type) << 16) | id;
    }
    // The first chunk-list position whose record has this type and id, or 0.
    [[nodiscard]] POSITION FindFirstEntry(ChunkType type, uint16_t id);
    void RebuildIndex();
    // While keys are tracked: true when no listed chunk can have this type and id (the id is
    // above every id of its type listed so far), which it records. False when it cannot tell.
    [[nodiscard]] bool TrackNewKey(ChunkType type, uint16_t id);
    // (payload offset << 32 | chunk-list position) of each listed record whose header is not
    // read, ascending.
    [[nodiscard]] std::vector<uint64_t> UnreadEntriesByOffset() const;
    // Reads a record's header lazily (at its payload offset - 76) and takes its fields. A header
    // that claims less than its own 76 bytes counts as unreadable.
    [[nodiscard]] bool ReadRecordHeader(CChunkRecord& record);
    void TakeHeader(CChunkRecord& record, const ChunkHeader& header);
    // LoadPayload for a record already resolved.
    [[nodiscard]] bool LoadRecord(CChunkRecord& record);
    // The snapshot's bytes at offset, count of them, or null when they do not all lie in it or
    // it may not be read.
    [[nodiscard]] uint8_t* SnapshotAt(uint64_t offset, uint64_t count) const;
    // Memory for a snapshot of length bytes, or null.
    [[nodiscard]] static std::unique_ptr<uint8_t[], SnapshotRelease> AllocateSnapshot(
        uint64_t length);
    // Reads the source whole into a new snapshot; false when there is no memory for it.
    [[nodiscard]] bool TakeSnapshot(uint64_t length);
    void FreeSnapshot();
    void ReadResourceMap(bool readMapHeaders);
    void ParseResourceMap(const uint8_t* payload, uint32_t size, bool readMapHeaders);
    void ScanChunks();

    std::vector<ChunkType> m_types;
    std::vector<ChunkHandle> m_chunks;
    std::unique_ptr<CFile> m_pSource;
    uint32_t m_nSourceLength = 0;
    std::array<uint8_t, kFileHeaderSize> m_header{};
    std::function<void(const CFileException&)> m_reporter;
    std::unique_ptr<CFileException> m_pWriteError;
    // Index beside the chunk list: (type, id) -> position in m_chunks, so that AddChunk's search
    // for an earlier chunk with the same type and id is constant time. Implementation-private.
    // Holds the first resolving entry of every (type, id) while m_bIndexDirty is clear; an entry
    // released behind the index's back is noticed when it is looked up; a type or id changed
    // from outside, other than by a header read here, is not.
    CChunkIndex m_index;
    bool m_bIndexDirty = false;
    // Until the first look-up by key, AddChunk tells new keys without the index: ids usually
    // ascend within each type, and the highest id listed per type (few types) says that a key is
    // new. An open that is never asked for a key (a listing) never builds the index.
    bool m_bKeysTracked = true;
    std::vector<std::pair<ChunkType, uint16_t>> m_maxIdOfType;
    size_t m_nLastTracked = 0;
    // Set when a header read late gave a listed record another type or id. AddChunk keeps the
    // types and ids of the chunk list distinct, so until then a save need not look for repeats.
    bool m_bKeysMayRepeat = false;
    // The source's bytes as Open read them. Records point into it, so it lives as long as they
    // may: Close keeps it, Reset frees it once no source is attached, Open replaces it.
    std::unique_ptr<uint8_t[], SnapshotRelease> m_pSnapshot;
    uint32_t m_nSnapshotSize = 0;
    // Reads are served only while the snapshot is the attached source's content: not after
    // Close, a new Attach or a Save into the source, until the next Open.
    bool m_bSnapshotReadable = false;
};
