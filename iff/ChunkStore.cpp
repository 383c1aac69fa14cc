#include "iff/ChunkStore.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "iff/Format.h"

// ---------------------------------------------------------------------------------------------
// CChunkRecord

CChunkRecord::CChunkRecord() {
    // With size 0 this takes the inline buffer and cannot fail.
    static_cast<void>(AllocateBuffer());
}

CChunkRecord::~CChunkRecord() {
    FreeBuffer();
    capacity = 0;
    headerRead = false;
}

bool CChunkRecord::AllocateBuffer() {
    FreeBuffer();
    if (size == 0) {
        capacity = 0;
        data = inlineBuffer;
        std::memset(inlineBuffer, 0, sizeof(inlineBuffer));
        return true;
    }
    capacity = size;
    // calloc: large zero-filled buffers come as fresh pages that are never touched twice.
    data = static_cast<uint8_t*>(std::calloc(size, 1));
    return data != nullptr;
}

void CChunkRecord::FreeBuffer() {
    if (capacity != 0 && data != nullptr) {
        std::free(data);
    }
    data = nullptr;
    loaded = false;
}

bool CChunkRecord::IsBufferReady() const {
    return headerRead && data != nullptr && size == capacity;
}

void CChunkRecord::AdoptBuffer(CChunkRecord& from) {
    FreeBuffer();
    size = from.size;
    if (from.capacity != 0 && from.data != nullptr) {
        data = from.data;
        capacity = from.capacity;
        from.data = nullptr;
        from.capacity = 0;
        from.loaded = false;
    } else {
        capacity = 0;
        data = inlineBuffer;
        std::memset(inlineBuffer, 0, sizeof(inlineBuffer));
    }
}

void CChunkRecord::BorrowBuffer(uint8_t* bytes) {
    FreeBuffer();
    capacity = 0;
    data = bytes;
}

// ---------------------------------------------------------------------------------------------
// CChunkStore

CChunkStore::CChunkStore() {
    // Slot 0 is never handed out, so 0 can name no chunk.
    m_nCount = 1;
    static_cast<void>(Grow());
}

CChunkStore::~CChunkStore() {
    for (uint32_t n = 1; n < m_nCount; ++n) {
        Slot& slot = SlotAt(n);
        if (slot.record != nullptr) {
            DeleteRecord(slot.record);
        }
        slot = Slot{};
    }
    for (Slot* block : m_blocks) {
        std::free(block);
    }
    m_blocks.clear();
    m_nCapacity = 0;
    for (void* block : m_recordBlocks) {
        ::operator delete(block);
    }
}

CChunkRecord* CChunkStore::NewRecord() {
    if (m_freeRecords.empty()) {
        void* block = ::operator new(sizeof(CChunkRecord) * kRecordsPerBlock, std::nothrow);
        if (block == nullptr) {
            return nullptr;
        }
        try {
            m_recordBlocks.push_back(block);
            m_freeRecords.reserve(m_recordBlocks.size() * kRecordsPerBlock);
        } catch (const std::bad_alloc&) {
            if (!m_recordBlocks.empty() && m_recordBlocks.back() == block) {
                m_recordBlocks.pop_back();
            }
            ::operator delete(block);
            return nullptr;
        }
        // Handed out from the block's start, so records of one file lie side by side.
        auto* records = static_cast<CChunkRecord*>(block);
        for (size_t i = kRecordsPerBlock; i-- > 0;) {
            m_freeRecords.push_back(records + i);
        }
    }
    CChunkRecord* slot = m_freeRecords.back();
    m_freeRecords.pop_back();
    return new (slot) CChunkRecord;
}

void CChunkStore::DeleteRecord(CChunkRecord* record) {
    record->~CChunkRecord();
    // Cannot throw: capacity for every pooled record was reserved with its block.
    m_freeRecords.push_back(record);
}

CChunkStore& CChunkStore::Instance() {
    static CChunkStore store;
    return store;
}

bool CChunkStore::Grow() {
    if (m_nCapacity > std::numeric_limits<uint32_t>::max() - kSlotsPerBlock) {
        return false;
    }
    auto* block = static_cast<Slot*>(std::calloc(kSlotsPerBlock, sizeof(Slot)));
    if (block == nullptr) {
        return false;
    }
    try {
        m_blocks.push_back(block);
    } catch (const std::bad_alloc&) {
        std::free(block);
        return false;
    }
    m_nCapacity += kSlotsPerBlock;
    return true;
}

