// Texts in the edits and the list: each language through its code page, losslessly; characters
// a code page cannot hold refused where they are typed; CR LF as line breaks.
#include "tests/view/ViewFixture.h"

#include <QTest>

namespace {

using View = CTallyglassView;

constexpr uint8_t kJapanese = 15;  // code of slot 9 (Shift-JIS)
constexpr int kJapaneseIndex = 9;

TEST_F(ViewTest, JapaneseTextIsShownAndStoredInItsCodePage) {
    // 日 in Shift-JIS.
    Open({StrChunk(1, "r", MultilingualPayload({{1, "e", ""}, {kJapanese, "\x93\xFA", ""}}))});
    ChooseLanguage(kJapaneseIndex);
    SelectRows({0});
    QPlainTextEdit* edit = m_view.GetTextEdit();
    EXPECT_EQ(EditText(edit), QStringLiteral("\u65E5"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("\u65E5"));
    PlaceCaret(edit, 1);
    Type(edit, QStringLiteral("\u672C"));  // 本
    EXPECT_EQ(Stored(0, 9), "\x93\xFA\x96\x7B");
    EXPECT_TRUE(m_view.GetStatusLabel()->text().isEmpty());
}

TEST_F(ViewTest, ACharacterTheLanguageCannotHoldIsRefusedAndExplained) {
    Open({StrChunk(1, "r", MultilingualPayload({{1, "ab", ""}, {kJapanese, "\x93\xFA", ""}}))});
    ChooseLanguage(kJapaneseIndex);
    SelectRows({0});
    QPlainTextEdit* edit = m_view.GetTextEdit();
    PlaceCaret(edit, 1);
    Type(edit, QStringLiteral("\u00E9"));
    EXPECT_EQ(EditText(edit), QStringLiteral("\u65E5"));
    EXPECT_EQ(edit->textCursor().position(), 1);
    EXPECT_EQ(m_view.GetStatusLabel()->text(),
              QStringLiteral("\u201C\u00E9\u201D cannot be stored in Japanese text."));
    EXPECT_EQ(Stored(0, 9), "\x93\xFA");
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_TRUE(m_messages.shown.empty());

    // The next good keystroke goes in and clears the explanation.
    QTest::keyClicks(edit, QStringLiteral("x"));
    EXPECT_EQ(Stored(0, 9), "\x93\xFAx");
    EXPECT_TRUE(m_view.GetStatusLabel()->text().isEmpty());

    // A paste with one bad character is refused as a whole; the caret stays where it was.
    ChooseLanguage(0);
    PlaceCaret(edit, 1);
    edit->insertPlainText(QStringLiteral("ok \U0001F600 ok"));
    EXPECT_EQ(EditText(edit), QStringLiteral("ab"));
    EXPECT_EQ(edit->textCursor().position(), 1);
    EXPECT_EQ(m_view.GetStatusLabel()->text(),
              QStringLiteral("\u201C\U0001F600\u201D cannot be stored in US English text."));
    EXPECT_EQ(Stored(0, 0), "ab");
}

TEST_F(ViewTest, LayoutsWithoutLanguagesUseTheWesternCodePage) {
    Open({StrChunk(1, "r", MakePlainPayload({"caf\xE9 \x80"}))});
    SelectRows({0});
    QPlainTextEdit* edit = m_view.GetTextEdit();
    EXPECT_EQ(EditText(edit), QStringLiteral("caf\u00E9 \u20AC"));
    edit->moveCursor(QTextCursor::End);
    Type(edit, QStringLiteral("\u0416"));  // Cyrillic: not in windows-1252
    EXPECT_EQ(m_view.GetStatusLabel()->text(),
              QStringLiteral("\u201C\u0416\u201D cannot be stored in US English text."));
    Type(edit, QStringLiteral("\u00FC"));
    EXPECT_EQ(Stored(0, 0), "caf\xE9 \x80\xFC");
}

TEST_F(ViewTest, StoredLineBreaksShowAsLinesAndTypedOnesAreStoredAsCrLf) {
    Open({StrChunk(1, "r", MakePlainPayload({"one\r\ntwo", "lone\nfeed"}))});
    SelectRows({0});
    QPlainTextEdit* edit = m_view.GetTextEdit();
    EXPECT_EQ(EditText(edit), QStringLiteral("one\ntwo"));
    EXPECT_EQ(edit->document()->blockCount(), 2);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("one\u21B5two"));
    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClicks(edit, QStringLiteral("3"));
    EXPECT_EQ(Stored(0, 0), "one\r\ntwo\r\n3");

    // A lone LF is not a line break of the edit: it survives an edit elsewhere in the text.
    SelectRows({1});
    EXPECT_EQ(edit->document()->blockCount(), 1);
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, QStringLiteral("s"));
    EXPECT_EQ(Stored(1, 0), "lone\nfeeds");
}

