// The chunk list an open builds, against a model of its rules that walks the list from the start
// for every key: map entries in map order, each displacing the first listed entry with its type
// and id; then every scanned chunk (flag 4 aside) completes the first entry with its key when
// that is a map entry for its very offset, or displaces it, or is appended.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "tests/iff/IffTestSupport.h"
#include "tests/support/IffBuilder.h"

using namespace ifftest;

namespace {

struct ModelEntry {
    ChunkType type;
    uint16_t id;
    uint32_t headerOffset;
    bool headerRead;
    bool operator==(const ModelEntry&) const = default;
    friend void PrintTo(const ModelEntry& e, std::ostream* os) {
        *os << std::hex << e.type << "/" << std::dec << e.id << "@" << e.headerOffset
            << (e.headerRead ? " read" : " unread");
    }
};

class CModelList {
public:
    void Add(const ModelEntry& entry) {
        const auto it = m_first.find({entry.type, entry.id});
        if (it != m_first.end()) {
            m_entries[it->second] = entry;
        } else {
            m_first[{entry.type, entry.id}] = m_entries.size();
            m_entries.push_back(entry);
        }
    }
    // The chunk whose header lies at offset was found by the scan.
    void Scanned(ChunkType type, uint16_t id, uint32_t offset) {
        const auto it = m_first.find({type, id});
        if (it != m_first.end()) {
            ModelEntry& listed = m_entries[it->second];
            if (!listed.headerRead && listed.headerOffset == offset) {
                listed.headerRead = true;
                return;
            }
        }
        Add({type, id, offset, true});
    }
    [[nodiscard]] const std::vector<ModelEntry>& Entries() const { return m_entries; }

private:
    std::vector<ModelEntry> m_entries;
    std::map<Key, size_t> m_first;
};

uint32_t ReadBE(const std::vector<uint8_t>& bytes, size_t at, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | bytes[at + static_cast<size_t>(i)];
    }
    return value;
}

// What the rules give for the built file whose map lists mapEntries in this order.
std::vector<ModelEntry> Expected(const std::vector<uint8_t>& bytes,
                                 const std::vector<IffMapEntrySpec>& mapEntries) {
    CModelList model;
    for (const auto& entry : mapEntries) {
        model.Add({entry.type, entry.id, entry.offset, false});
    }
    for (size_t at = 64; at + 76 <= bytes.size();) {
        const uint32_t size = ReadBE(bytes, at + 4, 4);
        if ((ReadBE(bytes, at + 10, 2) & 0x0004) == 0) {
            model.Scanned(ReadBE(bytes, at, 4), static_cast<uint16_t>(ReadBE(bytes, at + 8, 2)),
                          static_cast<uint32_t>(at));
        }
        at += size;
    }
    return model.Entries();
}

std::vector<ModelEntry> Actual(const CIffFile& iff) {
    std::vector<ModelEntry> entries;
    for (const ChunkHandle handle : iff.GetChunkList()) {
        const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
        entries.push_back({record->type, record->id, record->offset - 76, record->IsHeaderRead()});
    }
    return entries;
}

struct IndexRow {
    const char* what;
    std::function<void(IffBuilder&)> chunks;
    // The map's entries, once the builder has laid the chunks out; the map groups them by type.
    std::function<std::vector<IffMapEntrySpec>(const IffBuilder&)> map;
    friend void PrintTo(const IndexRow& row, std::ostream* os) { *os << row.what; }
};

// Map entries for the given chunks, in this order, at their offsets.
std::vector<IffMapEntrySpec> EntriesOf(const IffBuilder& b, const std::vector<size_t>& chunks) {
    std::vector<IffMapEntrySpec> entries;
    for (const size_t i : chunks) {
        const IffChunkSpec& chunk = b.Chunks()[i];
        entries.push_back({chunk.type, b.ChunkOffset(i), chunk.id, chunk.flags, chunk.name});
    }
    return entries;
}

std::vector<size_t> Range(size_t from, size_t to) {
    std::vector<size_t> indices;
    for (size_t i = from; i < to; ++i) {
        indices.push_back(i);
    }
    return indices;
}

// Three types, ids ascending within each, the types interleaved in the file.
void Interleaved(IffBuilder& b) {
    const ChunkType types[] = {kStr, kBhav, kGlob};
    for (uint16_t i = 0; i < 30; ++i) {
        b.Chunk(types[i % 3], static_cast<uint16_t>(100 + i / 3), Payload(i % 5, 1));
    }
}

// The map groups entries by type, in the order of the types' first entries.
std::vector<IffMapEntrySpec> Grouped(const std::vector<IffMapEntrySpec>& entries) {
    std::vector<ChunkType> types;
    for (const auto& entry : entries) {
        if (std::find(types.begin(), types.end(), entry.type) == types.end()) {
            types.push_back(entry.type);
        }
    }
    std::vector<IffMapEntrySpec> grouped;
    for (const ChunkType type : types) {
        for (const auto& entry : entries) {
            if (entry.type == type) {
                grouped.push_back(entry);
            }
        }
    }
    return grouped;
}

class IffIndex : public testing::TestWithParam<IndexRow> {};

