// Find and Replace in the editor: a match is shown where it is, Replace edits it, Replace All
// is one step.

#include "tests/view/ViewFixture.h"
#include "view/FindDialog.h"

#include <QLineEdit>

namespace {

std::vector<TestChunk> Chairs() {
    return {StrChunk(1, "names", MakePlainPayload({"Chair", "Table"})),
            MakeChunk("CTSS", 2, MultilingualPayload({{1, "Rocking chair", ""}, {3, "Chaise", ""}}),
                      "catalog")};
}

TEST_F(ViewTest, FindNextShowsEachMatchInItsResourceRowAndEdit) {
    Open(Chairs());
    m_view.OnEditFind(false);
    CFindDialog* dialog = m_view.GetFindDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->GetFindEdit()->setText(QStringLiteral("chair"));

    ASSERT_TRUE(m_view.OnEditFindNext(false));  // "Chair", row 0 of #1
    EXPECT_EQ(m_view.GetResourceList()->currentRow(), 0);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(0));
    EXPECT_EQ(m_view.GetTextEdit()->textCursor().selectedText(), QStringLiteral("Chair"));

    ASSERT_TRUE(m_view.OnEditFindNext(false));  // "Rocking chair" in the catalog
    EXPECT_EQ(m_view.GetResourceList()->currentRow(), 1);
    EXPECT_EQ(m_view.GetTextEdit()->textCursor().selectionStart(), 8);
    EXPECT_EQ(m_view.GetTextEdit()->textCursor().selectedText(), QStringLiteral("chair"));

    ASSERT_TRUE(m_view.OnEditFindNext(true));  // back to the first
    EXPECT_EQ(m_view.GetResourceList()->currentRow(), 0);

    dialog->GetFindEdit()->setText(QStringLiteral("sofa"));
    EXPECT_FALSE(m_view.OnEditFindNext(false));
}

TEST_F(ViewTest, ReplaceEditsTheMatchAndReplaceAllIsOneUndoStep) {
    Open(Chairs());
    m_view.OnEditFind(true);
    CFindDialog* dialog = m_view.GetFindDialog();
    dialog->GetFindEdit()->setText(QStringLiteral("chair"));
    dialog->GetReplaceEdit()->setText(QStringLiteral("seat"));

    ASSERT_TRUE(m_view.OnEditFindNext(false));
    m_view.OnReplace();  // "Chair" becomes "seat"; the next match is shown
    EXPECT_EQ(m_view.GetResourceList()->currentRow(), 1);
    EXPECT_EQ(m_view.GetTextEdit()->textCursor().selectedText(), QStringLiteral("chair"));
    SelectResource(0);
    EXPECT_EQ(Stored(0, 0), "seat");
    EXPECT_EQ(m_doc.m_undo.GetUndoText(), "Typing");

    // Every "a" of both resources in the chosen language, the first resource shown afterwards.
    dialog->GetFindEdit()->setText(QStringLiteral("a"));
    dialog->GetReplaceEdit()->setText(QStringLiteral("4"));
    m_view.OnReplaceAll();
    EXPECT_EQ(m_doc.m_undo.GetUndoText(), "Replace All");
    EXPECT_EQ(Stored(0, 0), "se4t");
    EXPECT_EQ(Stored(1, 0), "T4ble");
    SelectResource(1);
    EXPECT_EQ(Stored(0, 0), "Rocking ch4ir");
    EXPECT_EQ(Stored(0, 2), "Chaise");  // French: the dialog looks in the chosen language only

    // One undo takes back every replacement.
    m_view.OnEditUndo();
    EXPECT_EQ(m_view.GetResourceList()->currentRow(), 0);
    EXPECT_EQ(Stored(0, 0), "seat");
    SelectResource(1);
    EXPECT_EQ(Stored(0, 0), "Rocking chair");
}

}  // namespace
