#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "tests/iff/IffTestSupport.h"
#include "tests/support/IffBuilder.h"

using namespace ifftest;

namespace {

struct Laid {
    Key key;
    uint32_t offset;
    uint32_t size;
};

// The chunks of written bytes in file order, walking the headers.
std::vector<Laid> FileOrder(const std::vector<uint8_t>& bytes) {
    std::vector<Laid> chunks;
    for (size_t at = 64; at + 76 <= bytes.size();) {
        const uint32_t size = BE32(bytes, at + 4);
        const auto id = static_cast<uint16_t>((bytes[at + 8] << 8) | bytes[at + 9]);
        chunks.push_back({{BE32(bytes, at), id}, static_cast<uint32_t>(at), size});
        if (size < 76) {
            break;
        }
        at += size;
    }
    return chunks;
}

std::vector<Key> KeysOf(const std::vector<Laid>& chunks) {
    std::vector<Key> keys;
    for (const Laid& chunk : chunks) {
        keys.push_back(chunk.key);
    }
    return keys;
}

TEST(IffSave, WorkedExampleByteForByte) {
    OpenedFile file(IffBuilder().Version("2.0").Chunk(kStr, 1, Payload(10, 0x40), "ab").Build());
    const std::vector<uint8_t> saved = SaveToBytes(file.iff);

    std::vector<uint8_t> expected;
    const std::string signature("IFF FILE 2.5:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1",
                                60);
    expected.insert(expected.end(), signature.begin(), signature.end());
    const auto put = [&](std::initializer_list<int> bytes) {
        for (const int b : bytes) {
            expected.push_back(static_cast<uint8_t>(b));
        }
    };
    const auto zeros = [&](size_t n) { expected.insert(expected.end(), n, 0); };
    put({0x00, 0x00, 0x00, 0x96});                       // the map at 150
    put({'S', 'T', 'R', '#', 0, 0, 0, 86, 0, 1, 0, 0});  // the chunk at 64: size 86, id 1
    put({'a', 'b'});
    zeros(62);
    const auto payload = Payload(10, 0x40);
    expected.insert(expected.end(), payload.begin(), payload.end());
    put({'r', 's', 'm', 'p', 0, 0, 0, 116, 0, 0, 0, 0x10});  // the map: size 116, flags 0x10
    zeros(64);
    zeros(8);                                             // reserved, version
    put({'p', 'm', 's', 'r', 116, 0, 0, 0, 1, 0, 0, 0});  // magic, size, one type
    put({'#', 'R', 'T', 'S', 1, 0, 0, 0});                // STR#, one entry
    put({64, 0, 0, 0, 1, 0, 0, 0, 'a', 'b', 0, 0xA3});    // offset, id, flags, name, pad
    ASSERT_EQ(expected.size(), 266u);
    EXPECT_EQ(saved, expected);
}

// A source that exercises every way a chunk can be listed, and what its save must hold.
std::vector<uint8_t> MixedSource() {
    IffBuilder builder;
    builder.Chunk(kStr, 1, Payload(10, 1), "one");                                     // 0
    builder.Chunk(kBhav, 1, Payload(300, 2), "behaviour", 0x0010);                     // 1
    builder.Chunk(kStr, 2, {}, "empty");                                               // 2
    builder.Chunk(kGlob, 9, Payload(3, 3), "listed but skipped by the scan", 0x0004);  // 3
    builder.Chunk(kJunk, 4, Payload(9, 4), "neither", 0x0014);                         // 4
    builder.Last().inMap = false;
    builder.Chunk(kStr, 3, Payload(7, 5), "after the map");  // 5
    builder.MapAfter(3).MapOrder({3, 2, 1, 0});
    return builder.Build();
}

TEST(IffSave, WritesEveryLiveChunkInListOrderAndAFreshMapLast) {
    OpenedFile file(MixedSource());
    ASSERT_TRUE(file.iff.LoadAll());
    // Names longer than a chunk header holds come from outside the file.
    ChunkHandle longNamed = 0;
    ASSERT_TRUE(file.iff.FindChunk(longNamed, kStr, 3));
    CChunkStore::Instance().Resolve(longNamed)->name = std::string(70, 'L');
    const auto before = Chunks(file.iff);
    const std::vector<uint8_t> saved = SaveToBytes(file.iff);
    ASSERT_FALSE(saved.empty());

    // Map order first (its order GLOB, STR# 2, BHAV, STR# 1, grouped by type), then STR# 3,
    // which only the scan found; the old map
    // and the chunk known to nobody are gone; the new map is the last chunk.
    const auto laid = FileOrder(saved);
    EXPECT_EQ(
        KeysOf(laid),
        (std::vector<Key>{{kGlob, 9}, {kStr, 2}, {kStr, 1}, {kBhav, 1}, {kStr, 3}, {kMap, 0}}));
    EXPECT_EQ(laid[1].size, 76u);  // the empty payload
    EXPECT_EQ(BE32(saved, 60), laid.back().offset);
    EXPECT_EQ(laid.back().offset + laid.back().size, saved.size());
    // Type count: three types, the old map not among them.
    EXPECT_EQ(saved[laid.back().offset + 76 + 16], 3);

    // Every chunk comes back with its payload, id, flags and name; the long name is cut in
    // the chunk header only.
    OpenedFile reopened(saved);
    auto after = Chunks(reopened.iff);
    auto expected = before;
    for (auto* list : {&after, &expected}) {
        std::erase_if(*list, [](const ChunkInfo& c) { return c.type == kMap; });
        std::sort(list->begin(), list->end(), [](const ChunkInfo& x, const ChunkInfo& y) {
            return std::tie(x.type, x.id) < std::tie(y.type, y.id);
        });
    }
    for (ChunkInfo& chunk : expected) {
        chunk.name.resize(std::min<size_t>(chunk.name.size(), 63));
    }
    EXPECT_EQ(after, expected);
    const size_t longAt = laid[4].offset;
    EXPECT_EQ(std::string(saved.begin() + longAt + 12, saved.begin() + longAt + 76),
              std::string(63, 'L') + '\0');
    const std::string map(saved.begin() + laid.back().offset, saved.end());
    EXPECT_NE(map.find(std::string(70, 'L') + '\0'), std::string::npos);
}

TEST(IffSave, SavingTwiceAndResavingGiveTheSameBytes) {
    OpenedFile file(MixedSource());
    ASSERT_TRUE(file.iff.LoadAll());
    ChunkHandle longNamed = 0;
    ASSERT_TRUE(file.iff.FindChunk(longNamed, kStr, 3));
    CChunkStore::Instance().Resolve(longNamed)->name = std::string(70, 'L');
    file.iff.Close();
    const auto first = SaveToBytes(file.iff);
    const auto second = SaveToBytes(file.iff);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, second);
    // The 70-character name is cut once by the reopen; from then on the file is a fixed point.
    OpenedFile reopened(second);
    ASSERT_TRUE(reopened.iff.LoadAll());
    const auto third = SaveToBytes(reopened.iff);
    OpenedFile again(third);
    ASSERT_TRUE(again.iff.LoadAll());
    EXPECT_EQ(SaveToBytes(again.iff), third);
}

