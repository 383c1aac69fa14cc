#include "framework/doc/DocManager.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "framework/doc/FileDialogService.h"
#include "framework/doc/RecentFileList.h"
#include "tests/doc/DocFixtures.h"
#include "tests/support/FailingSafeFile.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedFileDialog.h"
#include "tests/support/TempFolder.h"

namespace {

using OpenResult = CDocManager::OpenResult;

class DocManagerTest : public testing::Test {
protected:
    DocManagerTest() {
        doc.SetMessageBoxService(&box);
        doc.AddView(&view);
        manager.SetActivateFrameHandler([this] { ++activations; });
        manager.SetTitleChangedHandler([this] { ++titleChanges; });
        WriteText(dir / "a.iff", "file a");
        WriteText(dir / "b.iff", "file b");
    }

    // Opens a.iff and edits it.
    void OpenModifiedA() {
        ASSERT_EQ(manager.OpenDocumentFile(dir / "a.iff"), OpenResult::opened);
        doc.content = "edited";
        doc.SetModifiedFlag(true);
        box.Clear();
    }

    TempFolder dir;
    RecordingMessageBox box;
    ScriptedFileDialog dialogs;
    CRecentFileList recent;
    CTextDoc doc;
    CSpyView view;
    CDocManager manager{doc, box, dialogs, recent};
    int activations = 0;
    int titleChanges = 0;
};

TEST_F(DocManagerTest, NewDocumentIsUntitledAndUnmodified) {
    ASSERT_TRUE(manager.OnFileNew());
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(view.initialUpdates, 1);
    EXPECT_EQ(manager.ProposedSaveName(), "Untitled.iff");
}

TEST_F(DocManagerTest, OpenTakesPathTitleAndRecentTopAndUpdatesTheView) {
    ASSERT_EQ(manager.OpenDocumentFile("\"" + (dir / "sub/../a.iff") + "\""), OpenResult::opened);
    EXPECT_EQ(doc.GetPathName(), dir / "a.iff");
    EXPECT_EQ(doc.GetTitle(), "a.iff");
    EXPECT_EQ(doc.content, "file a");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(recent[0], dir / "a.iff");
    EXPECT_EQ(view.initialUpdates, 1);
    EXPECT_GE(titleChanges, 1);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(DocManagerTest, ARelativePathIsOpenedFromTheCurrentFolderAndALinkByItsTarget) {
    ASSERT_EQ(::symlink((dir / "b.iff").c_str(), (dir / "link.iff").c_str()), 0);
    CurrentFolderGuard cwd(dir.Path().string());
    ASSERT_EQ(manager.OpenDocumentFile("link.iff"), OpenResult::opened);
    EXPECT_EQ(doc.GetPathName(), dir / "b.iff");
    EXPECT_EQ(doc.GetTitle(), "b.iff");
}

// Opening the document's own file, however spelled, reads nothing, asks nothing and keeps the
// unsaved changes.
TEST_F(DocManagerTest, TheSameFileOnDiskOnlyActivatesTheFrame) {
    OpenModifiedA();
    ASSERT_EQ(::symlink((dir / "a.iff").c_str(), (dir / "link.iff").c_str()), 0);
    ASSERT_EQ(::link((dir / "a.iff").c_str(), (dir / "hard.iff").c_str()), 0);
    for (const std::string& spelling :
         {dir / "a.iff", dir / "./a.iff", dir / "link.iff", dir / "hard.iff"}) {
        SCOPED_TRACE(spelling);
        EXPECT_EQ(manager.OpenDocumentFile(spelling), OpenResult::alreadyOpen);
    }
    EXPECT_EQ(activations, 4);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(doc.content, "edited");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.loads, 1);
}

TEST_F(DocManagerTest, ANameDifferingOnlyInCaseIsAnotherFile) {
    WriteText(dir / "A.IFF", "upper");
    ASSERT_EQ(manager.OpenDocumentFile(dir / "a.iff"), OpenResult::opened);
    EXPECT_EQ(manager.OpenDocumentFile(dir / "A.IFF"), OpenResult::opened);
    EXPECT_EQ(doc.content, "upper");
}

struct PromptRow {
    const char* name;
    int answer;
    OpenResult result;
    const char* savedA;   // a.iff afterwards
    const char* content;  // the document afterwards
};

class SavePrompt : public DocManagerTest, public testing::WithParamInterface<PromptRow> {};

TEST_P(SavePrompt, BeforeOpeningAnotherFile) {
    const auto& row = GetParam();
    OpenModifiedA();
    box.Answer({row.answer});
    EXPECT_EQ(manager.OpenDocumentFile(dir / "b.iff"), row.result);
    ASSERT_FALSE(box.shown.empty());
    EXPECT_EQ(box.shown[0].text, "Save changes to a.iff?");
    EXPECT_EQ(box.shown[0].caption, "Tallyglass");
    EXPECT_EQ(box.shown[0].type, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    EXPECT_EQ(ReadText(dir / "a.iff"), row.savedA);
    EXPECT_EQ(doc.content, row.content);
}

INSTANTIATE_TEST_SUITE_P(
    DocManager, SavePrompt,
    testing::Values(PromptRow{"Yes", IDYES, OpenResult::opened, "edited", "file b"},
                    PromptRow{"No", IDNO, OpenResult::opened, "file a", "file b"},
                    PromptRow{"Cancel", IDCANCEL, OpenResult::cancelled, "file a", "edited"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DocManagerTest, CancelKeepsTheDocumentAsItWas) {
    OpenModifiedA();
    box.Answer({IDCANCEL});
    ASSERT_EQ(manager.OpenDocumentFile(dir / "b.iff"), OpenResult::cancelled);
    EXPECT_EQ(doc.GetPathName(), dir / "a.iff");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(recent[0], dir / "a.iff");
    EXPECT_EQ(recent[1], "");
}

TEST_F(DocManagerTest, AFailedSaveAtThePromptAbandonsTheOpen) {
    OpenModifiedA();
    box.Answer({IDYES});
    doc.SetTargetFactory(FailingSafeFile::Factory({.failWrite = 1}));
    EXPECT_EQ(manager.OpenDocumentFile(dir / "b.iff"), OpenResult::cancelled);
    EXPECT_EQ(doc.content, "edited");
    EXPECT_EQ(doc.GetPathName(), dir / "a.iff");
    EXPECT_EQ(ReadText(dir / "a.iff"), "file a");
}

TEST_F(DocManagerTest, UntitledPromptUsesTheTitleAndYesAsksForAPath) {
    ASSERT_TRUE(manager.OnFileNew());
    doc.content = "fresh";
    doc.SetModifiedFlag(true);
    box.Answer({IDYES});
    dialogs.Answer(std::nullopt);  // the Save As dialog is cancelled
    EXPECT_EQ(manager.OpenDocumentFile(dir / "b.iff"), OpenResult::cancelled);
    EXPECT_EQ(box.shown.at(0).text, "Save changes to Untitled?");
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].proposedName, "Untitled.iff");
}

TEST_F(DocManagerTest, AMissingFileIsReportedAndTheDocumentStays) {
    OpenModifiedA();
    box.Answer({IDNO});
    EXPECT_EQ(manager.OpenDocumentFile(dir / "missing.iff"), OpenResult::failed);
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[1].text, dir / "missing.iff" + " was not found.");
    EXPECT_EQ(box.shown[1].caption, "Tallyglass");
    EXPECT_EQ(box.shown[1].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(doc.GetPathName(), dir / "a.iff");
    EXPECT_EQ(doc.GetTitle(), "a.iff");
    EXPECT_EQ(doc.content, "edited");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(recent[1], "");
}

TEST_F(DocManagerTest, SpecialFilesAreRefusedAtOnceAndTheDocumentStays) {
    ASSERT_EQ(::mkfifo((dir / "pipe.iff").c_str(), 0644), 0);
    ASSERT_EQ(::mkdir((dir / "folder.iff").c_str(), 0755), 0);
    OpenModifiedA();
    for (const std::string& path :
         {dir / "pipe.iff", std::string("/dev/zero"), dir / "folder.iff"}) {
        box.Clear();
        box.Answer({IDNO});  // do not save a.iff first
        EXPECT_EQ(manager.OpenDocumentFile(path), OpenResult::failed) << path;
        ASSERT_EQ(box.shown.size(), 2u) << path;
        EXPECT_EQ(box.shown[1].text, path + " is not a regular file.");
        EXPECT_EQ(box.shown[1].type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_EQ(doc.GetPathName(), dir / "a.iff");
        EXPECT_EQ(doc.content, "edited");
        EXPECT_TRUE(doc.IsModified());
    }
    EXPECT_EQ(recent[1], "");
}

TEST_F(DocManagerTest, AFailureAfterTheFileOpenedLeavesAnUntitledDocument) {
    ASSERT_EQ(manager.OpenDocumentFile(dir / "a.iff"), OpenResult::opened);
    doc.failLoad = true;
    EXPECT_EQ(manager.OpenDocumentFile(dir / "b.iff"), OpenResult::failed);
    EXPECT_EQ(doc.GetPathName(), "");
    EXPECT_EQ(doc.GetTitle(), "Untitled");
    EXPECT_EQ(doc.content, "");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(recent[0], dir / "a.iff");
    EXPECT_EQ(recent[1], "");
    EXPECT_EQ(view.initialUpdates, 2);  // the view shows the empty document
}

TEST_F(DocManagerTest, OpenDialogRequestAndCancel) {
    EXPECT_EQ(manager.OnFileOpen(), OpenResult::cancelled);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    const auto& request = dialogs.requests[0];
    EXPECT_EQ(request.kind, FileDialogRequest::open);
    EXPECT_EQ(request.title, "Open");
    ASSERT_EQ(request.filters.size(), 4u);
    EXPECT_EQ(request.filters[0].pattern, "*.iff *.flr *.wll *.spf *.far *.fam");
    EXPECT_EQ(request.filters[1].name, "IFF Files (*.iff)");
    EXPECT_EQ(request.filters[1].pattern, "*.iff");
    EXPECT_EQ(request.filters[2].name, "FAR Archives (*.far)");
    EXPECT_EQ(request.filters[2].pattern, "*.far");
    EXPECT_EQ(request.filters[3].name, "All Files (*.*)");
    EXPECT_EQ(request.filters[3].pattern, "*.*");
    EXPECT_EQ(request.defaultExtension, "iff");
    dialogs.Answer(dir / "b.iff");
    EXPECT_EQ(manager.OnFileOpen(), OpenResult::opened);
    EXPECT_EQ(doc.GetPathName(), dir / "b.iff");
}

TEST_F(DocManagerTest, SaveOnTheUntitledDocumentGoesToSaveAs) {
    ASSERT_TRUE(manager.OnFileNew());
    doc.content = "fresh";
    doc.SetModifiedFlag(true);
    dialogs.Answer(dir / "new.iff");
    ASSERT_TRUE(manager.OnFileSave());
    const auto& request = dialogs.requests.at(0);
    EXPECT_EQ(request.kind, FileDialogRequest::saveAs);
    EXPECT_EQ(request.title, "Save As");
    EXPECT_EQ(request.proposedName, "Untitled.iff");
    EXPECT_EQ(request.defaultExtension, "iff");
    EXPECT_EQ(ReadText(dir / "new.iff"), "fresh");
    EXPECT_EQ(doc.GetPathName(), dir / "new.iff");
    EXPECT_EQ(doc.GetTitle(), "new.iff");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(recent[0], dir / "new.iff");
}

TEST_F(DocManagerTest, SaveWritesInPlaceWhenTheFileCanBeReplaced) {
    OpenModifiedA();
    ASSERT_TRUE(manager.OnFileSave());
    EXPECT_TRUE(dialogs.requests.empty());
    EXPECT_EQ(ReadText(dir / "a.iff"), "edited");
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(DocManagerTest, SaveOnAReadOnlyFileSaysSoAndNeverReplacesIt) {
    OpenModifiedA();
    ASSERT_EQ(::chmod((dir / "a.iff").c_str(), 0444), 0);
    box.Answer({IDNO});
    EXPECT_FALSE(manager.OnFileSave());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "a.iff is read-only. Save your changes under another name?");
    EXPECT_EQ(box.shown[0].type, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_TRUE(dialogs.requests.empty());

    // Yes: the dialog proposes another name; the same file chosen all the same is refused again.
    box.Answer({IDYES, IDYES});
    dialogs.Answer(dir / "a.iff");
    dialogs.Answer(dir / "b.iff");
    EXPECT_TRUE(manager.OnFileSave());
    ASSERT_EQ(dialogs.requests.size(), 2u);
    EXPECT_EQ(dialogs.requests[0].proposedName, dir / "a copy.iff");
    EXPECT_EQ(dialogs.requests[1].proposedName, dir / "a copy.iff");
    EXPECT_EQ(box.shown.size(), 3u);
    EXPECT_EQ(ReadText(dir / "a.iff"), "file a");
    EXPECT_EQ(ReadText(dir / "b.iff"), "edited");
    EXPECT_EQ(doc.GetPathName(), dir / "b.iff");
    EXPECT_EQ(CDocManager::CopyNameFor("/x.y/readme"), "/x.y/readme copy");
}

TEST_F(DocManagerTest, SaveOnADeletedFileGoesToSaveAs) {
    OpenModifiedA();
    ASSERT_EQ(::unlink((dir / "a.iff").c_str()), 0);
    dialogs.Answer(dir / "again.iff");
    EXPECT_TRUE(manager.OnFileSave());
    EXPECT_EQ(dialogs.requests.size(), 1u);
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ReadText(dir / "again.iff"), "edited");
    EXPECT_EQ(doc.GetPathName(), dir / "again.iff");
}

TEST_F(DocManagerTest, SaveAfterAnUnreadableOpenAsksForAPath) {
    OpenModifiedA();
    doc.SetSaveAsRequired(true);
    EXPECT_FALSE(manager.OnFileSave());
    EXPECT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(ReadText(dir / "a.iff"), "file a");
}

TEST_F(DocManagerTest, AFailedSaveAsKeepsTheOldPathAndCreatesNothing) {
    OpenModifiedA();
    doc.SetTargetFactory(FailingSafeFile::Factory({.failRename = true}));
    dialogs.Answer(dir / "other.iff");
    EXPECT_FALSE(manager.OnFileSaveAs());
    EXPECT_EQ(doc.GetPathName(), dir / "a.iff");
    EXPECT_EQ(doc.GetTitle(), "a.iff");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"a.iff", "b.iff"}));
    EXPECT_EQ(recent[0], dir / "a.iff");
    EXPECT_EQ(box.shown.size(), 1u);
}

