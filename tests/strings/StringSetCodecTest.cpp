// Payload bytes in, entries and flags out, and the bytes the unchanged set encodes to.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <tuple>

#include "strings/StringSet.h"
#include "tests/strings/StringTestSupport.h"

namespace strings_test {
namespace {

struct Flags {
    bool basic;
    bool languages;
    bool descriptions;
    bool operator==(const Flags&) const = default;
};

constexpr Flags kNewSet{false, true, true};
constexpr Flags kBasic{true, false, false};
constexpr Flags kPlain{false, false, false};
constexpr Flags kDescribed{false, false, true};
constexpr Flags kMultilingual{false, true, true};

struct DecodeRow {
    std::string name;
    Bytes payload;
    bool ok;
    Flags flags;  // after decoding a new set
    size_t count;
    std::vector<Cell> cells;
    std::optional<Bytes> encoded = std::nullopt;  // what the unchanged set encodes to
    // A prefix of the payload decodes to a subset of the cells (false when a later block
    // overwrites an earlier one).
    bool prefixesAreSubsets = true;
    size_t trailing = 0;  // bytes after the last record
};

void PrintTo(const DecodeRow& row, std::ostream* os) {
    *os << row.name;
}

// One language pasted into all 16 classic slots, as fan-made files do, followed by one filler
// byte per record as most real multilingual payloads are.
DecodeRow FanFileRow() {
    ByteList payload{0xFD, 0xFF, 32, 0};
    std::vector<Cell> cells;
    for (uint8_t code : {1, 2, 3, 4, 5, 6, 7, 9, 14, 15, 16, 17, 18, 19, 20, 21}) {
        payload.Add({code}).Z("Buy\r\n\"Deluxe\"\t\x85").Z("");
        payload.Add({code}).Z("\x92Nope\x9C").Z("desc");
        const auto slot = static_cast<uint16_t>(CodeToLanguage(code));
        cells.push_back({0, slot, "Buy\r\n\"Deluxe\"\t\x85", ""});
        cells.push_back({1, slot, "\x92Nope\x9C", "desc"});
    }
    std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) {
        return a.index != b.index ? a.index < b.index : a.slot < b.slot;
    });
    Bytes encoded = payload;
    payload.Fill(32, 0xA3);
    return {"fan_file_with_filler", payload, true, kMultilingual, 2, cells, encoded, true, 32};
}

