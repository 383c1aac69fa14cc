// The editing panel: enabled states, the edits, the check boxes and "Set for all".
#include "tests/support/IffPayloads.h"
#include "tests/view/ViewFixture.h"

#include <QTest>

namespace {

using View = CTallyglassView;

enum class Layout { basic, plain, described, multilingual };
enum class Selection { none, one, several };

// Enabled states in the order of kPanelIds; 2 = enabled only while exactly one row is selected.
constexpr int kPanelIds[] = {
    View::IDC_STRING_LIST,   View::IDC_BASIC_MODE, View::IDC_USE_DESCRIPTIONS,
    View::IDC_USE_LANGUAGES, View::IDC_LANGUAGE,   View::IDC_SET_FOR_ALL,
    View::IDC_TEXT,          View::IDC_DESCRIPTION};

struct PanelCase {
    Layout layout;
    std::array<int, 8> enabled;
};

std::vector<uint8_t> PayloadOf(Layout layout) {
    switch (layout) {
        case Layout::basic:
            return BasicPayload({"t0", "t1", "t2"});
        case Layout::plain:
            return MakePlainPayload({"t0", "t1", "t2"});
        case Layout::described:
            return DescribedPayload({{0, "t0", "d0"}, {0, "t1", "d1"}, {0, "t2", "d2"}});
        case Layout::multilingual:
            return MultilingualPayload({{1, "t0", "d0"}, {1, "t1", "d1"}, {1, "t2", "d2"}});
    }
    return {};
}

class PanelTest : public ViewTest,
                  public ::testing::WithParamInterface<std::tuple<PanelCase, Selection>> {};

TEST_P(PanelTest, EnablesControlsByLayoutAndSelection) {
    const auto& [c, selection] = GetParam();
    Open({StrChunk(1, "r", PayloadOf(c.layout))});
    switch (selection) {
        case Selection::none:
            SelectRows({});
            break;
        case Selection::one:
            SelectRows({1});
            break;
        case Selection::several:
            SelectRows({0, 2});
            break;
    }
    for (size_t i = 0; i < std::size(kPanelIds); ++i) {
        const bool expected = c.enabled[i] == 2 ? selection == Selection::one : c.enabled[i] == 1;
        EXPECT_EQ(m_view.GetDlgItem(kPanelIds[i])->isEnabled(), expected) << kPanelIds[i];
    }
    const QString text = EditText(m_view.GetTextEdit());
    const QString description = EditText(m_view.GetDescriptionEdit());
    switch (selection) {
        case Selection::none:
            EXPECT_EQ(text, QStringLiteral("No item selected"));
            EXPECT_EQ(description, QStringLiteral("No item selected"));
            break;
        case Selection::one:
            EXPECT_EQ(text, QStringLiteral("t1"));
            break;
        case Selection::several:
            EXPECT_EQ(text, QStringLiteral("Multiple items selected"));
            EXPECT_EQ(description, QStringLiteral("Multiple items selected"));
            break;
    }
    // The check boxes show the loaded flags.
    EXPECT_EQ(m_view.GetBasicModeBox()->isChecked(), c.layout == Layout::basic);
    EXPECT_EQ(m_view.GetUseDescriptionsBox()->isChecked(),
              c.layout == Layout::described || c.layout == Layout::multilingual);
    EXPECT_EQ(m_view.GetUseLanguagesBox()->isChecked(), c.layout == Layout::multilingual);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, PanelTest,
    ::testing::Combine(::testing::Values(PanelCase{Layout::basic, {1, 1, 0, 0, 0, 0, 2, 0}},
                                         PanelCase{Layout::plain, {1, 1, 1, 0, 0, 0, 2, 0}},
                                         PanelCase{Layout::described, {1, 1, 1, 1, 0, 0, 2, 2}},
                                         PanelCase{Layout::multilingual, {1, 1, 1, 1, 1, 1, 2, 2}}),
                       ::testing::Values(Selection::none, Selection::one, Selection::several)));

TEST_F(ViewTest, StatusTextsNeverReachTheWorkingCopy) {
    Open({StrChunk(1, "r", PayloadOf(Layout::multilingual))});
    for (const auto rows : {std::initializer_list<int>{}, std::initializer_list<int>{0, 1}}) {
        SelectRows(rows);
        // Even a change forced into the disabled edits goes nowhere.
        m_view.GetTextEdit()->setPlainText(QStringLiteral("forced"));
        m_view.GetDescriptionEdit()->setPlainText(QStringLiteral("forced"));
    }
    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    for (int entry = 0; entry < 3; ++entry) {
        EXPECT_EQ(Stored(entry, 0, 0), "t" + std::to_string(entry));
        EXPECT_EQ(Stored(entry, 0, 1), "d" + std::to_string(entry));
    }
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(ViewTest, TypingChangesTheWorkingCopyAndTheRowAtEachKeystroke) {
    Open({StrChunk(1, "r", PayloadOf(Layout::multilingual))});
    SelectRows({1});
    QPlainTextEdit* edit = m_view.GetTextEdit();
    PlaceCaret(edit, 1);
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(Stored(1, 0), "ta1");
    EXPECT_EQ(Cell(1, 1), QStringLiteral("ta1"));
    EXPECT_EQ(edit->textCursor().position(), 2);
    EXPECT_TRUE(m_view.IsChanged());
    EXPECT_TRUE(m_doc.IsModified());
    QTest::keyClick(edit, Qt::Key_B);
    EXPECT_EQ(Stored(1, 0), "tab1");
    EXPECT_EQ(edit->textCursor().position(), 3);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(Stored(1, 0), "ta1");
    EXPECT_EQ(edit->textCursor().position(), 2);

    QPlainTextEdit* description = m_view.GetDescriptionEdit();
    PlaceCaret(description, 2);
    QTest::keyClicks(description, QStringLiteral("!"));
    EXPECT_EQ(Stored(1, 0, 1), "d1!");
    EXPECT_EQ(Cell(1, 2), QStringLiteral("d1!"));
    // Other entries and languages are untouched.
    EXPECT_EQ(Stored(0, 0), "t0");
    EXPECT_EQ(Stored(1, 2), "");
}

TEST_F(ViewTest, ChoosingALanguageShowsItsTextsAndMarksNothing) {
    Open({StrChunk(1, "r",
                   MultilingualPayload({{1, "en0", "ed0"},
                                        {1, "en1", "ed1"},
                                        {3, "fr0", "fd0"},
                                        {3, "fr1", "fd1"},
                                        {8, "da0", ""},
                                        {17, "zh0", ""}}))});
    SelectRows({0});
    ChooseLanguage(2);  // French
    EXPECT_EQ(m_view.m_nLanguage, 2);
    EXPECT_EQ(Cell(1, 1), QStringLiteral("fr1"));
    EXPECT_EQ(Cell(1, 2), QStringLiteral("fd1"));
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("fr0"));
    EXPECT_EQ(EditText(m_view.GetDescriptionEdit()), QStringLiteral("fd0"));
    ChooseLanguage(15);  // Danish: code 8, slot 16
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("da0"));
    EXPECT_EQ(Cell(1, 1), QString());
    ChooseLanguage(11);  // Simplified Chinese: code 17
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("zh0"));
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(0));
}

