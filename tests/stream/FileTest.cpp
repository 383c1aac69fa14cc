#include "framework/stream/File.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/FileException.h"
#include "tests/support/TempFolder.h"

namespace {

std::vector<uint8_t> Iota(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    }
    return bytes;
}

struct OpenErrorCase {
    const char* label;
    std::string path;  // below the test folder; "" for the empty path itself
    unsigned flags;
    int cause;
    const char* message;  // %1 stands for the path as opened
};

class FileOpenErrors : public ::testing::TestWithParam<OpenErrorCase> {};

TEST_P(FileOpenErrors, ThrowTheCauseAndTheUserMessage) {
    TempFolder folder;
    WriteBytes(folder / "plain.txt", {1, 2, 3});
    std::filesystem::create_directory(folder.Path() / "folder");
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    const OpenErrorCase& c = GetParam();
    const std::string path = c.path.empty() ? std::string() : folder / c.path;
    std::string expected = c.message;
    expected.replace(expected.find("%1"), 2, path.empty() ? "an unnamed file" : path);

    try {
        CFile file(path, c.flags);
        FAIL() << "opened " << path;
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, c.cause);
        EXPECT_EQ(e.m_strFileName, path);
        EXPECT_EQ(e.GetErrorMessage(), expected);
        EXPECT_STREQ(e.what(), expected.c_str());
    }

    // The non-throwing form reports the same.
    CFile file;
    CFileException error(CFileException::none, "");
    EXPECT_FALSE(file.Open(path, c.flags, &error));
    EXPECT_EQ(error.m_cause, c.cause);
    EXPECT_FALSE(file.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FileOpenErrors,
    ::testing::Values(OpenErrorCase{"MissingFile", "missing.iff", CFile::modeRead,
                                    CFileException::fileNotFound, "%1 was not found."},
                      OpenErrorCase{"MissingFolder", "no/such/file.iff", CFile::modeRead,
                                    CFileException::fileNotFound, "%1 was not found."},
                      OpenErrorCase{"EmptyPath", "", CFile::modeRead, CFileException::fileNotFound,
                                    "%1 was not found."},
                      OpenErrorCase{"FileAsFolder", "plain.txt/x.iff", CFile::modeRead,
                                    CFileException::badPath, "%1 contains an invalid path."},
                      OpenErrorCase{"NameTooLong", std::string(300, 'n'), CFile::modeRead,
                                    CFileException::badPath, "%1 contains an invalid path."},
                      OpenErrorCase{"FolderForReading", "folder", CFile::modeRead,
                                    CFileException::notRegularFile, "%1 is not a regular file."},
                      OpenErrorCase{"FolderForWriting", "folder", CFile::modeReadWrite,
                                    CFileException::notRegularFile, "%1 is not a regular file."},
                      // Without a writer, a blocking open of a FIFO would never return.
                      OpenErrorCase{"FifoForReading", "pipe", CFile::modeRead,
                                    CFileException::notRegularFile, "%1 is not a regular file."},
                      OpenErrorCase{"FifoForWriting", "pipe", CFile::modeWrite,
                                    CFileException::notRegularFile, "%1 is not a regular file."}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(FileOpen, DevicesAreRefusedAndRegularFilesReadAsBefore) {
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        CFileException error(CFileException::none, "");
        CFile file;
        EXPECT_FALSE(file.Open(device, CFile::modeRead, &error)) << device;
        EXPECT_EQ(error.GetErrorMessage(), std::string(device) + " is not a regular file.");
        EXPECT_FALSE(file.IsOpen());
    }
    // The regular file that passes is read in blocking mode, as every reader expects.
    TempFolder folder;
    WriteBytes(folder / "plain.txt", {1, 2, 3});
    CFile file(folder / "plain.txt", CFile::modeRead);
    EXPECT_EQ(::fcntl(file.GetDescriptor(), F_GETFL) & O_NONBLOCK, 0);
    uint8_t bytes[4] = {};
    EXPECT_EQ(file.Read(bytes, sizeof bytes), 3u);
}

TEST(FileOpen, ReadOnlyFileForWritingIsDenied) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes to read-only files";
    }
    TempFolder folder;
    const std::string path = folder / "locked.iff";
    WriteBytes(path, {1});
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    try {
        CFile file(path, CFile::modeReadWrite);
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::accessDenied);
        EXPECT_EQ(e.GetErrorMessage(), "Access to " + path + " was denied.");
    }
}

