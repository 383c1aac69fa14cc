#include "document/TallyglassDoc.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
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
#include "framework/stream/FileIdentity.h"
#include "iff/ChunkStore.h"
#include "strings/StringSet.h"
#include "strings/TextCodec.h"
#include "tests/support/FailingSafeFile.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/IffBytes.h"
#include "tests/support/IffPayloads.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedFileDialog.h"
#include "tests/support/TempFolder.h"

namespace {

// A view that edits as the editor's view does, through the document's editing model, and logs
// when the document updates its views.
class CLoggingView : public CView {
public:
    explicit CLoggingView(std::vector<std::string>* log = nullptr) : m_pLog(log) {}

    CResourceEditor& Editor() const {
        return static_cast<CTallyglassDoc&>(*GetDocument()).m_editor;
    }
    bool Load(uint16_t id) { return Editor().Select(kTypeStrings, id).Ok(); }
    void Edit(uint16_t index, const std::string& text) {
        ASSERT_TRUE(Editor().SetString(index, 0, 0, FromUtf8(text).value()).Ok());
    }

    void OnUpdate(CView*, long, void*) override {
        auto& doc = static_cast<CTallyglassDoc&>(*GetDocument());
        if (m_pLog) {
            m_pLog->push_back(std::string("update, source ") +
                              (doc.m_iff.IsAttached() ? "open" : "closed"));
        }
    }
    void OnDocumentReplaced() override { ++replaced; }

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
    CLoggingView view{&log};
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
    EXPECT_TRUE(view.Editor().Strings().GetString(1, 0, 0, text));
    EXPECT_EQ(text, "two");
}

struct BadFileRow {
    const char* name;
    std::vector<uint8_t> bytes;
    int code;
    const char* message;
};

class UnreadableFile : public TallyglassDocTest, public testing::WithParamInterface<BadFileRow> {};

// The file is refused before anything is replaced: the message names it, and the document keeps
// the file it held, its working copy and its state.
TEST_P(UnreadableFile, IsRefusedAndTheOpenDocumentStaysAsItWas) {
    const auto& row = GetParam();
    WriteBytes(dir / "bad.iff", row.bytes);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    const size_t chunks = doc.m_iff.GetChunkList().size();
    const int replaced = view.replaced;
    EXPECT_FALSE(doc.OnOpenDocument(dir / "bad.iff"));
    EXPECT_EQ(doc.GetOpenError(), row.code);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, row.message);
    EXPECT_EQ(box.shown[0].caption, "Error");
    EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONSTOP);
    EXPECT_FALSE(doc.LastOpenReplacedContents());
    EXPECT_EQ(doc.m_iff.GetChunkList().size(), chunks);
    EXPECT_EQ(view.replaced, replaced);
    EXPECT_TRUE(view.Editor().IsLoaded());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.IsSaveAsRequired());
    EXPECT_EQ(ReadBytes(dir / "bad.iff"), row.bytes);
}

TEST_P(UnreadableFile, WithoutAViewTheOutcomeIsTheSameButSilent) {
    WriteBytes(dir / "bad.iff", GetParam().bytes);
    doc.RemoveView(&view);
    EXPECT_FALSE(doc.OnOpenDocument(dir / "bad.iff"));
    EXPECT_EQ(doc.GetOpenError(), GetParam().code);
    EXPECT_TRUE(box.shown.empty());
}

std::vector<uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

