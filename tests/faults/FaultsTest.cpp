// Fault injection over the document's save: for a document with an edit, every write to the
// target, the truncation, the flush and the rename fail in turn (and a read of the source, which
// must never come: the save works from what was read at open), with every cause a file error can
// have. After each failed save the original file is byte for byte what it was, no temporary file is
// left beside it, the user has been told why in the words of that cause, and the document still
// holds its edit and is still modified, so a save without the fault then writes the edit.

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "document/TallyglassDoc.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/View.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/MemFile.h"
#include "framework/stream/SafeFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/StringSet.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TempFolder.h"
#include "tools/SampleFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

enum class FaultKind { targetWrite, sourceRead, targetSetLength, targetFlush, targetRename };

const char* KindName(FaultKind kind) {
    switch (kind) {
        case FaultKind::targetWrite:
            return "Write";
        case FaultKind::sourceRead:
            return "Read";
        case FaultKind::targetSetLength:
            return "SetLength";
        case FaultKind::targetFlush:
            return "Flush";
        case FaultKind::targetRename:
            return "Rename";
    }
    return "?";
}

// One planned fault, shared by the source and target streams of a document. Calls are counted
// from 1 while armed, so reads made while the file was opened do not count.
struct FaultPlan {
    FaultKind kind = FaultKind::targetWrite;
    int k = 0;  // which call of that kind fails
    int cause = CFileException::none;
    bool armed = false;
    int calls = 0;
    bool fired = false;

    void Arm(FaultKind faultKind, int call, int faultCause) {
        kind = faultKind;
        k = call;
        cause = faultCause;
        armed = true;
        calls = 0;
        fired = false;
    }
    // Counts a call of this kind; throws the planned error when it is the k-th.
    void Hit(FaultKind callKind, const std::string& path) {
        if (!armed || callKind != kind || ++calls != k) {
            return;
        }
        fired = true;
        throw CFileException(cause, path);
    }
};

// The source file as the document opens it, and every duplicate taken of it.
class FaultySource : public CFile {
public:
    FaultySource(int fd, std::string path, std::shared_ptr<FaultPlan> plan)
        : CFile(fd, std::move(path)), m_plan(std::move(plan)) {}

    [[nodiscard]] std::unique_ptr<CFile> Duplicate() const override {
        const int fd = ::fcntl(GetDescriptor(), F_DUPFD_CLOEXEC, 0);
        if (fd < 0) {
            CFileException::ThrowOsError(errno, GetFilePath());
        }
        return std::make_unique<FaultySource>(fd, GetFilePath(), m_plan);
    }
    [[nodiscard]] size_t Read(void* buffer, size_t count) override {
        m_plan->Hit(FaultKind::sourceRead, GetFilePath());
        return CFile::Read(buffer, count);
    }

private:
    std::shared_ptr<FaultPlan> m_plan;
};

// The safe target the document saves into.
class FaultyTarget : public CSafeFile {
public:
    FaultyTarget(const std::string& path, std::shared_ptr<FaultPlan> plan)
        : CSafeFile(path), m_plan(std::move(plan)) {}

    void Write(const void* buffer, size_t count) override {
        m_plan->Hit(FaultKind::targetWrite, GetFilePath());
        CSafeFile::Write(buffer, count);
    }
    void WriteGather(const ConstBuffer* parts, size_t count) override {
        m_plan->Hit(FaultKind::targetWrite, GetFilePath());
        CSafeFile::WriteGather(parts, count);
    }
    void SetLength(uint64_t length) override {
        m_plan->Hit(FaultKind::targetSetLength, GetFilePath());
        CSafeFile::SetLength(length);
    }
    void Flush() override {
        m_plan->Hit(FaultKind::targetFlush, GetFilePath());
        CSafeFile::Flush();
    }

protected:
    void RenameOver(const std::string& from, const std::string& to) override {
        m_plan->Hit(FaultKind::targetRename, GetFilePath());
        CSafeFile::RenameOver(from, to);
    }

private:
    std::shared_ptr<FaultPlan> m_plan;
};

class FaultyDoc : public CTallyglassDoc {
public:
    explicit FaultyDoc(std::shared_ptr<FaultPlan> plan) : m_plan(std::move(plan)) {
        SetTargetFactory([plan = m_plan](const std::string& path) -> std::unique_ptr<CSafeFile> {
            return std::make_unique<FaultyTarget>(path, plan);
        });
    }

protected:
    std::unique_ptr<CFile> OpenSourceFile(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            CFileException::ThrowOsError(errno, path);
        }
        return std::make_unique<FaultySource>(fd, path, m_plan);
    }