TEST(IffSave, ReplaceChunkDataKeepsIdFlagsAndName) {
    OpenedFile file(MixedSource());
    CMemFile nothing;
    ASSERT_TRUE(file.iff.ReplaceChunkData(kBhav, 1, nothing));
    const std::vector<uint8_t> text = {'n', 'e', 'w'};
    CMemFile fresh(text.data(), text.size());
    ASSERT_TRUE(file.iff.ReplaceChunkData(kStr, 1, fresh));
    CMemFile unused;
    EXPECT_FALSE(file.iff.ReplaceChunkData(kStr, 77, unused));
    ASSERT_TRUE(file.iff.LoadAll());

    OpenedFile reopened(SaveToBytes(file.iff));
    const auto chunks = Chunks(reopened.iff);
    const auto find = [&](ChunkType type, uint16_t id) {
        return *std::find_if(chunks.begin(), chunks.end(),
                             [&](const ChunkInfo& c) { return c.type == type && c.id == id; });
    };
    EXPECT_EQ(find(kBhav, 1), (ChunkInfo{kBhav, 1, 0x0010, "behaviour", {}}));
    EXPECT_EQ(find(kStr, 1), (ChunkInfo{kStr, 1, 0, "one", text}));
}

TEST(IffSave, FailsWithoutAStreamOrAPayload) {
    CIffFile empty;
    EXPECT_FALSE(empty.Save(nullptr));

    // The second chunk claims more than the file holds: its payload cannot be written, and
    // the partial file names no map.
    IffBuilder builder;
    builder.Version("2.0").Chunk(kStr, 1, Payload(4, 1)).Chunk(kStr, 2, Payload(4, 2));
    builder.Last().sizeAdjust = 1;
    OpenedFile file(builder.Build());
    CMemFile out;
    EXPECT_FALSE(file.iff.Save(&out));
    const auto partial = out.ToVector();
    ASSERT_EQ(partial.size(), 64u + 80u);
    EXPECT_EQ(std::string(partial.begin() + 60, partial.begin() + 64), std::string(4, '\0'));
}

