// The file commands as the shell runs them: recent files in menu and profile, Save As for an
// untitled document, the save prompt on the ways out, dropped files, and an edit saved to disk.
#include "tests/app/AppFixture.h"

#include "app/MainFrame.h"
#include "app/Resource.h"
#include "document/TallyglassDoc.h"
#include "framework/doc/DocManager.h"
#include "view/TallyglassView.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QUrl>

namespace {

class AppFileCommandsTest : public AppFixture {
protected:
    // The labels of the recent-file items of the File menu, as the menu shows them when opened.
    std::vector<std::string> MenuLabels() {
        CMainFrame* frame = m_pApp->GetMainFrame();
        std::vector<std::string> labels;
        for (int id = ID_FILE_MRU_FILE1; id <= ID_FILE_MRU_FILE4; ++id) {
            QAction* action = frame->FindAction(id);
            if (action != nullptr && action->isEnabled())
                labels.push_back(action->text().toStdString());
        }
        return labels;
    }
    std::vector<std::string> RecentEntries() {
        std::vector<std::string> entries;
        for (int i = 0; i < m_pApp->GetRecentFiles().GetSize(); ++i)
            entries.push_back(m_pApp->GetRecentFiles().GetEntry(i));
        return entries;
    }
    static bool StartsWith(const std::vector<uint8_t>& bytes, const std::string& prefix) {
        return bytes.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), bytes.begin());
    }
};

TEST_F(AppFileCommandsTest, FiveOpensKeepTheLastFourMostRecentFirst) {
    for (const char* name : {"a.iff", "b.iff", "c.iff", "d.iff", "e.iff"})
        WriteIffFile(name);
    ASSERT_TRUE(Start());
    for (const char* name : {"a.iff", "b.iff", "c.iff", "d.iff", "e.iff"})
        OpenViaDialog(Path(name));

    EXPECT_EQ(RecentEntries(), (std::vector<std::string>{Path("e.iff"), Path("d.iff"),
                                                         Path("c.iff"), Path("b.iff")}));
    EXPECT_EQ(MenuLabels(),
              (std::vector<std::string>{"&1 e.iff", "&2 d.iff", "&3 c.iff", "&4 b.iff"}));
    EXPECT_EQ(Title(), QStringLiteral("e.iff - Tallyglass"));

    // The second entry, chosen from the menu, moves to the top.
    m_pApp->GetMainFrame()->FindAction(ID_FILE_MRU_FILE1 + 1)->trigger();
    EXPECT_EQ(Title(), QStringLiteral("d.iff - Tallyglass"));
    EXPECT_EQ(MenuLabels(),
              (std::vector<std::string>{"&1 d.iff", "&2 e.iff", "&3 c.iff", "&4 b.iff"}));
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(AppFileCommandsTest, RecentEntryOfADeletedFileLeavesTheList) {
    for (const char* name : {"a.iff", "b.iff", "c.iff"})
        WriteIffFile(name);
    ASSERT_TRUE(Start());
    for (const char* name : {"a.iff", "b.iff", "c.iff"})
        OpenViaDialog(Path(name));
    ASSERT_TRUE(QFile::remove(QString::fromStdString(Path("b.iff"))));

    m_pApp->GetMainFrame()->FindAction(ID_FILE_MRU_FILE1 + 1)->trigger();

    EXPECT_EQ(m_messages.Texts(), std::vector<std::string>{Path("b.iff") + " was not found."});
    EXPECT_EQ(MenuLabels(), (std::vector<std::string>{"&1 c.iff", "&2 a.iff"}));
    EXPECT_EQ(Title(), QStringLiteral("c.iff - Tallyglass"));
    EXPECT_EQ(m_pApp->GetView()->GetResourceList()->count(), 2);
}

TEST_F(AppFileCommandsTest, RecentFilesOutsideTheCurrentFolderShowTheirShortenedPath) {
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("some/deeply/nested/folder")));
    const std::string deep = WriteIffFile("some/deeply/nested/folder/x&y.iff");
    ASSERT_TRUE(Start());
    OpenViaDialog(deep);
    ASSERT_TRUE(QDir::setCurrent(QDir::rootPath()));
    m_pApp->GetMainFrame()->RefreshRecentFileMenu();
    const std::vector<std::string> labels = MenuLabels();
    ASSERT_EQ(labels.size(), 1U);
    EXPECT_EQ(labels[0].rfind("&1 ", 0), 0U);
    // The menu shows an ampersand of the name as itself.
    EXPECT_NE(labels[0].find("x&&y.iff"), std::string::npos) << labels[0];
    EXPECT_LE(labels[0].size() - 3, 30U + 1) << labels[0];
    // The whole path is the item's tool tip.
    EXPECT_EQ(m_pApp->GetMainFrame()->FindAction(ID_FILE_MRU_FILE1)->toolTip().toStdString(), deep);
}

