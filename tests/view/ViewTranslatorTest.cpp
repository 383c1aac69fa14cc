// The editor a translator works in all day: the chosen language kept across resources, the
// source above the translation, byte counters, Go to the next untranslated string, what a file
// without text resources shows, and the Find dialog's keys and messages.

#include "tests/view/ViewFixture.h"
#include "view/FindDialog.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

namespace {

using View = CTallyglassView;

constexpr int kFrenchIndex = 2;

// Four resources in list order: multilingual, plain, multilingual, Basic.
std::vector<TestChunk> Mixed() {
    return {
        StrChunk(1, "a", MultilingualPayload({{1, "Sit", ""}, {1, "Rock", ""}, {3, "Assis", ""}})),
        StrChunk(2, "b", MakePlainPayload({"Plain"})),
        StrChunk(
            3, "c",
            MultilingualPayload({{1, "Lamp", ""}, {1, "", ""}, {3, "Lamp", ""}, {3, "Seul", ""}})),
        StrChunk(4, "d", BasicPayload({"Basic"}))};
}

TEST_F(ViewTest, TheChosenLanguageComesBackAfterResourcesWithoutLanguages) {
    const std::vector<std::vector<int>> walks = {{1, 0}, {1, 2}, {3, 1, 2}, {3, 0}};
    for (const std::vector<int>& walk : walks) {
        SCOPED_TRACE(testing::PrintToString(walk));
        Open(Mixed());
        ChooseLanguage(kFrenchIndex);
        for (const int row : walk) {
            SelectResource(row);
            const bool languages = row == 0 || row == 2;
            // Without languages the box shows US English, greyed.
            EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), languages ? kFrenchIndex : 0);
            EXPECT_EQ(m_view.GetLanguageBox()->isEnabled(), languages);
        }
    }
}

TEST_F(ViewTest, TheSourceShowsAboveTheTranslationWithByteCountersUnderTheEdits) {
    Open(Mixed());
    ChooseLanguage(kFrenchIndex);
    SelectRows({1});
    EXPECT_EQ(EditText(m_view.GetSourceEdit()), QStringLiteral("Rock"));
    EXPECT_TRUE(m_view.GetSourceEdit()->isReadOnly());
    EXPECT_EQ(m_view.GetSourceLabel()->text(), QStringLiteral("Source te&xt (USEnglish):"));
    EXPECT_EQ(m_view.GetTextBytesLabel()->text(), QStringLiteral("0 bytes"));
    Type(m_view.GetTextEdit(), QStringLiteral("\u00C9"));
    EXPECT_EQ(m_view.GetTextBytesLabel()->text(), QStringLiteral("1 byte"));
    Type(m_view.GetTextEdit(), QStringLiteral("t\u00E9"));
    EXPECT_EQ(m_view.GetTextBytesLabel()->text(), QStringLiteral("3 bytes"));

    // The source language itself has nothing above it; Basic counts against its limit.
    ChooseLanguage(0);
    EXPECT_FALSE(m_view.GetSourceEdit()->isEnabled());
    EXPECT_EQ(EditText(m_view.GetSourceEdit()), QString());
    SelectResource(3);
    SelectRows({0});
    EXPECT_EQ(m_view.GetTextBytesLabel()->text(), QStringLiteral("5 / 255 bytes"));
    SelectRows({});
    EXPECT_EQ(m_view.GetTextBytesLabel()->text(), QString());
}

TEST_F(ViewTest, GoToUntranslatedWalksTheResourcesInListOrderAndRoundAgain) {
    Open(Mixed());
    QSignalSpy messages(&m_view, &View::StatusMessage);
    EXPECT_FALSE(m_view.OnGoUntranslated(false));  // US English is the source
    ASSERT_EQ(messages.size(), 1);
    ChooseLanguage(kFrenchIndex);
    SelectRows({0});
    // "Rock" (empty), then "Lamp" (the source's text) in the third resource; the plain one is
    // passed, and so is the row without a source.
    const std::vector<std::pair<int, int>> forward = {{0, 1}, {2, 0}, {0, 1}};
    for (const auto& [resource, row] : forward) {
        ASSERT_TRUE(m_view.OnGoUntranslated(false));
        EXPECT_EQ(m_view.GetResourceList()->currentRow(), resource);
        EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(row));
        EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), kFrenchIndex);
    }
    ASSERT_TRUE(m_view.OnGoUntranslated(true));
    EXPECT_EQ(m_view.GetResourceList()->currentRow(), 2);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(0));
    EXPECT_TRUE(m_view.GetTextEdit()->hasFocus() || !m_view.isActiveWindow());

    // Translated, nothing is left.
    Type(m_view.GetTextEdit(), QStringLiteral("e"));
    SelectResource(0);
    SelectRows({1});
    Type(m_view.GetTextEdit(), QStringLiteral("Bascule"));
    messages.clear();
    EXPECT_FALSE(m_view.OnGoUntranslated(false));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].at(0).toString(),
              QStringLiteral("No string awaits its French translation."));
}