TEST_P(IffIndex, ListIsWhatTheRulesGive) {
    IffBuilder builder;
    GetParam().chunks(builder);
    builder.MapAtEnd();
    builder.MapPayload({});
    std::ignore = builder.Build();  // lays the chunks out
    const std::vector<IffMapEntrySpec> entries = Grouped(GetParam().map(builder));
    builder.MapPayload(IffBuilder::EncodeMapPayload(entries));
    const std::vector<uint8_t> bytes = builder.Build();
    OpenedFile file(bytes);
    ASSERT_TRUE(file.opened);
    const std::vector<ModelEntry> expected = Expected(bytes, entries);
    const std::vector<ModelEntry> actual = Actual(file.iff);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "entry " << i;
    }
    // Every listed key is found, as the first entry with it.
    for (const ModelEntry& entry : expected) {
        ChunkHandle handle = 0;
        if (entry.headerRead) {
            ASSERT_TRUE(file.iff.FindChunk(handle, entry.type, entry.id));
            const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
            EXPECT_EQ(record->offset - 76, entry.headerOffset);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IffIndex,
    testing::Values(IndexRow{"map and scan agree", Interleaved,
                             [](const IffBuilder& b) {
                                 // Grouped by type, each group in file order.
                                 std::vector<size_t> order;
                                 for (size_t type = 0; type < 3; ++type) {
                                     for (size_t i = type; i < 30; i += 3) {
                                         order.push_back(i);
                                     }
                                 }
                                 return EntriesOf(b, order);
                             }},
                    IndexRow{"map lists each type's ids descending", Interleaved,
                             [](const IffBuilder& b) {
                                 std::vector<size_t> order;
                                 for (size_t type = 0; type < 3; ++type) {
                                     for (size_t i = 27 + type; i < 30; i -= 3) {
                                         order.push_back(i);
                                     }
                                 }
                                 return EntriesOf(b, order);
                             }},
                    IndexRow{"map entry at a chunk's offset with another id", Interleaved,
                             [](const IffBuilder& b) {
                                 auto entries = Grouped(EntriesOf(b, Range(0, 30)));
                                 entries[4].id = 7;    // the chunk is found by the scan, appended
                                 entries[5].id = 100;  // the id of an earlier entry: displaces it
                                 return entries;
                             }},
                    IndexRow{"map entry at a chunk's offset with another type", Interleaved,
                             [](const IffBuilder& b) {
                                 auto entries = EntriesOf(b, Range(0, 30));
                                 entries[6].type = kJunk;
                                 return entries;
                             }},
                    IndexRow{"map entries outside the file and inside payloads", Interleaved,
                             [](const IffBuilder& b) {
                                 auto entries = Grouped(EntriesOf(b, Range(0, 30)));
                                 entries.push_back({kJunk, 0xFFFFFFF0u, 1, 0, "nowhere"});
                                 entries.push_back({kJunk, b.ChunkOffset(3) + 80, 2, 0, "inside"});
                                 entries.push_back({kJunk, 0, 3, 0, "in the file header"});
                                 return entries;
                             }},
                    IndexRow{"several map entries at one offset", Interleaved,
                             [](const IffBuilder& b) {
                                 auto entries = Grouped(EntriesOf(b, Range(0, 30)));
                                 entries.push_back({kJunk, b.ChunkOffset(9), 1, 0, ""});
                                 entries.push_back({kJunk, b.ChunkOffset(9), 2, 0, ""});
                                 return entries;
                             }},
                    IndexRow{"duplicate keys in the map and in the file",
                             [](IffBuilder& b) {
                                 Interleaved(b);
                                 b.Chunk(kStr, 101, Payload(3, 2));  // 30: a second STR# 101
                                 b.Chunk(kStr, 101, Payload(4, 3));  // 31: and a third
                             },
                             [](const IffBuilder& b) {
                                 auto entries = EntriesOf(b, {0, 3, 30, 6, 31, 1, 4, 2});
                                 entries.push_back({kStr, b.ChunkOffset(3), 101, 0, ""});  // twice
                                 return entries;
                             }},
                    IndexRow{"flag 4: listed and not listed",
                             [](IffBuilder& b) {
                                 Interleaved(b);
                                 b.At(3).flags = 0x0004;
                                 b.At(4).flags = 0x0004;
                                 b.At(5).flags = 0x0014;
                             },
                             [](const IffBuilder& b) {
                                 return EntriesOf(b, {0, 1, 2, 3, 5, 6});
                             }},
                    IndexRow{"no map entries", Interleaved,
                             [](const IffBuilder&) { return std::vector<IffMapEntrySpec>{}; }},
                    IndexRow{
                        "65,536 ids wrapping",
                        [](IffBuilder& b) {
                            for (uint32_t i = 0; i < 65536 + 40; ++i) {
                                b.Chunk(kStr, static_cast<uint16_t>(i), {});
                            }
                        },
                        [](const IffBuilder& b) { return EntriesOf(b, Range(0, 65536 + 40)); }}),
    [](const testing::TestParamInfo<IndexRow>& info) {
        std::string name;
        for (const char c : std::string(info.param.what)) {
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

}  // namespace
