#include "framework/doc/Document.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/doc/DocFixtures.h"
#include "tests/support/FailingSafeFile.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TempFolder.h"

namespace {

class DocumentTest : public testing::Test {
protected:
    DocumentTest() {
        doc.SetMessageBoxService(&box);
        doc.AddView(&view);
    }

    TempFolder dir;
    RecordingMessageBox box;
    CTextDoc doc;
    CSpyView view;
};

TEST_F(DocumentTest, OpenLoadsTheFileAndClearsTheModifiedFlag) {
    WriteText(dir / "a.iff", "hello");
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(doc.OnOpenDocument(dir / "a.iff"));
    EXPECT_EQ(doc.content, "hello");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.LastOpenReplacedContents());
    EXPECT_EQ(view.replaced, 1);
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(DocumentTest, AnEmptyFileIsNotSerializedButStillReplacesTheContents) {
    WriteText(dir / "empty.iff", "");
    doc.content = "old";
    ASSERT_TRUE(doc.OnOpenDocument(dir / "empty.iff"));
    EXPECT_EQ(doc.loads, 0);
    EXPECT_EQ(doc.deletes, 1);
    EXPECT_EQ(doc.content, "");
}

TEST_F(DocumentTest, AMissingFileIsReportedAndTheContentsStay) {
    doc.content = "old";
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(doc.OnOpenDocument(dir / "missing.iff"));
    EXPECT_FALSE(doc.LastOpenReplacedContents());
    EXPECT_EQ(doc.content, "old");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(view.replaced, 0);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, dir / "missing.iff" + " was not found.");
    EXPECT_EQ(box.shown[0].caption, "Tallyglass");
    EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
}

TEST_F(DocumentTest, AStreamErrorWhileLoadingIsReportedAfterTheContentsWereReplaced) {
    WriteText(dir / "a.iff", "hello");
    doc.failLoad = true;
    EXPECT_FALSE(doc.OnOpenDocument(dir / "a.iff"));
    EXPECT_TRUE(doc.LastOpenReplacedContents());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              "An attempt was made to access " + (dir / "a.iff") + " past its end.");
}

TEST_F(DocumentTest, SaveWritesTheTargetAndClearsTheModifiedFlag) {
    doc.content = "new bytes";
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(doc.OnSaveDocument(dir / "out.iff"));
    EXPECT_EQ(ReadText(dir / "out.iff"), "new bytes");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.iff"});
}

// Every way a save can fail: each write in turn, the flush and the rename. The target keeps its
// bytes, no temporary file stays, the error is shown and the document stays modified.
TEST_F(DocumentTest, AFailedSaveLeavesTheTargetAndNoTemporaryFile) {
    const std::string target = dir / "target.iff";
    WriteText(target, "previous content");
    doc.content = "0123456789";
    doc.pieceSize = 3;  // four writes
    std::vector<FailingSafeFile::Plan> plans;
    for (int k = 1; k <= 4; ++k) {
        plans.push_back({.failWrite = k});
    }
    plans.push_back({.failFlush = true});
    plans.push_back({.failRename = true});
    for (const auto& plan : plans) {
        SCOPED_TRACE(testing::Message() << "write " << plan.failWrite << " flush " << plan.failFlush
                                        << " rename " << plan.failRename);
        box.Clear();
        doc.SetModifiedFlag(true);
        doc.SetTargetFactory(FailingSafeFile::Factory(plan));
        EXPECT_FALSE(doc.OnSaveDocument(target));
        EXPECT_EQ(ReadText(target), "previous content");
        EXPECT_EQ(dir.Names(), std::vector<std::string>{"target.iff"});
        EXPECT_TRUE(doc.IsModified());
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_NE(box.shown[0].text.find(target), std::string::npos);
    }
}

TEST_F(DocumentTest, AFailedSaveToANewNameCreatesNothing) {
    doc.content = "bytes";
    doc.SetTargetFactory(FailingSafeFile::Factory({.failWrite = 1}));
    EXPECT_FALSE(doc.OnSaveDocument(dir / "new.iff"));
    EXPECT_TRUE(dir.Names().empty());
    EXPECT_EQ(box.shown.at(0).text, "Disk full while accessing " + (dir / "new.iff") + ".");
}

TEST_F(DocumentTest, SavingIntoAMissingFolderIsReported) {
    doc.content = "bytes";
    EXPECT_FALSE(doc.OnSaveDocument(dir / "no/such/folder.iff"));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, dir / "no/such/folder.iff" + " was not found.");
}

TEST_F(DocumentTest, UpdateAllViewsSkipsTheSender) {
    CSpyView second;
    doc.AddView(&second);
    doc.UpdateAllViews(&view);
    EXPECT_EQ(view.updates, 0);
    EXPECT_EQ(second.updates, 1);
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(view.updates, 1);
    EXPECT_EQ(second.updates, 2);
}

TEST_F(DocumentTest, ViewListWalksInOrderAndViewsLeaveOnDestruction) {
    {
        CSpyView second;
        doc.AddView(&second);
        auto pos = doc.GetFirstViewPosition();
        EXPECT_EQ(doc.GetNextView(pos), &view);
        EXPECT_EQ(doc.GetNextView(pos), &second);
        EXPECT_EQ(pos, 0u);
        EXPECT_EQ(second.GetDocument(), &doc);
    }
    EXPECT_EQ(doc.GetViews().size(), 1u);
    EXPECT_EQ(doc.GetFirstView(), &view);
}

TEST_F(DocumentTest, ViewMessageBoxesGoThroughTheDocumentWithTheAppTitleByDefault) {
    box.Answer({IDYES});
    EXPECT_EQ(view.MessageBox("Sure?", "", MB_YESNO), IDYES);
    EXPECT_EQ(box.shown.at(0).caption, "Tallyglass");
    doc.SetMessageBoxService(nullptr);
    EXPECT_EQ(view.MessageBox("Sure?", "", MB_YESNO), IDNO);  // nothing shown, nothing done
}

}  // namespace
