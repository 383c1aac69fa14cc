// A whole IFF file through CIffFile: open (both map modes), lazy look-ups and payload copies,
// LoadAll, a payload replacement, Save into memory, then the saved bytes opened again.
//
// Properties:
// - Open fails exactly when the header is not an IFF header, with code 3 or 4.
// - Every payload that loads is the bytes of the input at the record's offset.
// - An unchanged save is the input's bytes, whatever the file holds.
// - After a replacement, a save that succeeds writes the same bytes twice; its result opens,
//   and saved unchanged (also into its own source) it gives its own bytes. The chunk a
//   replacement reaches comes back with the new payload when look-ups still reach it first.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "framework/stream/MemFile.h"
#include "fuzz/FuzzCheck.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"

namespace {

CChunkRecord* RecordOf(ChunkHandle handle) {
    const CChunkStore& store = CChunkStore::Instance();
    return store.Resolve(store.GetTarget(handle));
}

bool HasIffHeader(const uint8_t* data, size_t size) {
    return size >= kFileHeaderSize && std::memcmp(data, "IFF FILE", 8) == 0 &&
           (std::memcmp(data + 9, "2.0", 3) == 0 || std::memcmp(data + 9, "2.5", 3) == 0);
}

// Attaches a copy of the bytes and opens it; checks the verdict against the header.
bool OpenBytes(CIffFile& iff, const uint8_t* data, size_t size, bool readMapHeaders) {
    CMemFile file(data, size);
    FUZZ_CHECK(iff.Attach(file) == size);
    int error = 0;
    const bool opened = iff.Open(&error, readMapHeaders);
    FUZZ_CHECK(opened == HasIffHeader(data, size));
    if (opened) {
        FUZZ_CHECK(error == 0);
    } else {
        const bool signature = size >= kFileHeaderSize && std::memcmp(data, "IFF FILE", 8) == 0;
        FUZZ_CHECK(error == (signature ? CIffFile::errVersion : CIffFile::errNotIff));
        FUZZ_CHECK(iff.GetChunkList().empty());
    }
    return opened;
}

// Right after Open: every entry resolves, the type list names each type once, and the type walks
// agree with CountOfType.
void CheckLists(const CIffFile& iff) {
    size_t listed = 0;
    for (const ChunkHandle handle : iff.GetChunkList()) {
        FUZZ_CHECK(RecordOf(handle) != nullptr);
    }
    const std::vector<ChunkType>& types = iff.GetTypeList();
    for (size_t i = 0; i < types.size(); ++i) {
        FUZZ_CHECK(std::find(types.begin() + static_cast<ptrdiff_t>(i) + 1, types.end(),
                             types[i]) == types.end());
        POSITION pos = iff.FindFirstOfType(types[i]);
        FUZZ_CHECK(pos != 0);
        uint32_t walked = 0;
        while (pos != 0) {
            const ChunkHandle handle = iff.GetNextOfType(pos);
            FUZZ_CHECK(RecordOf(handle)->type == types[i]);
            ++walked;
        }
        FUZZ_CHECK(walked == iff.CountOfType(types[i], false));
        listed += walked;
    }
    FUZZ_CHECK(listed == iff.GetChunkList().size());
    // The type walk gives the type list.
    std::vector<ChunkType> walked;
    for (POSITION pos = iff.GetFirstTypePosition(); pos != 0;) {
        walked.push_back(iff.GetNextType(pos));
    }
    FUZZ_CHECK(walked == types);
}

// The payload of a loaded record is the input's bytes at its offset.
void CheckPayloadFromInput(const CChunkRecord& record, const uint8_t* data, size_t size) {
    FUZZ_CHECK(record.loaded && record.headerRead);
    FUZZ_CHECK(record.offset <= size && record.size <= size - record.offset);
    FUZZ_CHECK(record.size == 0 ||
               std::memcmp(record.data, data + record.offset, record.size) == 0);
}

// FindChunk and CopyPayload on the first chunks, before anything else loads them.
void LookUpLazily(CIffFile& iff, const uint8_t* data, size_t size) {
    const std::vector<ChunkHandle> chunks = iff.GetChunkList();
    for (size_t i = 0; i < chunks.size() && i < 16; ++i) {
        const CChunkRecord* listed = RecordOf(chunks[i]);
        if (listed == nullptr) {
            continue;
        }
        const ChunkType type = listed->type;
        const uint16_t id = listed->id;
        ChunkHandle found = 0;
        if (!iff.FindChunk(found, type, id)) {
            continue;
        }
        const CChunkRecord* record = RecordOf(found);
        FUZZ_CHECK(record != nullptr && record->headerRead);
        FUZZ_CHECK(record->type == type && record->id == id);
        if (record->size > size) {
            // Claims more than the whole file: must fail without a buffer of that size.
            FUZZ_CHECK(!iff.EnsureLoaded(found));
            continue;
        }
        std::vector<uint8_t> copy(record->size);
        if (iff.CopyPayload(found, copy.data())) {
            CheckPayloadFromInput(*record, data, size);
            FUZZ_CHECK(copy.empty() || std::memcmp(copy.data(), record->data, copy.size()) == 0);
        }
    }
}

std::vector<uint8_t> SaveToMemory(CIffFile& iff) {
    CMemFile out;
    FUZZ_CHECK(iff.Save(&out));
    return out.ToVector();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x1000000) {
        return 0;
    }
    if (size == 0) {
        // Nothing attached: code 5, and no code at all without a place to put it.
        CIffFile detached;
        int error = 0;
        FUZZ_CHECK(!detached.Open(&error, false) && error == CIffFile::errNoSource);
        FUZZ_CHECK(!detached.Open(nullptr, false));
    }
    {
        // The other map mode: headers of map entries read while the map is parsed.
        CIffFile eager;
        if (OpenBytes(eager, data, size, true)) {
            CheckLists(eager);
            std::ignore = eager.LoadAll();
        }
    }

