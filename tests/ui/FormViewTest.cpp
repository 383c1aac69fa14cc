#include "framework/ui/DataExchange.h"
#include "framework/ui/DialogUnits.h"
#include "framework/ui/FormView.h"
#include "framework/ui/UrlDropFilter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTextCursor>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// A form with one binding of each kind.
class TestForm : public CFormView {
public:
    TestForm() : CFormView(7, QSize(200, 100)) {
        edit = AddControl(new QPlainTextEdit, 10, QRect(10, 10, 100, 30), QStringLiteral("edit"));
        check = AddControl(new QCheckBox(QStringLiteral("Check")), 11, QRect(10, 50, 60, 10),
                           QStringLiteral("check"));
        combo = new QComboBox;
        combo->addItems({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
        AddDropDown(combo, 12, QRect(120, 10, 60, 80), QStringLiteral("combo"));
    }

    void DoDataExchange(CDataExchange& dx) override {
        dx.Text(bindMissingEdit ? nullptr : edit, text);
        dx.Check(check, checked);
        dx.CBIndex(combo, index);
    }

    QPlainTextEdit* edit;
    QCheckBox* check;
    QComboBox* combo;
    QString text;
    bool checked = false;
    int index = -1;
    bool bindMissingEdit = false;
};

// A form made of the given controls at their dialog-unit rectangles, with no bindings.
class TestFormWith : public CFormView {
public:
    TestFormWith(std::initializer_list<std::pair<QWidget*, QRect>> controls)
        : CFormView(8, QSize(200, 100)) {
        int id = 100;
        for (const auto& [control, units] : controls)
            AddControl(control, id++, units, QStringLiteral("control"));
    }
    void DoDataExchange(CDataExchange&) override {}
};

TEST(DialogUnitsTest, MapsEdgesWithRounding) {
    const CDialogUnits units(6, 13);
    // x * 6 / 4 and y * 13 / 8, halves rounded up.
    EXPECT_EQ(units.MapX(143), 215);  // 214.5
    EXPECT_EQ(units.MapY(82), 133);   // 133.25
    EXPECT_EQ(units.MapRect(QRect(143, 82, 256, 111)), QRect(215, 133, 384, 181));
    // Edges are mapped, not sizes: controls that touch in the template still touch.
    const QRect left = units.MapRect(QRect(1, 1, 3, 3));
    const QRect right = units.MapRect(QRect(4, 1, 3, 3));
    EXPECT_EQ(left.right() + 1, right.left());
    EXPECT_EQ(units.MapSize(QSize(418, 314)), QSize(627, 510));
}

TEST(DialogUnitsTest, ScalesWithTheFont) {
    QFont small = QApplication::font();
    small.setPixelSize(10);
    QFont large = small;
    large.setPixelSize(20);
    const CDialogUnits a(small);
    const CDialogUnits b(large);
    EXPECT_GT(a.GetBaseWidth(), 0);
    EXPECT_EQ(a.GetBaseHeight(), QFontMetrics(small).height());
    EXPECT_NEAR(b.GetBaseWidth(), 2 * a.GetBaseWidth(), 2);
    EXPECT_NEAR(b.GetBaseHeight(), 2 * a.GetBaseHeight(), 2);
}

TEST(FormViewTest, PlacesControlsFromDialogUnitsAndAgainWhenTheFontChanges) {
    TestForm form;
    const CDialogUnits units = form.GetDialogUnits();
    EXPECT_EQ(form.edit->geometry(), units.MapRect(QRect(10, 10, 100, 30)));
    EXPECT_EQ(form.sizeHint(), units.MapSize(QSize(200, 100)));
    EXPECT_EQ(form.combo->height(), form.combo->sizeHint().height());

    QFont font = form.font();
    font.setPixelSize(QFontMetrics(font).height() * 2);
    form.setFont(font);
    const CDialogUnits bigger = form.GetDialogUnits();
    EXPECT_GT(bigger.GetBaseHeight(), units.GetBaseHeight());
    EXPECT_EQ(form.edit->geometry(), bigger.MapRect(QRect(10, 10, 100, 30)));
    EXPECT_EQ(form.check->geometry(), bigger.MapRect(QRect(10, 50, 60, 10)));
    EXPECT_EQ(form.sizeHint(), bigger.MapSize(QSize(200, 100)));
}

TEST(FormViewTest, CaptionsAreNeverCutShort) {
    TestForm form;
    // "Check" fits its 60 units; a long caption in the same place grows to the right.
    EXPECT_EQ(form.check->geometry(), form.GetDialogUnits().MapRect(QRect(10, 50, 60, 10)));
    auto* longer = new QCheckBox(QStringLiteral("A caption much longer than sixty dialog units"));
    auto* label = new QLabel(QStringLiteral("Another caption longer than its place"));
    auto* fixed = new QLabel(QStringLiteral("A caption that may be cut, as it says"));
    fixed->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    TestFormWith extra({{longer, QRect(10, 60, 60, 10)},
                        {label, QRect(10, 70, 30, 8)},
                        {fixed, QRect(10, 80, 30, 8)}});
    const CDialogUnits units = extra.GetDialogUnits();
    EXPECT_EQ(longer->pos(), units.MapRect(QRect(10, 60, 60, 10)).topLeft());
    EXPECT_EQ(longer->width(), longer->sizeHint().width());
    EXPECT_GT(longer->width(), units.MapX(60));
    EXPECT_EQ(label->width(), label->sizeHint().width());
    EXPECT_EQ(fixed->geometry(), units.MapRect(QRect(10, 80, 30, 8)));
}

TEST(FormViewTest, RecordsIdsAndNames) {
    TestForm form;
    EXPECT_EQ(form.GetDlgItem(10), form.edit);
    EXPECT_EQ(form.GetDlgItem(12), form.combo);
    EXPECT_EQ(form.GetDlgItem(99), nullptr);
    EXPECT_EQ(form.GetDlgItem(0), nullptr);
    EXPECT_EQ(CFormView::GetControlId(form.check), 11);
    EXPECT_EQ(form.check->objectName(), QStringLiteral("check"));
    EXPECT_EQ(form.GetTemplateId(), 7);
}

TEST(FormViewTest, ResizeParentToFitSizesTheWindowToTheForm) {
    QMainWindow frame;
    frame.menuBar()->addMenu(QStringLiteral("&File"));
    auto* form = new TestForm;
    frame.setCentralWidget(form);
    frame.resize(900, 700);
    frame.show();
    form->ResizeParentToFit();
    EXPECT_EQ(form->size(), form->GetFormSize());
}

TEST(DataExchangeTest, TransfersBothWaysWithoutRaisingNotifications) {
    TestForm form;
    QSignalSpy textSpy(form.edit, &QPlainTextEdit::textChanged);
    QSignalSpy checkSpy(form.check, &QCheckBox::toggled);
    QSignalSpy comboSpy(form.combo, &QComboBox::currentIndexChanged);

    form.text = QStringLiteral("line one\nline two");
    form.checked = true;
    form.index = 2;
    ASSERT_TRUE(form.UpdateData(false));
    EXPECT_EQ(CDataExchange::GetEditText(*form.edit), form.text);
    EXPECT_EQ(form.edit->document()->blockCount(), 2);
    EXPECT_TRUE(form.check->isChecked());
    EXPECT_EQ(form.combo->currentIndex(), 2);
    EXPECT_EQ(textSpy.count(), 0);
    EXPECT_EQ(checkSpy.count(), 0);
    EXPECT_EQ(comboSpy.count(), 0);

    form.check->setChecked(false);
    form.combo->setCurrentIndex(0);
    form.edit->setPlainText(QStringLiteral("typed"));
    ASSERT_TRUE(form.UpdateData(true));
    EXPECT_EQ(form.text, QStringLiteral("typed"));
    EXPECT_FALSE(form.checked);
    EXPECT_EQ(form.index, 0);

    // -1 selects nothing.
    form.index = -1;
    ASSERT_TRUE(form.UpdateData(false));
    EXPECT_EQ(form.combo->currentIndex(), -1);
}

TEST(DataExchangeTest, LeavesAnEditThatAlreadyShowsTheValueUntouched) {
    TestForm form;
    form.text = QStringLiteral("abcdef\nghi");
    ASSERT_TRUE(form.UpdateData(false));
    QTextCursor cursor = form.edit->textCursor();
    cursor.setPosition(4);
    form.edit->setTextCursor(cursor);
    form.edit->insertPlainText(QStringLiteral("X"));  // an undo step worth keeping
    ASSERT_TRUE(form.UpdateData(true));

    ASSERT_TRUE(form.UpdateData(false));
    EXPECT_EQ(form.edit->textCursor().position(), 5);
    EXPECT_TRUE(form.edit->document()->isUndoAvailable());
}

TEST(DataExchangeTest, KeepsEveryCharacterTheEditHolds) {
    // QPlainTextEdit::toPlainText would turn the no-break space into a space.
    TestForm form;
    const QString text = QStringLiteral("a\u00A0b\tc\nd\u00ADe");
    form.text = text;
    ASSERT_TRUE(form.UpdateData(false));
    form.text.clear();
    ASSERT_TRUE(form.UpdateData(true));
    EXPECT_EQ(form.text, text);

    // A line separator (Shift+Enter) is a line break like any other.
    form.edit->setPlainText(QStringLiteral("x"));
    form.edit->moveCursor(QTextCursor::End);
    form.edit->insertPlainText(QString(QChar(QChar::LineSeparator)) + QStringLiteral("y"));
    ASSERT_TRUE(form.UpdateData(true));
    EXPECT_EQ(form.text, QStringLiteral("x\ny"));
}

TEST(DataExchangeTest, FailsWhenABindingNamesNoControl) {
    TestForm form;
    form.bindMissingEdit = true;
    form.checked = true;
    EXPECT_FALSE(form.UpdateData(false));
    // The transfer stopped at the missing control.
    EXPECT_FALSE(form.check->isChecked());
}

// Records the drags that reach it.
class DropTarget : public QWidget {
public:
    DropTarget() { setAcceptDrops(true); }
    void dragEnterEvent(QDragEnterEvent* event) override {
        ++enters;
        event->acceptProposedAction();
    }
    int enters = 0;
};

TEST(UrlDropFilterTest, FilesDraggedOnAnEditGoToItsParent) {
    DropTarget parent;
    auto* filtered = new QPlainTextEdit(&parent);
    CUrlDropFilter::Install(filtered);
    auto* plain = new QPlainTextEdit(&parent);
    parent.show();

    // A file manager offers the file both as a URL and as text.
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.iff"))});
    files.setText(QStringLiteral("file:///tmp/a.iff"));
    QDragEnterEvent toPlain(QPoint(1, 1), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(plain->viewport(), &toPlain);
    // Without the filter the edit takes the file as text to paste.
    EXPECT_TRUE(toPlain.isAccepted());
    EXPECT_EQ(parent.enters, 0);

    QDragEnterEvent toFiltered(QPoint(1, 1), Qt::CopyAction, &files, Qt::LeftButton,
                               Qt::NoModifier);
    QApplication::sendEvent(filtered->viewport(), &toFiltered);
    EXPECT_EQ(parent.enters, 1);
    EXPECT_TRUE(toFiltered.isAccepted());

    QMimeData text;
    text.setText(QStringLiteral("plain"));
    QDragEnterEvent textDrag(QPoint(1, 1), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(filtered->viewport(), &textDrag);
    EXPECT_EQ(parent.enters, 1);
    EXPECT_TRUE(textDrag.isAccepted());
}

}  // namespace
