// The string set's operations: GetString/SetString, encoding rules, the 16-bit record limit and
// encode-decode round trips.

#include "strings/StringSet.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>

#include "framework/stream/MemFile.h"
#include "tests/strings/StringTestSupport.h"

namespace strings_test {
namespace {

CStringSet SetWithLayout(bool basic, bool languages, bool descriptions) {
    CStringSet set;
    set.m_bBasic = basic;
    set.m_bLanguages = languages;
    set.m_bDescriptions = descriptions;
    return set;
}

Bytes Encoded(CStringSet& set) {
    Bytes out;
    EXPECT_TRUE(set.Encode(out));
    return out;
}

struct AccessRow {
    const char* name;
    uint16_t index;
    uint16_t slot;
    int part;
    bool ok;
};

// On a set of 2 entries whose entry 1 holds "t1"/"d1" in slot 20.
constexpr AccessRow kGetRows[] = {
    {"text", 1, 20, 0, true},
    {"description", 1, 20, 1, true},
    {"index_equal_to_count", 2, 0, 0, false},
    {"slot_21", 1, 21, 0, false},
    {"slot_65535", 1, 65535, 0, false},
    {"part_2", 1, 20, 2, false},
    {"part_minus_1", 1, 20, -1, false},
};

TEST(StringSetTest, GetStringChecksItsArguments) {
    CStringSet set;
    ASSERT_TRUE(set.SetString(0, 0, 0, "t0"));
    ASSERT_TRUE(set.SetString(1, 20, 0, "t1"));
    ASSERT_TRUE(set.SetString(1, 20, 1, "d1"));
    for (const AccessRow& row : kGetRows) {
        std::string out = "untouched";
        EXPECT_EQ(set.GetString(row.index, row.slot, row.part, out), row.ok) << row.name;
        EXPECT_EQ(out, row.ok ? (row.part == 0 ? "t1" : "d1") : "untouched") << row.name;
    }
    std::string out = "x";
    EXPECT_TRUE(set.GetString(1, 0, 0, out));
    EXPECT_EQ(out, "");
}

// On a set of 2 entries.
constexpr AccessRow kSetRows[] = {
    {"replace_text", 0, 5, 0, true},
    {"replace_description_of_slot_20", 1, 20, 1, true},
    {"append_at_count", 2, 3, 0, true},
    {"append_description_at_count", 2, 16, 1, true},
    {"index_beyond_count", 3, 3, 0, false},
    {"slot_21", 2, 21, 0, false},
    {"part_2_appends_nothing", 2, 3, 2, false},
    {"part_2_on_an_entry", 0, 3, 2, false},
};

TEST(StringSetTest, SetStringReplacesAppendsOrRefuses) {
    for (const AccessRow& row : kSetRows) {
        CStringSet set;
        ASSERT_TRUE(set.SetString(0, 0, 0, "a"));
        ASSERT_TRUE(set.SetString(1, 0, 0, "b"));
        const std::vector<Cell> before = CellsOf(set);

        EXPECT_EQ(set.SetString(row.index, row.slot, row.part, "new"), row.ok) << row.name;
        if (!row.ok) {
            EXPECT_EQ(set.GetCount(), 2u) << row.name;
            EXPECT_EQ(CellsOf(set), before) << row.name;
            continue;
        }
        EXPECT_EQ(set.GetCount(), row.index == 2 ? 3u : 2u) << row.name;
        std::vector<Cell> expected = before;
        Cell cell{row.index, row.slot, "", ""};
        (row.part == 0 ? cell.text : cell.description) = "new";
        expected.push_back(cell);
        std::sort(expected.begin(), expected.end(), [](const Cell& a, const Cell& b) {
            return a.index != b.index ? a.index < b.index : a.slot < b.slot;
        });
        EXPECT_EQ(CellsOf(set), expected) << row.name;
    }
}

TEST(StringSetTest, SetStringWithEmptyValueAtCountAppendsAnEmptyEntry) {
    CStringSet set;
    EXPECT_TRUE(set.SetString(0, 4, 1, ""));
    EXPECT_EQ(set.GetCount(), 1u);
    EXPECT_TRUE(CellsOf(set).empty());
}

TEST(StringSetTest, EntriesGrowTo65536ThroughAppends) {
    CStringSet set = SetWithLayout(false, false, false);
    for (uint32_t i = 0; i <= 0xFFFF; ++i) {
        ASSERT_TRUE(set.SetString(static_cast<uint16_t>(i), 0, 0, "x"));
    }
    EXPECT_EQ(set.GetCount(), 65536u);
    // Index 65535 now names an entry: it replaces, never appends a 65,537th.
    EXPECT_TRUE(set.SetString(0xFFFF, 0, 0, "y"));
    EXPECT_EQ(set.GetCount(), 65536u);
    Bytes out{1, 2, 3};
    EXPECT_FALSE(set.Encode(out)) << "65,536 records do not fit the count";
    EXPECT_TRUE(out.empty());
}

struct LayoutRow {
    const char* name;
    bool basic, languages, descriptions;  // before encoding
    bool basicAfter, languagesAfter, descriptionsAfter;
    Bytes encoded;  // entry 0 "T"/"D" in slot 0, "F" in slot 2
};

TEST(StringSetTest, EncodingNormalisesTheFlags) {
    const LayoutRow rows[] = {
        {"basic_clears_both", true, true, true, true, false, false, ByteList{0, 1, 1, 'T'}},
        {"basic_alone", true, false, false, true, false, false, ByteList{0, 1, 1, 'T'}},
        {"no_descriptions_clears_languages", false, true, false, false, false, false,
         ByteList{0xFF, 0xFF, 1, 0}.Z("T")},
        {"described", false, false, true, false, false, true,
         ByteList{0xFE, 0xFF, 1, 0}.Z("T").Z("D")},
        {"multilingual", false, true, true, false, true, true,
         ByteList{0xFD, 0xFF, 2, 0, 1}.Z("T").Z("D").Add({3}).Z("F").Z("")},
    };
    for (const LayoutRow& row : rows) {
        CStringSet set = SetWithLayout(row.basic, row.languages, row.descriptions);
        ASSERT_TRUE(set.SetString(0, 0, 0, "T"));
        ASSERT_TRUE(set.SetString(0, 0, 1, "D"));
        ASSERT_TRUE(set.SetString(0, 2, 0, "F"));
        EXPECT_EQ(Encoded(set), row.encoded) << row.name;
        EXPECT_EQ(set.m_bBasic, row.basicAfter) << row.name;
        EXPECT_EQ(set.m_bLanguages, row.languagesAfter) << row.name;
        EXPECT_EQ(set.m_bDescriptions, row.descriptionsAfter) << row.name;
        // Texts the layout does not write stay in the set until it is loaded again.
        std::string french;
        EXPECT_TRUE(set.GetString(0, 2, 0, french));
        EXPECT_EQ(french, "F") << row.name;
    }
}

TEST(StringSetTest, SetsWithOnlyEmptyStringsEncodeWithoutRecords) {
    const std::pair<CStringSet, Bytes> rows[] = {
        {SetWithLayout(false, false, false), ByteList{0xFF, 0xFF, 0, 0}},
        {SetWithLayout(false, false, true), ByteList{0xFE, 0xFF, 0, 0}},
        {SetWithLayout(false, true, true), ByteList{0xFD, 0xFF, 0, 0}},
        {SetWithLayout(true, false, false), ByteList{0, 0}},
    };
    for (auto [set, expected] : rows) {
        ASSERT_TRUE(set.SetString(0, 0, 0, ""));
        ASSERT_TRUE(set.SetString(1, 3, 1, "x"));
        ASSERT_TRUE(set.SetString(1, 3, 1, ""));
        EXPECT_EQ(Encoded(set), expected);
    }

    // 00 00 reads back as no entries, with the flags the set had.
    CStringSet set = SetWithLayout(false, false, true);
    const Bytes empty = ByteList{0, 0};
    EXPECT_TRUE(set.Decode(empty.data(), empty.size()));
    EXPECT_EQ(set.GetCount(), 0u);
    EXPECT_FALSE(set.m_bBasic);
    EXPECT_FALSE(set.m_bLanguages);
    EXPECT_TRUE(set.m_bDescriptions);
}

TEST(StringSetTest, DescriptionsKeepABlockEvenWhereTheyAreNotWritten) {
    CStringSet plain = SetWithLayout(false, false, false);
    ASSERT_TRUE(plain.SetString(0, 0, 1, "only a description"));
    ASSERT_TRUE(plain.SetString(1, 0, 0, ""));
    EXPECT_EQ(Encoded(plain), (ByteList{0xFF, 0xFF, 2, 0, 0, 0}.bytes()));

    CStringSet basic = SetWithLayout(true, false, false);
    ASSERT_TRUE(basic.SetString(0, 0, 1, "d"));
    EXPECT_EQ(Encoded(basic), (ByteList{0, 1, 0}.bytes()));
}

TEST(StringSetTest, BasicTextIsCutTo255Bytes) {
    CStringSet set = SetWithLayout(true, false, false);
    std::string text(300, 'w');
    text[254] = 'e';
    ASSERT_TRUE(set.SetString(0, 0, 0, text));
    const Bytes expected = ByteList{0, 1, 0xFF}.Fill(254, 'w').Add("e");
    EXPECT_EQ(Encoded(set), expected);
}

TEST(StringSetTest, SetStringKeepsAValueUpToItsFirstNul) {
    // NUL ends a text in the payload; keeping it would shift every later record.
    CStringSet set = SetWithLayout(false, false, true);
    ASSERT_TRUE(set.SetString(0, 0, 0, std::string("a\0b", 3)));
    ASSERT_TRUE(set.SetString(0, 0, 1, std::string("\0e", 2)));
    std::string text;
    ASSERT_TRUE(set.GetString(0, 0, 0, text));
    EXPECT_EQ(text, "a");
    EXPECT_EQ(Encoded(set), (ByteList{0xFE, 0xFF, 1, 0}.Z("a").Z("").bytes()));
}

TEST(StringSetTest, EditsMatchAModelAndStorageStaysBounded) {
    std::mt19937 random(7);
    CStringSet set;
    const Bytes payload = ByteList{0xFD, 0xFF, 2, 0, 1}.Z("first").Z("d").Add({21}).Z("x").Z("");
    ASSERT_TRUE(set.Decode(payload.data(), payload.size()));
    std::vector<std::array<std::array<std::string, 2>, kSlotCount>> model(1);
    model[0][0] = {"first", "d"};
    model[0][15] = {"x", ""};

    for (int step = 0; step < 20000; ++step) {
        const auto index = static_cast<uint16_t>(random() % (model.size() + 1));
        const auto slot = static_cast<uint16_t>(random() % kSlotCount);
        const int part = static_cast<int>(random() % 2);
        // Mostly long values, so that replaced text adds up to many megabytes.
        std::string value(random() % 4 == 0 ? 0 : random() % 2000,
                          static_cast<char>('a' + step % 26));
        ASSERT_TRUE(set.SetString(index, slot, part, value));
        if (index == model.size()) {
            model.emplace_back();
        }
        model[index][slot][static_cast<size_t>(part)] = value;
    }
    size_t live = 0;
    ASSERT_EQ(set.GetCount(), model.size());
    for (size_t index = 0; index < model.size(); ++index) {
        for (size_t slot = 0; slot < static_cast<size_t>(kSlotCount); ++slot) {
            const StringSlot value = set.GetSlot(index, slot);
            ASSERT_EQ(value.text, model[index][slot][0]) << index << "/" << slot;
            ASSERT_EQ(value.description, model[index][slot][1]) << index << "/" << slot;
            live += value.text.size() + value.description.size();
        }
    }
    EXPECT_LE(set.GetPoolSize(), 2 * live + (size_t{1} << 20) + 2000);
}

// Entries of slot 0 texts, and a text in slot 2 of entry 0 when withFrench.
CStringSet LargeSet(size_t entries, bool withFrench, size_t slots = 1) {
    CStringSet set;
    for (size_t i = 0; i < entries; ++i) {
        for (size_t slot = 0; slot < slots; ++slot) {
            EXPECT_TRUE(set.SetString(static_cast<uint16_t>(i), static_cast<uint16_t>(slot), 0,
                                      std::to_string(i)));
        }
    }
    if (withFrench) {
        EXPECT_TRUE(set.SetString(0, 2, 0, "F"));
    }
    return set;
}

TEST(StringSetTest, MoreThan65535RecordsAreRefused) {
    struct Row {
        const char* name;
        size_t entries;
        size_t slots;
        bool french;
        bool ok;
    };
    const Row rows[] = {
        {"65535_in_one_slot", 65535, 1, false, true},
        {"65535_and_a_second_block", 65535, 1, true, false},
        {"21845_in_three_slots", 21845, 3, false, true},
        {"21846_in_three_slots", 21846, 3, false, false},
    };
    for (const Row& row : rows) {
        CStringSet set = LargeSet(row.entries, row.french, row.slots);
        Bytes out;
        EXPECT_EQ(set.Encode(out), row.ok) << row.name;
        if (row.ok) {
            ASSERT_GE(out.size(), 4u);
            EXPECT_EQ(out[2] | (out[3] << 8), static_cast<int>(row.entries * row.slots))
                << row.name;
        } else {
            EXPECT_TRUE(out.empty()) << row.name;
        }
    }
}

TEST(StringSetTest, WriteToRefusalLeavesTheStreamAsItWas) {
    CStringSet set = LargeSet(65535, true);
    CMemFile stream;
    stream.Write("abc", 3);
    EXPECT_FALSE(set.WriteTo(stream));
    EXPECT_EQ(stream.GetLength(), 3u);
    EXPECT_EQ(stream.GetPosition(), 3u);
}

TEST(StringSetTest, WriteToWritesFromThePositionAndEndsAtTheEnd) {
    CStringSet set = SetWithLayout(true, false, false);
    ASSERT_TRUE(set.SetString(0, 0, 0, "abc"));
    CMemFile stream;
    stream.Write("xyz", 3);
    ASSERT_TRUE(set.WriteTo(stream));
    EXPECT_EQ(stream.ToVector(), (ByteList{'x', 'y', 'z', 0, 1, 3, 'a', 'b', 'c'}.bytes()));
    EXPECT_EQ(stream.GetPosition(), stream.GetLength());
}

// Random sets in every layout: encoding, decoding and encoding again gives the same bytes, and
// the decoded set holds what the layout can store.
TEST(StringSetTest, EncodeDecodeRoundTrips) {
    std::mt19937 random(20240611);
    const auto randomText = [&random](size_t maxLength) {
        std::string text(random() % (maxLength + 1), ' ');
        for (char& c : text) {
            c = static_cast<char>(1 + random() % 255);
        }
        return text;
    };
    for (int round = 0; round < 200; ++round) {
        const int kind = round % 4;  // basic, plain, described, multilingual
        CStringSet set = SetWithLayout(kind == 0, kind == 3, kind >= 2);
        const size_t entries = random() % 12;
        for (size_t i = 0; i < entries; ++i) {
            ASSERT_TRUE(set.SetString(static_cast<uint16_t>(i), 0, 0, ""));
            for (int k = random() % 4; k > 0; --k) {
                // Slot 0 is the one every layout writes.
                const auto slot =
                    static_cast<uint16_t>(random() % 2 == 0 ? 0 : random() % kSlotCount);
                ASSERT_TRUE(set.SetString(static_cast<uint16_t>(i), slot, 0, randomText(300)));
                ASSERT_TRUE(set.SetString(static_cast<uint16_t>(i), slot, 1, randomText(8)));
            }
        }
        const Bytes first = Encoded(set);
        const StringLayout layout = set.GetLayout();

        // What the layout stores of the set.
        std::vector<Cell> expected;
        bool anyStored = false;
        for (const Cell& cell : CellsOf(set)) {
            if (layout != StringLayout::multilingual && cell.slot != 0) {
                continue;
            }
            anyStored = true;
            Cell kept = cell;
            if (layout == StringLayout::basic || layout == StringLayout::plain) {
                kept.description.clear();
            }
            if (layout == StringLayout::basic && kept.text.size() > 255) {
                kept.text.resize(255);
            }
            if (!kept.text.empty() || !kept.description.empty()) {
                expected.push_back(kept);
            }
        }

        CStringSet back;
        ASSERT_TRUE(back.Decode(first.data(), first.size())) << "round " << round;
        // A basic payload without records is 00 00, which leaves a new set's flags alone.
        EXPECT_EQ(back.GetLayout(),
                  layout == StringLayout::basic && !anyStored ? StringLayout::multilingual : layout)
            << "round " << round;
        EXPECT_EQ(back.GetCount(), anyStored ? entries : 0) << "round " << round;
        EXPECT_EQ(CellsOf(back), expected) << "round " << round;
        if (layout != StringLayout::basic || anyStored) {
            EXPECT_EQ(Encoded(back), first) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace strings_test
