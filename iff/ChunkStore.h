#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "iff/ChunkTypes.h"

// A registered chunk: its header fields, its payload once loaded, and where the payload lies in
// the source file.
class CChunkRecord {
public:
    CChunkRecord();
    ~CChunkRecord();
    CChunkRecord(const CChunkRecord&) = delete;
    CChunkRecord& operator=(const CChunkRecord&) = delete;

    // Frees the old buffer, then gives data a zero-filled buffer of size bytes (the inline buffer
    // when size is 0). Returns false when no memory could be had.
    [[nodiscard]] bool AllocateBuffer();
    // Frees the buffer; data becomes null and loaded false; capacity keeps its value.
    void FreeBuffer();
    [[nodiscard]] bool IsBufferReady() const;
    // Frees the own buffer and takes over from's buffer and size; from keeps no buffer. Lets a
    // payload be replaced only once the new bytes are complete.
    void AdoptBuffer(CChunkRecord& from);
    // Frees the own buffer and lets data point at size bytes that something else owns and
    // outlives the record (capacity 0, so nothing here frees them): a payload that is a slice of
    // its file's snapshot.
    void BorrowBuffer(uint8_t* bytes);
    [[nodiscard]] bool IsHeaderRead() const { return headerRead; }
    [[nodiscard]] bool IsLoaded() const { return loaded; }

    uint8_t* data = nullptr;
    uint32_t capacity = 0;
    ChunkType type = 0;
    uint32_t size = 0;  // payload length, the chunk header not counted
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string name;
    uint32_t offset = 0;  // file offset of the payload in the source: header offset + 76
    bool loaded = false;
    bool headerRead = false;
    uint8_t inlineBuffer[4] = {};
};

// The process-wide registry of chunk records. Handles are numbers of referring slots; slot 0 is
// never used and numbers are never reused during a run.
class CChunkStore {
public:
    CChunkStore();
    ~CChunkStore();
    CChunkStore(const CChunkStore&) = delete;
    CChunkStore& operator=(const CChunkStore&) = delete;

    // The one instance of the program.
    static CChunkStore& Instance();

    // New record with these fields, header not read, not loaded, offset 0. 0 on failure.
    [[nodiscard]] ChunkHandle RegisterMapEntry(ChunkType type, uint16_t id, uint16_t flags,
                                               const std::string& name, uint32_t size);
    // New record from a decoded chunk header; size = header size - 76. 0 on failure.
    [[nodiscard]] ChunkHandle RegisterChunk(const ChunkHeader& header, uint32_t payloadOffset);

    // Both inline: every look-up in a chunk list goes through them.
    [[nodiscard]] uint32_t GetTarget(ChunkHandle handle) const {
        return handle == 0 || handle >= m_nCount ? 0 : SlotAt(handle).target;
    }
    // The record the handle leads to, or null.
    [[nodiscard]] CChunkRecord* Resolve(ChunkHandle handle) const {
        if (handle == 0 || handle >= m_nCount) {
            return nullptr;
        }
        const Slot& slot = SlotAt(handle);
        return slot.target == 0 ? slot.record : ResolveChain(slot.target);
    }
    [[nodiscard]] bool IsValid(ChunkHandle handle) const { return Resolve(handle) != nullptr; }
    // Drops one reference; destroys the record with its last one. False when refused.
    bool Release(ChunkHandle handle);
    // Destroys an owning slot's record at once. False when refused.
    bool DestroyEntry(uint32_t slot);
    // The header to write for the chunk: name cut to 63 characters; all zero when unresolvable.
    [[nodiscard]] ChunkHeader GetHeader(ChunkHandle handle) const;
    // GetHeader for a record already resolved.
    [[nodiscard]] static ChunkHeader HeaderOf(const CChunkRecord& record);

    [[nodiscard]] uint32_t GetCapacity() const { return m_nCapacity; }
    [[nodiscard]] uint32_t GetCount() const { return m_nCount; }

private:
    // The pointer first: 16 bytes a slot instead of 24, and an open touches two slots a chunk.
    struct Slot {
        CChunkRecord* record;
        uint32_t target;
        int32_t refCount;
    };

    // Slots live in zero-filled blocks of kSlotsPerBlock, so growing never copies the slots
    // already handed out: a table that grew by copying would make indexing a large file
    // quadratic. Capacities still run 64, 128, 192 and so on.
    static constexpr uint32_t kSlotsPerBlock = 64;

    // Records come from blocks of kRecordsPerBlock kept for the whole run: indexing a file
    // creates one per chunk, and a heap allocation each (and a free each on the next open)
    // would cost more than reading the file.
    static constexpr size_t kRecordsPerBlock = 256;

    // Resolve's walk from a referring slot's target on.
    [[nodiscard]] CChunkRecord* ResolveChain(uint32_t target) const;
    [[nodiscard]] bool Grow();
    [[nodiscard]] ChunkHandle AddRecord(CChunkRecord* record);
    // A new record, or null when no memory could be had.
    [[nodiscard]] CChunkRecord* NewRecord();
    void DeleteRecord(CChunkRecord* record);
    [[nodiscard]] Slot& SlotAt(uint32_t number) const {
        return m_blocks[number / kSlotsPerBlock][number % kSlotsPerBlock];
    }

    uint32_t m_nCapacity = 0;
    uint32_t m_nCount = 0;
    std::vector<Slot*> m_blocks;
    std::vector<void*> m_recordBlocks;
    std::vector<CChunkRecord*> m_freeRecords;  // room for every pooled record is reserved
};
