// The form, the resource list, the string list, loading and storing the working copy.
#include "framework/ui/DialogUnits.h"
#include "iff/ChunkStore.h"
#include "tests/view/ViewFixture.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

using View = CTallyglassView;

struct ControlRow {
    int id;
    const char* className;
    const char* caption;
    QRect units;
};

TEST_F(ViewTest, FormHoldsEveryControlOfItsTemplate) {
    const ControlRow rows[] = {
        {View::IDC_BASIC_MODE, "QCheckBox", "&Basic mode", QRect(123, 14, 53, 10)},
        {View::IDC_USE_LANGUAGES, "QCheckBox", "&Use different languages", QRect(184, 14, 91, 10)},
        {View::IDC_USE_DESCRIPTIONS, "QCheckBox", "Use des&criptions", QRect(284, 14, 68, 10)},
        {View::IDC_SET_FOR_ALL, "QPushButton", "Set for &all", QRect(271, 46, 50, 14)},
        {View::IDC_STRING_LIST, "QTableView", "", QRect(123, 70, 240, 46)},
        {View::IDC_TEXT, "QPlainTextEdit", "", QRect(123, 172, 240, 24)},
        {View::IDC_DESCRIPTION, "QPlainTextEdit", "", QRect(123, 206, 240, 24)},
        {View::IDC_RESOURCE_LIST, "QListWidget", "", QRect(7, 16, 96, 236)},
    };
    const CDialogUnits units = m_view.GetDialogUnits();
    for (const ControlRow& row : rows) {
        SCOPED_TRACE(row.id);
        QWidget* control = m_view.GetDlgItem(row.id);
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->inherits(row.className));
        EXPECT_EQ(control->property("controlId").toInt(), row.id);
        const QRect mapped = units.MapRect(row.units);
        if (qobject_cast<QCheckBox*>(control) != nullptr) {
            // A caption is never cut: a check box may grow to the right.
            EXPECT_EQ(control->pos(), mapped.topLeft());
            EXPECT_EQ(control->height(), mapped.height());
            EXPECT_GE(control->width(), mapped.width());
            EXPECT_GE(control->width(), control->sizeHint().width());
        } else {
            EXPECT_EQ(control->geometry(), mapped);
        }
        if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            EXPECT_EQ(button->text(), QString::fromLatin1(row.caption));
        }
    }
    QWidget* language = m_view.GetDlgItem(View::IDC_LANGUAGE);
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(language->geometry().topLeft(), units.MapRect(QRect(165, 47, 100, 94)).topLeft());
    EXPECT_EQ(m_view.GetFormSize(), units.MapSize(QSize(380, 256)));

    QStringList groups;
    for (const auto* group : m_view.findChildren<QGroupBox*>())
        groups << group->title();
    groups.sort();
    EXPECT_EQ(groups, QStringList({QStringLiteral("Editing"), QStringLiteral("Properties"),
                                   QStringLiteral("Strings")}));
    auto* caption = m_view.findChild<QLabel*>(QStringLiteral("resourceListLabel"));
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->text(), QStringLiteral("Text &resources:"));

    // Every control a user reaches has a label with a mnemonic, no two alike and none of the
    // menu bar's, and an accessible name.
    QString mnemonics = QStringLiteral("fevgh");
    for (QWidget* control : m_view.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        QString text;
        if (auto* label = qobject_cast<QLabel*>(control); label && label->buddy()) {
            text = label->text();
            EXPECT_FALSE(label->buddy()->accessibleName().isEmpty()) << text.toStdString();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            text = button->text();
        } else {
            continue;
        }
        const qsizetype amp = text.indexOf(QLatin1Char('&'));
        ASSERT_GE(amp, 0) << text.toStdString();
        const QChar key = text.at(amp + 1).toLower();
        EXPECT_FALSE(mnemonics.contains(key)) << text.toStdString();
        mnemonics += key;
    }
    EXPECT_EQ(mnemonics.size(), 5 + 10);
}

