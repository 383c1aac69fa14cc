// The main frame: its menus and keys, its fixed size, its title and the About box.
#include "tests/app/AppFixture.h"

#include "app/AboutDialog.h"
#include "app/MainFrame.h"
#include "app/Resource.h"
#include "document/TallyglassDoc.h"
#include "view/TallyglassView.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTextCursor>

#include <map>

namespace {

struct MenuItem {
    std::string text;  // empty for a separator
    int id;
    QKeySequence key;
    bool enabled;
};

std::vector<MenuItem> ItemsOf(const QMenu* menu) {
    std::vector<MenuItem> items;
    for (const QAction* action : menu->actions()) {
        if (action->isSeparator())
            items.push_back({"", 0, {}, true});
        else
            items.push_back({action->text().toStdString(), action->data().toInt(),
                             action->shortcut(), action->isEnabled()});
    }
    return items;
}

void ExpectItems(const QMenu* menu, const std::vector<MenuItem>& expected) {
    const std::vector<MenuItem> items = ItemsOf(menu);
    ASSERT_EQ(items.size(), expected.size()) << menu->title().toStdString();
    for (size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE("item " + std::to_string(i));
        EXPECT_EQ(items[i].text, expected[i].text);
        EXPECT_EQ(items[i].id, expected[i].id);
        EXPECT_EQ(items[i].key, expected[i].key);
        EXPECT_EQ(items[i].enabled, expected[i].enabled);
    }
}

class AppFrameTest : public AppFixture {};

// Alt and a letter reaches one place only: a menu of the bar and a label or button of the form
// sharing a letter would leave one of them out of reach.
TEST_F(AppFrameTest, EveryMnemonicOfTheWindowIsItsOwn) {
    ASSERT_TRUE(Start());
    CMainFrame* frame = m_pApp->GetMainFrame();
    std::map<QChar, QString> seen;
    const auto take = [&seen](const QString& text) {
        const qsizetype at = QString(text)
                                 .replace(QStringLiteral("&&"), QStringLiteral("__"))
                                 .indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= text.size()) {
            return;
        }
        const QChar key = text[at + 1].toLower();
        const auto [it, added] = seen.emplace(key, text);
        EXPECT_TRUE(added) << text.toStdString() << " and " << it->second.toStdString();
    };
    for (QAction* menu : frame->menuBar()->actions()) {
        take(menu->text());
    }
    for (QLabel* label : frame->findChildren<QLabel*>()) {
        if (label->buddy() != nullptr && label->isVisibleTo(frame)) {
            take(label->text());
        }
    }
    for (QAbstractButton* button : frame->findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(frame)) {
            take(button->text());
        }
    }
    EXPECT_GE(seen.size(), 15u);
}

