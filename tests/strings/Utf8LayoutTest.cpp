// The UTF-8 layout (format word FC FF): decoding by set, varint lengths, the bytes an unchanged or
// edited set encodes to, the per-language record limit, and switching to the legacy layouts.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/StringSet.h"
#include "strings/TextCodec.h"
#include "tests/strings/StringTestSupport.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/Utf8Payload.h"

namespace strings_test {
namespace {

// Sets 0 (USEnglish), 2 (French) and 14 (Japanese, code 15), as real files fill them.
Utf8Sets CanonicalSets() {
    Utf8Sets sets(20);
    sets[0] = {{"Chair", "Sit on it"}, {"Table", ""}, {"", ""}};
    sets[2] = {{"Chaise", "Asseyez-vous"}, {"Table", ""}, {"", ""}};
    sets[14] = {{"\xE6\xA4\x85\xE5\xAD\x90", ""}, {"", ""}, {"", ""}};
    return sets;
}

struct Utf8Row {
    std::string name;
    Bytes payload;
    bool ok;
    size_t count;
    std::vector<Cell> cells;
    bool canonical;  // the unchanged set encodes to the payload itself
};

void PrintTo(const Utf8Row& row, std::ostream* os) {
    *os << row.name;
}

std::vector<Utf8Row> Rows() {
    const std::string longText(300, 't');
    const std::string longDescription(128, 'd');
    Utf8Sets withCode21(21);
    withCode21[0] = {{"en", ""}};
    withCode21[20] = {{"code 21", ""}};
    Utf8Sets further(20);
    further[7] = {{"dansk", ""}};    // code 8
    further[12] = {{"russki", ""}};  // code 13
    Utf8Sets growing(20);
    growing[0] = {{"one", ""}};
    growing[1] = {{"a", ""}, {"b", ""}, {"c", ""}};

    Bytes sixByteLength = {0xFC, 0xFF, 1, 1, 0, 0, 0x81, 0x80, 0x80, 0x80, 0x80, 0x00};
    Bytes lengthPastEnd = {0xFC, 0xFF, 1, 1, 0, 0, 0x05, 'a', 'b'};
    Bytes descriptionPastEnd = {0xFC, 0xFF, 1, 1, 0, 0, 0x01, 'a', 0x02, 'b'};
    Bytes setWithoutSlot = BuildUtf8Payload({}, 21);
    setWithoutSlot[2] = 22;
    const Bytes emptyTwentySecond = [&] {
        Bytes bytes = setWithoutSlot;
        bytes.insert(bytes.end(), {0, 0});
        return bytes;
    }();
    setWithoutSlot.insert(setWithoutSlot.end(), {1, 0, 21, 1, 'x', 0});

    return {
        {"canonical_three_languages",
         BuildUtf8Payload(CanonicalSets()),
         true,
         3,
         {{0, 0, "Chair", "Sit on it"},
          {0, 2, "Chaise", "Asseyez-vous"},
          {0, 9, "\xE6\xA4\x85\xE5\xAD\x90", ""},
          {1, 0, "Table", ""},
          {1, 2, "Table", ""}},
         true},
        {"two_byte_lengths",
         BuildUtf8Payload({{{longText, longDescription}}}),
         true,
         1,
         {{0, 0, longText, longDescription}},
         true},
        {"all_sets_empty", BuildUtf8Payload({}), true, 0, {}, true},
        {"no_sets", {0xFC, 0xFF, 0}, true, 0, {}, false},
        {"language_byte_255_ignored",
         BuildUtf8Payload({{{"a", "", 255}, {"b", "x", 255}}}),
         true,
         2,
         {{0, 0, "a", ""}, {1, 0, "b", "x"}},
         false},
        {"code_21_in_set_20",
         BuildUtf8Payload(withCode21, 21),
         true,
         1,
         {{0, 0, "en", ""}, {0, 15, "code 21", ""}},
         true},
        {"codes_8_and_13_in_their_own_slots",
         BuildUtf8Payload(further),
         true,
         1,
         {{0, 16, "dansk", ""}, {0, 20, "russki", ""}},
         true},
        {"later_set_appends_entries",
         BuildUtf8Payload(growing),
         true,
         3,
         {{0, 0, "one", ""}, {0, 1, "a", ""}, {1, 1, "b", ""}, {2, 1, "c", ""}},
         true},
        {"invalid_utf8_and_nul_kept",
         BuildUtf8Payload({{{std::string("\xFF\xC3(", 3) + std::string(1, '\0') + "z", ""}}}),
         true,
         1,
         {{0, 0, std::string("\xFF\xC3(", 3) + std::string(1, '\0') + "z", ""}},
         true},
        {"empty_22nd_set_accepted", emptyTwentySecond, true, 0, {}, false},
        {"pair_in_set_without_slot_fails", setWithoutSlot, false, 0, {}, false},
        {"head_only_fails", {0xFC, 0xFF}, false, 0, {}, false},
        {"six_byte_length_fails", sixByteLength, false, 0, {}, false},
        {"text_past_end_fails", lengthPastEnd, false, 0, {}, false},
        {"description_past_end_keeps_nothing_of_the_pair", descriptionPastEnd, false, 0, {}, false},
    };
}

class Utf8DecodeTest : public testing::TestWithParam<Utf8Row> {};

TEST_P(Utf8DecodeTest, DecodesBySetAndEncodesBack) {
    const Utf8Row& row = GetParam();
    CStringSet set;
    set.m_bBasic = true;  // decoding sets the flags, whatever they were
    ASSERT_EQ(set.Decode(row.payload.data(), row.payload.size()), row.ok);
    EXPECT_EQ(set.GetLayout(), StringLayout::utf8);
    EXPECT_EQ(set.GetCount(), row.count);
    EXPECT_EQ(CellsOf(set), row.cells);
    if (!row.ok) {
        return;
    }
    EXPECT_EQ(&set.GetSlotCodec(9), &CTextCodec::Utf8());
    Bytes encoded;
    ASSERT_TRUE(set.Encode(encoded));
    if (row.canonical) {
        EXPECT_EQ(encoded, row.payload);
    }
    // Whatever the input, what it encodes to is canonical and holds the same strings.
    CStringSet again;
    ASSERT_TRUE(again.Decode(encoded.data(), encoded.size()));
    EXPECT_EQ(CellsOf(again), row.cells);
    Bytes second;
    ASSERT_TRUE(again.Encode(second));
    EXPECT_EQ(second, encoded);
}

INSTANTIATE_TEST_SUITE_P(Rows, Utf8DecodeTest, testing::ValuesIn(Rows()),
                         [](const auto& info) { return info.param.name; });

TEST(Utf8LayoutTest, EveryTruncationFailsWithinThePayloadAndKeepsASubset) {
    Utf8Sets sets = CanonicalSets();
    sets[0][1].text = std::string(200, 'L');  // a two-byte length to cut through
    const Bytes payload = BuildUtf8Payload(sets);
    CStringSet whole;
    ASSERT_TRUE(whole.Decode(payload.data(), payload.size()));
    const std::vector<Cell> all = CellsOf(whole);
    for (size_t size = 0; size < payload.size(); ++size) {
        // A copy of exactly size bytes, so the sanitizers see any read past it.
        const Bytes prefix(payload.begin(), payload.begin() + static_cast<ptrdiff_t>(size));
        CStringSet set;
        EXPECT_FALSE(set.Decode(prefix.data(), prefix.size())) << size;
        for (const Cell& cell : CellsOf(set)) {
            EXPECT_NE(std::find(all.begin(), all.end(), cell), all.end()) << size;
        }
    }
}

TEST(Utf8LayoutTest, EditingOneLanguageRewritesOnlyItsPairs) {
    Utf8Sets sets = CanonicalSets();
    CStringSet set;
    const Bytes payload = BuildUtf8Payload(sets);
    ASSERT_TRUE(set.Decode(payload.data(), payload.size()));

    ASSERT_TRUE(set.SetString(1, 2, 0, "Tableau \xC3\xA0 " + std::string(150, 'x')));
    Bytes encoded;
    ASSERT_TRUE(set.Encode(encoded));
    sets[2][1].text = "Tableau \xC3\xA0 " + std::string(150, 'x');
    EXPECT_EQ(encoded, BuildUtf8Payload(sets));

    // A new entry grows only the set it is written in; a NUL stays, the lengths being explicit.
    ASSERT_TRUE(set.SetString(3, 0, 1, std::string("a\0b", 3)));
    ASSERT_TRUE(set.Encode(encoded));
    sets[0].push_back({"", std::string("a\0b", 3)});
    EXPECT_EQ(encoded, BuildUtf8Payload(sets));
}

TEST(Utf8LayoutTest, RecordLimitCountsEachLanguageOnItsOwn) {
    // 65,535 entries in two languages: 131,070 records, which the multilingual layout refuses.
    CStringSet set;
    const Bytes empty = BuildUtf8Payload({});
    ASSERT_TRUE(set.Decode(empty.data(), empty.size()));
    for (uint32_t i = 0; i < 0xFFFF; ++i) {
        ASSERT_TRUE(set.SetString(static_cast<uint16_t>(i), 0, 0, "e"));
        ASSERT_TRUE(set.SetString(static_cast<uint16_t>(i), 2, 0, "f"));
    }
    EXPECT_EQ(set.CountRecords(), 0xFFFFu);
    Bytes encoded;
    ASSERT_TRUE(set.Encode(encoded));
    CStringSet again;
    ASSERT_TRUE(again.Decode(encoded.data(), encoded.size()));
    EXPECT_EQ(again.GetCount(), 0xFFFFu);

    // One entry more does not fit the 16-bit count of its set.
    ASSERT_TRUE(set.SetString(0xFFFF, 0, 0, "over"));
    EXPECT_EQ(set.CountRecords(), 0x10000u);
    EXPECT_FALSE(set.Encode(encoded));
    EXPECT_TRUE(encoded.empty());

    // The same entries in the multilingual layout count every language.
    ASSERT_TRUE(set.SetLayoutFlags(false, false, true));
    ASSERT_TRUE(set.SetLayoutFlags(false, true, true));
    EXPECT_EQ(set.GetLayout(), StringLayout::multilingual);
    EXPECT_EQ(set.CountRecords(), 2u * 0x10000u);
}

struct SwitchRow {
    std::string name;
    bool basic;
    bool languages;
    bool descriptions;
    StringLayout layout;
};

class Utf8SwitchTest : public testing::TestWithParam<SwitchRow> {};

TEST_P(Utf8SwitchTest, LeavingTheLayoutConvertsEveryTextToItsCodePage) {
    const SwitchRow& row = GetParam();
    Utf8Sets sets(20);
    sets[0] = {{"caf\xC3\xA9", "\xE2\x80\x9Cquoted\xE2\x80\x9D"}};
    sets[14] = {{"\xE6\xA4\x85\xE5\xAD\x90", ""}};  // Japanese (code 15)
    sets[15] = {{"\xC5\x82\xC3\xB3\xC5\xBC", ""}};  // Polish (code 16)
    const Bytes payload = BuildUtf8Payload(sets);
    CStringSet set;
    ASSERT_TRUE(set.Decode(payload.data(), payload.size()));

    ASSERT_TRUE(set.SetLayoutFlags(row.basic, row.languages, row.descriptions));
    EXPECT_EQ(set.GetLayout(), row.layout);
    EXPECT_FALSE(set.m_bUtf8);
    const std::vector<Cell> expected = {
        {0, 0, "caf\xE9", "\x93quoted\x94"},
        {0, 9, "\x88\xD6\x8E\x71", ""},
        {0, 10, "\xB3\xF3\xBF", ""},
    };
    EXPECT_EQ(CellsOf(set), expected);
    // Back to languages and descriptions is the multilingual layout, not UTF-8 again.
    ASSERT_TRUE(set.SetLayoutFlags(false, true, true));
    EXPECT_EQ(set.GetLayout(), StringLayout::multilingual);
    EXPECT_EQ(&set.GetSlotCodec(9), &CTextCodec::ForSlot(9));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, Utf8SwitchTest,
    testing::Values(SwitchRow{"basic", true, true, true, StringLayout::basic},
                    SwitchRow{"plain", false, true, false, StringLayout::plain},
                    SwitchRow{"described", false, false, true, StringLayout::described}),
    [](const auto& info) { return info.param.name; });

// Only the US English texts a layout without languages keeps must convert: one that does not
// refuses the switch and changes nothing; another language's text that does not is dropped with
// that language, as the layout drops it.
TEST(Utf8LayoutTest, SwitchIsRefusedWhenAKeptTextCannotBeConverted) {
    struct Case {
        std::string text;
        int set;
        std::string message;  // empty: the switch is made, the text dropped
    };
    const std::vector<Case> cases = {
        {"ok \xE6\x97\xA5", 2, ""},
        {std::string("a\0b", 3), 0,
         "The layout stays UTF-8: \xE2\x80\x9C"
         "byte 0x00\xE2\x80\x9D in the text of string #1 cannot be stored in US English text."},
        {"\xC3\xA9 \xE6\x97\xA5", 0,
         "The layout stays UTF-8: \xE2\x80\x9C\xE6\x97\xA5\xE2\x80\x9D in the text of string #1 "
         "cannot be stored in US English text."},
        {"\xC3\xA9\xFF", 15, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.set);
        Utf8Sets sets(20);
        sets[0] = {{"first", ""}};
        std::vector<Utf8Pair>& pairs = sets[static_cast<size_t>(c.set)];
        if (pairs.empty()) {
            pairs.push_back({"", ""});
        }
        pairs.push_back({c.text, ""});
        const Bytes payload = BuildUtf8Payload(sets);
        CStringSet set;
        ASSERT_TRUE(set.Decode(payload.data(), payload.size()));
        const std::vector<Cell> before = CellsOf(set);

        LayoutSwitchError error;
        if (!c.message.empty()) {
            EXPECT_FALSE(set.SetLayoutFlags(false, true, false, &error)) << c.message;
            EXPECT_EQ(DescribeLayoutSwitchError(error), c.message);
            EXPECT_EQ(set.GetLayout(), StringLayout::utf8);
            EXPECT_EQ(CellsOf(set), before);
            Bytes encoded;
            ASSERT_TRUE(set.Encode(encoded));
            EXPECT_EQ(encoded, payload);
            continue;
        }
        ASSERT_TRUE(set.SetLayoutFlags(false, true, false, &error));
        EXPECT_EQ(set.GetLayout(), StringLayout::plain);
        EXPECT_EQ(CellsOf(set), (std::vector<Cell>{{0, 0, "first", ""}}));
        // Leaving for the multilingual layout keeps every language: there it refuses.
        CStringSet whole;
        ASSERT_TRUE(whole.Decode(payload.data(), payload.size()));
        EXPECT_FALSE(whole.LeaveUtf8(&error));
    }
}

// One file holding a STR#, a CTSS and a TTAs chunk with the same id: a set loaded from one
// stores into that one only.
TEST(Utf8LayoutTest, StoreGoesBackToTheTypeItWasLoadedFrom) {
    const Bytes plain = ByteList{0xFF, 0xFF, 1, 0}.Z("strings");
    const Bytes catalog = BuildUtf8Payload({{{"Chair", "A chair"}}});
    const Bytes pie = ByteList{0xFF, 0xFF, 1, 0}.Z("Sit");
    IffBuilder builder;
    builder.Chunk(kTypeStrings, 7, plain, "s")
        .Chunk(kTypeCatalogStrings, 7, catalog, "c")
        .Chunk(kTypePieMenuStrings, 7, pie, "p");
    const Bytes bytes = builder.Build();
    CMemFile file(bytes.data(), bytes.size());
    CIffFile iff;
    ASSERT_NE(iff.Attach(file), 0u);
    int error = 0;
    ASSERT_TRUE(iff.Open(&error, false));

    ChunkHandle handle = 0;
    ASSERT_TRUE(iff.FindChunk(handle, kTypeCatalogStrings, 7));
    CStringSet set;
    ASSERT_TRUE(set.Load(iff, handle));
    EXPECT_EQ(set.m_nType, kTypeCatalogStrings);
    ASSERT_TRUE(set.SetString(0, 0, 0, "Armchair"));
    ASSERT_TRUE(set.Store(iff));

    const auto payloadOf = [&iff](ChunkType type) {
        ChunkHandle h = 0;
        EXPECT_TRUE(iff.FindChunk(h, type, 7));
        const CChunkRecord* record = CChunkStore::Instance().Resolve(h);
        Bytes out(record->size);
        EXPECT_TRUE(iff.CopyPayload(h, out.data()));
        return out;
    };
    EXPECT_EQ(payloadOf(kTypeStrings), plain);
    EXPECT_EQ(payloadOf(kTypePieMenuStrings), pie);
    EXPECT_EQ(payloadOf(kTypeCatalogStrings), BuildUtf8Payload({{{"Armchair", "A chair"}}}));
}

}  // namespace
}  // namespace strings_test
