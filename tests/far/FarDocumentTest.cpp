#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "document/TallyglassDoc.h"
#include "far/FarArchive.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/View.h"
#include "iff/ChunkTypes.h"
#include "strings/TextCodec.h"
#include "tests/far/FarTestSupport.h"
#include "tests/support/FailingSafeFile.h"
#include "tests/support/RecordingMessageBox.h"

namespace {

using Bytes = std::vector<uint8_t>;

class CQuietView : public CView {
public:
    void OnUpdate(CView*, long, void*) override {}
};

class FarDocumentTest : public testing::Test {
protected:
    FarDocumentTest() {
        doc.SetMessageBoxService(&box);
        doc.AddView(&view);
        path = dir / "Objects.far";
        original = SampleArchive(true).Build();
        WriteBytes(path, original);
    }
    ~FarDocumentTest() override { doc.RemoveView(&view); }

    // Opens the archive's chair and sets its first name.
    void OpenAndEdit(const std::string& text) {
        ASSERT_TRUE(doc.OnOpenArchiveEntry(path, "objects/chair.iff"));
        ASSERT_EQ(doc.GetOpenError(), 0) << (box.Last() ? box.Last()->text : "");
        doc.SetPathName(path);
        ASSERT_TRUE(doc.m_editor.Select(kTypeStrings, 128).Ok());
        ASSERT_TRUE(doc.m_editor.SetString(0, 0, 0, FromUtf8(text).value()).Ok());
    }

    // The first name of the chair in the archive at archivePath, read through a fresh document.
    static std::string ChairName(const std::string& archivePath) {
        CTallyglassDoc other;
        if (!other.OnOpenArchiveEntry(archivePath, "objects\\Chair.iff") ||
            other.GetOpenError() != 0 || !other.m_editor.Select(kTypeStrings, 128).Ok()) {
            return "(cannot be read)";
        }
        std::string text;
        static_cast<void>(other.m_editor.Strings().GetString(0, 0, 0, text));
        return text;
    }

    // Every entry but the chair is the one the archive was built with, in the same order.
    static void ExpectOthersIntact(const std::string& archivePath) {
        CFarArchive archive;
        ASSERT_EQ(archive.Load(ReadBytes(archivePath)), CFarArchive::Status::ok);
        EXPECT_EQ(archive.GetVariant(), CFarArchive::Variant::v1b);
        const FarBuilder built = SampleArchive(true);
        ASSERT_EQ(archive.GetEntries().size(), built.entries.size());
        for (size_t i = 0; i < built.entries.size(); ++i) {
            EXPECT_EQ(archive.GetEntries()[i].name, built.entries[i].name);
            if (i != 0) {
                const auto bytes = archive.EntryBytes(i);
                EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), built.entries[i].bytes) << i;
            }
        }
    }

    TempFolder dir;
    RecordingMessageBox box;
    CTallyglassDoc doc;
    CQuietView view;
    std::string path;
    Bytes original;
};

TEST_F(FarDocumentTest, AnEditedEntrySavesIntoTheArchiveAndEveryOtherEntryStays) {
    OpenAndEdit("Sessel");
    EXPECT_TRUE(doc.IsArchiveEntry());
    EXPECT_EQ(doc.GetTitle(), "Chair.iff (Objects.far)");
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_TRUE(box.shown.empty());
    EXPECT_EQ(ChairName(path), "Sessel");
    ExpectOthersIntact(path);
    EXPECT_EQ(dir.Names(), std::vector<std::string>{"Objects.far"});

    // A second edit saves from what the first save wrote.
    ASSERT_TRUE(doc.m_editor.SetString(0, 0, 0, u"Stuhl").Ok());
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ChairName(path), "Stuhl");
    ExpectOthersIntact(path);
}

