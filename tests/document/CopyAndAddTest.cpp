// "Set for All" as text through each language's code page, what it leaves and lists, and adding
// an entry.

#include "document/ResourceEditor.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/IffFile.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/IffBytes.h"
#include "tests/support/Utf8Payload.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Slots by name, to keep the expectations readable.
constexpr int kUsEnglish = 0, kFrench = 2, kPortuguese = 8, kJapanese = 9, kPolish = 10,
              kSimplifiedChinese = 11, kThai = 13, kKorean = 14, kRussian = 20;

Bytes Multilingual(const std::vector<std::tuple<uint8_t, std::string, std::string>>& records) {
    Bytes out = {0xFD, 0xFF, static_cast<uint8_t>(records.size()),
                 static_cast<uint8_t>(records.size() >> 8)};
    for (const auto& [code, text, description] : records) {
        out.push_back(code);
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
        out.insert(out.end(), description.begin(), description.end());
        out.push_back(0);
    }
    return out;
}

class CopyToAllTest : public testing::Test {
protected:
    void Open(const Bytes& payload) {
        IffBuilder builder;
        builder.Chunk(kTypeStrings, 1, payload, "r");
        m_bytes = builder.Build();
        m_file = std::make_unique<CMemFile>(m_bytes.data(), m_bytes.size());
        ASSERT_NE(m_iff.Attach(*m_file), 0u);
        int error = 0;
        ASSERT_TRUE(m_iff.Open(&error, false));
        ASSERT_TRUE(m_editor.Select(kTypeStrings, 1).Ok());
    }
    std::string Get(size_t entry, int slot, int part = 0) const {
        const StringSlot value = m_editor.Strings().GetSlot(entry, static_cast<size_t>(slot));
        return std::string(part == 0 ? value.text : value.description);
    }

    Bytes m_bytes;
    std::unique_ptr<CMemFile> m_file;
    CIffFile m_iff;
    CUndoStack m_stack;
    CResourceEditor m_editor{m_iff, m_stack};
};

TEST_F(CopyToAllTest, TextIsConvertedIntoEachCodePageAndLanguagesThatCannotHoldItAreListed) {
    // "très café" in US English (windows-1252); the Japanese slot holds a text of its own.
    Open(Multilingual({{1, "tr\xE8s caf\xE9", "caf\xE9"}, {1, "other", ""}, {16, "\x8A\x8B", ""}}));
    ASSERT_TRUE(m_editor.SetString(0, kJapanese, 0, u"\u65E5").Ok());
    std::vector<CopySkip> skipped;
    ASSERT_TRUE(m_editor.CopyToAll({0}, kUsEnglish, &skipped).Ok());

    // Same code page: the same bytes.
    for (const int slot : {1, kFrench, kPortuguese, 16, 17, 18}) {
        SCOPED_TRACE(slot);
        EXPECT_EQ(Get(0, slot), "tr\xE8s caf\xE9");
        EXPECT_EQ(Get(0, slot, 1), "caf\xE9");
    }
    // Simplified Chinese holds both accented letters, as two-byte characters.
    EXPECT_EQ(Get(0, kSimplifiedChinese), "tr\xA8\xA8s caf\xA8\xA6");
    // Languages that cannot hold "è" keep what they had, and are listed in slot order.
    EXPECT_EQ(Get(0, kJapanese), "\x93\xFA");
    EXPECT_EQ(Get(0, kPolish), "\x8A\x8B");
    EXPECT_EQ(Get(0, kRussian), "");
    // The slot without a name is not filled where it was empty.
    EXPECT_EQ(Get(0, kSlotWithoutName), "");
    std::vector<int> slots;
    for (const CopySkip& skip : skipped) {
        EXPECT_EQ(skip.character, "\xC3\xA8") << skip.slot;
        slots.push_back(skip.slot);
    }
    EXPECT_TRUE(std::is_sorted(slots.begin(), slots.end()));
    for (const int slot : {kJapanese, kPolish, kThai, kKorean, kRussian})
        EXPECT_NE(std::find(slots.begin(), slots.end(), slot), slots.end()) << slot;
    // Other entries are not touched.
    EXPECT_EQ(Get(1, kFrench), "");
    EXPECT_EQ(Get(2, kUsEnglish), "");

    const std::string message = DescribeCopySkips(skipped);
    EXPECT_EQ(message.rfind("Not copied into Japanese, Polish, ", 0), 0u) << message;
    EXPECT_NE(message.find("Korean, "), std::string::npos) << message;
    EXPECT_TRUE(message.ends_with(", Russian: \xE2\x80\x9C\xC3\xA8\xE2\x80\x9D cannot be stored."))
        << message;

    // One step, undone whole.
    EXPECT_EQ(m_stack.GetUndoText(), "Set for All");
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(Get(0, kFrench), "");
    EXPECT_EQ(Get(0, kJapanese), "\x93\xFA");
}

TEST_F(CopyToAllTest, EachCharacterGetsItsOwnSentence) {
    EXPECT_EQ(
        DescribeCopySkips(
            {{kJapanese, "\xC3\xA8"}, {kPolish, "\xC3\xA8"}, {kRussian, "x"}, {kThai, "\xC3\xA8"}}),
        "Not copied into Japanese, Polish, Thai: \xE2\x80\x9C\xC3\xA8\xE2\x80\x9D cannot be "
        "stored. Not copied into Russian: \xE2\x80\x9Cx\xE2\x80\x9D cannot be stored.");
    EXPECT_EQ(DescribeCopySkips({}), "");
}

