// tallyglass-cli far list, far extract, and ARCHIVE.far:NAME as the FILE of the other commands,
// run as the user runs them on archives built here from the sample files.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>
#include <string>
#include <vector>

#include "far/FarArchive.h"
#include "tests/cli/CliTest.h"
#include "tests/support/FarBuilder.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

FarBuilder Samples(bool shortNames) {
    FarBuilder far;
    far.shortNames = shortNames;
    far.entries = {{"objects\\Chair.iff", ReadBytes(TALLYGLASS_EXAMPLES "/sample.iff")},
                   {"empty.bin", {}},
                   {"odd.bin", {'a', 'b', 'c'}},
                   {"text/Types.iff", ReadBytes(TALLYGLASS_EXAMPLES "/text-types.iff")}};
    return far;
}

Bytes EntryOf(const std::string& path, size_t index) {
    CFarArchive archive;
    if (archive.Load(ReadBytes(path)) != CFarArchive::Status::ok) {
        return {};
    }
    const auto bytes = archive.EntryBytes(index);
    return {bytes.begin(), bytes.end()};
}

class FarCli : public ::testing::TestWithParam<bool> {
protected:
    FarCli() {
        archive = dir / "Objects.far";
        WriteBytes(archive, Samples(GetParam()).Build());
    }
    TempFolder dir;
    std::string archive;
};

TEST_P(FarCli, ListShowsTheVariantAndEveryEntryAsTextAndJson) {
    const ProgramResult text = Cli({"far", "list", archive});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out, std::string("version ") + (GetParam() ? "1b" : "1a") +
                            ", 4 entries\n"
                            "2765  objects\\Chair.iff\n"
                            "   0  empty.bin\n"
                            "   3  odd.bin\n"
                            "1608  text/Types.iff\n");
    const ProgramResult json = Cli({"far", "list", archive, "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const nlohmann::json parsed = nlohmann::json::parse(json.out);
    EXPECT_EQ(parsed["version"], GetParam() ? "1b" : "1a");
    ASSERT_EQ(parsed["entries"].size(), 4u);
    EXPECT_EQ(parsed["entries"][0]["name"], "objects\\Chair.iff");
    EXPECT_EQ(parsed["entries"][0]["iff"], true);
    EXPECT_EQ(parsed["entries"][2]["iff"], false);
    EXPECT_EQ(parsed["entries"][3]["offset"], 16 + 2765 + 3);
    EXPECT_TRUE(parsed["problems"].empty());
}

TEST_P(FarCli, ExtractWritesEveryEntryOrTheNamedOnesFoldersIncluded) {
    const FarBuilder far = Samples(GetParam());
    const ProgramResult all = Cli({"far", "extract", archive, "-o", dir / "all"});
    EXPECT_EQ(all.exitCode, 0) << all.err;
    EXPECT_EQ(all.out, "objects/Chair.iff\nempty.bin\nodd.bin\ntext/Types.iff\n");
    EXPECT_EQ(ReadBytes(dir / "all/objects/Chair.iff"), far.entries[0].bytes);
    EXPECT_TRUE(fs::is_regular_file(dir / "all/empty.bin"));
    EXPECT_EQ(fs::file_size(dir / "all/empty.bin"), 0u);
    EXPECT_EQ(ReadBytes(dir / "all/text/Types.iff"), far.entries[3].bytes);

    const ProgramResult some =
        Cli({"far", "extract", archive, "objects/chair.iff", "odd.bin", "-o", dir / "some"});
    EXPECT_EQ(some.exitCode, 0) << some.err;
    EXPECT_EQ(ReadBytes(dir / "some/odd.bin"), far.entries[2].bytes);
    EXPECT_FALSE(fs::exists(dir / "some/text"));
    const ProgramResult missing = Cli({"far", "extract", archive, "table.iff", "-o", dir / "x"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no entry named \"table.iff\""), std::string::npos) << missing.err;
}

TEST_P(FarCli, AnEditThroughTheArchivePathKeepsEveryOtherEntry) {
    const FarBuilder far = Samples(GetParam());
    const std::string chair = archive + ":objects/chair.iff";
    const ProgramResult set =
        Cli({"set", chair, "--id", "128", "--entry", "0", "--text", "Sessel"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    const ProgramResult layout =
        Cli({"layout", archive + ":text/Types.iff", "--type", "CTSS", "--id", "2000", "described"});
    EXPECT_EQ(layout.exitCode, 0) << layout.err;
    EXPECT_EQ(EntryOf(archive, 1), far.entries[1].bytes);
    EXPECT_EQ(EntryOf(archive, 2), far.entries[2].bytes);
    const ProgramResult strings = Cli({"strings", chair, "--id", "128"});
    EXPECT_EQ(strings.exitCode, 0) << strings.err;
    EXPECT_NE(strings.out.find("Sessel"), std::string::npos) << strings.out;
    const ProgramResult list = Cli({"list", chair});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("Armchair - names"), std::string::npos);
    CFarArchive reread;
    ASSERT_EQ(reread.Load(ReadBytes(archive)), CFarArchive::Status::ok);
    EXPECT_EQ(reread.GetVariant(),
              GetParam() ? CFarArchive::Variant::v1b : CFarArchive::Variant::v1a);

    // Resaving what a save wrote changes nothing; -o writes a copy and leaves the archive.
    const Bytes before = ReadBytes(archive);
    ASSERT_EQ(Cli({"resave", chair}).exitCode, 0);
    EXPECT_EQ(ReadBytes(archive), before);
    const ProgramResult copy =
        Cli({"copy-to-all", chair, "--id", "128", "--entries", "0", "-o", dir / "Copy.far"});
    EXPECT_EQ(copy.exitCode, 0) << copy.err;
    EXPECT_EQ(ReadBytes(archive), before);
    EXPECT_NE(EntryOf(dir / "Copy.far", 0), EntryOf(archive, 0));
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(EntryOf(dir / "Copy.far", i), EntryOf(archive, i)) << i;
    }
    // An OUT ending in .iff takes the entry alone.
    const ProgramResult loose =
        Cli({"set", chair, "--id", "128", "--entry", "1", "--text", "x", "-o", dir / "Chair.iff"});
    EXPECT_EQ(loose.exitCode, 0) << loose.err;
    EXPECT_EQ(ReadBytes(archive), before);
    const ProgramResult looseList = Cli({"list", dir / "Chair.iff"});
    EXPECT_EQ(looseList.exitCode, 0) << looseList.err;
    EXPECT_NE(looseList.out.find("Armchair - names"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Variants, FarCli, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "v1b" : "v1a"; });

TEST(FarCliHostile, NamesThatWouldLeaveTheFolderAreRefusedAndTheRestExtracted) {
    TempFolder dir;
    FarBuilder far;
    far.entries = {{"../evil", {1}},
                   {"a/../../evil2", {2}},
                   {"/tmp/tg-absolute-evil", {3}},
                   {"\\evil3", {4}},
                   {"C:\\evil4", {5}},
                   {std::string("nul\0evil", 8), {6}},
                   {"a//b", {7}},
                   {"./c", {8}},
                   {"", {9}},
                   {"link/evil5", {10}},
                   {"good\\one.bin", {11}},
                   {"good/one.bin", {12}}};
    const std::string archive = dir / "Hostile.far";
    WriteBytes(archive, far.Build());
    fs::create_directories(dir / "out");
    fs::create_directories(dir / "outside");
    fs::create_directory_symlink(dir / "outside", dir / "out/link");
    const ProgramResult result = Cli({"far", "extract", archive, "-o", dir / "out"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "good/one.bin\n");
    EXPECT_EQ(ReadBytes(dir / "out/good/one.bin"), Bytes{11});
    for (const char* why : {"climbs out", "absolute path", "NUL", "empty or \".\"",
                            "the name is empty", "symbolic link"}) {
        EXPECT_NE(result.err.find(why), std::string::npos) << why << "\n" << result.err;
    }
    // Nothing anywhere but the output folder: the temporary folder holds what it held.
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Hostile.far", "out", "outside"}));
    EXPECT_TRUE(fs::is_empty(dir / "outside"));
    EXPECT_FALSE(fs::exists("/tmp/tg-absolute-evil"));
    std::vector<std::string> written;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "out")) {
        written.push_back(entry.path().lexically_relative(dir / "out").string());
    }
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<std::string>{"good", "good/one.bin", "link"}));
}

