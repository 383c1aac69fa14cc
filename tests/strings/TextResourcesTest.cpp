// Text resource types and language names, as lists and the command line show and accept them.

#include "strings/TextResources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "strings/Languages.h"

namespace {

TEST(TextResourcesTest, TypesNamesAndLabelsSortStringsFirst) {
    EXPECT_EQ(ChunkTypeName(kTypeStrings), "STR#");
    EXPECT_EQ(ChunkTypeName(kTypeCatalogStrings), "CTSS");
    EXPECT_EQ(ChunkTypeName(kTypePieMenuStrings), "TTAs");
    for (const ChunkType type : kTextResourceTypes) {
        EXPECT_TRUE(IsTextResourceType(type));
        EXPECT_EQ(ParseTextResourceType(ChunkTypeName(type)), type);
    }
    EXPECT_FALSE(IsTextResourceType(MakeChunkType('T', 'T', 'A', 'B')));
    // Types are spelled as in files: case matters ('TTAB' is another chunk).
    for (const char* name : {"ttas", "TTAS", "STR", "STR#\n", "", "BHAV"}) {
        EXPECT_FALSE(ParseTextResourceType(name)) << name;
    }

    EXPECT_EQ(ResourceLabelPrefix(kTypeStrings, 128), "#128: ");
    EXPECT_EQ(ResourceLabelPrefix(kTypeCatalogStrings, 0), "CTSS #0: ");
    EXPECT_EQ(ResourceLabelPrefix(kTypePieMenuStrings, 65535), "TTAs #65535: ");
    // Folded to one case, '#' sorts before letters and 'C' before 'T'.
    std::vector<std::string> labels = {"ttas #1: ", "ctss #2: ", "#3: ", "ctss #1: "};
    std::sort(labels.begin(), labels.end());
    EXPECT_EQ(labels, (std::vector<std::string>{"#3: ", "ctss #1: ", "ctss #2: ", "ttas #1: "}));
}

TEST(TextResourcesTest, LanguageNamesOnceForEveryList) {
    EXPECT_STREQ(LanguageName(5), "Spanish");
    EXPECT_EQ(SlotOfLanguageName("spanish"), 5);
    EXPECT_EQ(SlotOfLanguageName("Spanian"), 5);  // the spelling older versions showed
    EXPECT_EQ(LanguageName(kSlotWithoutName), nullptr);
    EXPECT_EQ(LanguageName(-1), nullptr);
    EXPECT_EQ(LanguageName(kSlotCount), nullptr);
    EXPECT_EQ(SlotOfLanguageName("slot 15"), -1);
    EXPECT_EQ(SlotOfLanguageName(""), -1);
    for (int index = 0; index < kNamedLanguageCount; ++index) {
        const int slot = SlotOfLanguageIndex(index);
        ASSERT_NE(LanguageName(slot), nullptr) << index;
        EXPECT_EQ(SlotOfLanguageName(LanguageName(slot)), slot);
        EXPECT_EQ(LanguageIndexOfSlot(slot), index);
    }
    EXPECT_EQ(LanguageIndexOfSlot(kSlotWithoutName), -1);
    EXPECT_EQ(SlotOfLanguageIndex(kNamedLanguageCount), -1);
}

}  // namespace