TEST_F(ViewTest, BasicModeShowsTheOtherBoxesUntickedAndGreyedAndReturnsToUSEnglish) {
    Open({StrChunk(1, "r", PayloadOf(Layout::multilingual))});
    SelectRows({0});
    ChooseLanguage(3);
    m_messages.Answer({IDYES});
    m_view.GetBasicModeBox()->click();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text,
              "This keeps only the US English texts: the descriptions of 3 strings will be "
              "removed when the resource is stored. Continue?");
    EXPECT_EQ(m_messages.shown[0].type, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);
    EXPECT_TRUE(m_view.Strings().m_bBasic);
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), 0);
    EXPECT_FALSE(m_view.GetUseDescriptionsBox()->isEnabled());
    EXPECT_FALSE(m_view.GetUseLanguagesBox()->isEnabled());
    EXPECT_FALSE(m_view.GetLanguageBox()->isEnabled());
    EXPECT_FALSE(m_view.GetSetForAllButton()->isEnabled());
    EXPECT_FALSE(m_view.GetDescriptionEdit()->isEnabled());
    EXPECT_TRUE(m_view.GetTextEdit()->isEnabled());
    // The boxes show the layout a store writes: neither descriptions nor languages.
    EXPECT_FALSE(m_view.GetUseLanguagesBox()->isChecked());
    EXPECT_FALSE(m_view.GetUseDescriptionsBox()->isChecked());
    EXPECT_TRUE(m_view.IsChanged());
    EXPECT_TRUE(m_doc.IsModified());

    // Unticked again, the working copy's layout comes back whole, boxes and descriptions.
    m_view.GetBasicModeBox()->click();
    EXPECT_EQ(m_messages.shown.size(), 1u);
    EXPECT_TRUE(m_view.GetUseLanguagesBox()->isChecked());
    EXPECT_TRUE(m_view.GetUseDescriptionsBox()->isChecked());
    EXPECT_EQ(Stored(2, 0, 1), "d2");
}