TEST_F(AppFrameTest, MenusHoldTheCommandsWithTheirIdsAndKeys) {
    ASSERT_TRUE(Start());
    CMainFrame* frame = m_pApp->GetMainFrame();
    const QList<QAction*> bar = frame->menuBar()->actions();
    ASSERT_EQ(bar.size(), 6);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("&File"));
    EXPECT_EQ(bar[1]->text(), QStringLiteral("&Edit"));
    EXPECT_EQ(bar[2]->text(), QStringLiteral("&View"));
    EXPECT_EQ(bar[3]->text(), QStringLiteral("&Go"));
    EXPECT_EQ(bar[4]->text(), QStringLiteral("T&ools"));
    EXPECT_EQ(bar[5]->text(), QStringLiteral("&Help"));
    // View > Source Language: the languages of the language box, US English checked.
    const QList<QAction*> sources = frame->SourceLanguageMenu()->actions();
    ASSERT_EQ(sources.size(), 20);
    EXPECT_EQ(sources[0]->text(), QStringLiteral("USEnglish"));
    EXPECT_TRUE(sources[0]->isChecked());
    EXPECT_EQ(sources[5]->text(), QStringLiteral("Spanish"));
    EXPECT_EQ(sources[19]->data().toInt(), ID_VIEW_SOURCE_LAST);

    const QKeySequence ctrlO(Qt::CTRL | Qt::Key_O);
    const QKeySequence ctrlS(Qt::CTRL | Qt::Key_S);
    ExpectItems(
        frame->FileMenu(),
        {{"&Open...\tCtrl+O", ID_FILE_OPEN, ctrlO, true},
         {"&Save\tCtrl+S", ID_FILE_SAVE, ctrlS, true},
         {"Save &As...", ID_FILE_SAVE_AS, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S), true},
         {"", 0, {}, true},
         {"&Export Translation...", ID_FILE_EXPORT_TRANSLATION, {}, true},
         {"&Import Translation...", ID_FILE_IMPORT_TRANSLATION, {}, true},
         {"", 0, {}, true},
         {"Recent File", ID_FILE_MRU_FILE1, {}, false},
         {"", 0, {}, true},
         {"E&xit", ID_APP_EXIT, QKeySequence(Qt::CTRL | Qt::Key_Q), true}});
    // Nothing to undo or redo yet: both greyed.
    ExpectItems(
        frame->EditMenu(),
        {{"&Undo", ID_EDIT_UNDO, QKeySequence(Qt::CTRL | Qt::Key_Z), false},
         {"&Redo", ID_EDIT_REDO, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), false},
         {"", 0, {}, true},
         {"&Find...", ID_EDIT_FIND, QKeySequence(Qt::CTRL | Qt::Key_F), true},
         {"Find &Next", ID_EDIT_REPEAT, QKeySequence(Qt::Key_F3), true},
         {"Find &Previous", ID_EDIT_FIND_PREVIOUS, QKeySequence(Qt::SHIFT | Qt::Key_F3), true},
         {"&Replace...", ID_EDIT_REPLACE, QKeySequence(Qt::CTRL | Qt::Key_H), true},
         {"", 0, {}, true},
         {"&Add String", ID_EDIT_ADD_STRING, QKeySequence(Qt::Key_Insert), true}});
    // Insert is the string list's; in the edits it stays the edits' own key.
    EXPECT_EQ(frame->FindAction(ID_EDIT_ADD_STRING)->shortcutContext(), Qt::WidgetShortcut);
    EXPECT_EQ(frame->FindAction(ID_EDIT_REDO)->shortcuts().value(1),
              QKeySequence(Qt::CTRL | Qt::Key_Y));
    ExpectItems(frame->GoMenu(), {{"&Next Untranslated", ID_GO_NEXT_UNTRANSLATED,
                                   QKeySequence(Qt::CTRL | Qt::Key_U), true},
                                  {"&Previous Untranslated", ID_GO_PREVIOUS_UNTRANSLATED,
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U), true}});
    ExpectItems(frame->HelpMenu(), {{"&About Tallyglass...", ID_APP_ABOUT, {}, true}});
}