TEST_F(CopyToAllTest, FromAnotherCodePageAndIntoTheSlotWithoutANameWhereItHoldsText) {
    // Polish (code 16, windows-1250) "óś" and "Müller" into every language; entry 0 has text in
    // slot 15 (code 21, windows-1252), entry 1 has none there.
    Open(Multilingual({{16, "\xF3\x9C", "x"}, {16, "M\xFCller", ""}, {21, "old", ""}}));
    std::vector<CopySkip> skipped;
    const EditResult copied = m_editor.CopyToAll({1}, kPolish, &skipped);
    ASSERT_TRUE(copied.Ok()) << copied.reason;
    EXPECT_EQ(Get(1, kUsEnglish), "M\xFCller");
    EXPECT_EQ(Get(1, kSimplifiedChinese), "M\xA8\xB9ller");  // windows-936's ü
    EXPECT_EQ(Get(1, kSlotWithoutName), "");                 // it held nothing in entry 1

    ASSERT_TRUE(m_editor.CopyToAll({0}, kPolish, &skipped).Ok());
    EXPECT_EQ(Get(0, kSlotWithoutName), "old");  // windows-1252 has no "ś": listed, kept
    EXPECT_EQ(Get(0, kFrench), "");
    ASSERT_FALSE(skipped.empty());
    EXPECT_EQ(skipped.front().slot, kUsEnglish);
    EXPECT_EQ(skipped.front().character, "\xC5\x9B");
    EXPECT_NE(std::find_if(skipped.begin(), skipped.end(),
                           [](const CopySkip& skip) { return skip.slot == kSlotWithoutName; }),
              skipped.end());
    EXPECT_EQ(Get(0, kRussian), "");
}

TEST_F(CopyToAllTest, CopyingEmptyTextsClearsAndNothingToChangeIsNoStep) {
    Open(Multilingual({{1, "", ""}, {3, "fr", "d"}}));
    ASSERT_TRUE(m_editor.CopyToAll({0}, kUsEnglish).Ok());
    EXPECT_EQ(Get(0, kFrench), "");
    EXPECT_EQ(m_stack.GetUndoText(), "Set for All");
    const size_t steps = m_stack.GetCount();
    ASSERT_TRUE(m_editor.CopyToAll({0}, kUsEnglish).Ok());
    EXPECT_EQ(m_stack.GetCount(), steps);
}

TEST_F(CopyToAllTest, Utf8ResourcesCopyEveryCharacter) {
    Utf8Sets sets(20);
    sets[0] = {{"\xE6\x97\xA5 \xC3\xA8", ""}};
    Open(BuildUtf8Payload(sets));
    std::vector<CopySkip> skipped;
    ASSERT_TRUE(m_editor.CopyToAll({0}, kUsEnglish, &skipped).Ok());
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(Get(0, kThai), "\xE6\x97\xA5 \xC3\xA8");
    EXPECT_EQ(Get(0, kSlotWithoutName), "");
}

TEST_F(CopyToAllTest, AddStringAppendsAnEmptyEntryAsAStepOfItsOwn) {
    Open(Multilingual({{1, "a", ""}, {1, "b", ""}}));
    ASSERT_TRUE(m_editor.AddString(kFrench).Ok());
    EXPECT_EQ(m_editor.Strings().GetCount(), 3u);
    EXPECT_EQ(m_stack.GetUndoText(), "Add String");
    // Typing into the new entry is a step of its own, so Undo takes the text back first.
    ASSERT_TRUE(m_editor.SetString(2, kFrench, 0, u"c").Ok());
    ASSERT_TRUE(m_editor.SetString(2, kFrench, 0, u"ce").Ok());
    EXPECT_EQ(m_stack.GetUndoText(), "Typing");
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(m_editor.Strings().GetCount(), 3u);
    EXPECT_EQ(Get(2, kFrench), "");
    ASSERT_TRUE(m_editor.Undo().Ok());
    EXPECT_EQ(m_editor.Strings().GetCount(), 2u);
    ASSERT_TRUE(m_editor.Redo().Ok());
    EXPECT_EQ(m_editor.Strings().GetCount(), 3u);

    // The stored resource holds the empty entry.
    ASSERT_TRUE(m_editor.Store().Ok());
    ChunkHandle handle = 0;
    ASSERT_TRUE(m_iff.FindChunk(handle, kTypeStrings, 1));
    CStringSet stored;
    ASSERT_TRUE(stored.Load(m_iff, handle));
    EXPECT_EQ(stored.GetCount(), 3u);
}

TEST_F(CopyToAllTest, AddStringStopsAtTheLargestCount) {
    std::vector<std::string> texts(0xFFFF, "t");
    Open(MakePlainPayload(texts));
    const EditResult added = m_editor.AddString();
    EXPECT_EQ(added.status, EditStatus::tooLarge);
    EXPECT_EQ(added.reason, CResourceEditor::kAddTooMany);
    EXPECT_EQ(m_editor.Strings().GetCount(), 0xFFFFu);
}

}  // namespace
