#include "document/TallyglassDoc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/doc/Archive.h"
#include "framework/doc/DocManager.h"
#include "framework/doc/RecentFileList.h"
#include "framework/doc/View.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "iff/ChunkStore.h"
#include "strings/StringSet.h"
#include "tests/support/FailingSafeFile.h"
#include "tests/support/IffBytes.h"
#include "tests/support/IffPayloads.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedFileDialog.h"
#include "tests/support/TempFolder.h"

namespace {

// Does at update time what the editor's view does: a changed working copy is stored into its
// chunk and marks the document modified; a store that fails is reported and vetoes the save.
class CEditorLikeView : public CView {
public:
    explicit CEditorLikeView(std::vector<std::string>* log = nullptr) : m_pLog(log) {}

    bool Load(uint16_t id) {
        auto& doc = static_cast<CTallyglassDoc&>(*GetDocument());
        ChunkHandle handle = 0;
        m_bLoaded =
            doc.m_iff.FindChunk(handle, kTypeStrings, id) && m_strings.Load(doc.m_iff, handle);
        m_bChanged = false;
        return m_bLoaded;
    }
    void Edit(uint16_t index, const std::string& text) {
        ASSERT_TRUE(m_strings.SetString(index, 0, 0, text));
        m_bChanged = true;
        GetDocument()->SetModifiedFlag(true);
    }

    void OnUpdate(CView*, long, void*) override {
        auto& doc = static_cast<CTallyglassDoc&>(*GetDocument());
        if (m_pLog) {
            m_pLog->push_back(std::string("update, source ") +
                              (doc.m_iff.IsAttached() ? "open" : "closed"));
        }
        if (m_bLoaded && m_bChanged) {
            if (!m_strings.Store(doc.m_iff)) {
                MessageBox("The strings do not fit their resource.");
                doc.VetoSave();
                return;
            }
            doc.SetModifiedFlag(true);
            m_bChanged = false;
        }
    }
    void OnDocumentReplaced() override {
        m_bLoaded = false;
        m_bChanged = false;
        ++replaced;
    }

    CStringSet m_strings;
    bool m_bLoaded = false;
    bool m_bChanged = false;
    int replaced = 0;

private:
    std::vector<std::string>* m_pLog;
};

const std::vector<uint8_t> kOtherPayload = {1, 2, 3, 4, 5};

std::vector<uint8_t> SampleFile() {
    return MakeIffFile({
        MakeChunk("STR#", 128, MakePlainPayload({"one", "two"}), "first"),
        MakeChunk("BHAV", 4096, kOtherPayload, "code", 0x20),
        MakeChunk("STR#", 129, MakePlainPayload({"x"}), "second"),
    });
}

class TallyglassDocTest : public testing::Test {
protected:
    TallyglassDocTest() {
        doc.SetMessageBoxService(&box);
        doc.AddView(&view);
        path = dir / "sample.iff";
        WriteBytes(path, SampleFile());
    }

    TempFolder dir;
    RecordingMessageBox box;
    std::vector<std::string> log;
    CTallyglassDoc doc;
    CEditorLikeView view{&log};
    std::string path;
};

TEST_F(TallyglassDocTest, OpensAnIffFileWithoutMessages) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(doc.GetOpenError(), 0);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.IsSaveAsRequired());
    EXPECT_EQ(doc.m_iff.CountOfType(kTypeStrings, false), 2u);
    EXPECT_TRUE(doc.m_iff.IsAttached());  // a save into the source stays possible
    ASSERT_TRUE(view.Load(128));
    std::string text;
    EXPECT_TRUE(view.m_strings.GetString(1, 0, 0, text));
    EXPECT_EQ(text, "two");
}

struct BadFileRow {
    const char* name;
    std::vector<uint8_t> bytes;
    int code;
    const char* message;
};

class UnreadableFile : public TallyglassDocTest, public testing::WithParamInterface<BadFileRow> {};

// The document opens all the same: it names the file, holds no chunks, is not modified, and a
// plain Save must ask for a path.
TEST_P(UnreadableFile, ShowsItsMessageAndOpensWithoutChunks) {
    const auto& row = GetParam();
    WriteBytes(dir / "bad.iff", row.bytes);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    ASSERT_TRUE(doc.OnOpenDocument(dir / "bad.iff"));
    EXPECT_EQ(doc.GetOpenError(), row.code);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, row.message);
    EXPECT_EQ(box.shown[0].caption, "Error");
    EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONSTOP);
    EXPECT_EQ(doc.m_iff.GetChunkList().size(), 0u);
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.IsSaveAsRequired());
    EXPECT_FALSE(view.m_bLoaded);  // the old working copy is forgotten
}

