#pragma once

// What the command-line tests share: the built tallyglass-cli run as a user runs it, the bundled
// samples, and the fixture of the translation commands' tests.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "exchange/PoCatalog.h"
#include "exchange/TranslationUnit.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

inline ProgramResult Cli(std::vector<std::string> args) {
    args.insert(args.begin(), TALLYGLASS_CLI);
    return RunProgram(std::move(args));
}

inline std::string Sample(const std::string& name) {
    return std::string(TALLYGLASS_EXAMPLES) + "/" + name;
}

// A folder of its own for catalogs and copies of the samples; skipped without gettext's tools.
class CatalogCommandsTest : public testing::Test {
protected:
    void SetUp() override {
        if (std::string(TALLYGLASS_MSGFMT).empty() || std::string(TALLYGLASS_MSGFILTER).empty()) {
            GTEST_SKIP() << "gettext's tools not found";
        }
        // gettext's tools keep non-ASCII text only in a UTF-8 locale.
        ::setenv("LC_ALL", "C.UTF-8", 1);
    }
    // A copy of a sample in the test's folder.
    std::string Copy(const std::string& sample, const std::string& name) {
        const std::string path = dir / name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::copy_file(Sample(sample), path,
                                   std::filesystem::copy_options::overwrite_existing);
        return path;
    }
    static void ExpectValidPo(const std::string& po) {
        const ProgramResult check =
            RunProgram({TALLYGLASS_MSGFMT, "--check", "-o", "/dev/null", po});
        EXPECT_EQ(check.exitCode, 0) << po << ": " << check.err;
    }
    static std::vector<TranslationUnit> Units(const std::string& po) {
        CatalogInfo info;
        std::vector<TranslationUnit> units;
        std::string error;
        EXPECT_TRUE(ReadPoCatalog(po, info, units, error)) << error;
        return units;
    }

    TempFolder dir;
};
