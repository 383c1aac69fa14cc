// The files in examples/ are the generator's output, byte for byte, so they never drift from the
// code that documents them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

// The .iff files below folder, as paths relative to it, sorted.
std::vector<std::string> IffFiles(const std::filesystem::path& folder) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().extension() == ".iff") {
            files.push_back(std::filesystem::relative(entry.path(), folder).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(Samples, ExamplesMatchTheGeneratorByteForByte) {
    TempFolder folder;
    const auto result = RunProgram({TALLYGLASS_MAKE_SAMPLES, folder.Path().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;

    const std::filesystem::path examples = TALLYGLASS_EXAMPLES;
    const auto generated = IffFiles(folder.Path());
    EXPECT_EQ(IffFiles(examples), generated);
    EXPECT_GE(generated.size(), 9u);
    for (const auto& file : generated) {
        EXPECT_EQ(ReadBytes((examples / file).string()), ReadBytes((folder.Path() / file).string()))
            << file << " differs from the generator's output: run make_samples examples";
    }
}

}  // namespace