    CIffFile iff;
    if (!OpenBytes(iff, data, size, false)) {
        return 0;
    }
    const std::vector<uint8_t> input(data, data + size);
    FUZZ_CHECK(SaveToMemory(iff) == input);
    CheckLists(iff);
    LookUpLazily(iff, data, size);

    const bool loaded = iff.LoadAll();
    if (loaded) {
        for (const ChunkHandle handle : iff.GetChunkList()) {
            const CChunkRecord* record = RecordOf(handle);
            if (record->type != kTypeResourceMap) {
                CheckPayloadFromInput(*record, data, size);
            }
        }
    }
    FUZZ_CHECK(SaveToMemory(iff) == input);

    // Replace one chunk's payload with a slice of the input, as a string set's Store does.
    const std::vector<ChunkHandle>& chunks = iff.GetChunkList();
    if (chunks.empty() || size == 0) {
        return 0;
    }
    const CChunkRecord* victim = RecordOf(chunks[data[size - 1] % chunks.size()]);
    FUZZ_CHECK(victim != nullptr);
    const size_t length = std::min<size_t>(size, data[size - 1] * 3u);
    CMemFile replacement(data + size - length, length);
    const ChunkType type = victim->type;
    const uint16_t id = victim->id;
    ChunkHandle found = 0;
    const bool findable = iff.FindChunk(found, type, id);
    FUZZ_CHECK(iff.ReplaceChunkData(type, id, replacement) == findable);
    if (!findable) {
        return 0;
    }
    const CChunkRecord* record = RecordOf(found);
    FUZZ_CHECK(record->loaded && record->size == length);
    FUZZ_CHECK(length == 0 || std::memcmp(record->data, data + size - length, length) == 0);

    CMemFile out;
    if (!iff.Save(&out)) {
        FUZZ_CHECK(!iff.GetWriteProblem().empty());
        return 0;
    }
    const std::vector<uint8_t> first = out.ToVector();
    FUZZ_CHECK(SaveToMemory(iff) == first);
    CIffFile again;
    FUZZ_CHECK(OpenBytes(again, first.data(), first.size(), false));
    ChunkHandle edited = 0;
    if (again.FindChunk(edited, type, id) && again.EnsureLoaded(edited) &&
        RecordOf(edited)->offset == record->offset) {
        // The same place: the chunk replaced, as long as nothing before it moved.
        const CChunkRecord* back = RecordOf(edited);
        FUZZ_CHECK(back->size == length);
        FUZZ_CHECK(length == 0 || std::memcmp(back->data, data + size - length, length) == 0);
    }
    FUZZ_CHECK(SaveToMemory(again) == first);
    FUZZ_CHECK(again.Save(nullptr));
    int error = 0;
    FUZZ_CHECK(again.Open(&error, false));
    FUZZ_CHECK(SaveToMemory(again) == first);
    return 0;
}