// A Basic text holds 255 bytes: the keystroke or paste that would pass them is taken back and
// explained, as a character the code page lacks is, so the file never holds less than the edit.
TEST_F(ViewTest, ATextOfTheBasicLayoutStopsAt255Bytes) {
    Open({StrChunk(1, "r", BasicPayload({std::string(253, 'a')}))});
    SelectRows({0});
    QPlainTextEdit* edit = m_view.GetTextEdit();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, QStringLiteral("bc"));
    EXPECT_EQ(Stored(0, 0), std::string(253, 'a') + "bc");
    QTest::keyClick(edit, Qt::Key_Return);  // two bytes
    const QString refusal = QStringLiteral(
        "A text of the Basic layout holds at most 255 bytes; this one would have 257.");
    EXPECT_EQ(m_view.GetStatusLabel()->text(), refusal);
    QTest::keyClicks(edit, QStringLiteral("d"));
    EXPECT_EQ(m_view.GetStatusLabel()->text(),
              QStringLiteral(
                  "A text of the Basic layout holds at most 255 bytes; this one would have 256."));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_TRUE(m_view.GetStatusLabel()->text().isEmpty());
    edit->insertPlainText(QStringLiteral("xyz"));
    EXPECT_EQ(m_view.GetStatusLabel()->text(),
              QStringLiteral(
                  "A text of the Basic layout holds at most 255 bytes; this one would have 257."));
    EXPECT_EQ(EditText(edit), QString(253, QLatin1Char('a')) + QStringLiteral("b"));
    EXPECT_EQ(Stored(0, 0), std::string(253, 'a') + "b");
}

struct RoundTripCase {
    const char* name;
    uint8_t code;
    int languageIndex;
};

class EditRoundTripTest : public ViewTest, public ::testing::WithParamInterface<RoundTripCase> {};

// Every byte but NUL, in every pair order the text gives, goes through the edit and back
// unchanged when the user types a character and takes it back.
TEST_P(EditRoundTripTest, EveryByteSurvivesAnEdit) {
    std::string bytes;
    for (int b = 1; b < 256; ++b)
        bytes.push_back(static_cast<char>(b));
    for (int b = 255; b >= 1; b -= 2)
        bytes.push_back(static_cast<char>(b));
    const RoundTripCase& c = GetParam();
    // Another language first, so the layout is multilingual whatever the language under test.
    const uint8_t other = c.code == 2 ? 1 : 2;
    Open({StrChunk(1, "r", MultilingualPayload({{other, "x", ""}, {c.code, bytes, ""}}))});
    ChooseLanguage(c.languageIndex);
    SelectRows({0});
    QPlainTextEdit* edit = m_view.GetTextEdit();
    ASSERT_TRUE(edit->isEnabled());
    edit->moveCursor(QTextCursor::End);
    QTest::keyClick(edit, Qt::Key_A);
    const int slot = View::SlotOfLanguageIndex(c.languageIndex);
    EXPECT_EQ(Stored(0, slot), bytes + "a");
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(Stored(0, slot), bytes);
    EXPECT_TRUE(m_view.GetStatusLabel()->text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, EditRoundTripTest,
    ::testing::Values(RoundTripCase{"western", 1, 0}, RoundTripCase{"polish", 16, 10},
                      RoundTripCase{"japanese", 15, 9}, RoundTripCase{"simplifiedChinese", 17, 11},
                      RoundTripCase{"traditionalChinese", 18, 12}, RoundTripCase{"thai", 19, 13},
                      RoundTripCase{"korean", 20, 14}, RoundTripCase{"russian", 13, 19}),
    [](const ::testing::TestParamInfo<RoundTripCase>& info) {
        return std::string(info.param.name);
    });

}  // namespace
