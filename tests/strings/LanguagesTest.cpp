#include "strings/Languages.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct SlotCode {
    int slot;
    uint8_t code;
};

// Every slot with its code; slots 16-20 keep the further codes apart from the classic ones.
constexpr SlotCode kSlotCodes[] = {
    {0, 1},   {1, 2},   {2, 3},  {3, 4},   {4, 5},   {5, 6},   {6, 7},
    {7, 9},   {8, 14},  {9, 15}, {10, 16}, {11, 17}, {12, 18}, {13, 19},
    {14, 20}, {15, 21}, {16, 8}, {17, 10}, {18, 11}, {19, 12}, {20, 13},
};

TEST(LanguagesTest, EverySlotMapsToItsCodeAndBack) {
    static_assert(std::size(kSlotCodes) == kSlotCount);
    for (const SlotCode& row : kSlotCodes) {
        EXPECT_EQ(LanguageToCode(row.slot), row.code) << "slot " << row.slot;
        EXPECT_EQ(CodeToLanguage(row.code), row.slot) << "code " << int{row.code};
    }
}

TEST(LanguagesTest, CodesWithoutSlotAndSlotsOutOfRange) {
    std::set<int> slots;
    for (int code = 0; code <= 255; ++code) {
        const int slot = CodeToLanguage(static_cast<uint8_t>(code));
        if (code == 0 || code > 21) {
            EXPECT_EQ(slot, -1) << "code " << code;
        } else {
            EXPECT_TRUE(slots.insert(slot).second) << "two codes share slot " << slot;
        }
    }
    EXPECT_EQ(slots.size(), static_cast<size_t>(kSlotCount));
    EXPECT_EQ(LanguageToCode(-1), 0);
    EXPECT_EQ(LanguageToCode(kSlotCount), 0);
    EXPECT_EQ(LanguageToCode(255), 0);
}

}  // namespace