// Typing, undone and redone with the keys while the edit has the focus, across a change of
// resource; the modified mark follows the saved state.
TEST_F(AppFrameTest, UndoAndRedoFollowTheDocumentsHistory) {
    ASSERT_TRUE(Start({WriteIffFile("a.iff")}));
    CMainFrame* frame = m_pApp->GetMainFrame();
    CTallyglassView* view = m_pApp->GetView();
    CTallyglassDoc* doc = m_pApp->GetDocument();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    ASSERT_GE(view->GetResourceList()->count(), 2);
    const std::string first = "Hello";  // #128, listed first

    view->GetStringList()->selectRow(0);
    view->GetTextEdit()->setFocus();
    view->GetTextEdit()->moveCursor(QTextCursor::End);
    QTest::keyClicks(view->GetTextEdit(), QStringLiteral("xy"));
    EXPECT_EQ(std::string(view->Strings().GetSlot(0, 0).text), first + "xy");
    EXPECT_TRUE(doc->IsModified());
    QAction* undo = frame->FindAction(ID_EDIT_UNDO);
    QAction* redo = frame->FindAction(ID_EDIT_REDO);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->text(), QStringLiteral("&Undo Typing"));  // two keys, one step
    EXPECT_FALSE(redo->isEnabled());

    // Another resource, then Ctrl+Z: the first one comes back with the text as it was.
    view->GetResourceList()->setCurrentRow(1);
    view->GetTextEdit()->setFocus();
    QTest::keyClick(view->GetTextEdit(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(view->GetResourceList()->currentRow(), 0);
    EXPECT_EQ(std::string(view->Strings().GetSlot(0, 0).text), first);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_EQ(redo->text(), QStringLiteral("&Redo Typing"));

    QTest::keyClick(view->GetTextEdit(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(std::string(view->Strings().GetSlot(0, 0).text), first + "xy");
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(view->GetTextEdit()->toPlainText(), QString::fromStdString(first + "xy"));
}

// The title marks unsaved changes: on with an edit, off when it is undone to the saved state,
// on again with the redo, off after Save; the status bar tells the layout, count and code page.
TEST_F(AppFrameTest, TheTitleMarksUnsavedChangesAndTheStatusBarDescribesTheResource) {
    const std::string path = WriteIffFile("a.iff");
    ASSERT_TRUE(Start({path}));
    CMainFrame* frame = m_pApp->GetMainFrame();
    CTallyglassView* view = m_pApp->GetView();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("a.iff - Tallyglass"));
    EXPECT_EQ(frame->GetResourceStatus(),
              QStringLiteral("Texts only \u00B7 2 strings \u00B7 windows-1252"));

    view->GetStringList()->selectRow(0);
    view->GetTextEdit()->setPlainText(QStringLiteral("changed"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("*a.iff - Tallyglass"));
    Command(ID_EDIT_UNDO);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("a.iff - Tallyglass"));
    Command(ID_EDIT_REDO);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("*a.iff - Tallyglass"));
    Command(ID_FILE_SAVE);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("a.iff - Tallyglass"));

    // Insert in the string list adds a string; the status bar counts it.
    view->GetStringList()->setFocus();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    view->GetStringList()->setFocus();
    QTest::keyClick(view->GetStringList(), Qt::Key_Insert);
    EXPECT_EQ(view->Strings().GetCount(), 3u);
    EXPECT_EQ(frame->GetResourceStatus(),
              QStringLiteral("Texts only \u00B7 3 strings \u00B7 windows-1252"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("*a.iff - Tallyglass"));
    EXPECT_EQ(frame->FindAction(ID_EDIT_UNDO)->text(), QStringLiteral("&Undo Add String"));
}

TEST_F(AppFrameTest, KeysRunTheirCommands) {
    WriteIffFile("a.iff");
    ASSERT_TRUE(Start());
    CMainFrame* frame = m_pApp->GetMainFrame();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));

    m_dialogs.Answer(std::nullopt);
    QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    ASSERT_EQ(m_dialogs.requests.size(), 1U);
    EXPECT_EQ(m_dialogs.requests[0].title, "Open");

    // Save on the untitled document asks for a name.
    m_dialogs.Answer(std::nullopt);
    QTest::keyClick(frame, Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(m_dialogs.requests.size(), 2U);
    EXPECT_EQ(m_dialogs.requests[1].title, "Save As");
}

TEST_F(AppFrameTest, FrameStartsAtTheFormsSizeAndGivesMoreRoomToTheListsAndEdits) {
    ASSERT_TRUE(Start());
    CMainFrame* frame = m_pApp->GetMainFrame();
    const Qt::WindowFlags flags = frame->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(frame->size(), frame->minimumSize());
    EXPECT_GE(frame->height(), kMinFrameHeight);
    // An 800 x 600 screen holds it beside the desktop's panels.
    EXPECT_LE(frame->width(), 760);
    EXPECT_LE(frame->height(), 540);

    CTallyglassView* view = m_pApp->GetView();
    ASSERT_EQ(frame->centralWidget(), view);
    EXPECT_EQ(view->size(), view->GetFormSize());
    EXPECT_EQ(view->geometry().bottom(), frame->statusBar()->geometry().top() - 1);
    const QRect list = view->GetStringList()->geometry();
    const QRect resources = view->GetResourceList()->geometry();
    const QRect text = view->GetTextEdit()->geometry();
    const QRect source = view->GetSourceEdit()->geometry();
    const QRect description = view->GetDescriptionEdit()->geometry();
    const QRect languages = view->GetLanguageBox()->geometry();

    // Larger: the lists and the edits take the room (half the height to the string list, a
    // sixth to each edit), the rest keeps its place.
    frame->resize(frame->size() + QSize(120, 96));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(view->GetStringList()->geometry(), list.adjusted(0, 0, 120, 48));
    EXPECT_EQ(view->GetResourceList()->geometry(), resources.adjusted(0, 0, 0, 96));
    EXPECT_EQ(view->GetSourceEdit()->geometry(), source.adjusted(0, 48, 120, 64));
    EXPECT_EQ(view->GetTextEdit()->geometry(), text.adjusted(0, 64, 120, 80));
    EXPECT_EQ(view->GetDescriptionEdit()->geometry(), description.adjusted(0, 80, 120, 96));
    EXPECT_EQ(view->GetLanguageBox()->geometry(), languages);

    // Never smaller than the form.
    frame->resize(frame->minimumSize() - QSize(100, 100));
    EXPECT_EQ(frame->size(), frame->minimumSize());
    EXPECT_EQ(view->GetStringList()->geometry(), list);
}