TEST_P(UnreadableFile, WithoutAViewTheOutcomeIsTheSameButSilent) {
    WriteBytes(dir / "bad.iff", GetParam().bytes);
    doc.RemoveView(&view);
    ASSERT_TRUE(doc.OnOpenDocument(dir / "bad.iff"));
    EXPECT_EQ(doc.GetOpenError(), GetParam().code);
    EXPECT_TRUE(box.shown.empty());
}

std::vector<uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

INSTANTIATE_TEST_SUITE_P(
    TallyglassDoc, UnreadableFile,
    testing::Values(
        BadFileRow{"NotIff", Text(std::string(80, 'x')), 3, "This file is *not* an IFF file!"},
        BadFileRow{"ShortHeader", Text("IFF FILE 2.5:TYPE"), 3, "This file is *not* an IFF file!"},
        BadFileRow{"Version21", MakeIffHeader("2.1"), 4,
                   "The file version of the IFF file is not supported!"},
        BadFileRow{"Version30", MakeIffFile({MakeChunk("STR#", 1, {0, 0})}, "3.0"), 4,
                   "The file version of the IFF file is not supported!"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(TallyglassDocTest, AnEmptyFileOpensAsADocumentWithoutChunks) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    view.Edit(0, "changed");
    WriteBytes(dir / "empty.iff", {});
    ASSERT_TRUE(doc.OnOpenDocument(dir / "empty.iff"));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_TRUE(doc.m_iff.GetChunkList().empty());
    EXPECT_FALSE(doc.m_iff.IsAttached());
    EXPECT_FALSE(doc.IsModified());
    // The declined edit of the previous file must not reach the new document at its first save.
    EXPECT_FALSE(view.m_bChanged);
    EXPECT_EQ(view.replaced, 2);
}

TEST_F(TallyglassDocTest, NewDocumentEmptiesTheIffFile) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_TRUE(doc.m_iff.GetChunkList().empty());
    EXPECT_FALSE(doc.m_iff.IsAttached());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetPathName(), "");
}

TEST_F(TallyglassDocTest, SaveStoresTheViewFirstThenLoadsAllThenClosesThenWrites) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    view.Edit(1, "TWO");
    doc.SetTargetFactory([this](const std::string& target) -> std::unique_ptr<CSafeFile> {
        bool allLoaded = true;
        for (const ChunkHandle handle : doc.m_iff.GetChunkList()) {
            allLoaded = allLoaded && CChunkStore::Instance().Resolve(handle)->IsLoaded();
        }
        log.push_back(std::string("target, source ") +
                      (doc.m_iff.IsAttached() ? "open" : "closed") +
                      (allLoaded ? ", all loaded" : ", not all loaded"));
        return std::make_unique<CSafeFile>(target);
    });
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(log, (std::vector<std::string>{"update, source open",
                                             "target, source closed, all loaded"}));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"sample.iff"});

    const Payloads saved = ReadPayloads(path);
    ASSERT_EQ(saved.size(), 3u);
    EXPECT_EQ(saved.at({kTypeStrings, 128}), MakePlainPayload({"one", "TWO"}));
    EXPECT_EQ(saved.at({kTypeStrings, 129}), MakePlainPayload({"x"}));
    EXPECT_EQ(saved.at({MakeChunkType('B', 'H', 'A', 'V'), 4096}), kOtherPayload);

    // Saved again: everything is in memory, no source is needed.
    view.Edit(0, "ONE");
    ASSERT_TRUE(doc.OnSaveDocument(dir / "copy.iff"));
    EXPECT_EQ(ReadPayloads(dir / "copy.iff").at({kTypeStrings, 128}),
              MakePlainPayload({"ONE", "TWO"}));
}

TEST_F(TallyglassDocTest, SaveAsLeavesTheOldFileAsItWas) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(129));
    view.Edit(0, "y");
    ASSERT_TRUE(doc.OnSaveDocument(dir / "new.iff"));
    EXPECT_EQ(ReadBytes(path), SampleFile());
    EXPECT_EQ(ReadPayloads(dir / "new.iff").at({kTypeStrings, 129}), MakePlainPayload({"y"}));
}

