// The source language beside the translation: its column, the rows still to translate, the
// summary and the languages without text.

#include "tests/view/ViewFixture.h"

#include <QHeaderView>
#include <QSignalSpy>

namespace {

using View = CTallyglassView;

// English for three strings; French translates one, copies another and leaves the third empty.
std::vector<uint8_t> HalfTranslated() {
    return MultilingualPayload({{1, "Sit", ""},
                                {1, "Rock", ""},
                                {1, "Stand up", ""},
                                {3, "S'asseoir", ""},
                                {3, "Rock", ""},
                                {3, "", "only a description"}});
}

bool Muted(QAbstractItemModel* model, int row) {
    return model->index(row, CStringListModel::colText).data(Qt::ForegroundRole).isValid();
}

TEST_F(ViewTest, AnotherLanguageShowsTheSourceAndWhatRemainsToTranslate) {
    Open({StrChunk(1, "pie", HalfTranslated())});
    QSignalSpy summaries(&m_view, &View::SummaryChanged);
    EXPECT_EQ(Model()->columnCount(), 3);  // US English is the source itself
    EXPECT_EQ(m_view.TranslationSummary(), QString());

    ChooseLanguage(2);  // French
    ASSERT_EQ(Model()->columnCount(), 4);
    EXPECT_EQ(Model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("Source"));
    EXPECT_EQ(Cell(0, 3), QStringLiteral("Sit"));
    EXPECT_EQ(Cell(2, 3), QStringLiteral("Stand up"));
    // The source column comes in without pushing a column out of sight.
    const QHeaderView* header = m_view.GetStringList()->horizontalHeader();
    EXPECT_LE(header->length(), m_view.GetStringList()->viewport()->width());
    EXPECT_EQ(header->sectionSize(3), header->sectionSize(1));
    EXPECT_FALSE(Muted(Model(), 0));
    EXPECT_TRUE(Muted(Model(), 1));  // still the English text
    EXPECT_TRUE(Muted(Model(), 2));  // empty
    EXPECT_EQ(m_view.TranslationSummary(), QStringLiteral("1 of 3 translated"));
    ASSERT_FALSE(summaries.isEmpty());
    EXPECT_EQ(summaries.last().at(0).toString(), QStringLiteral("1 of 3 translated"));

    // Translating a row counts at once and the row is no longer muted.
    SelectRows({2});
    m_view.GetTextEdit()->setPlainText(QStringLiteral("Se lever"));
    EXPECT_EQ(m_view.TranslationSummary(), QStringLiteral("2 of 3 translated"));
    EXPECT_FALSE(Muted(Model(), 2));
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(2));

    // Back to the source language: no column, no summary.
    ChooseLanguage(0);
    EXPECT_EQ(Model()->columnCount(), 3);
    EXPECT_EQ(m_view.TranslationSummary(), QString());
    EXPECT_EQ(summaries.last().at(0).toString(), QString());
}

TEST_F(ViewTest, AnyLanguageCanBeTheSourceAndLanguagesWithoutTextAreMarked) {
    Open({StrChunk(1, "pie", HalfTranslated())});
    m_view.SetSourceLanguage(2);  // French
    ChooseLanguage(0);
    ASSERT_EQ(Model()->columnCount(), 4);
    EXPECT_EQ(Cell(0, 3), QStringLiteral("S'asseoir"));
    // "Stand up" has no French source to translate: not counted.
    EXPECT_EQ(m_view.TranslationSummary(), QStringLiteral("1 of 3 translated"));

    // French and US English hold text; German does not (its entry is muted), a description
    // alone is no text.
    QComboBox* box = m_view.GetLanguageBox();
    EXPECT_FALSE(box->itemData(0, Qt::ForegroundRole).isValid());
    EXPECT_FALSE(box->itemData(2, Qt::ForegroundRole).isValid());
    EXPECT_TRUE(box->itemData(3, Qt::ForegroundRole).isValid());
    EXPECT_EQ(box->itemData(3, Qt::ToolTipRole).toString(),
              QStringLiteral("No text in this resource"));

    // A layout without languages has nothing to compare.
    Open({StrChunk(2, "plain", MakePlainPayload({"a", "b"}))}, "plain.iff");
    EXPECT_EQ(Model()->columnCount(), 3);
    EXPECT_EQ(m_view.TranslationSummary(), QString());
}

}  // namespace