TEST_F(ViewTest, ARowWithoutASourceIsNotCountedAsTranslated) {
    Open(Mixed());
    ChooseLanguage(kFrenchIndex);
    SelectResource(2);
    EXPECT_EQ(m_view.TranslationSummary(), QStringLiteral("0 of 2 translated"));
    m_view.OnAddString();
    Type(m_view.GetTextEdit(), QStringLiteral("Nouveau"));
    EXPECT_EQ(m_view.TranslationSummary(), QStringLiteral("0 of 3 translated"));
}

TEST_F(ViewTest, AFileWithoutTextResourcesShowsAnEmptyFormAndSaysSo) {
    Open(Mixed());
    ChooseLanguage(kFrenchIndex);
    SelectRows({0});
    Open({MakeChunk("BHAV", 4096, {1, 2, 3}, "code")}, "other.iff");
    EXPECT_EQ(Model()->rowCount(), 0);
    EXPECT_EQ(m_view.GetLanguageBox()->currentIndex(), -1);
    for (QCheckBox* box :
         {m_view.GetBasicModeBox(), m_view.GetUseLanguagesBox(), m_view.GetUseDescriptionsBox()})
        EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QString());
    EXPECT_FALSE(m_view.GetTextEdit()->isEnabled());
    EXPECT_EQ(m_view.ResourceStatus(), QStringLiteral("This file has no text resources."));
}

TEST_F(ViewTest, CatalogAndPieMenuRowsSayWhatTheGameMakesOfThem) {
    Open({MakeChunk("CTSS", 2, MakePlainPayload({"Lamp", "Gives light", "more"}), "catalog"),
          MakeChunk("TTAs", 3, MakePlainPayload({"Sit"}), "pie")});
    EXPECT_EQ(Cell(0, 0), QStringLiteral("#0 name"));
    EXPECT_EQ(Cell(1, 0), QStringLiteral("#1 desc."));
    EXPECT_EQ(Cell(2, 0), QStringLiteral("#2"));
    SelectResource(1);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("#0 menu"));
    EXPECT_EQ(Model()->index(0, 0).data(Qt::ToolTipRole).toString(),
              QStringLiteral("A pie-menu entry"));
}

TEST_F(ViewTest, TheFindDialogKeepsItsKeysAndReportsWhatItCouldNotDo) {
    Open({StrChunk(1, "names", MakePlainPayload({"Chair", "Table chair"}))});
    QSignalSpy messages(&m_view, &View::StatusMessage);
    // Ctrl+H with nothing to find puts the caret in the find field.
    m_view.OnEditFind(true);
    CFindDialog* dialog = m_view.GetFindDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    EXPECT_EQ(dialog->focusWidget(), dialog->GetFindEdit());

    // F3 and Shift+F3 while the dialog has the focus; wrapping round is said.
    dialog->GetFindEdit()->setText(QStringLiteral("chair"));
    QTest::keyClick(dialog->GetFindEdit(), Qt::Key_F3);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(0));
    QTest::keyClick(dialog->GetFindEdit(), Qt::Key_F3);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(1));
    EXPECT_TRUE(messages.isEmpty());
    QTest::keyClick(dialog->GetFindEdit(), Qt::Key_F3);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(0));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].at(0).toString(),
              QStringLiteral("Passed the end; continued from the beginning."));
    QTest::keyClick(dialog->GetFindEdit(), Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(1));

    // A single Replace the code page refuses says so in the dialog and changes nothing.
    dialog->GetReplaceEdit()->setText(QStringLiteral("\u0416"));
    m_view.OnReplace();
    EXPECT_EQ(Stored(1, 0), "Table chair");
    bool said = false;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        said = said || label->text() == QStringLiteral(
                                            "Nothing was replaced. \u201C\u0416\u201D "
                                            "cannot be stored in US English text.");
    EXPECT_TRUE(said);

    // No two of the dialog's controls share a mnemonic.
    QString mnemonics;
    for (QWidget* control : dialog->findChildren<QWidget*>()) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(control))
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            text = button->text();
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        if (amp < 0 || amp + 1 >= text.size())
            continue;
        const QChar key = text.at(amp + 1).toLower();
        EXPECT_FALSE(mnemonics.contains(key)) << text.toStdString();
        mnemonics += key;
    }
    EXPECT_GE(mnemonics.size(), 10);
}

}  // namespace
