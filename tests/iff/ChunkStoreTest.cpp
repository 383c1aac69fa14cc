#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "iff/ChunkStore.h"
#include "iff/Format.h"

namespace {

ChunkHeader MakeHeader(ChunkType type, uint32_t size, uint16_t id, const std::string& name) {
    ChunkHeader header;
    header.type = type;
    header.size = size;
    header.id = id;
    header.flags = 0x0102;
    header.name = NameField(name);
    return header;
}

TEST(ChunkStore, HandsOutEveryOtherSlotFromTwo) {
    CChunkStore store;
    EXPECT_EQ(store.GetCapacity(), 64u);
    EXPECT_EQ(store.GetCount(), 1u);
    const ChunkHandle a = store.RegisterChunk(MakeHeader(kTypeStrings, 86, 7, "seven"), 140);
    const ChunkHandle b = store.RegisterMapEntry(kTypeStrings, 8, 4, "eight", 0);
    const ChunkHandle c = store.RegisterChunk(MakeHeader(kTypeStrings, 76, 9, ""), 300);
    EXPECT_EQ(std::vector<ChunkHandle>({a, b, c}), std::vector<ChunkHandle>({2, 4, 6}));
    EXPECT_EQ(store.GetCount(), 7u);
    EXPECT_EQ(store.GetTarget(a), 1u);

    const CChunkRecord* chunk = store.Resolve(a);
    ASSERT_NE(chunk, nullptr);
    EXPECT_EQ(chunk->size, 10u);
    EXPECT_EQ(chunk->offset, 140u);
    EXPECT_EQ(chunk->name, "seven");
    EXPECT_EQ(chunk->flags, 0x0102);
    EXPECT_TRUE(chunk->IsHeaderRead());
    EXPECT_FALSE(chunk->IsLoaded());

    const CChunkRecord* entry = store.Resolve(b);
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->IsHeaderRead());
    EXPECT_EQ(entry->offset, 0u);
    EXPECT_EQ(entry->flags, 4);
    EXPECT_EQ(entry->name, "eight");

    // An empty payload needs no allocation and is ready as soon as its header is known.
    const CChunkRecord* empty = store.Resolve(c);
    EXPECT_TRUE(empty->IsBufferReady());
    EXPECT_EQ(empty->data, empty->inlineBuffer);
    EXPECT_EQ(empty->capacity, 0u);
}

TEST(ChunkStore, GrowsBySixtyFourAndKeepsEarlierHandles) {
    CChunkStore store;
    std::vector<ChunkHandle> handles;
    std::vector<const CChunkRecord*> records;
    for (uint16_t i = 1; i <= 33; ++i) {
        const ChunkHandle handle = store.RegisterMapEntry(kTypeStrings, i, 0, "", 0);
        ASSERT_EQ(handle, 2u * i);
        handles.push_back(handle);
        records.push_back(store.Resolve(handle));
        // The 32nd registration needs slot 64, the first beyond the initial table.
        EXPECT_EQ(store.GetCapacity(), i < 32 ? 64u : 128u) << "registration " << i;
    }
    for (size_t i = 0; i < handles.size(); ++i) {
        ASSERT_EQ(store.Resolve(handles[i]), records[i]);
        EXPECT_EQ(records[i]->id, i + 1);
    }
}

TEST(ChunkStore, RefusesHandlesThatNameNoReferringSlot) {
    CChunkStore store;
    const ChunkHandle handle = store.RegisterMapEntry(kTypeStrings, 1, 0, "x", 0);
    const uint32_t count = store.GetCount();
    struct Row {
        const char* what;
        uint32_t number;
    };
    for (const Row& row : {Row{"zero", 0}, Row{"count", count}, Row{"beyond", count + 100}}) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(store.Resolve(row.number), nullptr);
        EXPECT_FALSE(store.IsValid(row.number));
        EXPECT_EQ(store.GetTarget(row.number), 0u);
        EXPECT_FALSE(store.Release(row.number));
        EXPECT_FALSE(store.DestroyEntry(row.number));
        EXPECT_EQ(store.GetHeader(row.number).size, 0u);
    }
    // An owning slot is no handle, and a handle is no owning slot.
    EXPECT_FALSE(store.Release(handle - 1));
    EXPECT_FALSE(store.DestroyEntry(handle));
    EXPECT_TRUE(store.IsValid(handle));
    EXPECT_EQ(store.GetCount(), count);
}