// File > Open of a file that is not an IFF file after a good one: the message names it, the
// document, its title and the recent list stay, and a following save never touches that file.
TEST_F(AppFileCommandsTest, AFailedOpenLeavesTheOpenDocumentAsItWas) {
    const std::string good = WriteIffFile("a.iff");
    const std::string bad = WriteFile("notes.iff", {'h', 'e', 'l', 'l', 'o', '\n'});
    ASSERT_TRUE(Start({good}));
    m_pApp->GetView()->GetStringList()->selectRow(0);
    m_pApp->GetView()->GetTextEdit()->setPlainText(QStringLiteral("changed"));
    m_messages.Answer({IDNO});  // "Save changes to a.iff?"
    OpenViaDialog(bad);
    EXPECT_EQ(m_messages.Texts(),
              (std::vector<std::string>{"Save changes to a.iff?",
                                        "notes.iff: This file is *not* an IFF file!"}));
    EXPECT_EQ(Title(), QStringLiteral("*a.iff - Tallyglass"));
    EXPECT_EQ(RecentEntries()[0], good);
    EXPECT_EQ(RecentEntries()[1], "");
    EXPECT_EQ(m_pApp->GetView()->GetResourceList()->count(), 2);
    EXPECT_EQ(std::string(m_pApp->GetView()->Strings().GetSlot(0, 0).text), "changed");

    Command(ID_FILE_SAVE);
    EXPECT_TRUE(m_dialogs.requests.size() == 1u);  // only the Open dialog
    EXPECT_EQ(ReadFile(bad), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', '\n'}));
    EXPECT_TRUE(StartsWith(ReadFile(good), "IFF FILE 2.0"));  // a save keeps the version
    EXPECT_EQ(Title(), QStringLiteral("a.iff - Tallyglass"));
}

TEST_F(AppFileCommandsTest, SaveOnAnUntitledDocumentGoesToSaveAs) {
    ASSERT_TRUE(Start());
    m_dialogs.Answer(Path("new.iff"));
    Command(ID_FILE_SAVE);

    ASSERT_EQ(m_dialogs.requests.size(), 1U);
    const FileDialogRequest& request = m_dialogs.requests[0];
    EXPECT_EQ(request.kind, FileDialogRequest::saveAs);
    EXPECT_EQ(request.title, "Save As");
    EXPECT_EQ(request.proposedName, "Untitled.iff");
    EXPECT_EQ(request.defaultExtension, "iff");

    EXPECT_TRUE(StartsWith(ReadFile(Path("new.iff")), "IFF FILE 2.5"));
    EXPECT_EQ(Title(), QStringLiteral("new.iff - Tallyglass"));
    EXPECT_EQ(MenuLabels(), std::vector<std::string>{"&1 new.iff"});
    EXPECT_TRUE(m_messages.shown.empty());
}

enum class WayOut { exitCommand, closeBox, sessionEnd };

struct ExitCase {
    const char* name;
    WayOut way;
    int answer;
    bool ends;   // the window closes (the session may end)
    bool saved;  // the file was written
};

void PrintTo(const ExitCase& c, std::ostream* os) {
    *os << c.name;
}

class AppExitTest : public AppFileCommandsTest, public ::testing::WithParamInterface<ExitCase> {};

INSTANTIATE_TEST_SUITE_P(
    SavePrompt, AppExitTest,
    ::testing::Values(ExitCase{"ExitCancel", WayOut::exitCommand, IDCANCEL, false, false},
                      ExitCase{"ExitNo", WayOut::exitCommand, IDNO, true, false},
                      ExitCase{"ExitYes", WayOut::exitCommand, IDYES, true, true},
                      ExitCase{"CloseBoxCancel", WayOut::closeBox, IDCANCEL, false, false},
                      ExitCase{"CloseBoxNo", WayOut::closeBox, IDNO, true, false},
                      ExitCase{"CloseBoxYes", WayOut::closeBox, IDYES, true, true},
                      ExitCase{"SessionEndCancel", WayOut::sessionEnd, IDCANCEL, false, false},
                      ExitCase{"SessionEndNo", WayOut::sessionEnd, IDNO, true, false},
                      ExitCase{"SessionEndYes", WayOut::sessionEnd, IDYES, true, true}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

TEST_P(AppExitTest, AsksBeforeLosingChanges) {
    const ExitCase& c = GetParam();
    const std::string path = WriteIffFile("a.iff");
    const std::vector<uint8_t> before = ReadFile(path);
    ASSERT_TRUE(Start({path}));
    CMainFrame* frame = m_pApp->GetMainFrame();
    m_pApp->GetDocument()->SetModifiedFlag(true);
    m_messages.Answer({c.answer});

    bool ends = false;
    switch (c.way) {
        case WayOut::exitCommand:
            Command(ID_APP_EXIT);
            ends = !frame->isVisible();
            break;
        case WayOut::closeBox:
            ends = frame->close();
            EXPECT_EQ(frame->isVisible(), !ends);
            break;
        case WayOut::sessionEnd:
            ends = m_pApp->OnQueryEndSession();
            break;
    }

    ASSERT_EQ(m_messages.shown.size(), 1U);
    EXPECT_EQ(m_messages.shown[0].text, "Save changes to a.iff?");
    EXPECT_EQ(m_messages.shown[0].type, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    EXPECT_EQ(ends, c.ends);
    const std::vector<uint8_t> after = ReadFile(path);
    if (c.saved) {
        EXPECT_EQ(after, before);  // saved without an edit: the file's own bytes
        EXPECT_FALSE(m_pApp->GetDocument()->IsModified());
    } else {
        EXPECT_EQ(after, before);
    }
    if (!c.ends) {
        EXPECT_TRUE(m_pApp->GetDocument()->IsModified());
        EXPECT_EQ(Title(), QStringLiteral("*a.iff - Tallyglass"));
    }
}

TEST_F(AppFileCommandsTest, UnmodifiedDocumentClosesWithoutAsking) {
    ASSERT_TRUE(Start({WriteIffFile("a.iff")}));
    Command(ID_APP_EXIT);
    EXPECT_FALSE(m_pApp->GetMainFrame()->isVisible());
    EXPECT_TRUE(m_messages.shown.empty());
}

// Regaining focus after another program rewrote the file offers a reload (after the activation
// event, not inside it); Yes reads the new content.
TEST_F(AppFileCommandsTest, FocusAfterAChangeOnDiskOffersAReload) {
    const std::string path = WriteIffFile("a.iff");
    ASSERT_TRUE(Start({path}));
    CMainFrame* frame = m_pApp->GetMainFrame();
    WriteFile("a.iff", BuildIff({{7, "theirs", {"changed"}}}));
    m_messages.Answer({IDYES});
    QEvent activate(QEvent::WindowActivate);
    QCoreApplication::sendEvent(frame, &activate);
    EXPECT_TRUE(m_messages.shown.empty());  // queued
    QCoreApplication::processEvents();
    ASSERT_EQ(m_messages.shown.size(), 1u);
    EXPECT_EQ(m_messages.shown[0].text,
              "a.iff has been changed on disk by another program. "
              "Reload it? (The document has no unsaved changes.)");
    const QListWidget* list = m_pApp->GetView()->GetResourceList();
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("#7: theirs"));
}

// Sends a drag of local files over widget and drops it there, as a file manager would.
bool DropFiles(QWidget* widget, const QStringList& paths) {
    // File managers offer the files as URLs and as plain text.
    QMimeData data;
    QList<QUrl> urls;
    QStringList lines;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(path));
        lines.append(urls.back().toString());
    }
    data.setUrls(urls);
    data.setText(lines.join(QLatin1Char('\n')));
    const QPointF at(widget->width() / 2.0, widget->height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &enter);
    QDragMoveEvent move(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &move);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &drop);
    return drop.isAccepted();
}