TEST_F(FarDocumentTest, AnUnchangedSaveOfAnEntryThatSavesAsItIsKeepsTheArchive) {
    // The first save brings the entry into the form a save writes; from then on a save changes
    // nothing, even with gaps and the manifest first.
    ASSERT_TRUE(doc.OnOpenArchiveEntry(path, "text/Types.iff"));
    doc.SetPathName(path);
    ASSERT_TRUE(doc.OnSaveDocument(path));
    CFarArchive saved;
    ASSERT_EQ(saved.Load(ReadBytes(path)), CFarArchive::Status::ok);
    FarBuilder odd = SampleArchive(true);
    const auto entry = saved.EntryBytes(3);
    odd.entries[3].bytes.assign(entry.begin(), entry.end());
    odd.manifestFirst = true;
    odd.entries[2].gapBefore = 2;
    const Bytes oddBytes = odd.Build();
    WriteBytes(path, oddBytes);
    ASSERT_TRUE(doc.OnOpenArchiveEntry(path, "text/Types.iff"));
    doc.SetPathName(path);
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ReadBytes(path), oddBytes);
}

TEST_F(FarDocumentTest, ASaveFailingAtAnyWriteLeavesTheArchiveByteIdentical) {
    OpenAndEdit("Sessel");
    int writes = 0;
    doc.SetTargetFactory(FailingSafeFile::Factory({.writeCount = &writes}));
    ASSERT_TRUE(doc.OnSaveDocument(dir / "probe.far"));
    const int totalWrites = writes;
    ASSERT_GE(totalWrites, 3);  // header, entries, manifest
    ASSERT_TRUE(doc.m_editor.SetString(0, 0, 0, u"Stuhl").Ok());
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
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Objects.far", "probe.far"}));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(box.shown.size(), 1u);
    }
    doc.SetTargetFactory(nullptr);
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_EQ(ChairName(path), "Stuhl");
    ExpectOthersIntact(path);
}

TEST_F(FarDocumentTest, SaveAsWritesACopyOfTheArchiveOrTheEntryAlone) {
    OpenAndEdit("Sessel");
    const std::string copy = dir / "Copy.far";
    ASSERT_TRUE(doc.OnSaveDocument(copy));
    doc.SetPathName(copy);
    EXPECT_EQ(doc.GetTitle(), "Chair.iff (Copy.far)");
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(ChairName(copy), "Sessel");
    ExpectOthersIntact(copy);

    ASSERT_TRUE(doc.m_editor.SetString(0, 0, 0, u"Stuhl").Ok());
    const std::string loose = dir / "Chair.iff";
    ASSERT_TRUE(doc.SaveEntryAsLooseFile(loose));
    EXPECT_FALSE(doc.IsArchiveEntry());
    EXPECT_EQ(doc.GetTitle(), "Chair.iff");
    EXPECT_EQ(ChairName(copy), "Sessel");
    CTallyglassDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(loose));
    ASSERT_TRUE(reopened.m_editor.Select(kTypeStrings, 128).Ok());
    std::string text;
    ASSERT_TRUE(reopened.m_editor.Strings().GetString(0, 0, 0, text));
    EXPECT_EQ(text, "Stuhl");
}

TEST_F(FarDocumentTest, ADamagedArchiveOpensItsReadableEntriesButIsNotWrittenBack) {
    FarBuilder damaged = SampleArchive(true);
    damaged.entries[2].sizeAgain = 99;
    original = damaged.Build();
    WriteBytes(path, original);
    OpenAndEdit("Sessel");
    EXPECT_FALSE(doc.OnSaveDocument(path));
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_NE(box.shown[0].text.find("odd.bin"), std::string::npos) << box.shown[0].text;
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_TRUE(doc.IsModified());
    // The edit is not lost: the entry can still go out as a loose file.
    EXPECT_TRUE(doc.SaveEntryAsLooseFile(dir / "Chair.iff"));
}

struct OpenFailure {
    const char* name;
    Bytes bytes;
    const char* entry;
    const char* message;
};

class FarDocumentOpen : public FarDocumentTest, public testing::WithParamInterface<OpenFailure> {};

TEST_P(FarDocumentOpen, SaysWhyAndLeavesTheOpenDocumentAsItWas) {
    const OpenFailure& row = GetParam();
    const std::string good = dir / "good.iff";
    WriteBytes(good, SampleIff());
    ASSERT_TRUE(doc.OnOpenDocument(good));
    const size_t chunks = doc.m_iff.GetChunkList().size();
    WriteBytes(path, row.bytes);
    EXPECT_FALSE(doc.OnOpenArchiveEntry(path, row.entry));
    EXPECT_NE(doc.GetOpenError(), 0);
    EXPECT_FALSE(doc.LastOpenReplacedContents());
    EXPECT_FALSE(doc.IsArchiveEntry());
    EXPECT_FALSE(doc.IsSaveAsRequired());
    EXPECT_EQ(doc.m_iff.GetChunkList().size(), chunks);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_NE(box.shown[0].text.find(row.message), std::string::npos) << box.shown[0].text;
}