TEST_F(ViewTest, UncheckingDescriptionsShowsTheLanguagesBoxUntickedAndGreyed) {
    Open({StrChunk(1, "r", PayloadOf(Layout::multilingual))});
    SelectRows({0});
    m_messages.Answer({IDYES});
    m_view.GetUseDescriptionsBox()->click();
    EXPECT_FALSE(m_view.Strings().m_bDescriptions);
    EXPECT_FALSE(m_view.GetUseLanguagesBox()->isEnabled());
    EXPECT_FALSE(m_view.GetUseLanguagesBox()->isChecked());
    EXPECT_FALSE(m_view.GetLanguageBox()->isEnabled());
    EXPECT_FALSE(m_view.GetSetForAllButton()->isEnabled());
    EXPECT_FALSE(m_view.GetDescriptionEdit()->isEnabled());

    m_view.GetUseDescriptionsBox()->click();
    EXPECT_TRUE(m_view.GetUseLanguagesBox()->isEnabled());
    EXPECT_TRUE(m_view.GetUseLanguagesBox()->isChecked());
    EXPECT_TRUE(m_view.GetLanguageBox()->isEnabled());
    EXPECT_TRUE(m_view.GetSetForAllButton()->isEnabled());
    EXPECT_TRUE(m_view.GetDescriptionEdit()->isEnabled());
}

TEST_F(ViewTest, AfterAStoreInBasicModeTheBoxesShowWhatWasStored) {
    Open({StrChunk(1, "r", PayloadOf(Layout::described))});
    SelectRows({0});
    m_messages.Answer({IDYES});
    m_view.GetBasicModeBox()->click();
    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    // Storing in the basic layout cleared the descriptions flag.
    EXPECT_FALSE(m_view.Strings().m_bDescriptions);
    EXPECT_FALSE(m_view.GetUseDescriptionsBox()->isChecked());

    m_view.GetBasicModeBox()->click();
    EXPECT_TRUE(m_view.GetUseDescriptionsBox()->isEnabled());
    EXPECT_FALSE(m_view.GetUseDescriptionsBox()->isChecked());
    EXPECT_FALSE(m_view.GetDescriptionEdit()->isEnabled());
    EXPECT_FALSE(m_view.GetUseLanguagesBox()->isEnabled());

    // One click brings the descriptions back, as the box says.
    m_view.GetUseDescriptionsBox()->click();
    EXPECT_TRUE(m_view.GetDescriptionEdit()->isEnabled());
    EXPECT_TRUE(m_view.GetUseLanguagesBox()->isEnabled());
    // The languages flag was cleared by the store as well.
    EXPECT_FALSE(m_view.GetUseLanguagesBox()->isChecked());
    EXPECT_FALSE(m_view.GetLanguageBox()->isEnabled());
}

// Each switch that drops what the working copy holds asks first; No leaves everything as it was,
// Yes switches, and the store writes the layout without it.
struct LossCase {
    const char* name;
    int box;  // the check box clicked
    const char* question;
    std::vector<uint8_t> stored;  // the payload after Yes and a save
};

class LayoutLossTest : public ViewTest, public ::testing::WithParamInterface<LossCase> {};

std::vector<Record> TwoLanguages() {
    return {{1, "e0", "d0"}, {1, "e1", ""}, {3, "f0", ""}, {3, "f1", "g1"}, {5, "i1", ""}};
}

