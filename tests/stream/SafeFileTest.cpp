#include "framework/stream/SafeFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/FileException.h"
#include "framework/stream/FileIdentity.h"
#include "tests/support/FailingSafeFile.h"
#include "tests/support/TempFolder.h"

namespace {

const std::vector<uint8_t> kOld = {'o', 'l', 'd', ' ', 'b', 'y', 't', 'e', 's'};
const std::vector<uint8_t> kNew = {'n', 'e', 'w'};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

void WriteAll(CFile& file, const std::vector<uint8_t>& bytes) {
    file.Write(bytes.data(), bytes.size());
}

// The value of an extended attribute, or nothing when the file has none of that name.
std::optional<std::string> Attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t length = ::getxattr(path.c_str(), name, value, sizeof value);
    if (length < 0) {
        return std::nullopt;
    }
    return std::string(value, static_cast<size_t>(length));
}

TEST(SafeFile, ExtendedAttributesAreKeptAndOneThatCannotBeIsNamed) {
    TempFolder folder;
    const std::string target = folder / "tagged.iff";
    WriteBytes(target, kOld);
    if (::setxattr(target.c_str(), "user.origin", "fan site", 8, 0) != 0) {
        GTEST_SKIP() << "this file system keeps no user attributes (errno " << errno << ")";
    }
    ASSERT_EQ(::setxattr(target.c_str(), "user.empty", "", 0, 0), 0);
    {
        CSafeFile file(target);
        WriteAll(file, kNew);
        file.Commit();
        EXPECT_TRUE(file.LostAttributes().empty());
    }
    EXPECT_EQ(ReadBytes(target), kNew);
    EXPECT_EQ(Attribute(target, "user.origin"), "fan site");
    EXPECT_EQ(Attribute(target, "user.empty"), "");

    // One the new file cannot be given: the save still happens, and says which it lost.
    FailingSafeFile::Plan plan;
    plan.refuseAttribute = "user.origin";
    FailingSafeFile file(target, plan);
    WriteAll(file, kOld);
    file.Commit();
    EXPECT_EQ(file.LostAttributes(), std::vector<std::string>{"user.origin"});
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(Attribute(target, "user.origin"), std::nullopt);
    EXPECT_EQ(Attribute(target, "user.empty"), "");
}

TEST(SafeFile, CommitReplacesTheTargetAndKeepsItsPermissions) {
    TempFolder folder;
    const std::string target = folder / "file.iff";
    WriteBytes(target, kOld);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    {
        CSafeFile out(target);
        EXPECT_NE(out.GetTempPath(), target);
        EXPECT_EQ(std::filesystem::path(out.GetTempPath()).parent_path(), folder.Path());
        WriteAll(out, kNew);
        EXPECT_EQ(ReadBytes(target), kOld);  // nothing visible before the commit
        out.Commit();
        EXPECT_TRUE(out.IsCommitted());
    }
    EXPECT_EQ(ReadBytes(target), kNew);
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"file.iff"});
}

TEST(SafeFile, ANewTargetIsCreatedWithTheUsualPermissions) {
    TempFolder folder;
    const std::string target = folder / "new.iff";
    const mode_t mask = ::umask(022);
    {
        CSafeFile out(target);
        WriteAll(out, kNew);
        out.Commit();
    }
    ::umask(mask);
    EXPECT_EQ(ReadBytes(target), kNew);
    EXPECT_EQ(ModeOf(target), 0644u);  // not the 0600 of a temporary file
}

TEST(SafeFile, WithoutCommitTheTargetStaysAndTheTemporaryFileGoes) {
    TempFolder folder;
    const std::string target = folder / "file.iff";
    WriteBytes(target, kOld);
    {
        CSafeFile out(target);
        WriteAll(out, kNew);
    }
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"file.iff"});
}

struct FailureCase {
    const char* label;
    FailingSafeFile::Plan plan;
};

class SafeFileFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SafeFileFailure, LeavesTheTargetByteIdenticalAndNoTemporaryFile) {
    TempFolder folder;
    const std::string target = folder / "file.iff";
    WriteBytes(target, kOld);
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::string temp;
    try {
        FailingSafeFile out(target, GetParam().plan);
        temp = out.GetTempPath();
        const std::vector<uint8_t> bytes(64, 0x42);
        WriteAll(out, bytes);  // the second write fails when so planned, with part of the file out
        WriteAll(out, bytes);
        out.Commit();
        FAIL() << "no failure";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_strFileName, target);  // errors name the target, not the temporary file
    }
    EXPECT_EQ(ReadBytes(target), kOld);
    EXPECT_EQ(ModeOf(target), 0640u);
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"file.iff"});
}