ChunkHandle CChunkStore::AddRecord(CChunkRecord* record) {
    // Both slots are made available first, so a failure leaves the table as it was.
    if (m_nCount > std::numeric_limits<uint32_t>::max() - 2) {
        return 0;
    }
    while (m_nCapacity < m_nCount + 2) {
        if (!Grow()) {
            return 0;
        }
    }
    const uint32_t owner = m_nCount++;
    SlotAt(owner) = Slot{record, 0, 0};
    const uint32_t handle = m_nCount++;
    SlotAt(handle) = Slot{nullptr, owner, 0};
    SlotAt(owner).refCount = 1;
    return handle;
}

ChunkHandle CChunkStore::RegisterMapEntry(ChunkType type, uint16_t id, uint16_t flags,
                                          const std::string& name, uint32_t size) {
    CChunkRecord* record = NewRecord();
    if (record == nullptr) {
        return 0;
    }
    try {
        record->name = name;
    } catch (const std::bad_alloc&) {
        DeleteRecord(record);
        return 0;
    }
    record->type = type;
    record->id = id;
    record->flags = flags;
    record->size = size;
    const ChunkHandle handle = AddRecord(record);
    if (handle == 0) {
        DeleteRecord(record);
    }
    return handle;
}

ChunkHandle CChunkStore::RegisterChunk(const ChunkHeader& header, uint32_t payloadOffset) {
    CChunkRecord* record = NewRecord();
    if (record == nullptr) {
        return 0;
    }
    try {
        record->name = NameFromField(header.name);
    } catch (const std::bad_alloc&) {
        DeleteRecord(record);
        return 0;
    }
    record->type = header.type;
    record->id = header.id;
    record->flags = header.flags;
    // Callers hand in sizes of at least the header's 76 bytes; a smaller one claims nothing.
    record->size = header.size >= kChunkHeaderSize ? header.size - kChunkHeaderSize : 0;
    record->offset = payloadOffset;
    record->headerRead = true;
    const ChunkHandle handle = AddRecord(record);
    if (handle == 0) {
        DeleteRecord(record);
    }
    return handle;
}

CChunkRecord* CChunkStore::ResolveChain(uint32_t target) const {
    uint32_t current = target;
    // Chains are never longer than the table; the bound only guards against a damaged table.
    for (uint32_t steps = 0; steps < m_nCount; ++steps) {
        if (current >= m_nCount) {
            return nullptr;
        }
        const Slot& slot = SlotAt(current);
        if (slot.target == 0) {
            return slot.record;
        }
        current = slot.target;
    }
    return nullptr;
}

bool CChunkStore::Release(ChunkHandle handle) {
    if (handle == 0 || handle >= m_nCount || SlotAt(handle).target == 0) {
        return false;
    }
    uint32_t owner = handle;
    for (uint32_t steps = 0; steps < m_nCount; ++steps) {
        const uint32_t target = SlotAt(owner).target;
        if (target == 0 || target >= m_nCount) {
            break;
        }
        owner = target;
    }
    if (--SlotAt(owner).refCount == 0) {
        static_cast<void>(DestroyEntry(owner));
    }
    SlotAt(handle) = Slot{};
    return true;
}

bool CChunkStore::DestroyEntry(uint32_t slot) {
    if (slot == 0 || slot >= m_nCount) {
        return false;
    }
    Slot& owner = SlotAt(slot);
    if (owner.target != 0 || owner.record == nullptr) {
        return false;
    }
    DeleteRecord(owner.record);
    owner = Slot{};
    // Registration is the only way slots come to refer to an owner, and it makes exactly one,
    // the next slot; looking only there keeps Reset linear instead of sweeping the whole table
    // once per chunk.
    if (slot + 1 < m_nCount && SlotAt(slot + 1).target == slot) {
        SlotAt(slot + 1) = Slot{};
    }
    return true;
}

ChunkHeader CChunkStore::GetHeader(ChunkHandle handle) const {
    const CChunkRecord* record = Resolve(handle);
    return record == nullptr ? ChunkHeader{} : HeaderOf(*record);
}

ChunkHeader CChunkStore::HeaderOf(const CChunkRecord& record) {
    ChunkHeader header;
    header.type = record.type;
    header.size = record.size + kChunkHeaderSize;
    header.id = record.id;
    header.flags = record.flags;
    header.name = NameField(record.name);
    return header;
}