TEST_F(ViewTest, TabOrderFollowsTheTemplate) {
    const int ids[] = {View::IDC_BASIC_MODE, View::IDC_USE_LANGUAGES, View::IDC_USE_DESCRIPTIONS,
                       View::IDC_LANGUAGE,   View::IDC_SET_FOR_ALL,   View::IDC_STRING_LIST,
                       View::IDC_TEXT,       View::IDC_DESCRIPTION,   View::IDC_RESOURCE_LIST};
    std::vector<int> order;
    QWidget* widget = m_view.GetDlgItem(ids[0]);
    for (int step = 0; step < 200 && order.size() < std::size(ids); ++step) {
        const int id = CFormView::GetControlId(widget);
        if (id != 0 && (order.empty() || order.back() != id))
            order.push_back(id);
        widget = widget->nextInFocusChain();
    }
    EXPECT_EQ(order, std::vector<int>(std::begin(ids), std::end(ids)));
}

TEST_F(ViewTest, LanguageBoxListsTwentyLanguagesAndMapsThemToSlots) {
    QComboBox* box = m_view.GetLanguageBox();
    ASSERT_EQ(box->count(), View::kLanguageCount);
    EXPECT_EQ(box->itemText(0), QStringLiteral("USEnglish"));
    EXPECT_EQ(box->itemText(5), QStringLiteral("Spanish"));
    EXPECT_EQ(box->itemText(11), QStringLiteral("Simplified Chinese"));
    EXPECT_EQ(box->itemText(12), QStringLiteral("Traditional Chinese"));
    EXPECT_EQ(box->itemText(14), QStringLiteral("Korean"));
    EXPECT_EQ(box->itemText(15), QStringLiteral("Danish"));
    EXPECT_EQ(box->itemText(19), QStringLiteral("Russian"));
    const std::pair<int, int> indexAndSlot[] = {{-1, -1}, {0, 0},   {14, 14},
                                                {15, 16}, {19, 20}, {20, -1}};
    for (const auto& [index, slot] : indexAndSlot) {
        EXPECT_EQ(View::SlotOfLanguageIndex(index), slot) << index;
        if (slot >= 0) {
            EXPECT_EQ(View::LanguageIndexOfSlot(slot), index) << slot;
        }
    }
    EXPECT_EQ(View::LanguageIndexOfSlot(15), -1);
}