std::vector<DecodeRow> DecodeRows() {
    std::vector<DecodeRow> rows = {
        {"plain_empty",
         ByteList{0xFF, 0xFF, 0, 0},
         true,
         kPlain,
         0,
         {},
         ByteList{0xFF, 0xFF, 0, 0}},
        {"described_empty",
         ByteList{0xFE, 0xFF, 0, 0},
         true,
         kDescribed,
         0,
         {},
         ByteList{0xFE, 0xFF, 0, 0}},
        {"multilingual_empty",
         ByteList{0xFD, 0xFF, 0, 0},
         true,
         kMultilingual,
         0,
         {},
         ByteList{0xFD, 0xFF, 0, 0}},
        {"empty_layout_keeps_flags",
         ByteList{0, 0, 0xFF, 0xFF, 2, 0, 'x', 0},
         true,
         kNewSet,
         0,
         {},
         ByteList{0xFD, 0xFF, 0, 0}},
        {"basic_two",
         ByteList{0, 2, 3, 'a', 'b', 'c', 1, 'x'},
         true,
         kBasic,
         2,
         {{0, 0, "abc", ""}, {1, 0, "x", ""}},
         ByteList{0, 2, 3, 'a', 'b', 'c', 1, 'x'}},
        {"basic_cut_at_nul_moves_by_length",
         ByteList{0, 2, 3, 'a', 0, 'b', 1, 'x'},
         true,
         kBasic,
         2,
         {{0, 0, "a", ""}, {1, 0, "x", ""}},
         ByteList{0, 2, 1, 'a', 1, 'x'}},
        {"basic_empty_records", ByteList{0, 2, 0, 0}, true, kBasic, 2, {}, ByteList{0, 0}},
        {"basic_255",
         ByteList{0, 1, 0xFF}.Fill(255, 'q'),
         true,
         kBasic,
         1,
         {{0, 0, std::string(255, 'q'), ""}},
         ByteList{0, 1, 0xFF}.Fill(255, 'q')},
        {"plain_empty_text_still_written",
         ByteList{0xFF, 0xFF, 2, 0}.Z("hi").Z(""),
         true,
         kPlain,
         2,
         {{0, 0, "hi", ""}},
         ByteList{0xFF, 0xFF, 2, 0}.Z("hi").Z("")},
        {"described",
         ByteList{0xFE, 0xFF, 2, 0}.Z("A").Z("a").Z("B").Z(""),
         true,
         kDescribed,
         2,
         {{0, 0, "A", "a"}, {1, 0, "B", ""}},
         ByteList{0xFE, 0xFF, 2, 0}.Z("A").Z("a").Z("B").Z("")},
        {"multilingual_example",
         ByteList{0xFD, 0xFF, 3, 0, 1}.Z("A").Z("a").Add({1}).Z("B").Z("b").Add({3}).Z("F").Z(""),
         true,
         kMultilingual,
         2,
         {{0, 0, "A", "a"}, {0, 2, "F", ""}, {1, 0, "B", "b"}},
         ByteList{0xFD, 0xFF, 0x04, 0x00, 0x01, 0x41, 0x00, 0x61, 0x00, 0x01, 0x42,
                  0x00, 0x62, 0x00, 0x03, 0x46, 0x00, 0x00, 0x03, 0x00, 0x00}},
        {"block_returning_to_a_slot_overwrites_from_0",
         ByteList{0xFD, 0xFF, 4, 0, 1}
             .Z("A")
             .Z("")
             .Add({1})
             .Z("B")
             .Z("x")
             .Add({3})
             .Z("F")
             .Z("")
             .Add({1})
             .Z("C")
             .Z(""),
         true,
         kMultilingual,
         2,
         {{0, 0, "C", ""}, {0, 2, "F", ""}, {1, 0, "B", "x"}},
         ByteList{0xFD, 0xFF, 4, 0, 1}
             .Z("C")
             .Z("")
             .Add({1})
             .Z("B")
             .Z("x")
             .Add({3})
             .Z("F")
             .Z("")
             .Add({3})
             .Z("")
             .Z(""),
         false},
        {"longer_later_block_appends",
         ByteList{0xFD, 0xFF, 3, 0, 1}.Z("A").Z("").Add({3}).Z("F").Z("").Add({3}).Z("G").Z(""),
         true,
         kMultilingual,
         2,
         {{0, 0, "A", ""}, {0, 2, "F", ""}, {1, 2, "G", ""}},
         ByteList{0xFD, 0xFF, 4, 0, 1}
             .Z("A")
             .Z("")
             .Add({1})
             .Z("")
             .Z("")
             .Add({3})
             .Z("F")
             .Z("")
             .Add({3})
             .Z("G")
             .Z("")},
        {"further_codes_keep_own_slots_and_encode_in_code_order",
         ByteList{0xFD, 0xFF, 5, 0, 13}
             .Z("R")
             .Z("")
             .Add({8})
             .Z("D")
             .Z("")
             .Add({10})
             .Z("N")
             .Z("")
             .Add({9})
             .Z("S")
             .Z("")
             .Add({1})
             .Z("E")
             .Z("e"),
         true,
         kMultilingual,
         1,
         {{0, 0, "E", "e"}, {0, 7, "S", ""}, {0, 16, "D", ""}, {0, 17, "N", ""}, {0, 20, "R", ""}},
         ByteList{0xFD, 0xFF, 5, 0, 1}
             .Z("E")
             .Z("e")
             .Add({8})
             .Z("D")
             .Z("")
             .Add({9})
             .Z("S")
             .Z("")
             .Add({10})
             .Z("N")
             .Z("")
             .Add({13})
             .Z("R")
             .Z("")},
        {"code_0_fails_keeping_earlier_records",
         ByteList{0xFD, 0xFF, 2, 0, 1}.Z("A").Z("").Add({0}).Z("B").Z(""),
         false,
         kMultilingual,
         1,
         {{0, 0, "A", ""}}},
        {"code_22_fails",
         ByteList{0xFD, 0xFF, 2, 0, 1}.Z("A").Z("").Add({22}).Z("B").Z(""),
         false,
         kMultilingual,
         1,
         {{0, 0, "A", ""}}},
        {"trailing_bytes_ignored",
         ByteList{0xFD, 0xFF, 1, 0, 1}.Z("A").Z("").Fill(1, 0xA3),
         true,
         kMultilingual,
         1,
         {{0, 0, "A", ""}},
         ByteList{0xFD, 0xFF, 1, 0, 1}.Z("A").Z(""),
         true,
         1},
        {"trailing_stale_bytes_ignored",
         ByteList{0xFF, 0xFF, 2, 0}.Z("x").Z("y").Add({1, 'z', 0, 0}),
         true,
         kPlain,
         2,
         {{0, 0, "x", ""}, {1, 0, "y", ""}},
         ByteList{0xFF, 0xFF, 2, 0}.Z("x").Z("y"),
         true,
         4},
        // A basic count written little-endian: 02 00 reads as 512 records.
        {"basic_count_little_endian_fails_at_end",
         ByteList{2, 0, 3, 'a', 'b', 'c', 1, 'x'},
         false,
         kBasic,
         2,
         {{0, 0, "abc", ""}, {1, 0, "x", ""}}},
        {"described_text_beginning_with_language_byte",
         ByteList{0xFE, 0xFF, 1, 0, 1}.Z("A").Z("a"),
         true,
         kDescribed,
         1,
         {{0, 0,
           "\x01"
           "A",
           "a"}},
         ByteList{0xFE, 0xFF, 1, 0, 1}.Z("A").Z("a")},
        // FC FF is the UTF-8 layout's word, not a basic count: one set whose count is cut short.
        {"word_fc_ff_is_the_utf8_layout",
         ByteList{0xFC, 0xFF, 1, 'A'},
         false,
         kMultilingual,
         0,
         {}},
        {"count_beyond_records",
         ByteList{0xFF, 0xFF, 3, 0}.Z("A").Z("B"),
         false,
         kPlain,
         2,
         {{0, 0, "A", ""}, {1, 0, "B", ""}}},
        {"text_without_nul", ByteList{0xFF, 0xFF, 1, 0, 'A', 'B'}, false, kPlain, 0, {}},
        {"description_without_nul",
         ByteList{0xFE, 0xFF, 1, 0}.Z("A").Add("a"),
         false,
         kDescribed,
         0,
         {}},
        {"code_at_end",
         ByteList{0xFD, 0xFF, 2, 0, 1}.Z("A").Z(""),
         false,
         kMultilingual,
         1,
         {{0, 0, "A", ""}}},
        {"basic_length_past_end",
         ByteList{0, 2, 1, 'x', 5, 'a', 'b'},
         false,
         kBasic,
         1,
         {{0, 0, "x", ""}}},
        {"count_cut_short", ByteList{0xFF, 0xFF, 1}, false, kPlain, 0, {}},
        {"single_byte", ByteList{0xFD}, false, kNewSet, 0, {}},
        {"line_breaks_tabs_and_western_bytes",
         ByteList{0xFE, 0xFF, 1, 0}.Z("a\r\nb\tc\x85\x92\x9C").Z("\r\n"),
         true,
         kDescribed,
         1,
         {{0, 0, "a\r\nb\tc\x85\x92\x9C", "\r\n"}},
         ByteList{0xFE, 0xFF, 1, 0}.Z("a\r\nb\tc\x85\x92\x9C").Z("\r\n")},
    };
    rows.push_back(FanFileRow());
    return rows;
}

