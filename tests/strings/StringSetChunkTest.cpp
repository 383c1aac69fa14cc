// Load and Store through a real IFF file object opened on bytes assembled in memory.

#include <gtest/gtest.h>

#include <memory>

#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/StringSet.h"
#include "tests/strings/StringTestSupport.h"
#include "tests/support/IffBuilder.h"

namespace strings_test {
namespace {

const ChunkType kOther = MakeChunkType('B', 'C', 'O', 'N');

const Bytes kMultilingual =
    ByteList{0xFD, 0xFF, 3, 0, 1}.Z("A").Z("a").Add({1}).Z("B").Z("b").Add({3}).Z("F").Z("");
const Bytes kBasic = ByteList{0, 2, 3, 'a', 'b', 'c', 1, 'x'};
const Bytes kEmptyLayout = ByteList{0, 0, 0xA3, 0xA3};
const Bytes kBadCode = ByteList{0xFD, 0xFF, 2, 0, 1}.Z("A").Z("").Add({0}).Z("B").Z("");
const Bytes kOtherPayload = ByteList{1, 2, 3, 4, 5};

// An IFF file of several STR# chunks, opened from memory.
class StringSetChunkTest : public testing::Test {
protected:
    void SetUp() override {
        IffBuilder builder;
        builder.Chunk(kTypeStrings, 128, kMultilingual, "Main", 0x20)
            .Chunk(kTypeStrings, 129, kBasic, "Basic")
            .Chunk(kTypeStrings, 130, kEmptyLayout, "Empty layout")
            .Chunk(kTypeStrings, 131, {}, "No payload")
            .Chunk(kTypeStrings, 132, kBadCode, "Bad code")
            .Chunk(kOther, 128, kOtherPayload, "Other");
        // Listed by the map, passed over by the scan: known only from the map until found.
        builder.Chunk(kTypeStrings, 133, kBasic, "Map only", kFlagSkipScan);
        builder.MapAtEnd();
        const Bytes bytes = builder.Build();
        m_file = std::make_unique<CMemFile>(bytes.data(), bytes.size());
        ASSERT_NE(m_iff.Attach(*m_file), 0u);
        int error = 0;
        ASSERT_TRUE(m_iff.Open(&error, false)) << error;
    }

    ChunkHandle Find(uint16_t id) {
        ChunkHandle handle = 0;
        EXPECT_TRUE(m_iff.FindChunk(handle, kTypeStrings, id)) << id;
        return handle;
    }

    Bytes PayloadOf(ChunkType type, uint16_t id) {
        ChunkHandle handle = 0;
        EXPECT_TRUE(m_iff.FindChunk(handle, type, id));
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        Bytes bytes(record->size);
        EXPECT_TRUE(m_iff.CopyPayload(handle, bytes.data()));
        return bytes;
    }