TEST_P(LayoutLossTest, AsksAndNoKeepsEverything) {
    const LossCase& c = GetParam();
    const std::vector<uint8_t> payload = MultilingualPayload(TwoLanguages());
    Open({StrChunk(1, "r", payload)});
    ChooseLanguage(2);
    SelectRows({1});
    QCheckBox* box = static_cast<QCheckBox*>(m_view.GetDlgItem(c.box));
    const bool checked = box->isChecked();

    m_messages.Answer({IDNO});
    box->click();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, c.question);
    EXPECT_EQ(box->isChecked(), checked);
    EXPECT_EQ(m_view.Strings().GetLayout(), StringLayout::multilingual);
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), 2);
    EXPECT_FALSE(m_doc.IsModified());
    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    EXPECT_EQ(ReadPayloads(m_strPath).at({kTypeStrings, 1}), payload);

    m_messages.Answer({IDYES});
    box->click();
    EXPECT_EQ(box->isChecked(), !checked);
    EXPECT_TRUE(m_doc.IsModified());
    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    EXPECT_EQ(ReadPayloads(m_strPath).at({kTypeStrings, 1}), c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, LayoutLossTest,
    ::testing::Values(
        LossCase{"languagesOff", View::IDC_USE_LANGUAGES,
                 "This keeps only the US English texts and descriptions: 2 other languages of 2 "
                 "strings will be removed when the resource is stored. Continue?",
                 DescribedPayload({{0, "e0", "d0"}, {0, "e1", ""}})},
        LossCase{"descriptionsOff", View::IDC_USE_DESCRIPTIONS,
                 "This keeps only the US English texts: 2 other languages of 2 strings and the "
                 "description of 1 string will be removed when the resource is stored. Continue?",
                 MakePlainPayload({"e0", "e1"})},
        LossCase{"basic", View::IDC_BASIC_MODE,
                 "This keeps only the US English texts: 2 other languages of 2 strings and the "
                 "description of 1 string will be removed when the resource is stored. Continue?",
                 BasicPayload({"e0", "e1"})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ViewTest, BasicModeCountsTextsItWouldCut) {
    Open({StrChunk(1, "r", MakePlainPayload({std::string(256, 'x'), std::string(255, 'y'), "z"}))});
    m_messages.Answer({IDNO});
    m_view.GetBasicModeBox()->click();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text,
              "This keeps only the US English texts: the end of 1 text longer than 255 bytes "
              "will be removed when the resource is stored. Continue?");
    EXPECT_FALSE(m_view.GetBasicModeBox()->isChecked());
    EXPECT_FALSE(m_view.Strings().m_bBasic);
}

TEST_F(ViewTest, SwitchesThatDropNothingAskNothing) {
    // Only US English texts without descriptions: turning languages off and back loses nothing.
    Open({StrChunk(1, "r", MultilingualPayload({{1, "e0", ""}, {1, "e1", ""}}))});
    m_view.GetUseLanguagesBox()->click();
    m_view.GetUseLanguagesBox()->click();
    m_view.GetUseDescriptionsBox()->click();
    m_view.GetBasicModeBox()->click();
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_TRUE(m_view.Strings().m_bBasic);
}

TEST_F(ViewTest, SetForAllCopiesTheSelectedEntriesIntoEveryLanguage) {
    Open({StrChunk(1, "r",
                   MultilingualPayload({{1, "e0", "x0"},
                                        {1, "e1", "x1"},
                                        {1, "e2", "x2"},
                                        {3, "f0", "g0"},
                                        {3, "f1", "g1"},
                                        {3, "f2", "g2"}}))});
    ChooseLanguage(2);
    SelectRows({0, 2});
    m_messages.Answer({IDYES});
    m_view.GetSetForAllButton()->click();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text,
              "Copy the French text and description of 2 strings into every other language?");
    EXPECT_EQ(m_messages.shown[0].caption, "Tallyglass");
    EXPECT_EQ(m_messages.shown[0].type, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        // The slot no language list names stays empty where it was.
        EXPECT_EQ(Stored(0, slot, 0), slot == kSlotWithoutName ? "" : "f0");
        EXPECT_EQ(Stored(0, slot, 1), slot == kSlotWithoutName ? "" : "g0");
        EXPECT_EQ(Stored(2, slot, 0), slot == kSlotWithoutName ? "" : "f2");
    }
    EXPECT_EQ(Stored(1, 0), "e1");
    EXPECT_TRUE(m_view.IsChanged());
    EXPECT_TRUE(m_doc.IsModified());

    // The store writes every language block, the further languages among them.
    ASSERT_TRUE(m_doc.OnSaveDocument(m_strPath));
    CTallyglassDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(m_strPath));
    ChunkHandle handle = 0;
    ASSERT_TRUE(reopened.m_iff.FindChunk(handle, kTypeStrings, 1));
    CStringSet saved;
    ASSERT_TRUE(saved.Load(reopened.m_iff, handle));
    std::string text;
    ASSERT_TRUE(saved.GetString(0, 14, 0, text));
    EXPECT_EQ(text, "f0");
    ASSERT_TRUE(saved.GetString(2, 20, 0, text));
    EXPECT_EQ(text, "f2");
}

TEST_F(ViewTest, SetForAllAnsweredNoChangesNothing) {
    Open({StrChunk(1, "r", PayloadOf(Layout::multilingual))});
    SelectRows({0});
    m_messages.Answer({IDNO});
    m_view.GetSetForAllButton()->click();
    EXPECT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(Stored(0, 5), "");
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(ViewTest, SetForAllWithoutRowsAsksNothingAndChangesNothing) {
    Open({StrChunk(1, "r", PayloadOf(Layout::multilingual))});
    SelectRows({});
    m_messages.Answer({IDYES});
    m_view.GetSetForAllButton()->click();
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_EQ(Stored(0, 5), "");
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_FALSE(m_doc.IsModified());
}

}  // namespace