INSTANTIATE_TEST_SUITE_P(Steps, SafeFileFailure,
                         ::testing::Values(FailureCase{"Write", {.failWrite = 2}},
                                           FailureCase{"Flush", {.failFlush = true}},
                                           FailureCase{"Rename", {.failRename = true}}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(SafeFile, ALinkStaysALinkAndTheFileItNamesIsReplaced) {
    TempFolder folder;
    std::filesystem::create_directory(folder.Path() / "real");
    const std::string real = folder / "real/file.iff";
    WriteBytes(real, kOld);
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    const std::string link = folder / "link.iff";
    ASSERT_EQ(::symlink("real/file.iff", link.c_str()), 0);  // relative, as users make them
    {
        CSafeFile out(link);
        WriteAll(out, kNew);
        out.Commit();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), "real/file.iff");
    EXPECT_EQ(ReadBytes(real), kNew);
    EXPECT_EQ(ModeOf(real), 0600u);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"link.iff", "real"}));
}

TEST(SafeFile, ALinkToAMissingFileCreatesThatFile) {
    TempFolder folder;
    const std::string link = folder / "link.iff";
    ASSERT_EQ(::symlink("missing.iff", link.c_str()), 0);
    {
        CSafeFile out(link);
        WriteAll(out, kNew);
        out.Commit();
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(folder / "missing.iff"), kNew);
}

TEST(SafeFile, ATargetInAMissingFolderThrowsCleanly) {
    TempFolder folder;
    const std::string target = folder / "no/such/file.iff";
    try {
        CSafeFile out(target);
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.GetErrorMessage(), target + " was not found.");
    }
    EXPECT_TRUE(folder.Names().empty());

    WriteBytes(folder / "plain", kOld);
    try {
        CSafeFile out(folder / "plain/file.iff");
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::badPath);
    }
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"plain"});
}

// Renaming over anything but a regular file would replace a device, a pipe or a folder with a
// plain file; such targets are refused before a temporary file exists.
TEST(SafeFile, ATargetThatIsNotARegularFileIsRefused) {
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((folder / "sub").c_str(), 0700), 0);
    for (const std::string name : {"pipe", "sub"}) {
        const std::string target = folder / name;
        try {
            CSafeFile out(target);
            FAIL() << name;
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::notRegularFile) << name;
            EXPECT_EQ(e.GetErrorMessage(), target + " is not a regular file.");
        }
    }
    struct stat st {};
    ASSERT_EQ(::stat((folder / "pipe").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"pipe", "sub"}));
}

// A name near the file system's limit must still leave room for the temporary file's name.
TEST(SafeFile, ALongFileNameStillSaves) {
    TempFolder folder;
    const std::string target = folder / (std::string(250, 'n') + ".iff");
    WriteBytes(target, kOld);
    {
        CSafeFile out(target);
        WriteAll(out, kNew);
        out.Commit();
    }
    EXPECT_EQ(ReadBytes(target), kNew);
    EXPECT_EQ(folder.Names().size(), 1u);
}

TEST(SafeFile, ARelativeTargetIsWrittenInTheCurrentFolder) {
    TempFolder folder;
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.Path());
    {
        CSafeFile out("here.iff");
        WriteAll(out, kNew);
        out.Commit();
    }
    std::filesystem::current_path(previous);
    EXPECT_EQ(ReadBytes(folder / "here.iff"), kNew);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"here.iff"});
}

// Where a save in a child process is stopped: at its k-th write, or at the rename.
struct KillCase {
    const char* label;
    int signal;
    bool atRename;
    // What the folder then holds besides the target: a kill leaves the named temporary of the
    // rename's moment (taken by the next save); SIGTERM's handler removes it.
    bool leftover;
};

class SafeFileKilled : public ::testing::TestWithParam<KillCase> {};

// A safe file that stops its process where the case says.
class CStoppingSafeFile : public CSafeFile {
public:
    CStoppingSafeFile(const std::string& target, int stopAtWrite, bool stopAtRename, int signal)
        : CSafeFile(target), m_nStop(stopAtWrite), m_bAtRename(stopAtRename), m_nSignal(signal) {}
    void Write(const void* buffer, size_t count) override {
        if (++m_nWrites == m_nStop) {
            ::raise(m_nSignal);
        }
        CSafeFile::Write(buffer, count);
    }

protected:
    void RenameOver(const std::string& from, const std::string& to) override {
        if (m_bAtRename) {
            ::raise(m_nSignal);
        }
        CSafeFile::RenameOver(from, to);
    }

private:
    int m_nStop;
    int m_nWrites = 0;
    bool m_bAtRename;
    int m_nSignal;
};