private:
    std::shared_ptr<FaultPlan> m_plan;
};

// A view with a working copy, which it stores into its chunk when the document saves, as the
// editor's view does.
class EditingView : public CView {
public:
    void OnUpdate(CView*, long, void*) override {
        auto* doc = static_cast<CTallyglassDoc*>(GetDocument());
        if (m_bChanged && doc != nullptr) {
            ASSERT_TRUE(m_set.Store(doc->m_iff));
            doc->SetModifiedFlag(true);
        }
    }

    CStringSet m_set;
    bool m_bChanged = false;
};

constexpr uint16_t kEditedId = 128;
const char* const kEditedText = "Changed before a save that fails";

// The text of entry 0, slot 0 of the edited resource in an IFF file object.
std::string EditedTextIn(CIffFile& iff) {
    ChunkHandle handle = 0;
    if (!iff.FindChunk(handle, kTypeStrings, kEditedId)) {
        return "(no chunk)";
    }
    CStringSet set;
    std::string text = "(not decoded)";
    if (set.Load(iff, handle)) {
        static_cast<void>(set.GetString(0, 0, 0, text));
    }
    return text;
}

std::string EditedTextOnDisk(const std::string& path) {
    CFile file(path, CFile::modeRead);
    CIffFile iff;
    static_cast<void>(iff.Attach(file));
    int error = 0;
    if (!iff.Open(&error, false)) {
        return "(not opened)";
    }
    return EditedTextIn(iff);
}

// The file's bytes, read in one go (the documents here run to megabytes).
Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    Bytes bytes(in ? static_cast<size_t>(in.tellg()) : 0);
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

Bytes SampleDocument() {
    for (const SampleFile& file : BuildSampleFiles()) {
        if (file.path == "sample.iff") {
            return file.bytes;
        }
    }
    ADD_FAILURE() << "no sample.iff";
    return {};
}

// Larger than the save's write window and the open's read-ahead, so the save reads the source
// and writes the target many times: two payloads big enough to bypass both buffers between small
// chunks, the resource to edit among them.
Bytes LargeDocument() {
    const uint8_t names[] = {0xFF, 0xFF, 0x02, 0x00, 'o', 'n', 'e', 0, 't', 'w', 'o', 0};
    IffBuilder b;
    b.Chunk(kTypeStrings, 1, Bytes(names, names + sizeof(names)), "first");
    b.Chunk(MakeChunkType('B', 'H', 'A', 'V'), 4096, Bytes(2200000, 0x5A), "big one");
    b.Chunk(kTypeStrings, kEditedId, Bytes(names, names + sizeof(names)), "to edit");
    b.Chunk(MakeChunkType('O', 'B', 'J', 'D'), 5, Bytes(40000, 0x11), "middle");
    b.Chunk(MakeChunkType('B', 'H', 'A', 'V'), 4097, Bytes(2300000, 0xA5), "big two");
    b.Chunk(kTypeStrings, 300, Bytes(names, names + sizeof(names)), "last");
    return b.MapAtEnd().Build();
}

struct FaultCase {
    const char* document;
    Bytes (*build)();
    FaultKind kind;
};

void PrintTo(const FaultCase& param, std::ostream* out) {
    *out << param.document << ", " << KindName(param.kind);
}

class SaveFaultTest : public ::testing::TestWithParam<FaultCase> {
public:
    static int s_nCasesRun;
};
int SaveFaultTest::s_nCasesRun = 0;

