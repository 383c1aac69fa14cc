// What the form asks before it changes much, and what it keeps while the user moves around:
// "Set for all" as text, the chosen language across resources, type-ahead of ids, Add String.
#include "tests/support/IffPayloads.h"
#include "tests/support/Utf8Payload.h"
#include "tests/view/ViewFixture.h"

#include <QTest>

namespace {

using View = CTallyglassView;

constexpr int kFrenchIndex = 2;
constexpr int kRussianIndex = 19;  // the last entry of the language box (slot 20)

TEST_F(ViewTest, SetForAllCopiesTextIntoEveryCodePageAndListsTheLanguagesLeftAlone) {
    Open({StrChunk(1, "r", MultilingualPayload({{1, "tr\xE8s caf\xE9", ""}, {1, "x", ""}}))});
    SelectRows({0});
    m_messages.Answer({IDYES});
    m_view.GetSetForAllButton()->click();
    ASSERT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(m_messages.shown[0].text,
              "Copy the US English text and description of 1 string into every other language?");
    EXPECT_EQ(m_messages.shown[1].text.rfind("Not copied into Japanese, Polish, ", 0), 0u)
        << m_messages.shown[1].text;
    EXPECT_EQ(m_messages.shown[1].type, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(Stored(0, 2), "tr\xE8s caf\xE9");
    EXPECT_EQ(Stored(0, 11), "tr\xA8\xA8s caf\xA8\xA6");
    EXPECT_EQ(Stored(0, 9), "");
    EXPECT_EQ(Stored(0, 10), "");

    // The French column shows the copy as the user typed it.
    ChooseLanguage(kFrenchIndex);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("tr\u00E8s caf\u00E9"));

    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    CStringSet saved;
    const std::vector<uint8_t> payload = ReadPayloads(m_strPath).at({kTypeStrings, 1});
    ASSERT_TRUE(saved.Decode(payload.data(), payload.size()));
    EXPECT_EQ(std::string(saved.GetSlot(0, 11).text), "tr\xA8\xA8s caf\xA8\xA6");
    EXPECT_TRUE(saved.GetSlot(0, kSlotWithoutName).IsEmpty());
}

TEST_F(ViewTest, SetForAllFromAnEmptySourceAsksAgain) {
    Open({StrChunk(1, "r",
                   MultilingualPayload({{1, "", ""}, {1, "", ""}, {3, "f0", ""}, {3, "f1", ""}}))});
    SelectRows({0, 1});

    // No at the second question: nothing cleared.
    m_messages.Answer({IDYES, IDNO});
    m_view.GetSetForAllButton()->click();
    ASSERT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(m_messages.shown[0].text,
              "Copy the US English text and description of 2 strings into every other language?");
    EXPECT_EQ(m_messages.shown[1].text,
              "The selected strings have no US English text or description: this clears those "
              "strings in all languages. Continue?");
    EXPECT_EQ(Stored(1, 2), "f1");
    EXPECT_FALSE(m_doc.IsModified());

    m_messages.Clear();
    m_messages.Answer({IDYES, IDYES});
    m_view.GetSetForAllButton()->click();
    EXPECT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(Stored(0, 2), "");
    EXPECT_EQ(Stored(1, 2), "");
    EXPECT_TRUE(m_doc.IsModified());
}

TEST_F(ViewTest, TheChosenLanguageStaysAcrossResourcesThatHaveLanguages) {
    Utf8Sets utf8(20);
    utf8[0] = {{"u0", ""}};
    utf8[12] = {{"ru", ""}};  // the set of code 13: Russian
    Open({StrChunk(1, "multi", MultilingualPayload({{1, "e0", ""}, {3, "f0", ""}})),
          MakeChunk("STR#", 2, BuildUtf8Payload(utf8), "utf8"),
          StrChunk(3, "described", DescribedPayload({{0, "d0", "x"}})),
          StrChunk(4, "basic", BasicPayload({"b0"})),
          StrChunk(5, "multi2", MultilingualPayload({{1, "m0", ""}}))});
    ChooseLanguage(kRussianIndex);
    SelectResource(1);
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), kRussianIndex);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("ru"));
    SelectResource(1);  // the same one again
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), kRussianIndex);
    SelectResource(4);
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), kRussianIndex);

    // A layout without languages shows US English, the only language it has.
    SelectResource(2);
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), 0);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("d0"));
    SelectResource(3);
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), 0);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("b0"));
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(ViewTest, TypingANumberSelectsThatIdExactly) {
    Open({StrChunk(1000, "a", MakePlainPayload({"1000"})),
          StrChunk(128, "b", MakePlainPayload({"128"})),
          StrChunk(12, "c", MakePlainPayload({"12"})), StrChunk(99, "d", MakePlainPayload({"99"})),
          MakeChunk("CTSS", 128, MakePlainPayload({"catalog"}), "e")});
    CResourceList* list = m_view.GetResourceList();
    ASSERT_EQ(list->count(), 5);
    // Type, then number: every STR# first.
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("#12: c"));
    EXPECT_EQ(list->item(3)->text(), QStringLiteral("#1000: a"));
    EXPECT_EQ(list->item(4)->text(), QStringLiteral("CTSS #128: e"));

    list->setFocus();
    QTest::keyClicks(list, QStringLiteral("128"));
    EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("128"));
    // After the type-ahead pause a new number starts.
    QTest::qWait(QApplication::keyboardInputInterval() + 50);
    QTest::keyClicks(list, QStringLiteral("99"));
    EXPECT_EQ(list->currentRow(), 1);
    EXPECT_EQ(list->FindId(5), -1);
}

TEST_F(ViewTest, AddStringAppendsAnEntryAndPutsTheCaretInIt) {
    Open({StrChunk(1, "r", MultilingualPayload({{1, "e0", ""}, {3, "f0", ""}}))});
    ChooseLanguage(kFrenchIndex);
    m_view.OnAddString();
    EXPECT_EQ(Model()->rowCount(), 2);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(1));
    EXPECT_TRUE(m_view.GetTextEdit()->isEnabled());
    EXPECT_EQ(m_view.focusWidget(), m_view.GetTextEdit());
    Type(m_view.GetTextEdit(), QStringLiteral("f1"));
    EXPECT_EQ(Stored(1, 2), "f1");

    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    CStringSet saved;
    const std::vector<uint8_t> payload = ReadPayloads(m_strPath).at({kTypeStrings, 1});
    ASSERT_TRUE(saved.Decode(payload.data(), payload.size()));
    EXPECT_EQ(saved.GetCount(), 2u);
    EXPECT_EQ(std::string(saved.GetSlot(1, 2).text), "f1");
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), kFrenchIndex);
}

}  // namespace