class DecodeTable : public testing::TestWithParam<DecodeRow> {};

// Decodes from a buffer of exactly the payload's size, so that a read past it is caught by the
// sanitizer builds.
bool DecodeExact(CStringSet& set, const Bytes& payload, size_t size) {
    auto copy = std::make_unique<uint8_t[]>(size == 0 ? 1 : size);
    std::copy_n(payload.begin(), size, copy.get());
    return set.Decode(copy.get(), size);
}

TEST_P(DecodeTable, DecodesToEntriesAndFlags) {
    const DecodeRow& row = GetParam();
    CStringSet set;
    EXPECT_EQ(DecodeExact(set, row.payload, row.payload.size()), row.ok);
    EXPECT_EQ((Flags{set.m_bBasic, set.m_bLanguages, set.m_bDescriptions}), row.flags);
    EXPECT_EQ(set.GetCount(), row.count);
    EXPECT_EQ(CellsOf(set), row.cells);
}

// Rows whose payload decodes.
class DecodedTable : public testing::TestWithParam<DecodeRow> {};

std::vector<DecodeRow> DecodedRows() {
    std::vector<DecodeRow> rows;
    for (DecodeRow& row : DecodeRows()) {
        if (row.ok) {
            rows.push_back(std::move(row));
        }
    }
    return rows;
}

