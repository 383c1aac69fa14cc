// Chunks whose headers are read late, through a map that disagrees with the file: the header can
// give a chunk the type and id of one already listed. Found by fuzzing the write-then-read round
// trip (fuzz/seeds/fuzz_iff/regress-duplicate-key-after-late-header.iff).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "tests/support/IffBuilder.h"

namespace {

using Bytes = std::vector<uint8_t>;

const CChunkRecord* RecordOf(ChunkHandle handle) {
    return CChunkStore::Instance().Resolve(handle);
}

Bytes PayloadOf(CIffFile& iff, ChunkType type, uint16_t id) {
    ChunkHandle handle = 0;
    if (!iff.FindChunk(handle, type, id) || !iff.EnsureLoaded(handle)) {
        return {};
    }
    const CChunkRecord* record = RecordOf(handle);
    return {record->data, record->data + record->size};
}

// STR# 128 that the scan finds; then a chunk of size 75, which ends the scan; then a second chunk
// whose header also says STR# 128 but which the map lists as STR# 129.
Bytes FileWithLateDuplicate() {
    IffBuilder b;
    b.Chunk(kTypeStrings, 128, {'f', 'i', 'r', 's', 't'}, "seen");
    b.Chunk(MakeChunkType('J', 'U', 'N', 'K'), 1, Bytes(10, 0));
    b.Last().sizeAdjust = -11;
    b.Last().inMap = false;
    b.Chunk(kTypeStrings, 129, {'o', 't', 'h', 'e', 'r'}, "behind the break");
    b.MapAtEnd();
    Bytes bytes = b.Build();
    bytes[b.ChunkOffset(2) + 9] = 128;  // the header's id, low byte
    return bytes;
}

TEST(IffLateHeader, EditOfTheChunkLookUpsReachSurvivesSaveAndReopen) {
    const Bytes original = FileWithLateDuplicate();
    CMemFile source(original.data(), original.size());
    CIffFile iff;
    ASSERT_EQ(iff.Attach(source), original.size());
    int error = 0;
    ASSERT_TRUE(iff.Open(&error, false));
    ASSERT_EQ(PayloadOf(iff, kTypeStrings, 128), (Bytes{'f', 'i', 'r', 's', 't'}));

    const Bytes edited = {'e', 'd', 'i', 't', 'e', 'd'};
    CMemFile replacement(edited.data(), edited.size());
    ASSERT_TRUE(iff.ReplaceChunkData(kTypeStrings, 128, replacement));
    // Loading reads the second header: now two entries say STR# 128.
    ASSERT_TRUE(iff.LoadAll());
    ASSERT_EQ(iff.CountOfType(kTypeStrings, false), 2u);
    ASSERT_EQ(PayloadOf(iff, kTypeStrings, 128), edited);

    CMemFile saved;
    ASSERT_TRUE(iff.Save(&saved));
    const Bytes bytes = saved.ToVector();
    CIffFile reopened;
    ASSERT_EQ(reopened.Attach(saved), bytes.size());
    ASSERT_TRUE(reopened.Open(&error, false));
    EXPECT_EQ(PayloadOf(reopened, kTypeStrings, 128), edited);
    // The other chunk with its type and id stays where it was, as the file held it.
    EXPECT_EQ(bytes.size(), original.size() + 1);
    ASSERT_TRUE(reopened.LoadAll());
    CMemFile again;
    ASSERT_TRUE(reopened.Save(&again));
    EXPECT_EQ(again.ToVector(), bytes);
}

}  // namespace