TEST(IffSave, IntoTheSourceLoadsEverythingFirst) {
    OpenedFile file(MixedSource());
    const auto keys = Keys(file.iff);
    ASSERT_TRUE(file.iff.Save(nullptr));
    int error = 0;
    ASSERT_TRUE(file.iff.Open(&error, false));
    auto reopened = Keys(file.iff);
    EXPECT_EQ(reopened.back(), (Key{kMap, 0}));

    // A payload that cannot be read refuses the save before the source is truncated.
    IffBuilder builder;
    builder.Version("2.0").Chunk(kStr, 1, Payload(4, 1)).Chunk(kStr, 2, Payload(4, 2));
    builder.Last().sizeAdjust = 1;
    const auto damaged = builder.Build();
    OpenedFile broken(damaged);
    EXPECT_FALSE(broken.iff.Save(nullptr));
    ASSERT_TRUE(broken.iff.Open(&error, false));
    EXPECT_EQ(broken.iff.GetSourceLength(), damaged.size());
    EXPECT_EQ(Keys(broken.iff), (std::vector<Key>{{kStr, 1}, {kStr, 2}}));
}

// A stream that only counts: offsets near 4 GiB without the memory.
class CountingSink : public CFile {
public:
    explicit CountingSink(uint64_t length) : m_nLength(length) {}
    uint64_t Seek(int64_t offset, SeekPosition from) override {
        m_nPosition = static_cast<uint64_t>(offset) + (from == end ? m_nLength : 0);
        return m_nPosition;
    }
    void Write(const void*, size_t count) override {
        m_nPosition += count;
        m_nLength = std::max(m_nLength, m_nPosition);
    }
    [[nodiscard]] uint64_t GetLength() const override { return m_nLength; }

private:
    uint64_t m_nLength;
};

TEST(IffSave, RefusesChunksBeyondThirtyTwoBitOffsets) {
    OpenedFile file(IffBuilder().Chunk(kStr, 1, Payload(100, 1)).Build());
    ASSERT_TRUE(file.iff.LoadAll());
    CountingSink fits(0xFFFFFFFFull - 176);
    EXPECT_TRUE(file.iff.WriteChunks(fits));
    CountingSink tooFar(0xFFFFFFFFull - 175);
    EXPECT_FALSE(file.iff.WriteChunks(tooFar));
}

}  // namespace