TEST_P(SafeFileKilled, AtEveryWriteLeavesTheOldFileAndNothingElse) {
    const KillCase& row = GetParam();
    TempFolder folder;
    const std::string target = folder / "file.iff";
    const std::vector<uint8_t> chunk(4096, 0x5A);
    constexpr int kWrites = 6;
    for (int stop = 1; stop <= (row.atRename ? 1 : kWrites); ++stop) {
        WriteBytes(target, kOld);
        const pid_t pid = ::fork();
        if (pid == 0) {
            CStoppingSafeFile out(target, row.atRename ? 0 : stop, row.atRename, row.signal);
            for (int i = 0; i < kWrites; ++i) {
                WriteAll(out, chunk);
            }
            out.Commit();
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << stop;
        EXPECT_EQ(WTERMSIG(status), row.signal);
        EXPECT_EQ(ReadBytes(target), kOld) << stop;
        const std::vector<std::string> names = folder.Names();
        EXPECT_EQ(names.size(), row.leftover ? 2u : 1u) << stop;
        // The next save of the target takes a leftover of ours away.
        CSafeFile next(target);
        WriteAll(next, kNew);
        next.Commit();
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"file.iff"}) << stop;
        EXPECT_EQ(ReadBytes(target), kNew);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, SafeFileKilled,
                         ::testing::Values(KillCase{"KillAtEachWrite", SIGKILL, false, false},
                                           KillCase{"TermAtEachWrite", SIGTERM, false, false},
                                           KillCase{"IntAtEachWrite", SIGINT, false, false},
                                           KillCase{"KillAtTheRename", SIGKILL, true, true},
                                           KillCase{"TermAtTheRename", SIGTERM, true, false},
                                           KillCase{"IntAtTheRename", SIGINT, true, false}),
                         [](const auto& info) { return std::string(info.param.label); });

// Only the target's own temporary names are cleared, and only those no living writer holds.
TEST(SafeFile, LeftoversOfOursGoButLookalikesAndLiveTemporariesStay) {
    TempFolder folder;
    const std::string target = folder / "file.iff";
    WriteBytes(target, kOld);
    for (const char* name : {".file.iff.tg-Abc123", ".other.iff.tg-Zz0Zz0", ".file.iff.backup",
                             ".file.iff.tg-short", "file.iff.tg-Abc123"}) {
        WriteBytes(folder / name, kOld);
    }
    // A writer of another process, alive: its temporary is locked.
    const std::string live = folder / ".file.iff.tg-L1veL1";
    WriteBytes(live, kOld);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(live.c_str(), O_RDONLY);
        ::flock(fd, LOCK_EX);
        char byte = 1;
        std::ignore = ::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    {
        CSafeFile out(target);
        WriteAll(out, kNew);
        out.Commit();
    }
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{
                                  ".file.iff.backup", ".file.iff.tg-L1veL1", ".file.iff.tg-short",
                                  ".other.iff.tg-Zz0Zz0", "file.iff", "file.iff.tg-Abc123"}));
}

// While it is written, the temporary has no name: nothing for a killed process to leave.
TEST(SafeFile, TheTemporaryHasNoNameWhileItIsWritten) {
    TempFolder folder;
    const std::string target = folder / "file.iff";
    WriteBytes(target, kOld);
    CSafeFile out(target);
    WriteAll(out, kNew);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"file.iff"});
    out.Commit();
    EXPECT_EQ(ReadBytes(target), kNew);
}

TEST(SafeFile, ATargetChangedSinceItWasReadIsNotReplaced) {
    TempFolder folder;
    const std::string target = folder / "file.iff";
    WriteBytes(target, kOld);
    const std::optional<FileIdentity> read = IdentityOfPath(target);
    for (const bool changed : {true, false}) {
        if (changed) {
            // Another program replaces it between our read and our save.
            WriteBytes(folder / "other", kNew);
            std::filesystem::rename(folder / "other", target);
        }
        CSafeFile out(target);
        out.SetExpectedIdentity(changed ? read : IdentityOfPath(target));
        WriteAll(out, kOld);
        WriteAll(out, kOld);
        if (changed) {
            try {
                out.Commit();
                FAIL() << "replaced";
            } catch (const CFileException& e) {
                EXPECT_EQ(e.GetErrorMessage(),
                          target + " changed on disk since it was read; nothing was written.");
            }
            EXPECT_EQ(ReadBytes(target), kNew);
        } else {
            out.Commit();
            EXPECT_EQ(ReadBytes(target).size(), 2 * kOld.size());
        }
        EXPECT_EQ(folder.Names(), std::vector<std::string>{"file.iff"});
    }
}

}  // namespace