Bytes Version3() {
    FarBuilder far = SampleArchive(false);
    far.version = 3;
    return far.Build();
}

Bytes EntryOutside() {
    FarBuilder far = SampleArchive(false);
    far.entries[0].offset = 0x7FFFFFFF;
    return far.Build();
}

INSTANTIATE_TEST_SUITE_P(
    FarDocument, FarDocumentOpen,
    testing::Values(OpenFailure{"Empty", {}, "x", "Objects.far is not a FAR archive."},
                    OpenFailure{"Version3", Version3(), "text/Types.iff", "version 3"},
                    OpenFailure{"NoSuchEntry", SampleArchive(false).Build(), "table.iff",
                                "no entry named \"table.iff\""},
                    OpenFailure{"EntryOutside", EntryOutside(), "objects\\Chair.iff",
                                "lie outside the archive"},
                    OpenFailure{"NotIff", SampleArchive(false).Build(), "odd.bin",
                                "odd.bin: This file is *not* an IFF file!"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

TEST_F(FarDocumentTest, AnArchiveOpenedByItsPathOpensTheEntryTheChooserPicks) {
    std::vector<size_t> offered;
    std::string offeredName;
    std::optional<size_t> answer = 3;
    doc.SetEntryChooser(
        [&](const CFarArchive&, const std::string& name, const std::vector<size_t>& iffEntries) {
            offeredName = name;
            offered = iffEntries;
            return answer;
        });
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_EQ(offeredName, "Objects.far");
    EXPECT_EQ(offered, (std::vector<size_t>{0, 3}));  // the IFF files only
    ASSERT_TRUE(doc.IsArchiveEntry());
    EXPECT_EQ(doc.GetArchiveEntryName(), "text/Types.iff");
    doc.SetPathName(path);
    EXPECT_EQ(doc.GetTitle(), "Types.iff (Objects.far)");
    EXPECT_EQ(doc.GetRecentFileName(), path + ":text/Types.iff");

    // The recent-file name opens the same entry again, and the path stays the archive's.
    const std::string recent = doc.GetRecentFileName();
    ASSERT_TRUE(doc.OnOpenDocument(recent));
    doc.SetPathName(recent);
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetTitle(), "Types.iff (Objects.far)");
    EXPECT_EQ(doc.GetArchiveEntryName(), "text/Types.iff");

    // A reload of the archive opens the same entry without asking.
    answer = 0;
    offered.clear();
    ASSERT_TRUE(doc.OnOpenDocument(path));
    EXPECT_TRUE(offered.empty());
    EXPECT_EQ(doc.GetArchiveEntryName(), "text/Types.iff");

    // Another archive, cancelled: nothing opened, the document keeps what it holds.
    const std::string other = dir / "Other.far";
    WriteBytes(other, original);
    answer.reset();
    EXPECT_FALSE(doc.OnOpenDocument(other));
    EXPECT_EQ(offered, (std::vector<size_t>{0, 3}));
    EXPECT_FALSE(doc.LastOpenReplacedContents());
    EXPECT_EQ(doc.GetPathName(), path);
    EXPECT_EQ(doc.GetArchiveEntryName(), "text/Types.iff");
    EXPECT_TRUE(box.shown.empty());
}

TEST_F(FarDocumentTest, SaveAsToAnIffPathWritesTheEntryAloneAndLeavesTheArchive) {
    OpenAndEdit("Sessel");
    const std::string loose = dir / "Chair.IFF";
    ASSERT_TRUE(doc.OnSaveDocument(loose));
    doc.SetPathName(loose);
    EXPECT_FALSE(doc.IsArchiveEntry());
    EXPECT_EQ(doc.GetTitle(), "Chair.IFF");
    EXPECT_EQ(doc.GetRecentFileName(), loose);
    EXPECT_EQ(ReadBytes(path), original);
    CTallyglassDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(loose));
    EXPECT_EQ(reopened.GetOpenError(), 0);
    EXPECT_FALSE(reopened.IsArchiveEntry());
}

}  // namespace