    std::unique_ptr<CMemFile> m_file;
    CIffFile m_iff;
};

TEST_F(StringSetChunkTest, LoadDecodesTheChunksPayload) {
    CStringSet set;
    const ChunkHandle handle = Find(128);
    ASSERT_TRUE(set.Load(m_iff, handle));
    EXPECT_EQ(set.m_hChunk, handle);
    EXPECT_EQ(set.GetLayout(), StringLayout::multilingual);
    EXPECT_EQ(CellsOf(set),
              (std::vector<Cell>{{0, 0, "A", "a"}, {0, 2, "F", ""}, {1, 0, "B", "b"}}));
}

TEST_F(StringSetChunkTest, EmptyLayoutKeepsTheFlagsOfTheResourceBefore) {
    CStringSet set;
    ASSERT_TRUE(set.Load(m_iff, Find(129)));
    ASSERT_EQ(set.GetLayout(), StringLayout::basic);
    EXPECT_TRUE(set.Load(m_iff, Find(130)));
    EXPECT_EQ(set.GetCount(), 0u);
    EXPECT_EQ(set.GetLayout(), StringLayout::basic);
}

TEST_F(StringSetChunkTest, FailedLoadsKeepEntriesAndFlagsButNameTheNewChunk) {
    struct Row {
        const char* name;
        ChunkHandle handle;
    };
    const Row rows[] = {
        {"unknown_handle", 0xFFFFFF},
        {"handle_0", 0},
        {"empty_payload", Find(131)},
    };
    for (const Row& row : rows) {
        CStringSet set;
        ASSERT_TRUE(set.Load(m_iff, Find(128)));
        const std::vector<Cell> before = CellsOf(set);
        EXPECT_FALSE(set.Load(m_iff, row.handle)) << row.name;
        EXPECT_EQ(set.m_hChunk, row.handle) << row.name;
        EXPECT_EQ(CellsOf(set), before) << row.name;
        EXPECT_EQ(set.GetLayout(), StringLayout::multilingual) << row.name;
    }
}

TEST_F(StringSetChunkTest, BadCodeFailsAndKeepsWhatWasDecoded) {
    CStringSet set;
    EXPECT_FALSE(set.Load(m_iff, Find(132)));
    EXPECT_EQ(CellsOf(set), (std::vector<Cell>{{0, 0, "A", ""}}));
}

TEST_F(StringSetChunkTest, ChunkKnownOnlyFromTheMapLoadsOnceFound) {
    ChunkHandle mapOnly = 0;
    for (const ChunkHandle handle : m_iff.GetChunkList()) {
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        if (record != nullptr && record->type == kTypeStrings && record->id == 133) {
            mapOnly = handle;
        }
    }
    ASSERT_NE(mapOnly, 0u);
    CStringSet set;
    EXPECT_FALSE(set.Load(m_iff, mapOnly)) << "its size is unknown before FindChunk";
    EXPECT_EQ(Find(133), mapOnly);
    EXPECT_TRUE(set.Load(m_iff, mapOnly));
    EXPECT_EQ(set.GetCount(), 2u);
}

TEST_F(StringSetChunkTest, StoreReplacesOnlyThatChunksPayload) {
    CStringSet set;
    ASSERT_TRUE(set.Load(m_iff, Find(128)));
    ASSERT_TRUE(set.SetString(1, 2, 0, "G"));
    ASSERT_TRUE(set.Store(m_iff));

    EXPECT_EQ(PayloadOf(kTypeStrings, 128), (ByteList{0xFD, 0xFF, 4, 0, 1}
                                                 .Z("A")
                                                 .Z("a")
                                                 .Add({1})
                                                 .Z("B")
                                                 .Z("b")
                                                 .Add({3})
                                                 .Z("F")
                                                 .Z("")
                                                 .Add({3})
                                                 .Z("G")
                                                 .Z("")
                                                 .bytes()));
    EXPECT_EQ(PayloadOf(kOther, 128), kOtherPayload);
    EXPECT_EQ(PayloadOf(kTypeStrings, 129), kBasic);
    const CChunkRecord* record = CChunkStore::Instance().Resolve(Find(128));
    EXPECT_EQ(record->name, "Main");
    EXPECT_EQ(record->flags, 0x20);

    CStringSet again;
    ASSERT_TRUE(again.Load(m_iff, Find(128)));
    EXPECT_EQ(CellsOf(again), CellsOf(set));
}

TEST_F(StringSetChunkTest, StoreInBasicModeClearsTheOtherFlags) {
    CStringSet set;
    ASSERT_TRUE(set.Load(m_iff, Find(128)));
    set.m_bBasic = true;
    ASSERT_TRUE(set.Store(m_iff));
    EXPECT_FALSE(set.m_bLanguages);
    EXPECT_FALSE(set.m_bDescriptions);
    EXPECT_EQ(PayloadOf(kTypeStrings, 128), (ByteList{0, 2, 1, 'A', 1, 'B'}.bytes()));
}

TEST_F(StringSetChunkTest, StoreFailsWithoutTouchingTheChunk) {
    CStringSet set;
    ASSERT_TRUE(set.Load(m_iff, Find(128)));
    ASSERT_TRUE(set.SetString(0, 0, 0, "changed"));

    // After a load of an unknown handle the set names no chunk.
    CStringSet lost;
    ASSERT_TRUE(lost.Load(m_iff, Find(128)));
    EXPECT_FALSE(lost.Load(m_iff, 0xFFFFFF));
    ASSERT_TRUE(lost.SetString(0, 0, 0, "changed"));
    EXPECT_FALSE(lost.Store(m_iff));
    EXPECT_EQ(PayloadOf(kTypeStrings, 128), kMultilingual);

    // More records than the 16-bit count holds.
    for (uint32_t i = set.GetCount(); i < 65535; ++i) {
        ASSERT_TRUE(set.SetString(static_cast<uint16_t>(i), 0, 0, "x"));
    }
    EXPECT_FALSE(set.Store(m_iff));
    EXPECT_EQ(PayloadOf(kTypeStrings, 128), kMultilingual);
}

TEST_F(StringSetChunkTest, StoredChangesSurviveSavingAndReopening) {
    CStringSet set;
    ASSERT_TRUE(set.Load(m_iff, Find(129)));
    ASSERT_TRUE(set.SetString(2, 0, 0, "new \x92 text"));
    ASSERT_TRUE(set.Store(m_iff));
    CMemFile saved;
    ASSERT_TRUE(m_iff.Save(&saved));

    CIffFile reopened;
    ASSERT_NE(reopened.Attach(saved), 0u);
    int error = 0;
    ASSERT_TRUE(reopened.Open(&error, false));
    ChunkHandle handle = 0;
    ASSERT_TRUE(reopened.FindChunk(handle, kTypeStrings, 129));
    CStringSet back;
    ASSERT_TRUE(back.Load(reopened, handle));
    EXPECT_EQ(CellsOf(back),
              (std::vector<Cell>{{0, 0, "abc", ""}, {1, 0, "x", ""}, {2, 0, "new \x92 text", ""}}));
}

}  // namespace
}  // namespace strings_test
