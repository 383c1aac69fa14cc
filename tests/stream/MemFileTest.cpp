#include "framework/stream/MemFile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/stream/FileException.h"

namespace {

std::vector<uint8_t> Text(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(MemFile, GrowsInStepsOf1024Bytes) {
    CMemFile file;
    EXPECT_EQ(file.GetCapacity(), 0u);
    file.Write("a", 1);
    EXPECT_EQ(file.GetCapacity(), 1024u);
    const std::vector<uint8_t> block(1023, 0x55);
    file.Write(block.data(), block.size());
    EXPECT_EQ(file.GetCapacity(), 1024u);  // exactly full, no growth yet
    file.Write("b", 1);
    EXPECT_EQ(file.GetCapacity(), 2048u);
    EXPECT_EQ(file.GetLength(), 1025u);
    for (int i = 0; i < 100; ++i) {
        file.Write(block.data(), block.size());
        EXPECT_EQ(file.GetCapacity() % 1024, 0u);
        EXPECT_GE(file.GetCapacity(), file.GetLength());
    }
}

TEST(MemFile, ReadsWhatWasWrittenAndNothingPastTheEnd) {
    CMemFile file;
    file.Write("hello", 5);
    EXPECT_EQ(file.GetPosition(), 5u);
    char buffer[8] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    file.SeekToBegin();
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    file.Seek(100, CFile::begin);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(file.GetLength(), 5u);  // seeking past the end changes nothing
}

TEST(MemFile, SetLengthCutsAndExtendsWithZeros) {
    CMemFile file;
    file.Write("abcdefgh", 8);
    file.SetLength(3);
    EXPECT_EQ(file.ToVector(), Text("abc"));
    file.SetLength(6);
    EXPECT_EQ(file.ToVector(), (std::vector<uint8_t>{'a', 'b', 'c', 0, 0, 0}));
    file.SetLength(0);
    EXPECT_TRUE(file.ToVector().empty());
}

// The bytes cut off by SetLength must not come back through a later write past the end.
TEST(MemFile, AWritePastTheEndLeavesAZeroFilledGap) {
    CMemFile file;
    file.Write("abcdefgh", 8);
    file.SetLength(2);
    file.Seek(5, CFile::begin);
    file.Write("Z", 1);
    EXPECT_EQ(file.ToVector(), (std::vector<uint8_t>{'a', 'b', 0, 0, 0, 'Z'}));
}

TEST(MemFile, OverwritesInPlaceAndKeepsTheLength) {
    CMemFile file(Text("0123456789").data(), 10);
    EXPECT_EQ(file.GetPosition(), 0u);
    file.Seek(-3, CFile::end);
    file.Write("xy", 2);
    EXPECT_EQ(file.ToVector(), Text("0123456xy9"));
    EXPECT_THROW(file.Seek(-11, CFile::end), CFileException);
}

TEST(MemFile, DuplicateIsAnIndependentCopy) {
    CMemFile file(Text("abc").data(), 3);
    file.Seek(1, CFile::begin);
    auto copy = file.Duplicate();
    EXPECT_EQ(copy->GetPosition(), 1u);
    copy->Write("Z", 1);
    EXPECT_EQ(file.ToVector(), Text("abc"));
    file.Close();
    EXPECT_EQ(file.GetLength(), 0u);
    copy->SeekToBegin();
    char buffer[3] = {};
    EXPECT_EQ(copy->Read(buffer, 3), 3u);
    EXPECT_EQ(std::string(buffer, 3), "aZc");
}

TEST(MemFile, CustomGrowthStep) {
    CMemFile file(100);
    file.Write("x", 1);
    EXPECT_EQ(file.GetCapacity(), 100u);
    const std::vector<uint8_t> block(150, 1);
    file.Write(block.data(), block.size());
    EXPECT_EQ(file.GetCapacity() % 100, 0u);
    EXPECT_GE(file.GetCapacity(), 151u);
}

}  // namespace
