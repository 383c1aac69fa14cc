#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "far/FarArchive.h"
#include "far/FarPath.h"
#include "tests/far/FarTestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ToBytes(std::span<const uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

class Variants : public testing::TestWithParam<bool> {};

TEST_P(Variants, ListsEveryEntryWithItsBytesAndTellsTheVariant) {
    const FarBuilder far = SampleArchive(GetParam());
    CFarArchive archive;
    ASSERT_EQ(archive.Load(far.Build()), CFarArchive::Status::ok);
    EXPECT_EQ(archive.GetVariant(),
              GetParam() ? CFarArchive::Variant::v1b : CFarArchive::Variant::v1a);
    EXPECT_TRUE(archive.GetProblems().empty());
    ASSERT_EQ(archive.GetEntries().size(), far.entries.size());
    for (size_t i = 0; i < far.entries.size(); ++i) {
        EXPECT_EQ(archive.GetEntries()[i].name, far.entries[i].name);
        EXPECT_EQ(ToBytes(archive.EntryBytes(i)), far.entries[i].bytes) << i;
    }
    EXPECT_TRUE(archive.CanRewrite(nullptr));
}

TEST_P(Variants, AnUnchangedRewriteGivesTheSameBytesWhateverTheLayout) {
    FarBuilder canonical = SampleArchive(GetParam());
    FarBuilder odd = canonical;
    odd.manifestFirst = true;
    odd.entries[1].gapBefore = 5;
    odd.entries[3].gapBefore = 1;
    for (const FarBuilder* far : {&canonical, &odd}) {
        const Bytes bytes = far->Build();
        CFarArchive archive;
        ASSERT_EQ(archive.Load(bytes), CFarArchive::Status::ok);
        ASSERT_TRUE(archive.GetProblems().empty());
        for (size_t i = 0; i < far->entries.size(); ++i) {
            const std::optional<Bytes> same = archive.Rewrite(i, far->entries[i].bytes);
            ASSERT_TRUE(same);
            EXPECT_EQ(*same, bytes) << i;
        }
    }
    // The layout the rewrite writes is the canonical one: an archive in it is its own rewrite,
    // and it is the layout an edit of any archive produces.
    CFarArchive archive;
    ASSERT_EQ(archive.Load(odd.Build()), CFarArchive::Status::ok);
    const Bytes replacement = {'n', 'e', 'w'};
    FarBuilder expected = canonical;
    expected.entries[2].bytes = replacement;
    EXPECT_EQ(archive.Rewrite(2, replacement), expected.Build());
}