TEST_P(DecodedTable, UnchangedSetEncodesToExpectedBytes) {
    const DecodeRow& row = GetParam();
    ASSERT_TRUE(row.encoded.has_value());
    CStringSet set;
    ASSERT_TRUE(set.Decode(row.payload.data(), row.payload.size()));
    Bytes out;
    ASSERT_TRUE(set.Encode(out));
    EXPECT_EQ(out, *row.encoded);

    // What was encoded decodes to the same entries, except that blocks of empty slots vanish.
    CStringSet again;
    ASSERT_TRUE(again.Decode(out.data(), out.size()));
    EXPECT_EQ(CellsOf(again), row.cells);
}

TEST_P(DecodeTable, EveryTruncationEndsCleanly) {
    const DecodeRow& row = GetParam();
    CStringSet full;
    std::ignore = full.Decode(row.payload.data(), row.payload.size());
    const std::vector<Cell> fullCells = CellsOf(full);
    // Cutting into the records of a payload that holds all its records fails.
    const bool mustFail = row.ok && row.count != 0;
    for (size_t size = 0; size < row.payload.size(); ++size) {
        CStringSet set;
        const bool ok = DecodeExact(set, row.payload, size);
        if (size < 2 || (mustFail && size < row.payload.size() - row.trailing)) {
            EXPECT_FALSE(ok) << "size " << size;
        }
        EXPECT_LE(set.GetCount(), full.GetCount()) << "size " << size;
        if (row.prefixesAreSubsets) {
            for (const Cell& cell : CellsOf(set)) {
                EXPECT_NE(std::find(fullCells.begin(), fullCells.end(), cell), fullCells.end())
                    << "size " << size;
            }
        }
    }
}

TEST_P(DecodedTable, TrailingBytesChangeNothing) {
    const DecodeRow& row = GetParam();
    for (uint8_t filler : {0x00, 0xA3, 0x01}) {
        Bytes payload = row.payload;
        payload.insert(payload.end(), 40, filler);
        CStringSet set;
        EXPECT_TRUE(set.Decode(payload.data(), payload.size()));
        EXPECT_EQ(CellsOf(set), row.cells);
    }
}

std::string RowName(const testing::TestParamInfo<DecodeRow>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Payloads, DecodeTable, testing::ValuesIn(DecodeRows()), RowName);
INSTANTIATE_TEST_SUITE_P(Payloads, DecodedTable, testing::ValuesIn(DecodedRows()), RowName);

}  // namespace
}  // namespace strings_test