TEST_F(AppFileCommandsTest, DroppedFilesOpenInTurnAndNeverBecomeText) {
    const std::string a = WriteIffFile("a.iff");
    const std::string b = WriteIffFile("b.iff");
    const std::string c = WriteIffFile("c.iff");
    ASSERT_TRUE(Start({a}));
    CTallyglassView* view = m_pApp->GetView();
    view->GetStringList()->selectRow(0);
    QPlainTextEdit* edit = view->GetTextEdit();
    ASSERT_TRUE(edit->isEnabled());
    const QString textBefore = edit->toPlainText();

    // Such a drop is text to an edit that does not turn it away.
    QPlainTextEdit bare;
    bare.show();
    DropFiles(bare.viewport(), {QFile::decodeName(b.c_str())});
    ASSERT_TRUE(bare.toPlainText().contains(QStringLiteral("b.iff")));

    EXPECT_TRUE(
        DropFiles(edit->viewport(), {QFile::decodeName(b.c_str()), QFile::decodeName(c.c_str())}));
    EXPECT_EQ(edit->toPlainText(), textBefore);
    EXPECT_FALSE(m_pApp->GetDocument()->IsModified());
    QCoreApplication::processEvents();

    EXPECT_EQ(m_pApp->GetDocument()->GetPathName(), c);
    EXPECT_EQ(Title(), QStringLiteral("c.iff - Tallyglass"));
    EXPECT_EQ(MenuLabels(), (std::vector<std::string>{"&1 c.iff", "&2 b.iff", "&3 a.iff"}));
    EXPECT_TRUE(m_messages.shown.empty());
}

