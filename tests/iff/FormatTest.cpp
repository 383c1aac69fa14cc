#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "iff/ByteCursor.h"
#include "iff/ChunkIndex.h"
#include "iff/Format.h"

namespace {

TEST(Format, ByteOrders) {
    const uint8_t bytes[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(ReadU32BE(bytes), 0x12345678u);
    EXPECT_EQ(ReadU32LE(bytes), 0x78563412u);
    EXPECT_EQ(ReadU16BE(bytes), 0x1234);
    EXPECT_EQ(ReadU16LE(bytes), 0x3412);
    uint8_t out[4] = {};
    PutU32LE(out, kTypeStrings);
    EXPECT_EQ(std::string(out, out + 4), "#RTS");
    PutU32BE(out, kTypeStrings);
    EXPECT_EQ(std::string(out, out + 4), "STR#");
}

TEST(Format, FileHeaderCarriesTheSignatureOtherReadersCompare) {
    const uint8_t expected[60] = {
        0x49, 0x46, 0x46, 0x20, 0x46, 0x49, 0x4C, 0x45, 0x20, 0x32, 0x2E, 0x35, 0x3A, 0x54, 0x59,
        0x50, 0x45, 0x20, 0x46, 0x4F, 0x4C, 0x4C, 0x4F, 0x57, 0x45, 0x44, 0x20, 0x42, 0x59, 0x20,
        0x53, 0x49, 0x5A, 0x45, 0x00, 0x20, 0x4A, 0x41, 0x4D, 0x49, 0x45, 0x20, 0x44, 0x4F, 0x4F,
        0x52, 0x4E, 0x42, 0x4F, 0x53, 0x20, 0x26, 0x20, 0x4D, 0x41, 0x58, 0x49, 0x53, 0x20, 0x31};
    EXPECT_TRUE(std::equal(kFileSignature.begin(), kFileSignature.end(), expected));
    const auto header = MakeFileHeader(0x01020304);
    EXPECT_TRUE(std::equal(header.begin(), header.begin() + 60, expected));
    EXPECT_EQ(ReadU32BE(header.data() + 60), 0x01020304u);
}

// The name field: what a header holds, what a record makes of it, what is written back.
TEST(Format, ChunkHeaderNames) {
    struct Row {
        const char* what;
        std::string field;  // the 64 bytes as they stand in the file (zero-padded)
        std::string read;
        std::string written;
    };
    const std::string full64(64, 'q');
    const Row rows[] = {
        {"empty", "", "", ""},
        {"short", "abc", "abc", "abc"},
        {"63 characters", std::string(63, 'z'), std::string(63, 'z'), std::string(63, 'z')},
        {"no NUL in 64 bytes", full64, full64, std::string(63, 'q')},
        {"stops at the first NUL", std::string("ab\0cd", 5), "ab", "ab"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        uint8_t raw[kChunkHeaderSize] = {'S', 'T', 'R', '#', 0, 0, 0, 80, 0x01, 0x02, 0x00, 0x14};
        std::copy(row.field.begin(), row.field.end(), raw + 12);
        const ChunkHeader header = DecodeChunkHeader(raw);
        EXPECT_EQ(header.type, kTypeStrings);
        EXPECT_EQ(header.size, 80u);
        EXPECT_EQ(header.id, 0x0102);
        EXPECT_EQ(header.flags, 0x0014);
        EXPECT_EQ(NameFromField(header.name), row.read);

        uint8_t encoded[kChunkHeaderSize];
        EncodeChunkHeader(header, encoded);
        EXPECT_TRUE(std::equal(raw, raw + 12, encoded));
        std::string expected = row.written;
        expected.resize(64, '\0');
        EXPECT_EQ(std::string(encoded + 12, encoded + 76), expected);
    }
}

TEST(ByteCursor, FailureSticksAndReadsNothingBeyondTheEnd) {
    const uint8_t bytes[] = {1, 0, 0, 0, 'h', 'i', 0, 'x'};
    CByteCursor cursor(bytes, sizeof(bytes));
    EXPECT_EQ(cursor.U32LE(), 1u);
    EXPECT_EQ(cursor.CString(), "hi");
    EXPECT_EQ(cursor.Position(), 7u);
    EXPECT_EQ(cursor.U16LE(), 0);  // one byte left
    EXPECT_FALSE(cursor.Ok());
    EXPECT_EQ(cursor.Position(), 7u);
    EXPECT_EQ(cursor.U8(), 0);  // sticky, though one byte would fit
    EXPECT_FALSE(cursor.Has(0));

    CByteCursor noNul(bytes + 7, 1);
    EXPECT_EQ(noNul.CString(), "");
    EXPECT_FALSE(noNul.Ok());

    CByteCursor empty(nullptr, 0);
    EXPECT_EQ(empty.CString(), "");
    EXPECT_FALSE(empty.Ok());

    CByteCursor seek(bytes, sizeof(bytes));
    seek.Seek(8);
    EXPECT_TRUE(seek.Ok());
    seek.Seek(9);
    EXPECT_FALSE(seek.Ok());
}

// Against a plain map: keys in runs (as chunk ids are) and scattered, through growth and
// removals.
TEST(ChunkIndex, AgreesWithAMap) {
    CChunkIndex index;
    std::unordered_map<uint64_t, size_t> model;
    std::mt19937_64 random(3);
    for (size_t step = 0; step < 200000; ++step) {
        const uint64_t key = step % 2 ? (uint64_t{random() % 5} << 16) | (step / 2 % 65536)
                                      : random() & 0xFFFFFFFFFFFFull;
        switch (random() % 4) {
            case 0:
            case 1:
                index.InsertIfAbsent(key, step);
                model.try_emplace(key, step);
                break;
            case 2:
                index.Assign(key, step);
                model[key] = step;
                break;
            default:
                index.Erase(key);
                model.erase(key);
                break;
        }
        const auto it = model.find(key);
        ASSERT_EQ(index.Find(key), it == model.end() ? CChunkIndex::npos : it->second);
    }
    for (const auto& [key, value] : model) {
        ASSERT_EQ(index.Find(key), value);
    }
    index.Clear();
    EXPECT_EQ(index.Find(model.begin()->first), CChunkIndex::npos);
}

}  // namespace
