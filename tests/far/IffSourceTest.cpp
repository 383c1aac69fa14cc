// CIffSource: the IFF files of a loose file or an archive, replaced in memory and written back
// once with every replacement.

#include "far/IffSource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/far/FarTestSupport.h"

namespace {

std::vector<uint8_t> Bytes(std::span<const uint8_t> span) {
    return {span.begin(), span.end()};
}

TEST(IffSource, AnArchiveGivesItsIffEntriesAndIsWrittenOnceWithEveryReplacement) {
    TempFolder dir;
    const std::string path = dir / "Objects.far";
    WriteBytes(path, SampleArchive(false).Build());
    CIffSource source;
    std::string why;
    ASSERT_TRUE(source.Load(path, why)) << why;
    ASSERT_TRUE(source.IsArchive());
    ASSERT_EQ(source.Items().size(), 2u);  // the two IFF files, not the other entries
    EXPECT_EQ(source.Items()[0].entryName, "objects\\Chair.iff");
    EXPECT_EQ(source.Items()[1].entryName, "text/Types.iff");
    EXPECT_EQ(Bytes(source.Bytes(1)), TextTypesIff());

    source.Replace(0, SampleIff());  // the bytes it holds: no change
    EXPECT_FALSE(source.HasChanges());
    source.Replace(0, {'I', 'F', 'F', '0'});
    source.Replace(1, {'I', 'F', 'F', '1', '1'});
    EXPECT_TRUE(source.HasChanges());
    ASSERT_TRUE(source.Write(path, why)) << why;

    CFarArchive written;
    ASSERT_EQ(written.Load(ReadBytes(path)), CFarArchive::Status::ok);
    ASSERT_EQ(written.GetEntries().size(), 4u);
    EXPECT_EQ(Bytes(written.EntryBytes(0)), (std::vector<uint8_t>{'I', 'F', 'F', '0'}));
    EXPECT_EQ(Bytes(written.EntryBytes(2)), (std::vector<uint8_t>{'a', 'b', 'c'}));
    EXPECT_EQ(Bytes(written.EntryBytes(3)), (std::vector<uint8_t>{'I', 'F', 'F', '1', '1'}));
}

TEST(IffSource, ALooseFileAndAnArchiveEntryArgumentAreOneItem) {
    TempFolder dir;
    WriteBytes(dir / "Chair.iff", SampleIff());
    WriteBytes(dir / "Objects.far", SampleArchive(true).Build());
    struct Row {
        std::string argument;
        bool archive;
        std::string entryName;
        std::vector<uint8_t> bytes;
    };
    const Row rows[] = {
        {dir / "Chair.iff", false, "", SampleIff()},
        {dir / "Objects.far:text/types.IFF", true, "text/Types.iff", TextTypesIff()}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.argument);
        CIffSource source;
        std::string why;
        ASSERT_TRUE(source.Load(row.argument, why)) << why;
        EXPECT_EQ(source.IsArchive(), row.archive);
        ASSERT_EQ(source.Items().size(), 1u);
        EXPECT_EQ(source.Items()[0].entryName, row.entryName);
        EXPECT_EQ(Bytes(source.Bytes(0)), row.bytes);
    }
    CIffSource missing;
    std::string why;
    EXPECT_FALSE(missing.Load(dir / "Objects.far:none.iff", why));
    EXPECT_NE(why.find("none.iff"), std::string::npos) << why;
}

}  // namespace