INSTANTIATE_TEST_SUITE_P(
    TallyglassDoc, UnreadableFile,
    testing::Values(BadFileRow{"NotIff", Text(std::string(80, 'x')), 3,
                               "bad.iff: This file is *not* an IFF file!"},
                    BadFileRow{"ShortHeader", Text("IFF FILE 2.5:TYPE"), 3,
                               "bad.iff: This file is *not* an IFF file!"},
                    BadFileRow{"Version21", MakeIffHeader("2.1"), 4,
                               "bad.iff: The file version of the IFF file is not supported!"},
                    BadFileRow{"Version30", MakeIffFile({MakeChunk("STR#", 1, {0, 0})}, "3.0"), 4,
                               "bad.iff: The file version of the IFF file is not supported!"}),
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
    EXPECT_FALSE(view.Editor().IsChanged());
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

TEST_F(TallyglassDocTest, AChunkCutShortIsWrittenBackAsTheBytesItIs) {
    std::vector<uint8_t> bytes = SampleFile();
    bytes.resize(bytes.size() - 1);  // the last chunk's payload misses a byte
    WriteBytes(path, bytes);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(doc.OnSaveDocument(dir / "other.iff"));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ReadBytes(dir / "other.iff"), bytes);
    EXPECT_TRUE(doc.GetDroppedChunks().empty());
}

TEST_F(TallyglassDocTest, AWorkingCopyThatCannotBeStoredFailsTheSaveAndSaysWhy) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    // 65,536 entries: one more than a 16-bit count holds.
    for (uint32_t i = 2; i <= 0xFFFF; ++i) {
        view.Edit(static_cast<uint16_t>(i), "e");
    }
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_EQ(box.Last()->text, CResourceEditor::kStoreTooLarge);
    EXPECT_EQ(ReadBytes(path), SampleFile());
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"sample.iff"});
    EXPECT_TRUE(doc.IsModified());
    EXPECT_TRUE(view.Editor().IsChanged());
}

// A stream error at each write in turn: the target keeps its bytes, no temporary file stays, the
// document stays modified with its path and title, and a later save still succeeds.
TEST_F(TallyglassDocTest, AFailureAtEveryWriteLeavesTheTargetByteIdentical) {
    std::vector<TestChunk> chunks;
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
    ASSERT_GE(totalWrites, 1);
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
// A failed open after a good one: the document, its title and the recent list stay as they
// were, and a following save goes to the good file, never to the one that failed.
TEST_F(TallyglassDocTest, AFailedOpenKeepsTheDocumentAndTheFailedFileIsNeverWritten) {
    ScriptedFileDialog dialogs;
    CRecentFileList recent;
    CDocManager manager(doc, box, dialogs, recent);
    ASSERT_EQ(manager.OpenDocumentFile(path), CDocManager::OpenResult::opened);
    ASSERT_TRUE(view.Load(128));
    view.Edit(0, "changed");
    const std::vector<uint8_t> bad = Text("not an iff file at all, not even close to one, no sir");
    WriteBytes(dir / "bad.iff", bad);
    box.Answer({IDNO});  // "Save changes?": the edit stays in the document all the same
    EXPECT_EQ(manager.OpenDocumentFile(dir / "bad.iff"), CDocManager::OpenResult::failed);
    EXPECT_EQ(doc.GetTitle(), "sample.iff");
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(recent.GetEntry(0), path);
    EXPECT_EQ(recent.GetEntry(1), "");
    EXPECT_TRUE(doc.IsModified());

    EXPECT_TRUE(manager.OnFileSave());
    EXPECT_TRUE(dialogs.requests.empty());
    EXPECT_EQ(ReadBytes(dir / "bad.iff"), bad);
    CTallyglassDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(path));
    ChunkHandle handle = 0;
    ASSERT_TRUE(reopened.m_iff.FindChunk(handle, kTypeStrings, 128));
    CStringSet saved;
    ASSERT_TRUE(saved.Load(reopened.m_iff, handle));
    EXPECT_EQ(std::string(saved.GetSlot(0, 0).text), "changed");
}

// ---------------------------------------------------------------------------------------------
// The file changed by another program between open and save

// Another program's version of the file: the same chunk keys with other bytes, of a length chosen
// by the row.
std::vector<uint8_t> OtherFile(size_t padding) {
    return MakeIffFile({
        MakeChunk("STR#", 128, MakePlainPayload({"theirs", "theirs"}), "first"),
        MakeChunk("BHAV", 4096, std::vector<uint8_t>(padding, 0xEE), "code", 0x20),
        MakeChunk("STR#", 129, MakePlainPayload({"theirs"}), "second"),
    });
}