TEST_F(AppFrameTest, WindowSizeAndColumnWidthsComeBackNextTime) {
    ASSERT_TRUE(Start());
    QSize larger = m_pApp->GetMainFrame()->size() + QSize(90, 60);
    m_pApp->GetMainFrame()->resize(larger);
    m_pApp->GetView()->GetStringList()->horizontalHeader()->resizeSection(1, 321);
    m_pApp->ExitInstance();

    ASSERT_TRUE(Start());
    EXPECT_EQ(m_pApp->GetMainFrame()->size(), larger);
    EXPECT_EQ(m_pApp->GetView()->GetStringList()->horizontalHeader()->sectionSize(1), 321);
}

TEST_F(AppFrameTest, FrameFollowsTheFormWhenTheFontChanges) {
    ASSERT_TRUE(Start());
    CMainFrame* frame = m_pApp->GetMainFrame();
    CTallyglassView* view = m_pApp->GetView();
    QFont font = view->font();
    font.setPointSizeF(font.pointSizeF() * 1.5);
    view->setFont(font);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(view->size(), view->GetFormSize());
    EXPECT_EQ(frame->size(), frame->minimumSize());
    EXPECT_EQ(view->geometry().bottom(), frame->statusBar()->geometry().top() - 1);
}

// The room the user gave the window stays when another file opens.
TEST_F(AppFrameTest, OpeningAFileNeverShrinksTheWindow) {
    ASSERT_TRUE(Start({WriteIffFile("a.iff")}));
    CMainFrame* frame = m_pApp->GetMainFrame();
    const QSize larger = frame->size() + QSize(200, 150);
    frame->resize(larger);
    QCoreApplication::sendPostedEvents();
    for (const char* name : {"b.iff", "a.iff"}) {
        OpenViaDialog(WriteIffFile(name));
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(frame->size(), larger) << name;
    }
}

TEST_F(AppFrameTest, AboutBoxRunsModallyAndClosesByOkOrEscape) {
    ASSERT_TRUE(Start());
    int results[2] = {-1, -1};
    int run = 0;
    m_runModal = [&](QDialog& dialog) {
        auto& about = dynamic_cast<CAboutDialog&>(dialog);
        EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tallyglass"));
        EXPECT_TRUE(about.isModal());
        EXPECT_EQ(about.VersionLabel()->text(), QStringLiteral("Tallyglass Version 1.0"));
        EXPECT_FALSE(about.NoticeLabel()->text().isEmpty());
        EXPECT_FALSE(about.IconLabel()->pixmap().isNull());
        EXPECT_TRUE(about.OkButton()->isDefault());
        EXPECT_EQ(about.OkButton()->text(), QStringLiteral("OK"));
        EXPECT_FALSE(about.windowFlags() & Qt::WindowMaximizeButtonHint);
        // Both lines fit their 119-unit boxes.
        for (QLabel* label : {about.VersionLabel(), about.NoticeLabel()}) {
            EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->width())
                << label->text().toStdString();
        }
        EXPECT_TRUE(about.rect().contains(about.OkButton()->geometry()));
        about.show();
        if (run == 0)
            QTest::mouseClick(about.OkButton(), Qt::LeftButton);
        else
            QTest::keyClick(&about, Qt::Key_Escape);
        EXPECT_FALSE(about.isVisible());
        results[run++] = about.result();
    };
    Command(ID_APP_ABOUT);
    Command(ID_APP_ABOUT);
    EXPECT_EQ(m_nModalRuns, 2);
    EXPECT_EQ(results[0], QDialog::Accepted);
    EXPECT_EQ(results[1], QDialog::Rejected);
}

}  // namespace
