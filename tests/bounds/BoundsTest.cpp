// Small hostile files that declare far more than they hold: chunks of 0x3FFFFFFF bytes, maps with
// 0xFFFFFFFF types or entries, STR# payloads that count 65,535 records in a few bytes. Each is read
// the way the editor reads it (open in both map modes, look-ups, payload loads, string sets,
// LoadAll, a save), while every heap allocation is counted: memory and work must follow what the
// file holds, not what it claims.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "far/FarArchive.h"
#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/StringSet.h"
#include "tests/bounds/AllocationCounter.h"
#include "tests/support/FarBuilder.h"
#include "tests/support/IffBuilder.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr ChunkType kTypeBhav = MakeChunkType('B', 'H', 'A', 'V');
// What reading may always take besides the file's own size (the snapshot, one buffer).
constexpr size_t kFixedAllowance = 64 * 1024;

// The limits every hostile file must keep, from its size alone.
struct Bounds {
    size_t largest;  // bytes of the largest single allocation
    size_t total;    // bytes allocated in all
    size_t count;    // number of allocations: the work done, in effect
};

Bounds BoundsFor(size_t fileSize) {
    return {kFixedAllowance + fileSize, 4 * kFixedAllowance + 64 * fileSize, 256 + 8 * fileSize};
}

void ExpectWithin(const AllocationScope& scope, size_t fileSize) {
    const Bounds bounds = BoundsFor(fileSize);
    EXPECT_LE(scope.LargestBytes(), bounds.largest) << "largest allocation";
    EXPECT_LE(scope.TotalBytes(), bounds.total) << "bytes allocated";
    EXPECT_LE(scope.Count(), bounds.count) << "allocations";
}

CChunkRecord* RecordOf(ChunkHandle handle) {
    const CChunkStore& store = CChunkStore::Instance();
    return store.Resolve(store.GetTarget(handle));
}

void PatchBE32(Bytes& bytes, size_t at, uint32_t value) {
    IffBuilder::PutBE32(bytes.data() + at, value);
}

void PatchLE32(Bytes& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
    }
}

Bytes PlainPayload(const std::string& text) {
    Bytes out = {0xFF, 0xFF, 0x01, 0x00};
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
    return out;
}

// A file of one ordinary STR# chunk followed by `claim`, a chunk whose header declares huge.
Bytes ScanFileWithHugeChunk(uint32_t declared, ChunkType type) {
    IffBuilder b;
    b.Version("2.0");
    b.Chunk(kTypeStrings, 1, PlainPayload("fine"), "ok");
    b.Chunk(type, 2, PlainPayload("claims a gigabyte"), "huge");
    Bytes bytes = b.Build();
    PatchBE32(bytes, b.ChunkOffset(1) + 4, declared);
    return bytes;
}

// A version 2.5 file whose map lists a chunk that the scan cannot reach (flags 4) and whose own
// header declares `declared` bytes.
Bytes MapFileWithHugeChunk(uint32_t declared) {
    IffBuilder b;
    b.Chunk(kTypeStrings, 7, PlainPayload("only the map knows me"), "hidden", kFlagSkipScan);
    b.Chunk(kTypeStrings, 8, PlainPayload("fine"), "ok");
    b.MapAtEnd();
    Bytes bytes = b.Build();
    PatchBE32(bytes, b.ChunkOffset(0) + 4, declared);
    return bytes;
}

// A version 2.5 file whose map chunk header declares `declared` bytes.
Bytes FileWithHugeMap(uint32_t declared) {
    IffBuilder b;
    b.Chunk(kTypeStrings, 8, PlainPayload("fine"), "ok");
    b.MapAtEnd();
    Bytes bytes = b.Build();
    PatchBE32(bytes, b.MapOffset() + 4, declared);
    return bytes;
}

// A version 2.5 file whose map payload has the 32-bit field at payload offset `field` set to
// 0xFFFFFFFF: 16 is the type count, 24 the first group's entry count.
Bytes FileWithHugeMapCount(size_t field) {
    IffBuilder b;
    b.Chunk(kTypeStrings, 8, PlainPayload("fine"), "ok");
    b.Chunk(kTypeBhav, 9, Bytes(6, 0x11), "code");
    b.MapAtEnd();
    Bytes bytes = b.Build();
    PatchLE32(bytes, b.MapOffset() + kChunkHeaderSize + field, 0xFFFFFFFF);
    return bytes;
}