TEST_F(ViewTest, StringListColumnsAreFixed) {
    Open({StrChunk(1, "one", MakePlainPayload({"a"}))});
    QHeaderView* header = m_view.GetStringList()->horizontalHeader();
    ASSERT_EQ(Model()->columnCount(), 3);
    EXPECT_EQ(Model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("ID"));
    EXPECT_EQ(Model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Text"));
    EXPECT_EQ(Model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Description"));
    EXPECT_EQ(header->sectionSize(0), 70);
    EXPECT_EQ(header->sectionSize(1), 205);
    EXPECT_EQ(header->sectionSize(2), 105);
    EXPECT_FALSE(header->sectionsClickable());
    for (int section = 0; section < 3; ++section)
        EXPECT_NE(header->sectionResizeMode(section), QHeaderView::ResizeToContents);
    EXPECT_EQ(m_view.GetStringList()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(m_view.GetStringList()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(m_view.m_bColumnsReady);
}

TEST_F(ViewTest, ResourcesAreListedInNumericOrderAndTheFirstIsLoaded) {
    Open({StrChunk(99, "ninety-nine", MakePlainPayload({"99"})),
          StrChunk(128, "Objects", MakePlainPayload({"128"})),
          StrChunk(5, "", MakePlainPayload({"5"})),
          StrChunk(1000, "caf\xE9", MakePlainPayload({"1000", "x"}))});
    QListWidget* list = m_view.GetResourceList();
    ASSERT_EQ(list->count(), 4);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("#5: "));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("#99: ninety-nine"));
    EXPECT_EQ(list->item(2)->text(), QStringLiteral("#128: Objects"));
    EXPECT_EQ(list->item(3)->text(), QStringLiteral("#1000: caf\u00E9"));
    EXPECT_EQ(list->item(3)->data(Qt::UserRole).toULongLong(),
              (static_cast<qulonglong>(kTypeStrings) << 16) | 1000u);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(list->isEnabled());

    EXPECT_TRUE(m_view.IsLoaded());
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_EQ(m_view.m_nLanguage, 0);
    EXPECT_EQ(Model()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), QStringLiteral("#0"));
    EXPECT_EQ(Cell(0, 1), QStringLiteral("5"));
    EXPECT_FALSE(m_doc.IsModified());
    // The initial update sizes the window to the form.
    EXPECT_EQ(m_view.size(), m_view.GetFormSize());
}

TEST_F(ViewTest, LabelsAreCutTo127Characters) {
    const QString label = View::FormatResourceLabel(65535, std::string(300, 'n'));
    EXPECT_EQ(label.size(), View::kMaxLabelLength);
    EXPECT_TRUE(label.startsWith(QStringLiteral("#65535: nnn")));
    EXPECT_EQ(View::FormatResourceLabel(7, "\x80\x9F"), QStringLiteral("#7: \u20AC\u0178"));
}

TEST_F(ViewTest, SelectingAnotherResourceKeepsTheRowsOfTheSameEntries) {
    Open({StrChunk(1, "a", MakePlainPayload({"a0", "a1", "a2"})),
          StrChunk(2, "b", MakePlainPayload({"b0", "b1", "b2"})),
          StrChunk(3, "c", MakePlainPayload({"c0", "c1", "c2", "c3", "c4"})),
          StrChunk(4, "d", MakePlainPayload({"d0"}))});
    SelectRows({1});
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("a1"));

    SelectResource(1);
    EXPECT_EQ(m_view.GetStringList()->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(1));
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("b1"));
    EXPECT_EQ(Cell(2, 1), QStringLiteral("b2"));
    EXPECT_TRUE(m_view.GetTextEdit()->isEnabled());

    // Another number of entries: the rows are rebuilt, and entry 1 is selected again.
    SelectResource(2);
    EXPECT_EQ(Model()->rowCount(), 5);
    EXPECT_EQ(m_view.GetStringList()->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(1));
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("c1"));
    EXPECT_TRUE(m_view.GetTextEdit()->isEnabled());

    // A resource without that entry: nothing selected, and the panel says so.
    SelectResource(3);
    EXPECT_EQ(Model()->rowCount(), 1);
    EXPECT_FALSE(m_view.GetStringList()->selectionModel()->hasSelection());
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("No item selected"));
    EXPECT_FALSE(m_view.GetTextEdit()->isEnabled());
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(ViewTest, ChangedWorkingCopyIsStoredWhenAnotherResourceIsSelected) {
    Open({StrChunk(1, "a", MakePlainPayload({"a0", "a1"})),
          StrChunk(2, "b", MakePlainPayload({"b0"}))});
    SelectRows({0});
    PlaceCaret(m_view.GetTextEdit(), 2);
    QTest::keyClicks(m_view.GetTextEdit(), QStringLiteral("!"));
    ASSERT_TRUE(m_view.IsChanged());

    SelectResource(1);
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_TRUE(m_doc.IsModified());
    EXPECT_EQ(Stored(0, 0), "b0");

    SelectResource(0);
    EXPECT_EQ(Stored(0, 0), "a0!");
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(ViewTest, ClickingTheLoadedResourceAgainStoresAndReloadsIt) {
    Open({StrChunk(1, "a", MakePlainPayload({"a0"})), StrChunk(2, "b", MakePlainPayload({"b0"}))});
    SelectRows({0});
    QTest::keyClicks(m_view.GetTextEdit(), QStringLiteral("z"));
    // A plain payload has no descriptions: the editing model takes none.
    EXPECT_EQ(m_doc.m_editor.SetString(0, 0, 1, u"no place for it").status,
              EditStatus::noDescriptions);
    ASSERT_TRUE(m_view.IsChanged());

    QListWidget* list = m_view.GetResourceList();
    const QRect rect = list->visualItemRect(list->item(0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_EQ(Stored(0, 0, 0), "za0");
    EXPECT_EQ(Stored(0, 0, 1), "");
}

TEST_F(ViewTest, AResourceThatFailsToLoadDisablesThePanel) {
    // Language code 0 has no slot: decoding fails.
    Open({StrChunk(1, "good", MakePlainPayload({"g0", "g1", "g2"})),
          StrChunk(2, "bad", MultilingualPayload({{1, "x", ""}, {0, "y", ""}}))});
    SelectRows({1});
    SelectResource(1);
    EXPECT_FALSE(m_view.IsLoaded());
    EXPECT_TRUE(m_view.GetResourceList()->isEnabled());
    for (const int id : {View::IDC_STRING_LIST, View::IDC_BASIC_MODE, View::IDC_LANGUAGE,
                         View::IDC_USE_LANGUAGES, View::IDC_SET_FOR_ALL, View::IDC_DESCRIPTION,
                         View::IDC_USE_DESCRIPTIONS, View::IDC_TEXT}) {
        EXPECT_FALSE(m_view.GetDlgItem(id)->isEnabled()) << id;
    }
    // The rows and the edits stay as they were.
    EXPECT_EQ(Model()->rowCount(), 3);
    EXPECT_EQ(EditText(m_view.GetTextEdit()), QStringLiteral("g1"));

    SelectResource(0);
    EXPECT_TRUE(m_view.IsLoaded());
    EXPECT_TRUE(m_view.GetStringList()->isEnabled());
}

TEST_F(ViewTest, ADocumentWithoutResourcesShowsNoRows) {
    Open({StrChunk(1, "a", MakePlainPayload({"a0", "a1"}))}, "first.iff");
    TestChunk other;
    other.type = "BHAV";
    other.id = 4;
    other.payload = {1, 2, 3};
    Open({other}, "second.iff");
    EXPECT_EQ(m_view.GetResourceList()->count(), 0);
    EXPECT_FALSE(m_view.GetResourceList()->isEnabled());
    EXPECT_FALSE(m_view.IsLoaded());
    EXPECT_EQ(Model()->rowCount(), 0);
    EXPECT_FALSE(m_view.GetStringList()->isEnabled());
    EXPECT_FALSE(m_doc.IsModified());
}

TEST_F(ViewTest, ReplacedContentsNeverReceiveTheOldWorkingCopy) {
    Open({StrChunk(1, "a", MakePlainPayload({"a0"}))}, "first.iff");
    SelectRows({0});
    QTest::keyClicks(m_view.GetTextEdit(), QStringLiteral("edit"));
    ASSERT_TRUE(m_doc.IsModified());

    // Another file opened after the user declined to save: same ids, so a stale store would land.
    Open({StrChunk(1, "a", MakePlainPayload({"other"}))}, "second.iff");
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_EQ(Stored(0, 0), "other");
    // A save now writes the second file's own strings.
    ASSERT_TRUE(m_doc.OnSaveDocument(m_folder / "copy.iff"));
    CStringSet saved;
    CTallyglassDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(m_folder / "copy.iff"));
    ChunkHandle handle = 0;
    ASSERT_TRUE(reopened.m_iff.FindChunk(handle, kTypeStrings, 1));
    ASSERT_TRUE(saved.Load(reopened.m_iff, handle));
    std::string text;
    ASSERT_TRUE(saved.GetString(0, 0, 0, text));
    EXPECT_EQ(text, "other");

    // An empty file replaces the contents as well.
    SelectRows({0});
    QTest::keyClicks(m_view.GetTextEdit(), QStringLiteral("more"));
    const std::string empty = m_folder / "empty.iff";
    WriteBytes(empty, {});
    ASSERT_TRUE(m_doc.OnOpenDocument(empty));
    m_doc.InitialUpdateAllViews();
    EXPECT_FALSE(m_doc.IsModified());
    EXPECT_EQ(m_view.GetResourceList()->count(), 0);
}

TEST_F(ViewTest, AWorkingCopyTooLargeToStoreIsReportedAndKept) {
    // 3,300 entries copied into the 20 named languages need 66,000 records: more than fit.
    std::vector<Record> records;
    for (int i = 0; i < 3300; ++i)
        records.push_back({1, "t" + std::to_string(i), ""});
    Open({StrChunk(1, "big", MultilingualPayload(records)),
          StrChunk(2, "small", MakePlainPayload({"s"}))});
    const std::vector<uint8_t> before = ReadBytes(m_strPath);
    m_view.GetStringList()->selectAll();
    m_messages.Answer({IDYES});
    m_view.GetSetForAllButton()->click();
    ASSERT_EQ(Stored(3299, 20), "t3299");
    m_messages.Clear();

    SelectResource(1);
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text, View::kStoreFailed);
    EXPECT_EQ(m_messages.shown[0].caption, "Tallyglass");
    EXPECT_EQ(m_messages.shown[0].type, MB_OK);
    EXPECT_EQ(m_view.GetResourceList()->currentRow(), 0);
    EXPECT_TRUE(m_view.IsLoaded());
    EXPECT_TRUE(m_view.IsChanged());
    EXPECT_EQ(Stored(0, 20), "t0");

    // A save that needs the store fails without writing.
    EXPECT_FALSE(m_doc.OnSaveDocument(m_strPath));
    EXPECT_EQ(m_messages.shown.size(), 2u);
    EXPECT_EQ(ReadBytes(m_strPath), before);
    EXPECT_TRUE(m_doc.IsModified());
    EXPECT_TRUE(m_view.IsChanged());

    // One language fits: the store goes through and so does the save.
    m_messages.Answer({IDYES});
    m_view.GetUseLanguagesBox()->click();
    ASSERT_FALSE(m_view.Strings().m_bLanguages);
    EXPECT_TRUE(m_doc.OnSaveDocument(m_strPath));
    EXPECT_EQ(m_messages.shown.size(), 3u);  // the question what turning languages off drops
    EXPECT_FALSE(m_view.IsChanged());
    EXPECT_NE(ReadBytes(m_strPath), before);
}

TEST_F(ViewTest, AKeystrokeRefreshesRowsWithoutRebuildingThem) {
    std::vector<std::string> texts;
    for (int i = 0; i < 1000; ++i)
        texts.push_back("row " + std::to_string(i));
    Open({StrChunk(1, "many", MakePlainPayload(texts))});
    SelectRows({500});
    m_view.GetStringList()->scrollTo(Model()->index(500, 0));
    const int scrolled = m_view.GetStringList()->verticalScrollBar()->value();
    QSignalSpy changed(Model(), &QAbstractItemModel::dataChanged);
    QSignalSpy reset(Model(), &QAbstractItemModel::modelReset);
    QTest::keyClicks(m_view.GetTextEdit(), QStringLiteral("x"));
    EXPECT_EQ(Cell(500, 1), QStringLiteral("xrow 500"));
    // The row's own cell, then every row's texts at once.
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(reset.count(), 0);
    EXPECT_TRUE(m_view.GetStringList()->selectionModel()->isRowSelected(500));
    EXPECT_EQ(m_view.GetStringList()->verticalScrollBar()->value(), scrolled);
}

}  // namespace
