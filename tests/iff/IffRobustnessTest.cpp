#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/FileException.h"
#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "tests/iff/IffTestSupport.h"
#include "tests/support/FaultyMemFile.h"
#include "tests/support/IffBuilder.h"

using namespace ifftest;

namespace {

std::array<char, 64> Garbage(uint8_t seed) {
    std::array<char, 64> name{};
    for (size_t i = 0; i < name.size(); ++i) {
        name[i] = static_cast<char>(0x80 | (seed * 13 + i * 5));  // never NUL
    }
    return name;
}

void AddJunk(IffBuilder& builder, uint16_t id, uint16_t flags, uint8_t seed) {
    IffChunkSpec junk;
    junk.type = kJunk;
    junk.id = id;
    junk.flags = flags;
    junk.payload = Payload(11 + seed, seed);
    junk.inMap = false;
    junk.rawName = Garbage(seed);
    builder.Add(std::move(junk));
}

// What real game files do, one quirk per knob.
struct Quirks {
    bool legacy996 = false;
    bool mapInMiddle = false;
    bool mapOrderUnlikeFile = false;
    bool junkChunks = false;
    bool staleTail = false;
    bool mapOneByteLong = false;
    bool nameWithoutNul = false;
    size_t bulk = 0;  // added to every payload, to spread the file over many reads
};

IffBuilder QuirkyBuilder(const Quirks& q) {
    IffBuilder builder;
    builder.Chunk(kStr, 128, Payload(40, 1), "Main strings");
    builder.Chunk(kGlob, 1, Payload(8, 2), "semi-global", 0x0010);
    if (q.junkChunks) {
        AddJunk(builder, 7, 0x0004, 3);
        AddJunk(builder, 7, 0x0014, 4);
    }
    builder.Chunk(kBhav, 4096, Payload(120, 5), "tree");
    builder.Chunk(kStr, 129, {}, "no strings yet");
    if (q.nameWithoutNul) {
        builder.Last().rawName = Garbage(9);
    }
    builder.Chunk(kBhav, 4097, Payload(60, 6), "second tree");
    if (q.junkChunks) {
        AddJunk(builder, 7, 0x0004, 7);
    }
    builder.Chunk(kStr, 130, Payload(33, 8), "last");
    if (q.mapInMiddle) {
        builder.MapAfter(2);
    } else {
        builder.MapAtEnd();
    }
    if (q.mapOrderUnlikeFile) {
        const size_t n = builder.Chunks().size();
        std::vector<size_t> order;
        for (size_t i = n; i-- > 0;) {
            if (builder.Chunks()[i].inMap) {
                order.push_back(i);
            }
        }
        builder.MapOrder(order);
    }
    if (q.legacy996) {
        builder.Legacy996();
    }
    if (q.mapOneByteLong) {
        builder.MapSizeAdjust(1);
    }
    if (q.staleTail) {
        builder.Trailing(Payload(50, 0xEE));
    }
    if (q.bulk != 0) {
        for (size_t i = 0; i < builder.Chunks().size(); ++i) {
            auto& payload = builder.At(i).payload;
            const auto extra = Payload(q.bulk, static_cast<uint8_t>(i));
            payload.insert(payload.end(), extra.begin(), extra.end());
        }
    }
    return builder;
}

struct QuirkRow {
    const char* what;
    Quirks quirks;
    friend void PrintTo(const QuirkRow& row, std::ostream* os) { *os << row.what; }
};

class IffRealFileQuirks : public testing::TestWithParam<QuirkRow> {};

TEST_P(IffRealFileQuirks, OpenListAndResaveToTheSameBytes) {
    IffBuilder builder = QuirkyBuilder(GetParam().quirks);
    const auto bytes = builder.Build();
    OpenedFile file(bytes);
    ASSERT_TRUE(file.opened);
    std::vector<uint16_t> strings;
    for (POSITION pos = file.iff.FindFirstOfType(kStr); pos != 0;) {
        strings.push_back(CChunkStore::Instance().Resolve(file.iff.GetNextOfType(pos))->id);
    }
    std::sort(strings.begin(), strings.end());
    EXPECT_EQ(strings, (std::vector<uint16_t>{128, 129, 130}));

    ASSERT_TRUE(file.iff.LoadAll());
    file.iff.Close();
    EXPECT_EQ(SaveToBytes(file.iff), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IffRealFileQuirks,
    testing::Values(QuirkRow{"plain", {}}, QuirkRow{"legacy996", {.legacy996 = true}},
                    QuirkRow{"mapInMiddle", {.mapInMiddle = true}},
                    QuirkRow{"mapOrderUnlikeFile", {.mapOrderUnlikeFile = true}},
                    QuirkRow{"junkChunks", {.junkChunks = true}},
                    QuirkRow{"staleTail", {.staleTail = true}},
                    QuirkRow{"mapOneByteLong", {.mapOneByteLong = true}},
                    QuirkRow{"nameWithoutNul", {.nameWithoutNul = true}},
                    QuirkRow{"all", {true, true, true, true, true, false, true}},
                    QuirkRow{"allWithLongMap", {false, false, true, true, false, true, true}}),
    [](const testing::TestParamInfo<QuirkRow>& info) { return info.param.what; });

const Quirks kEverything{false, true, true, true, false, false, true};

TEST(IffRobustness, EveryTruncationOpensAndSavesToItsOwnBytes) {
    IffBuilder builder = QuirkyBuilder(kEverything);
    const auto bytes = builder.Build();
    for (size_t length = 0; length <= bytes.size(); ++length) {
        SCOPED_TRACE(length);
        OpenedFile file(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length));
        ASSERT_EQ(file.opened, length >= 64);
        if (!file.opened) {
            ASSERT_EQ(file.error, CIffFile::errNotIff);
            continue;
        }
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + length);
        ASSERT_EQ(SaveToBytes(file.iff), cut);
    }
}