// A version 2.0 file holding one STR# chunk with this payload.
Bytes FileWithStrings(const Bytes& payload) {
    IffBuilder b;
    b.Version("2.0");
    b.Chunk(kTypeStrings, 1, payload, "strings");
    return b.Build();
}

// Everything the editor does with a file, from opening to saving; returns the chunk-list sizes
// seen, so the caller can check the file was read at all.
size_t ReadLikeTheEditor(const Bytes& bytes) {
    size_t listed = 0;
    for (const bool readMapHeaders : {false, true}) {
        CMemFile file(bytes.data(), bytes.size());
        CIffFile iff;
        static_cast<void>(iff.Attach(file));
        int error = 0;
        if (!iff.Open(&error, readMapHeaders)) {
            continue;
        }
        const std::vector<ChunkHandle> chunks = iff.GetChunkList();
        listed += chunks.size();
        for (const ChunkHandle handle : chunks) {
            CChunkRecord* record = RecordOf(handle);
            if (record == nullptr) {
                continue;
            }
            ChunkHandle found = 0;
            if (!iff.FindChunk(found, record->type, record->id)) {
                continue;
            }
            if (record->type == kTypeStrings) {
                CStringSet set;
                static_cast<void>(set.Load(iff, found));
            }
            static_cast<void>(iff.EnsureLoaded(found));
        }
        static_cast<void>(iff.LoadAll());
        // Nothing claims more than the file holds once it is read.
        for (const ChunkHandle handle : iff.GetChunkList()) {
            if (const CChunkRecord* record = RecordOf(handle)) {
                EXPECT_LE(record->capacity, bytes.size());
                if (record->size > bytes.size()) {
                    EXPECT_FALSE(record->loaded);
                }
            }
        }
        CMemFile out;
        static_cast<void>(iff.Save(&out));
    }
    return listed;
}

struct HostileFile {
    const char* name;
    std::function<Bytes()> build;
    size_t minListed;  // chunks the two opens must still find between them
};

void PrintTo(const HostileFile& param, std::ostream* out) {
    *out << param.name;
}

class HostileFileTest : public ::testing::TestWithParam<HostileFile> {};

TEST_P(HostileFileTest, ReadingCostsWhatTheFileHolds) {
    ASSERT_TRUE(AllocationScope::IsCounting());
    const Bytes bytes = GetParam().build();
    ASSERT_LT(bytes.size(), 1024u);
    const uint32_t slotsBefore = CChunkStore::Instance().GetCount();
    size_t listed = 0;
    {
        AllocationScope scope;
        listed = ReadLikeTheEditor(bytes);
        ExpectWithin(scope, bytes.size());
    }
    EXPECT_GE(listed, GetParam().minListed);
    // Two slots per registration; a registration needs a map entry (9 bytes) or a chunk header.
    EXPECT_LE(CChunkStore::Instance().GetCount() - slotsBefore, 2 * (2 * bytes.size() / 9 + 4));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileFileTest,
    ::testing::Values(
        HostileFile{"StrChunkOf0x3FFFFFFF",
                    [] { return ScanFileWithHugeChunk(0x3FFFFFFF, kTypeStrings); }, 2},
        HostileFile{"OtherChunkOf0x40000000",
                    [] { return ScanFileWithHugeChunk(0x40000000, kTypeBhav); }, 2},
        HostileFile{"ChunkOf0xFFFFFFFFEndsTheScan",
                    [] { return ScanFileWithHugeChunk(0xFFFFFFFF, kTypeStrings); }, 2},
        HostileFile{"MapListedChunkOf0x3FFFFFFF", [] { return MapFileWithHugeChunk(0x3FFFFFFF); },
                    2},
        HostileFile{"MapListedChunkOf0xFFFFFFFF", [] { return MapFileWithHugeChunk(0xFFFFFFFF); },
                    2},
        HostileFile{"MapChunkOf0x3FFFFFFF", [] { return FileWithHugeMap(0x3FFFFFFF); }, 2},
        HostileFile{"MapChunkOf0xFFFFFFFF", [] { return FileWithHugeMap(0xFFFFFFFF); }, 2},
        HostileFile{"MapTypeCount0xFFFFFFFF", [] { return FileWithHugeMapCount(16); }, 4},
        HostileFile{"MapEntryCount0xFFFFFFFF", [] { return FileWithHugeMapCount(24); }, 4},
        HostileFile{"PlainCount65535",
                    [] {
                        return FileWithStrings({0xFF, 0xFF, 0xFF, 0xFF});
                    },
                    2},
        HostileFile{"DescribedCount65535",
                    [] {
                        return FileWithStrings({0xFE, 0xFF, 0xFF, 0xFF, 'a', 0});
                    },
                    2},
        HostileFile{"MultilingualCount65535",
                    [] {
                        return FileWithStrings({0xFD, 0xFF, 0xFF, 0xFF, 1, 'a', 0, 0});
                    },
                    2},
        HostileFile{"BasicCount65278",
                    [] {
                        return FileWithStrings({0xFE, 0xFE, 1, 'a'});
                    },
                    2}),
    [](const auto& info) { return std::string(info.param.name); });