TEST(ChunkStore, ReleaseDestroysWithTheLastReferenceAndNumbersAreNotReused) {
    CChunkStore store;
    const ChunkHandle first = store.RegisterMapEntry(kTypeStrings, 1, 0, "a", 0);
    const ChunkHandle second = store.RegisterMapEntry(kTypeStrings, 2, 0, "b", 0);
    EXPECT_TRUE(store.Release(first));
    EXPECT_FALSE(store.IsValid(first));
    EXPECT_FALSE(store.Release(first));
    EXPECT_FALSE(store.DestroyEntry(first - 1));  // the owner went with its last reference
    EXPECT_TRUE(store.IsValid(second));
    const ChunkHandle third = store.RegisterMapEntry(kTypeStrings, 3, 0, "c", 0);
    EXPECT_GT(third, second);
}

TEST(ChunkStore, DestroyEntryInvalidatesItsHandle) {
    CChunkStore store;
    const ChunkHandle handle = store.RegisterMapEntry(kTypeStrings, 1, 0, "a", 0);
    const ChunkHandle other = store.RegisterMapEntry(kTypeStrings, 2, 0, "b", 0);
    ASSERT_TRUE(store.DestroyEntry(store.GetTarget(handle)));
    EXPECT_EQ(store.Resolve(handle), nullptr);
    EXPECT_EQ(store.GetTarget(handle), 0u);
    EXPECT_FALSE(store.Release(handle));
    EXPECT_FALSE(store.DestroyEntry(handle - 1));
    EXPECT_NE(store.Resolve(other), nullptr);
}

TEST(ChunkStore, HeaderCutsTheNameToSixtyThreeBytes) {
    CChunkStore store;
    const std::string longName(70, 'n');
    const ChunkHandle handle = store.RegisterMapEntry(kTypeStrings, 0x1234, 0x0010, longName, 0);
    store.Resolve(handle)->size = 500;
    const ChunkHeader header = store.GetHeader(handle);
    EXPECT_EQ(header.type, kTypeStrings);
    EXPECT_EQ(header.size, 576u);
    EXPECT_EQ(header.id, 0x1234);
    EXPECT_EQ(header.flags, 0x0010);
    EXPECT_EQ(NameFromField(header.name), std::string(63, 'n'));
    EXPECT_EQ(header.name[63], '\0');
    EXPECT_EQ(store.Resolve(handle)->name, longName);
}

TEST(ChunkRecord, BufferLifecycle) {
    CChunkRecord record;
    record.size = 10;
    record.headerRead = true;
    EXPECT_FALSE(record.IsBufferReady());
    ASSERT_TRUE(record.AllocateBuffer());
    EXPECT_EQ(record.capacity, 10u);
    EXPECT_TRUE(record.IsBufferReady());
    EXPECT_EQ(std::vector<uint8_t>(record.data, record.data + 10), std::vector<uint8_t>(10, 0));
    record.loaded = true;
    record.FreeBuffer();
    EXPECT_EQ(record.data, nullptr);
    EXPECT_FALSE(record.loaded);
    EXPECT_EQ(record.capacity, 10u);

    // Adopting swaps in the other record's bytes and size at once.
    CChunkRecord fresh;
    fresh.size = 3;
    ASSERT_TRUE(fresh.AllocateBuffer());
    fresh.data[0] = 'x';
    record.AdoptBuffer(fresh);
    EXPECT_EQ(record.size, 3u);
    EXPECT_EQ(record.capacity, 3u);
    EXPECT_EQ(record.data[0], 'x');
    EXPECT_EQ(fresh.data, nullptr);

    CChunkRecord none;
    record.AdoptBuffer(none);
    EXPECT_EQ(record.size, 0u);
    EXPECT_EQ(record.data, record.inlineBuffer);
    EXPECT_EQ(record.capacity, 0u);
}

}  // namespace