TEST(IffRobustness, ReadFaultsAreCleanAtEveryRead) {
    Quirks quirks = kEverything;
    quirks.bulk = 30000;
    IffBuilder builder = QuirkyBuilder(quirks);
    const auto bytes = builder.Build();
    std::vector<uint8_t> reference;
    {
        OpenedFile file(bytes);
        ASSERT_TRUE(file.iff.LoadAll());
        reference = SaveToBytes(file.iff);
    }
    for (int k = 1;; ++k) {
        SCOPED_TRACE(k);
        FaultyMemFile source(bytes);
        source.Count().failRead = k;
        CIffFile iff;
        ASSERT_NE(iff.Attach(source), 0u);
        int error = 0;
        bool opened = false;
        try {
            opened = iff.Open(&error, false);
        } catch (const CFileException&) {
            continue;  // the 64-byte header: the caller reports it
        }
        ASSERT_TRUE(opened);
        const int readsAtOpen = source.Count().reads;
        static_cast<void>(iff.LoadAll());
        CMemFile out;
        if (iff.Save(&out)) {
            ASSERT_EQ(out.ToVector(), bytes);
        }
        EXPECT_EQ(source.Count().reads, readsAtOpen) << "the source was read after the open";
        if (source.Count().reads < k) {
            EXPECT_EQ(out.ToVector(), reference);
            // The whole file comes in a few large reads, not one per header or payload.
            EXPECT_LE(k, 3);
            break;
        }
    }
}

TEST(IffRobustness, WriteFaultsAreCleanAtEveryWrite) {
    // One payload larger than the save's write buffer, so it goes out as a write of its own.
    IffBuilder builder = QuirkyBuilder(kEverything);
    builder.Chunk(kBhav, 9, Payload(5 * 1024 * 1024, 3), "large");
    OpenedFile file(builder.Build());
    ASSERT_TRUE(file.iff.LoadAll());
    const auto reference = SaveToBytes(file.iff);
    ASSERT_FALSE(reference.empty());

    for (int k = 1;; ++k) {
        SCOPED_TRACE(k);
        FaultyMemFile target;
        target.Count().failWrite = k;
        bool saved = false;
        bool threw = false;
        try {
            saved = file.iff.Save(&target);
        } catch (const CFileException&) {
            threw = true;
        }
        // A failed save leaves the object able to save again, byte for byte.
        ASSERT_EQ(SaveToBytes(file.iff), reference);
        if (target.Count().writes < k) {
            ASSERT_TRUE(saved);
            EXPECT_EQ(target.ToVector(), reference);
            EXPECT_GE(k, 2);
            break;
        }
        EXPECT_TRUE(threw || !saved);
    }

    // Written unbuffered, a failing chunk header or payload write is a result, never a throw.
    for (int k = 1;; ++k) {
        SCOPED_TRACE(k);
        FaultyMemFile target;
        target.Count().failWrite = k;
        const bool written = file.iff.WriteChunks(target);
        if (target.Count().writes < k) {
            EXPECT_TRUE(written);
            // Small chunks go out together; the large payload in a write of its own.
            EXPECT_GE(k, 3);
            break;
        }
        EXPECT_FALSE(written);
    }
}

}  // namespace