TEST_P(Variants, AnEditReplacesOneEntryAndKeepsEveryOtherByteAndTheOrder) {
    const FarBuilder far = SampleArchive(GetParam());
    CFarArchive archive;
    ASSERT_EQ(archive.Load(far.Build()), CFarArchive::Status::ok);
    for (const Bytes& replacement : {Bytes{}, Bytes(7, 0x42), Bytes(100001, 0x07)}) {
        for (size_t index = 0; index < far.entries.size(); ++index) {
            const std::optional<Bytes> rewritten = archive.Rewrite(index, replacement);
            ASSERT_TRUE(rewritten);
            CFarArchive again;
            ASSERT_EQ(again.Load(*rewritten), CFarArchive::Status::ok);
            EXPECT_EQ(again.GetVariant(), archive.GetVariant());
            EXPECT_TRUE(again.GetProblems().empty());
            ASSERT_EQ(again.GetEntries().size(), far.entries.size());
            for (size_t i = 0; i < far.entries.size(); ++i) {
                EXPECT_EQ(again.GetEntries()[i].name, far.entries[i].name);
                EXPECT_EQ(ToBytes(again.EntryBytes(i)),
                          i == index ? replacement : far.entries[i].bytes);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(FarArchive, Variants, testing::Values(false, true),
                         [](const auto& info) { return info.param ? "v1b" : "v1a"; });

// A damaged or foreign archive, built from bytes, and what reading it must give.
struct DamagedRow {
    const char* name;
    Bytes bytes;
    CFarArchive::Status status;
    std::vector<bool> readable;  // per listed entry
    const char* problem;         // part of the first problem, or of the status text
};

Bytes Damaged(const std::function<void(FarBuilder&)>& damage, bool shortNames = false) {
    FarBuilder far = SampleArchive(shortNames);
    damage(far);
    return far.Build();
}

Bytes Cut(Bytes bytes, size_t from_end) {
    bytes.resize(bytes.size() - from_end);
    return bytes;
}

std::vector<DamagedRow> DamagedRows() {
    const size_t sampleSize = SampleIff().size();
    const Bytes header = {'F', 'A', 'R', '!', 'b', 'y', 'A', 'Z', 1, 0, 0, 0, 16, 0, 0, 0};
    Bytes hugeCount = header;
    hugeCount.insert(hugeCount.end(), {0xFF, 0xFF, 0xFF, 0xFF});
    Bytes version3 = header;
    version3[8] = 3;
    Bytes version2 = header;
    version2[8] = 2;
    Bytes offsetPast = Damaged([](FarBuilder&) {});
    offsetPast[12] = offsetPast[13] = offsetPast[14] = offsetPast[15] = 0xFF;
    return {
        {"Empty", {}, CFarArchive::Status::notArchive, {}, "not a FAR archive"},
        {"OtherSignature",
         Bytes{'I', 'F', 'F', ' ', 'F', 'I', 'L', 'E', 1, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0},
         CFarArchive::Status::notArchive,
         {},
         "not a FAR archive"},
        {"HeaderCut",
         Bytes(header.begin(), header.begin() + 15),
         CFarArchive::Status::notArchive,
         {},
         "not a FAR"},
        {"Version3",
         version3,
         CFarArchive::Status::version3,
         {},
         "compressed FAR archive (version 3)"},
        {"Version2", version2, CFarArchive::Status::badVersion, {}, "version 2"},
        {"HeaderOnly", header, CFarArchive::Status::badManifest, {}, "manifest offset (16)"},
        {"ManifestOffsetPastTheEnd",
         offsetPast,
         CFarArchive::Status::badManifest,
         {},
         "manifest offset (4294967295)"},
        {"CountFFFFFFFFInTwentyBytes",
         hugeCount,
         CFarArchive::Status::ok,
         {},
         "lists 4294967295 entries, of which 0 fit"},
        {"ManifestCutInTheLastName",
         Cut(Damaged([](FarBuilder&) {}), 3),
         CFarArchive::Status::ok,
         {true, true, true},
         "lists 4 entries, of which 3 fit"},
        {"ManifestCutInTheLastName1b",
         Cut(Damaged([](FarBuilder&) {}, true), 3),
         CFarArchive::Status::ok,
         {true, true, true},
         "lists 4 entries, of which 3 fit"},
        {"CountTooLarge",
         Damaged([](FarBuilder& f) { f.count = 9; }),
         CFarArchive::Status::ok,
         {true, true, true, true},
         "lists 9 entries, of which 4 fit"},
        // Records the count leaves out are bytes after the manifest: a rewrite would drop them.
        {"CountTooSmall",
         Damaged([](FarBuilder& f) { f.count = 3; }),
         CFarArchive::Status::ok,
         {true, true, true},
         "bytes after the manifest belong to no entry"},
        {"BytesAfterTheManifest",
         Damaged([](FarBuilder& f) {
             f.trailing = {0x11, 0x22, 0x33};
         }),
         CFarArchive::Status::ok,
         {true, true, true, true},
         "3 bytes after the manifest"},
        {"EntryOutside",
         Damaged([](FarBuilder& f) { f.entries[0].offset = 0xFFFFFFF0; }),
         CFarArchive::Status::ok,
         {false, true, true, true},
         "lie outside the archive"},
        {"EntrySizeWraps",
         Damaged([](FarBuilder& f) { f.entries[2].size = f.entries[2].sizeAgain = 0xFFFFFFFF; }),
         CFarArchive::Status::ok,
         {true, true, false, true},
         "lie outside the archive"},
        {"SizesDiffer",
         Damaged([](FarBuilder& f) { f.entries[3].sizeAgain = 10; }),
         CFarArchive::Status::ok,
         {true, true, true, false},
         "two sizes differ"},
        {"EntryOverlapsTheHeader",
         Damaged([](FarBuilder& f) { f.entries[2].offset = 8; }),
         CFarArchive::Status::ok,
         {true, true, false, true},
         "overlap the archive's header"},
        {"EntryOverlapsTheManifest",
         Damaged([sampleSize](FarBuilder& f) {
             f.entries[1].offset = static_cast<int64_t>(16 + sampleSize);
             f.entries[1].size = f.entries[1].sizeAgain = 1700;
         }),
         CFarArchive::Status::ok,
         {true, false, true, true},
         "overlap the manifest"},
    };
}

class DamagedArchive : public testing::TestWithParam<DamagedRow> {};

TEST_P(DamagedArchive, IsReportedAndItsReadableEntriesStayUsable) {
    const DamagedRow& row = GetParam();
    CFarArchive archive;
    ASSERT_EQ(archive.Load(row.bytes), row.status);
    const std::string report =
        row.status == CFarArchive::Status::ok
            ? (archive.GetProblems().empty() ? "" : archive.GetProblems().front())
            : archive.DescribeStatus("x.far");
    EXPECT_NE(report.find(row.problem), std::string::npos) << report;
    ASSERT_EQ(archive.GetEntries().size(), row.readable.size());
    const FarBuilder intact = SampleArchive(false);
    for (size_t i = 0; i < row.readable.size(); ++i) {
        EXPECT_EQ(archive.GetEntries()[i].IsReadable(), row.readable[i]) << i;
        if (row.readable[i]) {
            EXPECT_EQ(ToBytes(archive.EntryBytes(i)), intact.entries[i].bytes) << i;
        } else {
            EXPECT_TRUE(archive.EntryBytes(i).empty());
        }
    }
    // Writing it back would lose what the manifest claims: refused, with the reason.
    std::string why;
    EXPECT_FALSE(archive.CanRewrite(&why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(archive.Rewrite(0, {}).has_value());
}

INSTANTIATE_TEST_SUITE_P(FarArchive, DamagedArchive, testing::ValuesIn(DamagedRows()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FarArchive, FindEntryTakesExactNamesThenFoldedOnesButNeverGuesses) {
    FarBuilder far;
    far.entries = {{"objects\\Chair.iff", {1}}, {"a/B", {2}}, {"A\\b", {3}}, {"caf\xE9", {4}}};
    CFarArchive archive;
    ASSERT_EQ(archive.Load(far.Build()), CFarArchive::Status::ok);
    std::string why;
    EXPECT_EQ(archive.FindEntry("objects\\Chair.iff", &why), 0u);
    EXPECT_EQ(archive.FindEntry("objects/chair.IFF", &why), 0u);
    EXPECT_EQ(archive.FindEntry("A\\b", &why), 2u);
    EXPECT_EQ(archive.FindEntry("caf\xC3\xA9", &why), 3u);  // typed in UTF-8
    EXPECT_FALSE(archive.FindEntry("a/b", &why));
    EXPECT_NE(why.find("could mean any of"), std::string::npos) << why;
    EXPECT_FALSE(archive.FindEntry("table.iff", &why));
    EXPECT_NE(why.find("no entry named \"table.iff\""), std::string::npos) << why;
}

TEST(FarArchive, DisplayNamesReadWindows1252AndEscapeControlBytes) {
    EXPECT_EQ(FarDisplayName("a\\b/c"), "a\\b/c");
    EXPECT_EQ(FarDisplayName("\x80\xE9\x81"), "\xE2\x82\xAC\xC3\xA9\\x81");
    EXPECT_EQ(FarDisplayName(std::string("a\0b\x1F", 4)), "a\\x00b\\x1F");
}

TEST(FarPath, AFileThatExistsIsPlainAndTheLongestExistingPrefixIsTheArchive) {
    TempFolder dir;
    const std::string archive = dir / "a:b.far";
    WriteBytes(archive, {1});
    WriteBytes(dir / "plain:x", {1});
    EXPECT_FALSE(SplitFarPath(dir / "plain:x"));
    EXPECT_FALSE(SplitFarPath(dir / "missing.far:x"));
    EXPECT_FALSE(SplitFarPath(archive + ":"));
    const std::optional<FarPath> split = SplitFarPath(archive + ":objects\\c:d.iff");
    ASSERT_TRUE(split);
    EXPECT_EQ(split->archive, archive);
    EXPECT_EQ(split->entry, "objects\\c:d.iff");
}

}  // namespace
