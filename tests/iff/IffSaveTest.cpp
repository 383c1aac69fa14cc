#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/IffFile.h"
#include "iff/IffWriter.h"
#include "tests/iff/IffTestSupport.h"
#include "tests/support/IffBuilder.h"

using namespace ifftest;

namespace {

// A new document: the signature, the map right after the header, a map of no types.
TEST(IffSave, NewFileByteForByte) {
    CIffFile fresh;
    CMemFile out;
    ASSERT_TRUE(fresh.Save(&out));
    std::vector<uint8_t> expected;
    const std::string signature("IFF FILE 2.5:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1",
                                60);
    expected.insert(expected.end(), signature.begin(), signature.end());
    const auto put = [&](std::initializer_list<int> bytes) {
        for (const int b : bytes) {
            expected.push_back(static_cast<uint8_t>(b));
        }
    };
    put({0, 0, 0, 64});                                     // the map at 64
    put({'r', 's', 'm', 'p', 0, 0, 0, 96, 0, 0, 0, 0x10});  // size 96, id 0, flags 0x10
    expected.insert(expected.end(), 64 + 8, 0);             // name; reserved, version
    put({'p', 'm', 's', 'r', 96, 0, 0, 0, 0, 0, 0, 0});     // magic, size, no types
    EXPECT_EQ(out.ToVector(), expected);
    EXPECT_FALSE(CIffFile().Save(nullptr));
}

// The files of both tables, built with the payloads given (index in the builder's chunk order).
using Layout = std::function<IffBuilder(const std::vector<std::vector<uint8_t>>& payloads)>;

struct FileRow {
    const char* what;
    Layout layout;
    std::vector<std::vector<uint8_t>> payloads;
};

void PrintTo(const FileRow& row, std::ostream* out) {
    *out << row.what;
}

IffBuilder Plain(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b;
    b.Chunk(kStr, 1, p[0], "one").Chunk(kBhav, 2, p[1], "code", 0x10).Chunk(kStr, 3, p[2], "ab");
    return b;
}

IffBuilder MapAtEnd(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b = Plain(p);
    b.MapAtEnd();
    return b;
}

// The map between chunks, in another order than the file; a chunk the scan passes over; an
// entry far outside the file.
IffBuilder MapInMiddle(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b = Plain(p);
    b.Chunk(kGlob, 9, p[3], "passed over", 0x0004).Chunk(kStr, 4, p[4], "after the map");
    b.MapAfter(1).MapOrder({3, 2, 1, 0, 4});
    b.ExtraMapEntry({kStr, 0x7FFFFFF0, 9, 0, "lost"});
    return b;
}

// A displaced copy (same type and id), a retired map renamed, stale bytes after the end.
IffBuilder Leftovers(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b = Plain(p);
    b.Chunk(kStr, 1, p[3], "older copy").Chunk(kJunk, 0, p[4], "retired", 0x0014);
    b.Last().inMap = false;
    b.MapAtEnd().MapSizeAdjust(1).Trailing({'o', 'l', 'd', 0xA3});
    return b;
}

const std::vector<std::vector<uint8_t>> kPayloads = {
    Payload(10, 1), Payload(300, 2), {}, Payload(7, 3), Payload(5, 4)};

std::vector<uint8_t> BuildWith(const FileRow& row) {
    return row.layout(row.payloads).Build();
}

class UnchangedSave : public testing::TestWithParam<FileRow> {};

TEST_P(UnchangedSave, GivesTheSourceBytes) {
    const std::vector<uint8_t> source = BuildWith(GetParam());
    for (const bool readMapHeaders : {false, true}) {
        OpenedFile file(source, readMapHeaders);
        ASSERT_TRUE(file.opened);
        EXPECT_EQ(SaveToBytes(file.iff), source);
        // Loading every payload and closing the source changes nothing.
        std::ignore = file.iff.LoadAll();
        file.iff.Close();
        EXPECT_EQ(SaveToBytes(file.iff), source);
    }
}

IffBuilder Version20(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b = Plain(p);
    b.Version("2.0");
    return b;
}

IffBuilder CutShort(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b = MapAtEnd(p);
    b.Chunk(kStr, 5, p[3], "cut").Last().sizeAdjust = 40;
    return b;
}

IffBuilder Unfinished(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b = Plain(p);
    b.Legacy996();
    return b;
}

INSTANTIATE_TEST_SUITE_P(Files, UnchangedSave,
                         testing::Values(FileRow{"version20", Version20, kPayloads},
                                         FileRow{"noMap", Plain, kPayloads},
                                         FileRow{"mapAtEnd", MapAtEnd, kPayloads},
                                         FileRow{"mapInMiddle", MapInMiddle, kPayloads},
                                         FileRow{"leftovers", Leftovers, kPayloads},
                                         FileRow{"cutShort", CutShort, kPayloads},
                                         FileRow{"unfinished996", Unfinished, kPayloads}),
                         [](const auto& info) { return std::string(info.param.what); });

// An edit: the same layout built with the new payloads is what the save must write, since the
// builder lays chunks back to back and lists every offset where it now lies.
struct EditRow {
    const char* what;
    Layout layout;
    std::vector<std::pair<size_t, std::vector<uint8_t>>> edits;  // chunk index, new payload
};

void PrintTo(const EditRow& row, std::ostream* out) {
    *out << row.what;
}

class EditedSave : public testing::TestWithParam<EditRow> {};

TEST_P(EditedSave, ChangesTheChunkItsSizeAndTheOffsetsAfterIt) {
    const EditRow& row = GetParam();
    IffBuilder original = row.layout(kPayloads);
    const std::vector<uint8_t> source = original.Build();
    auto payloads = kPayloads;
    for (const auto& [index, payload] : row.edits) {
        payloads[index] = payload;
    }
    IffBuilder edited = row.layout(payloads);
    const std::vector<uint8_t> expected = edited.Build();

    OpenedFile file(source);
    for (const auto& [index, payload] : row.edits) {
        CMemFile stream(payload.data(), payload.size());
        const IffChunkSpec& spec = original.At(index);
        ASSERT_TRUE(file.iff.ReplaceChunkData(spec.type, spec.id, stream));
    }
    file.iff.Close();
    const std::vector<uint8_t> saved = SaveToBytes(file.iff);
    EXPECT_EQ(saved, expected);
    // Saving again writes the same, and what is written opens with the new payloads.
    EXPECT_EQ(SaveToBytes(file.iff), saved);
    OpenedFile reopened(saved);
    for (const auto& [index, payload] : row.edits) {
        const IffChunkSpec& spec = original.At(index);
        ChunkHandle handle = 0;
        ASSERT_TRUE(reopened.iff.FindChunk(handle, spec.type, spec.id));
        std::vector<uint8_t> read(payload.size());
        ASSERT_TRUE(reopened.iff.CopyPayload(handle, read.data()));
        EXPECT_EQ(read, payload);
    }
}

IffBuilder MiddleWithoutExtra(const std::vector<std::vector<uint8_t>>& p) {
    IffBuilder b = Plain(p);
    b.Chunk(kGlob, 9, p[3], "passed over", 0x0004).Chunk(kStr, 4, p[4], "after the map");
    b.MapAfter(1).MapOrder({3, 2, 1, 0, 4});
    return b;
}

// The entry outside the file sits at 0x7FFFFFF0 plus what the edits before it changed.
Layout WithOutsideEntry(int64_t moved) {
    return [moved](const std::vector<std::vector<uint8_t>>& p) {
        IffBuilder b = MiddleWithoutExtra(p);
        b.ExtraMapEntry({kStr, static_cast<uint32_t>(0x7FFFFFF0 + moved), 9, 0, "lost"});
        return b;
    };
}

INSTANTIATE_TEST_SUITE_P(
    Files, EditedSave,
    testing::Values(
        EditRow{"firstGrows", MapAtEnd, {{0, Payload(40, 9)}}},
        EditRow{"firstShrinks", MapAtEnd, {{0, Payload(3, 9)}}},
        EditRow{"lastBeforeTheMap", MapAtEnd, {{2, Payload(20, 9)}}},
        EditRow{"emptied", Plain, {{1, {}}}}, EditRow{"version20", Version20, {{0, Payload(1, 9)}}},
        EditRow{"beforeAMapInTheMiddle", MiddleWithoutExtra, {{0, Payload(33, 9)}}},
        EditRow{"afterTheMap", MiddleWithoutExtra, {{4, Payload(1, 9)}}},
        EditRow{"lastOfTheFile", MapAtEnd, {{2, Payload(2, 9)}}},
        EditRow{"twoChunks", MiddleWithoutExtra, {{0, Payload(20, 9)}, {4, Payload(50, 8)}}},
        EditRow{"withDisplacedCopy", Leftovers, {{2, Payload(11, 9)}}}),
    [](const auto& info) { return std::string(info.param.what); });

// An entry outside the file lies past every chunk: it moves by all the edits (30 - 10 before
// the map, 0 - 5 after it).
TEST(IffSave, AnEntryOutsideTheFileMovesWithTheEditsBeforeIt) {
    const std::vector<uint8_t> source = WithOutsideEntry(0)(kPayloads).Build();
    auto payloads = kPayloads;
    payloads[0] = Payload(30, 9);
    payloads[4] = {};
    const std::vector<uint8_t> expected = WithOutsideEntry(20 - 5)(payloads).Build();
    OpenedFile file(source);
    CMemFile grown(payloads[0].data(), payloads[0].size());
    ASSERT_TRUE(file.iff.ReplaceChunkData(kStr, 1, grown));
    CMemFile emptied;
    ASSERT_TRUE(file.iff.ReplaceChunkData(kStr, 4, emptied));
    EXPECT_EQ(SaveToBytes(file.iff), expected);
}

// Changes that would damage the file are refused before anything is written.
TEST(IffWriter, RefusesChangesThatOverlap) {
    IffBuilder builder = MapAtEnd(kPayloads);
    const std::vector<uint8_t> source = builder.Build();
    const uint8_t payload[3] = {1, 2, 3};
    struct Row {
        const char* what;
        std::vector<ChunkSplice> splices;
    };
    const Row rows[] = {
        {"two changes of one chunk",
         {{builder.ChunkOffset(0), payload, 3}, {builder.ChunkOffset(0), payload, 1}}},
        {"a header inside another chunk", {{builder.ChunkOffset(1) + 10, payload, 3}}},
        {"a header inside the file header", {{10, payload, 3}}},
        {"a header past the end", {{static_cast<uint32_t>(source.size()), payload, 3}}},
        {"the map", {{builder.MapOffset(), payload, 3}, {builder.ChunkOffset(2), payload, 3}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        CIffWriter writer(source);
        CMemFile out;
        EXPECT_FALSE(writer.Write(out, row.splices));
        EXPECT_FALSE(writer.GetError().empty());
        EXPECT_EQ(out.GetLength(), 0u);
    }
}

TEST(IffSave, IntoTheSourceWritesItsOwnBytes) {
    const std::vector<uint8_t> source = MapInMiddle(kPayloads).Build();
    OpenedFile file(source);
    ASSERT_TRUE(file.iff.Save(nullptr));
    EXPECT_EQ(file.file.ToVector(), source);
    int error = 0;
    ASSERT_TRUE(file.iff.Open(&error, false));
    EXPECT_EQ(SaveToBytes(file.iff), source);
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