// One save of the edited document with the k-th call of the kind failing with cause. Returns
// whether the fault fired (false: the save ran past the last such call, and succeeded).
bool RunOneCase(const Bytes& original, FaultKind kind, int k, int cause) {
    TempFolder folder;
    const std::string path = folder / "doc.iff";
    WriteBytes(path, original);

    auto plan = std::make_shared<FaultPlan>();
    FaultyDoc doc(plan);
    RecordingMessageBox box;
    doc.SetMessageBoxService(&box);
    EditingView view;
    doc.AddView(&view);
    EXPECT_TRUE(doc.OnOpenDocument(path));
    doc.SetPathName(path);
    EXPECT_TRUE(box.shown.empty());

    ChunkHandle handle = 0;
    EXPECT_TRUE(doc.m_iff.FindChunk(handle, kTypeStrings, kEditedId));
    EXPECT_TRUE(view.m_set.Load(doc.m_iff, handle));
    EXPECT_TRUE(view.m_set.SetString(0, 0, 0, kEditedText));
    view.m_bChanged = true;
    doc.SetModifiedFlag(true);

    plan->Arm(kind, k, cause);
    const bool saved = doc.OnSaveDocument(path);
    plan->armed = false;

    if (!plan->fired) {
        EXPECT_TRUE(saved);
        EXPECT_TRUE(box.shown.empty());
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(EditedTextOnDisk(path), kEditedText);
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"doc.iff"});
        return false;
    }

    EXPECT_FALSE(saved);
    EXPECT_EQ(FileBytes(path), original) << "the original file changed";
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"doc.iff"}) << "a temporary file was left";
    if (box.shown.size() == 1) {
        const RecordingMessageBox::Shown& shown = box.shown.front();
        if (kind == FaultKind::sourceRead) {
            // A payload that cannot be read stops the save before anything is written.
            EXPECT_EQ(shown.text, CTallyglassDoc::kMsgCantAccess);
            EXPECT_EQ(shown.type, MB_OK);
        } else {
            EXPECT_EQ(shown.text, CFileException::MessageFor(cause, path));
            EXPECT_EQ(shown.type, MB_OK | MB_ICONEXCLAMATION);
        }
        EXPECT_EQ(shown.caption, doc.GetAppTitle());
    } else {
        ADD_FAILURE() << box.shown.size() << " message boxes instead of one";
    }
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(EditedTextIn(doc.m_iff), kEditedText);

    // Nothing was lost: the same document saves without the fault, edit included.
    box.Clear();
    EXPECT_TRUE(doc.OnSaveDocument(path));
    EXPECT_TRUE(box.shown.empty());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(EditedTextOnDisk(path), kEditedText);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"doc.iff"});
    return true;
}

TEST_P(SaveFaultTest, FailedSaveLosesNothing) {
    const Bytes original = GetParam().build();
    ASSERT_FALSE(original.empty());
    int fired = 0;
    for (int cause = CFileException::none; cause <= CFileException::endOfFile; ++cause) {
        for (int k = 1;; ++k) {
            SCOPED_TRACE(std::string(KindName(GetParam().kind)) + " #" + std::to_string(k) +
                         " fails with cause " + std::to_string(cause));
            ++s_nCasesRun;
            if (!RunOneCase(original, GetParam().kind, k, cause)) {
                break;
            }
            ++fired;
            ASSERT_FALSE(HasFailure());
            ASSERT_LT(k, 1000) << "the save never ends";
        }
    }
    std::printf("[ faults   ] %s, %s: %d failed saves, nothing lost (%d cases run so far)\n",
                GetParam().document, KindName(GetParam().kind), fired, s_nCasesRun);
    RecordProperty("failed_saves", fired);
    // Every save truncates, writes, flushes and renames, so those faults fire for every cause;
    // the source was read whole at open, so no read of it can fail a save.
    if (GetParam().kind == FaultKind::sourceRead) {
        EXPECT_EQ(fired, 0) << "the save read the source file";
    } else {
        EXPECT_GE(fired, CFileException::endOfFile + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Saves, SaveFaultTest,
    ::testing::Values(FaultCase{"sample", SampleDocument, FaultKind::targetWrite},
                      FaultCase{"sample", SampleDocument, FaultKind::sourceRead},
                      FaultCase{"sample", SampleDocument, FaultKind::targetSetLength},
                      FaultCase{"sample", SampleDocument, FaultKind::targetFlush},
                      FaultCase{"sample", SampleDocument, FaultKind::targetRename},
                      FaultCase{"large", LargeDocument, FaultKind::targetWrite},
                      FaultCase{"large", LargeDocument, FaultKind::sourceRead},
                      FaultCase{"large", LargeDocument, FaultKind::targetSetLength},
                      FaultCase{"large", LargeDocument, FaultKind::targetFlush},
                      FaultCase{"large", LargeDocument, FaultKind::targetRename}),
    [](const auto& info) { return std::string(info.param.document) + KindName(info.param.kind); });

}  // namespace