TEST(FileException, EveryCauseHasItsText) {
    const std::pair<int, const char*> texts[] = {
        {0, "No error occurred."},
        {1, "An unknown error occurred while accessing f.iff."},
        {2, "f.iff was not found."},
        {3, "f.iff contains an invalid path."},
        {4, "f.iff could not be opened because there are too many open files."},
        {5, "Access to f.iff was denied."},
        {6, "An invalid file handle was associated with f.iff."},
        {7, "f.iff could not be removed because it is the current directory."},
        {8, "f.iff could not be created because the directory is full."},
        {9, "Seek failed on f.iff"},
        {10, "A hardware I/O error was reported while accessing f.iff."},
        {11, "A sharing violation occurred while accessing f.iff."},
        {12, "A locking violation occurred while accessing f.iff."},
        {13, "Disk full while accessing f.iff."},
        {14, "An attempt was made to access f.iff past its end."},
        {15, "f.iff is not a regular file."},
        {16, "f.iff changed on disk since it was read; nothing was written."},
        {17, "The folder f.iff cannot be written to."},
    };
    for (const auto& [cause, text] : texts) {
        EXPECT_EQ(CFileException(cause, "f.iff").GetErrorMessage(), text) << cause;
    }
    EXPECT_EQ(CFileException(CFileException::accessDenied, "").GetErrorMessage(),
              "Access to an unnamed file was denied.");
    // A cause outside the table reads as the generic one rather than indexing past the texts.
    EXPECT_EQ(CFileException(18, "f.iff").GetErrorMessage(),
              "An unknown error occurred while accessing f.iff.");
    EXPECT_EQ(CFileException(99, "f.iff").GetErrorMessage(),
              "An unknown error occurred while accessing f.iff.");
}

TEST(FileException, OperatingSystemErrorsMapToCauses) {
    EXPECT_EQ(CFileException::CauseFromErrno(ENOENT), CFileException::fileNotFound);
    EXPECT_EQ(CFileException::CauseFromErrno(EACCES), CFileException::accessDenied);
    EXPECT_EQ(CFileException::CauseFromErrno(ENOSPC), CFileException::diskFull);
    EXPECT_EQ(CFileException::CauseFromErrno(EMFILE), CFileException::tooManyOpenFiles);
    EXPECT_EQ(CFileException::CauseFromErrno(EIO), CFileException::hardIO);
    EXPECT_EQ(CFileException::CauseFromErrno(EXDEV), CFileException::genericException);
}

class FileStream : public ::testing::Test {
protected:
    void SetUp() override { WriteBytes(m_path, Iota(100)); }

    TempFolder m_folder;
    std::string m_path = m_folder / "data.bin";
};

TEST_F(FileStream, ReadReturnsAShortCountAtTheEnd) {
    CFile file(m_path, CFile::modeRead);
    std::vector<uint8_t> buffer(40, 0xEE);
    EXPECT_EQ(file.Seek(80, CFile::begin), 80u);
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 20u);
    const auto data = Iota(100);
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 20),
              std::vector<uint8_t>(data.begin() + 80, data.end()));
    EXPECT_EQ(buffer[20], 0xEE);  // nothing written past what was read
    EXPECT_EQ(file.GetPosition(), 100u);
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 0u);
    file.Seek(500, CFile::begin);  // past the end is allowed and reads nothing
    EXPECT_EQ(file.Read(buffer.data(), buffer.size()), 0u);
}

TEST_F(FileStream, SeeksFromBeginCurrentAndEnd) {
    CFile file(m_path, CFile::modeRead);
    EXPECT_EQ(file.Seek(10, CFile::begin), 10u);
    EXPECT_EQ(file.Seek(5, CFile::current), 15u);
    EXPECT_EQ(file.Seek(-4, CFile::end), 96u);
    uint8_t byte = 0;
    ASSERT_EQ(file.Read(&byte, 1), 1u);
    EXPECT_EQ(byte, Iota(100)[96]);
    EXPECT_EQ(file.SeekToEnd(), 100u);
    file.SeekToBegin();
    EXPECT_EQ(file.GetPosition(), 0u);
    try {
        file.Seek(-1, CFile::begin);
        FAIL();
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::badSeek);
        EXPECT_EQ(e.GetErrorMessage(), "Seek failed on " + m_path);
    }
    EXPECT_EQ(file.GetPosition(), 0u);  // a refused seek leaves the position
}

TEST_F(FileStream, DuplicateHasItsOwnPositionAndOutlivesTheOriginal) {
    auto original = std::make_unique<CFile>(m_path, CFile::modeRead);
    original->Seek(30, CFile::begin);
    std::unique_ptr<CFile> copy = original->Duplicate();
    EXPECT_EQ(copy->GetPosition(), 30u);
    EXPECT_EQ(copy->GetFilePath(), m_path);

    copy->Seek(90, CFile::begin);
    uint8_t byte = 0;
    ASSERT_EQ(original->Read(&byte, 1), 1u);
    EXPECT_EQ(byte, Iota(100)[30]);
    EXPECT_EQ(original->GetPosition(), 31u);
    EXPECT_EQ(copy->GetPosition(), 90u);

    original->Close();
    original.reset();
    ASSERT_EQ(copy->Read(&byte, 1), 1u);
    EXPECT_EQ(byte, Iota(100)[90]);
    EXPECT_EQ(copy->GetLength(), 100u);
}