// Rewrites the file's bytes in place: the same inode, as a shell redirection or a patcher does.
void RewriteInPlace(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

struct DiskChange {
    const char* name;
    void (*apply)(const std::string& path, const std::string& folder);
    bool fileRemains;
    bool sameInode;
};

void PrintTo(const DiskChange& change, std::ostream* out) {
    *out << change.name;
}

const DiskChange kDiskChanges[] = {
    {"RewrittenLonger",
     [](const std::string& p, const std::string&) { RewriteInPlace(p, OtherFile(4000)); }, true,
     true},
    {"RewrittenShorter",
     [](const std::string& p, const std::string&) { RewriteInPlace(p, OtherFile(0)); }, true, true},
    {"TruncatedToZero", [](const std::string& p, const std::string&) { RewriteInPlace(p, {}); },
     true, true},
    {"ReplacedByRename",
     [](const std::string& p, const std::string& folder) {
         const std::string other = folder + "/replacement.iff";
         WriteBytes(other, OtherFile(100));
         ASSERT_EQ(std::rename(other.c_str(), p.c_str()), 0);
     },
     true, false},
    {"Deleted",
     [](const std::string& p, const std::string&) { ASSERT_EQ(std::remove(p.c_str()), 0); }, false,
     false},
};

class ChangedOnDisk : public TallyglassDocTest, public testing::WithParamInterface<DiskChange> {
protected:
    // What the save must write: the file as it was at open with the edit, saved by a document
    // that never saw the change.
    std::vector<uint8_t> Expected() {
        const std::string reference = dir / "reference.iff";
        WriteBytes(reference, SampleFile());
        CTallyglassDoc other;
        CLoggingView otherView;
        other.AddView(&otherView);
        EXPECT_TRUE(other.OnOpenDocument(reference));
        EXPECT_TRUE(otherView.Load(128));
        otherView.Edit(1, "mine");
        EXPECT_TRUE(other.OnSaveDocument(reference));
        std::vector<uint8_t> bytes = ReadBytes(reference);
        other.RemoveView(&otherView);
        std::remove(reference.c_str());
        return bytes;
    }
};

TEST_P(ChangedOnDisk, TheSaveWritesTheSnapshotAndTheEditNeverTheChangedFile) {
    const std::vector<uint8_t> expected = Expected();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    doc.SetPathName(path);
    ASSERT_TRUE(view.Load(128));
    view.Edit(1, "mine");
    const auto before = IdentityOfPath(path);
    GetParam().apply(path, dir.Path().string());
    EXPECT_TRUE(doc.HasChangedOnDisk());
    if (GetParam().fileRemains) {
        EXPECT_EQ(IdentityOfPath(path)->inode == before->inode, GetParam().sameInode);
    }
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_TRUE(box.shown.empty()) << box.shown[0].text;
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_FALSE(doc.HasChangedOnDisk());  // the document's own save is no change
}

INSTANTIATE_TEST_SUITE_P(TallyglassDoc, ChangedOnDisk, testing::ValuesIn(kDiskChanges),
                         [](const auto& info) { return std::string(info.param.name); });

class ChangedOnDiskCommands : public TallyglassDocTest {
protected:
    ChangedOnDiskCommands() : manager(doc, box, dialogs, recent) {}

    void OpenEditAndChange() {
        ASSERT_EQ(manager.OpenDocumentFile(path), CDocManager::OpenResult::opened);
        ASSERT_TRUE(view.Load(128));
        view.Edit(1, "mine");
        RewriteInPlace(path, OtherFile(10));
    }

    ScriptedFileDialog dialogs;
    CRecentFileList recent;
    CDocManager manager;
    const std::string kQuestion =
        "sample.iff has been changed on disk since it was opened. Overwrite it with your version? "
        "(No saves your version under another name.)";
};

TEST_F(ChangedOnDiskCommands, SaveAsksAndEachAnswerDoesWhatItSays) {
    struct Row {
        int answer;
        bool saved;
        bool savedAs;
    };
    for (const Row row :
         {Row{IDYES, true, false}, Row{IDNO, true, true}, Row{IDCANCEL, false, false}}) {
        SCOPED_TRACE(row.answer);
        WriteBytes(path, SampleFile());
        doc.OnNewDocument();
        box.Clear();
        OpenEditAndChange();
        const std::string other = dir / "elsewhere.iff";
        dialogs.requests.clear();
        dialogs.Answer(other);
        box.Answer({row.answer});
        EXPECT_EQ(manager.OnFileSave(), row.saved);
        ASSERT_EQ(box.shown.size(), 1u);
        EXPECT_EQ(box.shown[0].text, kQuestion);
        EXPECT_EQ(box.shown[0].type, MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON3);
        EXPECT_EQ(dialogs.requests.size(), row.savedAs ? 1u : 0u);
        dialogs.answers.clear();
        const std::string written = row.savedAs ? other : path;
        if (row.saved) {
            const Payloads saved = ReadPayloads(written);
            EXPECT_EQ(saved.at({kTypeStrings, 128}), MakePlainPayload({"one", "mine"}));
            EXPECT_EQ(saved.at({MakeChunkType('B', 'H', 'A', 'V'), 4096}), kOtherPayload);
            EXPECT_EQ(doc.GetPathName(), written);
            EXPECT_FALSE(doc.IsModified());
        } else {
            EXPECT_TRUE(doc.IsModified());
        }
        if (row.answer != IDYES) {
            EXPECT_EQ(ReadBytes(path), OtherFile(10));  // the other program's version stays
        }
        std::remove(other.c_str());
    }
}

TEST_F(ChangedOnDiskCommands, AnUnchangedFileSavesWithoutAQuestion) {
    ASSERT_EQ(manager.OpenDocumentFile(path), CDocManager::OpenResult::opened);
    ASSERT_TRUE(view.Load(128));
    view.Edit(1, "mine");
    EXPECT_TRUE(manager.OnFileSave());
    view.Edit(1, "again");
    EXPECT_TRUE(manager.OnFileSave());  // its own save is not a change on disk
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(ChangedOnDiskCommands, FocusOffersAReloadOnlyForAnUnmodifiedDocument) {
    const std::string kOffer =
        "sample.iff has been changed on disk by another program. Reload it? (The document has "
        "no unsaved changes.)";
    ASSERT_EQ(manager.OpenDocumentFile(path), CDocManager::OpenResult::opened);
    EXPECT_FALSE(manager.OnFrameActivated());  // nothing changed
    RewriteInPlace(path, OtherFile(10));

    box.Answer({IDNO});
    EXPECT_FALSE(manager.OnFrameActivated());
    EXPECT_EQ(box.Texts(), std::vector<std::string>{kOffer});
    EXPECT_EQ(box.shown[0].type, MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_FALSE(manager.OnFrameActivated());  // declined for this state of the file
    EXPECT_EQ(box.shown.size(), 1u);

    RewriteInPlace(path, OtherFile(20));
    box.Answer({IDYES});
    EXPECT_TRUE(manager.OnFrameActivated());
    ASSERT_EQ(box.shown.size(), 2u);
    ASSERT_TRUE(view.Load(128));
    std::string text;
    EXPECT_TRUE(view.Editor().Strings().GetString(0, 0, 0, text));
    EXPECT_EQ(text, "theirs");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(doc.HasChangedOnDisk());

    // With unsaved changes the question waits for the save; a deleted file offers nothing.
    view.Edit(0, "mine");
    RewriteInPlace(path, OtherFile(30));
    EXPECT_FALSE(manager.OnFrameActivated());
    doc.SetModifiedFlag(false);
    std::remove(path.c_str());
    EXPECT_FALSE(manager.OnFrameActivated());
    EXPECT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.unexpectedQuestions, 0);
}

// ---------------------------------------------------------------------------------------------
// Damaged files: saved without their unreadable chunks only when asked

struct DamagedFile {
    const char* name;
    std::vector<uint8_t> (*build)();
    const char* dropped;  // how the chunk left out is named
    size_t droppedBytes;  // what the file loses with it
};

void PrintTo(const DamagedFile& file, std::ostream* out) {
    *out << file.name;
}

// Bytes after the last chunk that read as a header claiming 821 MB, as in a real game file.
std::vector<uint8_t> JunkAfterTheLastChunk() {
    std::vector<uint8_t> bytes = SampleFile();
    const std::vector<uint8_t> junk = {0x00, 0x01, 0x8F, 0x3A};
    bytes.insert(bytes.end(), junk.begin(), junk.end());
    PutU32BE(bytes, 821000000);
    bytes.resize(bytes.size() + 100, 0x20);
    return bytes;
}

// A map entry that points far outside the file.
std::vector<uint8_t> MapEntryOutside() {
    IffBuilder b;
    b.Chunk(kTypeStrings, 128, MakePlainPayload({"one", "two"}), "first");
    b.Chunk(MakeChunkType('B', 'H', 'A', 'V'), 4096, kOtherPayload, "code", 0x20);
    b.Chunk(kTypeStrings, 129, MakePlainPayload({"x"}), "second");
    b.ExtraMapEntry({kTypeStrings, 0x7FFFFFF0, 9, 0, "lost"});
    return b.MapAtEnd().Build();
}

class DamagedSave : public TallyglassDocTest, public testing::WithParamInterface<DamagedFile> {};

TEST_P(DamagedSave, KeptUnlessDroppingIsAsked) {
    const std::vector<uint8_t> damaged = GetParam().build();
    WriteBytes(path, damaged);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    view.Edit(1, "mine");
    const std::string kept = dir / "kept.iff";
    const std::string dropped = dir / "dropped.iff";

    ASSERT_TRUE(doc.OnSaveDocument(kept));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_TRUE(doc.GetDroppedChunks().empty());

    doc.SetDropUnreadableWithoutAsking(true);
    ASSERT_TRUE(doc.OnSaveDocument(dropped));
    EXPECT_TRUE(box.shown.empty());
    ASSERT_EQ(doc.GetDroppedChunks().size(), 1u);
    EXPECT_EQ(CTallyglassDoc::DescribeChunk(doc.GetDroppedChunks()[0]), GetParam().dropped);
    for (const std::string& target : {kept, dropped}) {
        const Payloads saved = ReadPayloads(target);
        EXPECT_EQ(saved.at({kTypeStrings, 128}), MakePlainPayload({"one", "mine"}));
        EXPECT_EQ(saved.at({kTypeStrings, 129}), MakePlainPayload({"x"}));
        EXPECT_EQ(saved.at({MakeChunkType('B', 'H', 'A', 'V'), 4096}), kOtherPayload);
    }
    EXPECT_EQ(ReadBytes(kept).size(), damaged.size() + MakePlainPayload({"one", "mine"}).size() -
                                          MakePlainPayload({"one", "two"}).size());
    EXPECT_EQ(ReadBytes(dropped).size(), ReadBytes(kept).size() - GetParam().droppedBytes);
    EXPECT_EQ(ReadBytes(path), damaged);
}

INSTANTIATE_TEST_SUITE_P(
    TallyglassDoc, DamagedSave,
    testing::Values(
        // The junk's 108 bytes go; so do the map entry's 14 (offset, id, flags, "lost", NUL, pad).
        DamagedFile{"JunkAfterTheLastChunk", JunkAfterTheLastChunk,
                    "junk after the last chunk at offset 315 (claims 821 MB)", 108},
        DamagedFile{"MapEntryOutside", MapEntryOutside,
                    "STR# 9 listed in the map at offset 2147483632, outside the file", 14}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DescribeChunk, SizesInDecimalUnits) {
    std::vector<UnreadableChunk> chunks(7);
    for (size_t i = 0; i < chunks.size(); ++i) {
        chunks[i].type = kTypeStrings;
        chunks[i].id = static_cast<uint16_t>(i);
        chunks[i].headerOffset = 100;
        chunks[i].headerRead = true;
    }
    const uint32_t sizes[] = {76, 999, 1000, 9949, 123456, 999999, 4294967295u};
    const char* const shown[] = {"76 bytes", "999 bytes", "1.0 kB", "9.9 kB",
                                 "123 kB",   "1.0 MB",    "4.3 GB"};
    for (size_t i = 0; i < chunks.size(); ++i) {
        chunks[i].claimedSize = sizes[i];
        EXPECT_EQ(CTallyglassDoc::DescribeChunk(chunks[i]),
                  "STR# " + std::to_string(i) +
                      " at offset 100, cut short by the end of the file (claims " + shown[i] + ")");
    }
}

// ---------------------------------------------------------------------------------------------
// What a save keeps of the file it replaces

TEST_F(TallyglassDocTest, SaveKeepsOwnerAndGroupAndWarnsOnceOfOtherHardLinks) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a file another owner needs root";
    }
    ASSERT_EQ(::chown(path.c_str(), 4321, 8765), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const std::string link = dir / "link.iff";
    ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    view.Edit(1, "mine");
    ASSERT_TRUE(doc.OnSaveDocument(path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_nlink, 1u);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, path +
                                     " had other hard links. They still show the previous "
                                     "version; the saved version is a new file under this "
                                     "name only.");
    EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(ReadBytes(link), SampleFile());

    view.Edit(1, "again");
    box.Clear();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_TRUE(box.shown.empty());  // the new file has no other links
}

TEST_F(TallyglassDocTest, AnAttributeThatCannotBeKeptIsNamedAndTheSaveStillHappens) {
    if (::setxattr(path.c_str(), "user.origin", "fan site", 8, 0) != 0) {
        GTEST_SKIP() << "this file system keeps no user attributes";
    }
    ASSERT_EQ(::setxattr(path.c_str(), "user.checked", "yes", 3, 0), 0);
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_TRUE(view.Load(128));
    view.Edit(1, "mine");
    FailingSafeFile::Plan plan;
    plan.refuseAttribute = "user.origin";
    doc.SetTargetFactory(FailingSafeFile::Factory(plan));
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, path +
                                     " was saved without these extended attributes, which "
                                     "could not be copied: user.origin.");
    EXPECT_EQ(box.shown[0].type, MB_OK | MB_ICONEXCLAMATION);
    char value[8] = {};
    EXPECT_EQ(::getxattr(path.c_str(), "user.checked", value, sizeof value), 3);
    EXPECT_EQ(::getxattr(path.c_str(), "user.origin", value, sizeof value), -1);
}

TEST_F(TallyglassDocTest, TheModifiedMarkFollowsTheHistoryAcrossSaves) {
    ASSERT_TRUE(doc.OnOpenDocument(path));
    const Payloads original = ReadPayloads(path);
    ASSERT_TRUE(view.Load(128));
    view.Edit(1, "TWO");
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(doc.m_undo.CanUndo());  // saving keeps the history

    ASSERT_TRUE(doc.m_editor.Undo().Ok());
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.m_editor.Redo().Ok());
    EXPECT_FALSE(doc.IsModified());  // back at the saved state
    ASSERT_TRUE(doc.m_editor.Undo().Ok());
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadPayloads(path), original);

    // A new document forgets the history.
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_FALSE(doc.m_undo.CanUndo());
    EXPECT_FALSE(doc.m_undo.CanRedo());
    EXPECT_FALSE(doc.IsModified());
}

}  // namespace
