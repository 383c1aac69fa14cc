#include "framework/doc/RecentFileList.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "framework/doc/PathUtil.h"
#include "tests/doc/DocFixtures.h"
#include "tests/support/MemoryProfile.h"
#include "tests/support/TempFolder.h"

namespace {

std::vector<std::string> Entries(const CRecentFileList& list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list.GetSize(); ++i) {
        entries.push_back(list[i]);
    }
    return entries;
}

TEST(RecentFileList, FiveAddsKeepTheLastFourMostRecentFirst) {
    CRecentFileList list;
    for (const char* path : {"/f/1.iff", "/f/2.iff", "/f/3.iff", "/f/4.iff", "/f/5.iff"}) {
        list.Add(path);
    }
    EXPECT_EQ(Entries(list),
              (std::vector<std::string>{"/f/5.iff", "/f/4.iff", "/f/3.iff", "/f/2.iff"}));
}

TEST(RecentFileList, AddingAListedFileMovesItToTheTopAndKeepsTheOthers) {
    CRecentFileList list;
    for (const char* path : {"/f/1.iff", "/f/2.iff", "/f/3.iff", "/f/4.iff"}) {
        list.Add(path);
    }
    list.Add("/f/3.iff");  // the second entry
    EXPECT_EQ(Entries(list),
              (std::vector<std::string>{"/f/3.iff", "/f/4.iff", "/f/2.iff", "/f/1.iff"}));
    list.Add("/f/1.iff");  // the last entry: nothing drops out
    EXPECT_EQ(Entries(list),
              (std::vector<std::string>{"/f/1.iff", "/f/3.iff", "/f/4.iff", "/f/2.iff"}));
}

TEST(RecentFileList, DuplicatesAreTheSameFileOnDiskNotTheSameSpelling) {
    TempFolder dir;
    WriteText(dir / "a.iff", "a");
    WriteText(dir / "A.IFF", "b");
    ASSERT_EQ(::symlink((dir / "a.iff").c_str(), (dir / "link.iff").c_str()), 0);
    CRecentFileList list;
    list.Add(dir / "a.iff");
    list.Add(dir / "A.IFF");  // another file that differs only in case
    EXPECT_EQ(Entries(list), (std::vector<std::string>{dir / "A.IFF", dir / "a.iff", "", ""}));
    list.Add(dir / "link.iff");  // a link to a.iff is a.iff
    EXPECT_EQ(Entries(list), (std::vector<std::string>{dir / "link.iff", dir / "A.IFF", "", ""}));
}

TEST(RecentFileList, AddMakesThePathAbsolute) {
    TempFolder dir;
    CurrentFolderGuard cwd(dir.Path().string());
    CRecentFileList list;
    list.Add("sub/../x.iff");
    EXPECT_EQ(list[0], dir / "x.iff");
}

TEST(RecentFileList, RemoveMovesTheEntriesBelowUp) {
    CRecentFileList list;
    for (const char* path : {"/f/1.iff", "/f/2.iff", "/f/3.iff", "/f/4.iff"}) {
        list.Add(path);
    }
    list.Remove(1);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"/f/4.iff", "/f/2.iff", "/f/1.iff", ""}));
    list.Remove(7);  // out of range: nothing happens
    EXPECT_EQ(list[2], "/f/1.iff");
}

TEST(RecentFileList, ProfileRoundTripWritesOnlyNonEmptyEntriesAfterDeletingTheSection) {
    MemoryProfile profile;
    profile.values[{"Recent File List", "File4"}] = "/stale.iff";
    CRecentFileList list;
    list.Add("/f/1.iff");
    list.Add("/f/2.iff");
    ASSERT_TRUE(list.WriteList(profile));
    EXPECT_EQ(profile.deletedSections, 1);
    const std::map<std::pair<std::string, std::string>, std::string> expected = {
        {{"Recent File List", "File1"}, "/f/2.iff"}, {{"Recent File List", "File2"}, "/f/1.iff"}};
    EXPECT_EQ(profile.values, expected);

    CRecentFileList read;
    read.ReadList(profile);
    EXPECT_EQ(Entries(read), (std::vector<std::string>{"/f/2.iff", "/f/1.iff", "", ""}));
}