TEST_F(FileStream, WritesEveryByteAndSetsTheLength) {
    const std::string path = m_folder / "out.bin";
    CFile file(path, CFile::modeCreate | CFile::modeReadWrite);
    const std::vector<uint8_t> big = Iota(3 << 20);  // more than one write call may take
    file.Write(big.data(), big.size());
    EXPECT_EQ(file.GetPosition(), big.size());
    EXPECT_EQ(file.GetLength(), big.size());

    file.SetLength(10);
    EXPECT_EQ(file.GetLength(), 10u);
    file.SetLength(16);  // extending fills with zero bytes
    file.Seek(0, CFile::begin);
    std::vector<uint8_t> back(16);
    ASSERT_EQ(file.Read(back.data(), back.size()), 16u);
    std::vector<uint8_t> expected(big.begin(), big.begin() + 10);
    expected.resize(16, 0);
    EXPECT_EQ(back, expected);

    file.Seek(20, CFile::begin);  // a write past the end leaves a zero-filled gap
    file.Write("x", 1);
    file.Close();
    auto onDisk = ReadBytes(path);
    expected.resize(20, 0);
    expected.push_back('x');
    EXPECT_EQ(onDisk, expected);
}

TEST_F(FileStream, CreateTruncatesUnlessAskedNotTo) {
    {
        CFile keep(m_path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
        EXPECT_EQ(keep.GetLength(), 100u);
    }
    CFile fresh(m_path, CFile::modeCreate | CFile::modeWrite);
    EXPECT_EQ(fresh.GetLength(), 0u);
}

TEST_F(FileStream, AClosedStreamRefusesEveryOperation) {
    CFile file(m_path, CFile::modeRead);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    uint8_t byte = 0;
    const auto expectInvalid = [](auto operation) {
        try {
            operation();
            ADD_FAILURE() << "no exception";
        } catch (const CFileException& e) {
            EXPECT_EQ(e.m_cause, CFileException::invalidFile);
        }
    };
    expectInvalid([&] { std::ignore = file.Read(&byte, 1); });
    expectInvalid([&] { file.Write(&byte, 1); });
    expectInvalid([&] { std::ignore = file.GetLength(); });
    expectInvalid([&] { std::ignore = file.Duplicate(); });
    expectInvalid([&] { file.Seek(0, CFile::begin); });
    file.Close();  // closing twice is harmless
}

// A gathered write lands as one write of the parts' concatenation would, at the position: on a
// descriptor (pwritev, more parts than one call takes, empty parts between) and on a stream
// without one (part by part through Write).
TEST_F(FileStream, WriteGatherEqualsTheConcatenation) {
    std::vector<std::vector<uint8_t>> blocks;
    for (size_t i = 0; i < 2500; ++i) {
        blocks.emplace_back(i % 7 == 0 ? 0 : 1 + (i * 37) % 300, static_cast<uint8_t>(i));
    }
    blocks.emplace_back(3 * 1024 * 1024, 0x5A);  // one part larger than a write may take at once
    std::vector<ConstBuffer> parts;
    std::vector<uint8_t> expected(10, 0xEE);  // what stands before the position
    for (const auto& block : blocks) {
        parts.push_back({block.data(), block.size()});
        expected.insert(expected.end(), block.begin(), block.end());
    }
    CFile file(m_path, CFile::modeCreate | CFile::modeReadWrite);
    file.Write(expected.data(), 10);
    file.WriteGather(parts.data(), parts.size());
    EXPECT_EQ(file.GetPosition(), expected.size());
    file.Close();
    EXPECT_EQ(ReadBytes(m_path), expected);

    // Without a descriptor the parts go through Write, which a test double can intercept.
    class CCollecting : public CFile {
    public:
        void Write(const void* buffer, size_t count) override {
            const auto* bytes = static_cast<const uint8_t*>(buffer);
            collected.insert(collected.end(), bytes, bytes + count);
            ++writes;
        }
        std::vector<uint8_t> collected;
        size_t writes = 0;
    } collecting;
    collecting.WriteGather(parts.data(), parts.size());
    EXPECT_EQ(collecting.collected, std::vector<uint8_t>(expected.begin() + 10, expected.end()));
    EXPECT_EQ(collecting.writes, parts.size());
}

}  // namespace