TEST_F(AppFileCommandsTest, DropOfAMissingAndAnExistingFile) {
    const std::string b = WriteIffFile("b.iff");
    ASSERT_TRUE(Start());
    EXPECT_TRUE(DropFiles(m_pApp->GetMainFrame(), {QFile::decodeName(Path("gone.iff").c_str()),
                                                   QFile::decodeName(b.c_str())}));
    QCoreApplication::processEvents();
    EXPECT_EQ(m_messages.Texts(), std::vector<std::string>{Path("gone.iff") + " was not found."});
    EXPECT_EQ(Title(), QStringLiteral("b.iff - Tallyglass"));
    EXPECT_EQ(MenuLabels(), std::vector<std::string>{"&1 b.iff"});
}

TEST_F(AppFileCommandsTest, RecentFilesSurviveARestart) {
    WriteIffFile("a.iff");
    WriteIffFile("b.iff");
    ASSERT_TRUE(Start());
    OpenViaDialog(Path("a.iff"));
    OpenViaDialog(Path("b.iff"));
    Stop();

    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Brackenfold"),
                       QStringLiteral("Tallyglass"));
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File1")).toString().toStdString(),
              Path("b.iff"));
    EXPECT_EQ(settings.value(QStringLiteral("Recent File List/File2")).toString().toStdString(),
              Path("a.iff"));
    EXPECT_FALSE(settings.contains(QStringLiteral("Recent File List/File3")));

    ASSERT_TRUE(Start());
    EXPECT_EQ(Title(), QStringLiteral("Untitled - Tallyglass"));
    EXPECT_EQ(MenuLabels(), (std::vector<std::string>{"&1 b.iff", "&2 a.iff"}));
    m_pApp->GetMainFrame()->FindAction(ID_FILE_MRU_FILE1 + 1)->trigger();
    EXPECT_EQ(Title(), QStringLiteral("a.iff - Tallyglass"));
}

TEST_F(AppFileCommandsTest, TypedTextIsSavedWithCtrlS) {
    const std::string path = WriteIffFile("a.iff");
    ASSERT_TRUE(Start({path}));
    CMainFrame* frame = m_pApp->GetMainFrame();
    CTallyglassView* view = m_pApp->GetView();
    view->GetStringList()->selectRow(0);
    QPlainTextEdit* edit = view->GetTextEdit();
    ASSERT_TRUE(edit->isEnabled());
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("Howdy"));
    EXPECT_TRUE(m_pApp->GetDocument()->IsModified());

    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
    QTest::keyClick(edit, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(m_pApp->GetDocument()->IsModified());
    EXPECT_TRUE(m_dialogs.requests.empty()) << "Save asked for a name";
    Stop();

    // The saved file opens with the new text in the first string of the first resource.
    ASSERT_TRUE(Start({path}));
    const QAbstractItemModel* model = m_pApp->GetView()->GetStringList()->model();
    EXPECT_EQ(model->index(0, 1).data().toString(), QStringLiteral("Howdy"));
    EXPECT_TRUE(m_messages.shown.empty());
}

}  // namespace