TEST_F(TallyglassDocTest, AChunkCutShortStopsEverySaveBeforeAnythingIsWritten) {
    std::vector<uint8_t> bytes = SampleFile();
    bytes.resize(bytes.size() - 1);  // the last chunk's payload misses a byte
    WriteBytes(path, bytes);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    view.Edit(0, "edited");
    bool targetMade = false;
    doc.SetTargetFactory([&](const std::string& target) -> std::unique_ptr<CSafeFile> {
        targetMade = true;
        return std::make_unique<CSafeFile>(target);
    });
    for (const std::string& target : {path, dir / "other.iff"}) {
        box.Clear();
        EXPECT_FALSE(doc.OnSaveDocument(target));
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text,
                  "Can't access the opened IFF file.... you did open an IFF file, didn't you?");
        EXPECT_EQ(box.shown[0].caption, "Tallyglass");
        EXPECT_EQ(box.shown[0].type, MB_OK);
    }
    EXPECT_FALSE(targetMade);
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"sample.iff"});
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(TallyglassDocTest, AViewThatCannotStoreVetoesTheSave) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    view.Edit(0, "edited");
    view.m_strings.m_hChunk = 0;  // names no chunk: Store fails
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(box.Last()->text, "The strings do not fit their resource.");
    EXPECT_EQ(ReadBytes(path), SampleFile());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"sample.iff"});
    EXPECT_TRUE(doc.IsModified());
}

// A stream error at each write in turn: the target keeps its bytes, no temporary file stays, the
// document stays modified with its path and title, and a later save still succeeds.
TEST_F(TallyglassDocTest, AFailureAtEveryWriteLeavesTheTargetByteIdentical) {
    std::vector<TestChunk> chunks;
    // Beyond the writer's buffer, so that the save takes several writes.
    for (uint16_t id = 1; id <= 9; ++id) {
        chunks.push_back(
            MakeChunk("DATA", id, std::vector<uint8_t>(1000000, static_cast<uint8_t>(id))));
    }
    chunks.push_back(MakeChunk("STR#", 7, MakePlainPayload({"s"})));
    const std::vector<uint8_t> original = MakeIffFile(chunks);
    WriteBytes(path, original);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    doc.SetPathName(path);
    ASSERT_TRUE(view.Load(7));
    view.Edit(0, "t");

    int writes = 0;
    doc.SetTargetFactory(FailingSafeFile::Factory({.writeCount = &writes}));
    ASSERT_TRUE(doc.OnSaveDocument(dir / "probe.iff"));
    const int totalWrites = writes;
    ASSERT_GT(totalWrites, 1);
    view.Edit(0, "u");

    for (int k = 1; k <= totalWrites + 2; ++k) {
        SCOPED_TRACE(k);
        box.Clear();
        FailingSafeFile::Plan plan;
        plan.failWrite = k <= totalWrites ? k : 0;
        plan.failFlush = k == totalWrites + 1;
        plan.failRename = k == totalWrites + 2;
        doc.SetTargetFactory(FailingSafeFile::Factory(plan));
        EXPECT_FALSE(doc.OnSaveDocument(path));
        EXPECT_EQ(ReadBytes(path), original);
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"probe.iff", "sample.iff"}));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(doc.GetPathName(), path);
        EXPECT_EQ(doc.GetTitle(), "sample.iff");
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
        EXPECT_NE(box.shown[0].text.find(path), std::string::npos) << box.shown[0].text;
    }
    doc.SetTargetFactory(nullptr);
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadPayloads(path).at({kTypeStrings, 7}), MakePlainPayload({"u"}));
}

TEST_F(TallyglassDocTest, AFailedDuplicateShowsOnlyTheStreamError) {
    class CUnduplicableFile : public CFile {
    public:
        CUnduplicableFile(const std::string& path) : CFile(path, modeRead) {}
        std::unique_ptr<CFile> Duplicate() const override {
            throw CFileException(CFileException::tooManyOpenFiles, GetFilePath());
        }
    } file(path);
    CArchive archive(&file, CArchive::load);
    doc.Serialize(archive);
    EXPECT_EQ(doc.GetOpenError(), CIffFile::errNoSource);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text,
              path + " could not be opened because there are too many open files.");
    EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
}

// Through the file commands: Save after an unreadable open asks for a path, so the file is
// never replaced by an IFF file without chunks.
TEST_F(TallyglassDocTest, SaveAfterAnUnreadableOpenGoesToSaveAs) {
    ScriptedFileDialog dialogs;
    CRecentFileList recent;
    CDocManager manager(doc, box, dialogs, recent);
    WriteBytes(dir / "bad.iff", Text("not an iff file at all, not even close to one, no sir"));
    ASSERT_EQ(manager.OpenDocumentFile(dir / "bad.iff"), CDocManager::OpenResult::opened);
    EXPECT_EQ(doc.GetTitle(), "bad.iff");
    EXPECT_FALSE(manager.OnFileSave());
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].proposedName, dir / "bad.iff");
    EXPECT_EQ(ReadBytes(dir / "bad.iff"),
              Text("not an iff file at all, not even close to one, no sir"));
}

}  // namespace