struct ProposalRow {
    const char* title;
    const char* proposed;
};

class SaveAsProposal : public DocManagerTest, public testing::WithParamInterface<ProposalRow> {};

TEST_P(SaveAsProposal, CutsTheTitleBeforeTheFirstSpecialCharacter) {
    doc.SetTitle(GetParam().title);
    EXPECT_EQ(manager.ProposedSaveName(), GetParam().proposed);
}

INSTANTIATE_TEST_SUITE_P(DocManager, SaveAsProposal,
                         testing::Values(ProposalRow{"Untitled", "Untitled.iff"},
                                         ProposalRow{"My file", "My.iff"},
                                         ProposalRow{"a#b", "a.iff"}, ProposalRow{"50%", "50.iff"},
                                         ProposalRow{"x;y", "x.iff"}, ProposalRow{"p/q", "p.iff"},
                                         ProposalRow{"p\\q", "p.iff"}));

TEST_F(DocManagerTest, RecentFilesFollowTheOpens) {
    std::vector<std::string> paths;
    for (int i = 1; i <= 5; ++i) {
        paths.push_back(dir / ("f" + std::to_string(i) + ".iff"));
        WriteText(paths.back(), "f");
        ASSERT_EQ(manager.OpenDocumentFile(paths.back()), OpenResult::opened);
    }
    EXPECT_EQ(recent[0], paths[4]);
    EXPECT_EQ(recent[3], paths[1]);
    ASSERT_EQ(manager.OpenRecentFile(1), OpenResult::opened);  // f4 moves to the top
    EXPECT_EQ(recent[0], paths[3]);
    EXPECT_EQ(recent[1], paths[4]);
    EXPECT_EQ(recent[2], paths[2]);
}