// The decoder alone, on payloads of a few bytes that count 65,535 records.
struct CountedPayload {
    const char* name;
    Bytes payload;
    size_t entries;  // what the few bytes really hold
};

void PrintTo(const CountedPayload& param, std::ostream* out) {
    *out << param.name;
}

class CountedPayloadTest : public ::testing::TestWithParam<CountedPayload> {};

TEST_P(CountedPayloadTest, DecodingCostsWhatThePayloadHolds) {
    const Bytes& payload = GetParam().payload;
    CStringSet set;
    bool decoded = true;
    {
        AllocationScope scope;
        decoded = set.Decode(payload.data(), payload.size());
        // Cells, entries and the byte pool, each in proportion to the payload's bytes.
        EXPECT_LE(scope.TotalBytes(), 256 + 128 * payload.size());
        EXPECT_LE(scope.Count(), 16u);
    }
    EXPECT_FALSE(decoded);
    EXPECT_EQ(set.GetCount(), GetParam().entries);
}

INSTANTIATE_TEST_SUITE_P(
    Payloads, CountedPayloadTest,
    ::testing::Values(CountedPayload{"PlainHeadOnly", {0xFF, 0xFF, 0xFF, 0xFF}, 0},
                      CountedPayload{"PlainOneText", {0xFF, 0xFF, 0xFF, 0xFF, 'a', 0, 'b', 0}, 2},
                      CountedPayload{"Described", {0xFE, 0xFF, 0xFF, 0xFF, 'a', 0, 'd', 0}, 1},
                      CountedPayload{"Multilingual", {0xFD, 0xFF, 0xFF, 0xFF, 1, 'a', 0, 0}, 1},
                      CountedPayload{"Basic", {0xFE, 0xFE, 1, 'a', 0}, 2},
                      CountedPayload{"BasicLengthPastEnd", {0xFE, 0xFE, 0xFF, 'a'}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// An ordinary file of many large payloads: the open takes the file once, in one buffer beside a
// small record per chunk, and loading every payload takes nothing more (payloads are slices).
TEST(SnapshotBounds, OpenTakesTheFileOnceAndLoadingAllocatesNothing) {
    ASSERT_TRUE(AllocationScope::IsCounting());
    for (const bool withMap : {false, true}) {
        SCOPED_TRACE(withMap ? "map" : "scan");
        constexpr size_t kChunks = 300;
        IffBuilder b;
        b.Version(withMap ? "2.5" : "2.0");
        for (size_t i = 0; i < kChunks; ++i) {
            b.Chunk(i % 2 == 0 ? kTypeStrings : kTypeBhav, static_cast<uint16_t>(i),
                    Bytes(3000 + i, static_cast<uint8_t>(i)), "chunk " + std::to_string(i));
        }
        if (withMap) {
            b.MapAtEnd();
        }
        const Bytes bytes = b.Build();
        CMemFile file(bytes.data(), bytes.size());
        CIffFile iff;
        {
            AllocationScope scope;
            static_cast<void>(iff.Attach(file));
            int error = 0;
            ASSERT_TRUE(iff.Open(&error, false));
            EXPECT_GE(scope.LargestBytes(), bytes.size()) << "no snapshot";
            // The duplicate of the memory stream is a second copy of the file; beyond the two,
            // what a record, its slots and its index entry take.
            EXPECT_LE(scope.TotalBytes(), 2 * bytes.size() + kFixedAllowance + 256 * kChunks);
        }
        AllocationScope loading;
        ASSERT_TRUE(iff.LoadAll());
        EXPECT_EQ(loading.Count(), 0u) << "an allocation while loading payloads";
        EXPECT_EQ(loading.TotalBytes(), 0u);
    }
}

// Keeps the compiler from eliding the allocations below.
void* volatile g_pSink = nullptr;

// The instrument itself: a counter that saw nothing would let every bound above pass.
TEST(AllocationScope, SeesNewMallocAndCalloc) {
    ASSERT_TRUE(AllocationScope::IsCounting());
    AllocationScope scope;
    auto* big = new std::vector<uint8_t>(300000);
    void* raw = std::calloc(1, 500000);
    void* small = std::malloc(7);
    g_pSink = big->data();
    g_pSink = raw;
    g_pSink = small;
    std::free(small);
    std::free(raw);
    delete big;
    EXPECT_GE(scope.Count(), 3u);
    EXPECT_EQ(scope.LargestBytes(), 500000u);
    EXPECT_GE(scope.TotalBytes(), 800007u);
}

}  // namespace

namespace {

// Archives whose manifest claims far more than the file holds: counts, name lengths and sizes.
struct HostileArchive {
    const char* name;
    std::function<Bytes()> build;
};

Bytes ArchiveHeader(uint32_t count) {
    FarBuilder far;
    far.count = count;
    return far.Build();
}

class HostileArchiveTest : public ::testing::TestWithParam<HostileArchive> {};

TEST_P(HostileArchiveTest, ReadingFollowsTheBytesNotTheCounts) {
    ASSERT_TRUE(AllocationScope::IsCounting());
    const Bytes bytes = GetParam().build();
    ASSERT_LT(bytes.size(), 1024u);
    AllocationScope scope;
    CFarArchive archive;
    std::ignore = archive.Load(std::span<const uint8_t>(bytes));
    size_t readable = 0;
    for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
        readable += archive.EntryBytes(i).size();
    }
    std::string why;
    std::ignore = archive.CanRewrite(&why);
    std::ignore = archive.FindEntry("x", &why);
    ExpectWithin(scope, bytes.size());
    EXPECT_LE(readable, bytes.size());
}

INSTANTIATE_TEST_SUITE_P(
    Archives, HostileArchiveTest,
    ::testing::Values(
        HostileArchive{"CountFFFFFFFFInTwentyBytes",
                       [] {
                           Bytes bytes = ArchiveHeader(0xFFFFFFFF);
                           EXPECT_EQ(bytes.size(), 20u);
                           return bytes;
                       }},
        HostileArchive{"CountFFFFFFFFOverManyShortRecords",
                       [] {
                           FarBuilder far;
                           far.shortNames = true;
                           far.count = 0xFFFFFFFF;
                           for (int i = 0; i < 60; ++i) {
                               far.entries.push_back({"", {}, 0, 0xFFFFFFFF, 0xFFFFFFFF, 16});
                           }
                           return far.Build();
                       }},
        HostileArchive{"NameLengthFFFFFFFF",
                       [] {
                           FarBuilder far;
                           far.entries = {{"ab", {1, 2}}};
                           Bytes bytes = far.Build();
                           // The record's name length: after the count and three 32-bit fields.
                           const size_t at = bytes.size() - 2 - 4;
                           PatchLE32(bytes, at, 0xFFFFFFFF);
                           return bytes;
                       }},
        HostileArchive{"SizesOfFourGigabytes",
                       [] {
                           FarBuilder far;
                           for (int i = 0; i < 20; ++i) {
                               far.entries.push_back({"e", {1}, 0, 0xFFFFFFFF, 0xFFFFFFFF, -1});
                           }
                           return far.Build();
                       }}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