TEST(FarCliHostile, DamagedAndForeignArchivesAreReportedAndNothingIsWritten) {
    TempFolder dir;
    FarBuilder damaged;
    damaged.entries = {{"a.iff", ReadBytes(TALLYGLASS_EXAMPLES "/sample.iff")}, {"b", {1, 2}}};
    damaged.entries[1].offset = 0x7FFFFFFF;
    const std::string path = dir / "Damaged.far";
    const Bytes bytes = damaged.Build();
    WriteBytes(path, bytes);
    const ProgramResult list = Cli({"far", "list", path});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_NE(list.out.find("b  (cannot be read)"), std::string::npos) << list.out;
    EXPECT_NE(list.err.find("lie outside the archive"), std::string::npos) << list.err;
    // The readable entry reads, but the archive is not written back.
    EXPECT_EQ(Cli({"strings", path + ":a.iff", "--id", "128"}).exitCode, 0);
    const ProgramResult set =
        Cli({"set", path + ":a.iff", "--id", "128", "--entry", "0", "--text", "x"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("cannot be written back"), std::string::npos) << set.err;
    EXPECT_EQ(ReadBytes(path), bytes);

    FarBuilder v3;
    v3.version = 3;
    WriteBytes(dir / "V3.far", v3.Build());
    const ProgramResult refused = Cli({"far", "list", dir / "V3.far"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("compressed FAR archive (version 3), which is not supported"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(Cli({"resave", dir / "V3.far:x"}).exitCode, 1);
}

TEST(FarCliPaths, AFileWhoseNameHoldsAColonIsAPlainFile) {
    TempFolder dir;
    const std::string plain = dir / "sample.iff:copy";
    WriteBytes(plain, ReadBytes(TALLYGLASS_EXAMPLES "/sample.iff"));
    const ProgramResult list = Cli({"list", plain});
    EXPECT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("version 2.5"), std::string::npos);
}

}  // namespace