TEST_F(DocManagerTest, ARecentEntryWhoseFileWasDeletedIsRemoved) {
    for (const char* name : {"c.iff", "d.iff", "e.iff"}) {
        WriteText(dir / name, "x");
        ASSERT_EQ(manager.OpenDocumentFile(dir / name), OpenResult::opened);
    }
    ASSERT_EQ(::unlink((dir / "d.iff").c_str()), 0);
    EXPECT_EQ(manager.OpenRecentFile(1), OpenResult::failed);
    EXPECT_EQ(box.Last()->text, dir / "d.iff" + " was not found.");
    EXPECT_EQ(recent[0], dir / "e.iff");
    EXPECT_EQ(recent[1], dir / "c.iff");
    EXPECT_EQ(recent[2], "");
    EXPECT_EQ(doc.GetPathName(), dir / "e.iff");
}

TEST_F(DocManagerTest, ACancelledPromptKeepsTheRecentEntry) {
    OpenModifiedA();
    recent.Add(dir / "b.iff");
    box.Answer({IDCANCEL});
    EXPECT_EQ(manager.OpenRecentFile(0), OpenResult::cancelled);
    EXPECT_EQ(recent[0], dir / "b.iff");
}

TEST_F(DocManagerTest, TwoDroppedFilesOpenInTurnAndBothEnterTheList) {
    for (const char* name : {"a.iff", "b.iff"}) {
        ASSERT_EQ(manager.OpenDocumentFile(dir / name), OpenResult::opened);
    }
    EXPECT_EQ(doc.GetPathName(), dir / "b.iff");
    EXPECT_EQ(recent[0], dir / "b.iff");
    EXPECT_EQ(recent[1], dir / "a.iff");
}

TEST_F(DocManagerTest, CloseAsksOnlyForAModifiedDocument) {
    ASSERT_EQ(manager.OpenDocumentFile(dir / "a.iff"), OpenResult::opened);
    EXPECT_TRUE(manager.CanClose());
    EXPECT_TRUE(box.shown.empty());
    doc.content = "edited";
    doc.SetModifiedFlag(true);
    box.Answer({IDCANCEL, IDNO});
    EXPECT_FALSE(manager.CanClose());
    EXPECT_TRUE(manager.CanClose());
    EXPECT_EQ(ReadText(dir / "a.iff"), "file a");
    EXPECT_EQ(box.shown.size(), 2u);
}

}  // namespace