TEST(RecentFileList, ReadingAProfileWithAGapKeepsEveryPathVisible) {
    MemoryProfile profile;
    profile.values[{"Recent File List", "File2"}] = "/f/2.iff";
    profile.values[{"Recent File List", "File4"}] = "/f/4.iff";
    CRecentFileList list;
    list.ReadList(profile);
    EXPECT_EQ(Entries(list), (std::vector<std::string>{"/f/2.iff", "/f/4.iff", "", ""}));
}

TEST(RecentFileList, MenuLabelsNumberTheEntriesUpToTheFirstEmptyOneAndDoubleAmpersands) {
    CRecentFileList list;
    EXPECT_TRUE(list.GetMenuLabels("/elsewhere").empty());
    list.Add("/data/R&D.iff");
    list.Add("/work/here/a.iff");
    EXPECT_EQ(list.GetMenuLabels("/work/here"),
              (std::vector<std::string>{"&1 a.iff", "&2 /data/R&&D.iff"}));
}

struct AbbreviationRow {
    const char* path;
    size_t maxLength;
    const char* expected;
};

class Abbreviation : public testing::TestWithParam<AbbreviationRow> {};

TEST_P(Abbreviation, ShortensLikeTheShell) {
    const auto& row = GetParam();
    const std::string result = CRecentFileList::AbbreviatePath(row.path, row.maxLength);
    EXPECT_EQ(result, row.expected);
    EXPECT_LE(Utf8Length(result), row.maxLength);
}

INSTANTIATE_TEST_SUITE_P(
    RecentFileList, Abbreviation,
    testing::Values(AbbreviationRow{"/home/user/a/b/c/file.iff", 30, "/home/user/a/b/c/file.iff"},
                    AbbreviationRow{"/home/user/a/b/c/file.iff", 20, "/home/.../c/file.iff"},
                    AbbreviationRow{"/home/user/a/b/c/file.iff", 22, "/home/.../b/c/file.iff"},
                    AbbreviationRow{"/home/user/games/the/long/folder/name/data.iff", 30,
                                    "/home/.../folder/name/data.iff"},
                    AbbreviationRow{"/home/user/a/b/c/file.iff", 18, "/home/.../file.iff"},
                    // Not even root, "/..." and the name fit: the bare name.
                    AbbreviationRow{"/home/user/a/b/c/file.iff", 17, "file.iff"},
                    // A name longer than the limit keeps its start and end around a mark.
                    AbbreviationRow{"/x/averyveryverylongfilename.iff", 10, "avery\u2026.iff"},
                    AbbreviationRow{"/x/averyveryverylongfilename.iff", 2, "a\u2026"},
                    // A file right below the first folder has nothing to shorten.
                    AbbreviationRow{"/averyveryverylongfolder/f.iff", 20, "f.iff"},
                    // Characters, not bytes: each 'é' is one character.
                    AbbreviationRow{"/dir/\xC3\xA9\xC3\xA9\xC3\xA9.iff", 12,
                                    "/dir/\xC3\xA9\xC3\xA9\xC3\xA9.iff"},
                    AbbreviationRow{"/dir/\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9.iff", 6,
                                    "\xC3\xA9\xC3\xA9\xC3\xA9\u2026ff"}));

TEST(RecentFileList, DisplayNameIsTheBareNameOnlyInTheCurrentFolder) {
    CRecentFileList list;
    list.Add("/home/user/a/b/c/d/e/f/g/name.iff");
    EXPECT_EQ(list.GetDisplayName(0, "/home/user/a/b/c/d/e/f/g"), "name.iff");
    EXPECT_EQ(list.GetDisplayName(0, "/home/user"), "/home/.../b/c/d/e/f/g/name.iff");
    EXPECT_EQ(list.GetDisplayName(1, "/home/user"), "");
}

}  // namespace
