// tallyglass-cli when things go wrong: outputs that cannot be written, standard output that
// cannot take what is printed, two commands saving one file, damaged archives, folders that
// cannot be read, hostile names. Every failure exits 1, names its cause and leaves every file
// as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/FarBuilder.h"
#include "tests/support/IffBytes.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

struct RunOptions {
    std::string stdoutPath;                // empty: captured
    rlim_t fileSizeLimit = RLIM_INFINITY;  // a disk that fills up past this many bytes
    bool withoutPrivileges = false;        // as "nobody" when run as root, so modes are obeyed
};

// Starts the command line tool with the conditions of options, its output into outFd and errFd.
pid_t Start(std::vector<std::string> args, const RunOptions& options, int outFd, int errFd) {
    args.insert(args.begin(), TALLYGLASS_CLI);
    std::vector<char*> argv;
    for (auto& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out =
            options.stdoutPath.empty() ? outFd : ::open(options.stdoutPath.c_str(), O_WRONLY);
        ::dup2(out, 1);
        ::dup2(errFd, 2);
        if (options.fileSizeLimit != RLIM_INFINITY) {
            ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
            const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.withoutPrivileges && ::geteuid() == 0 &&
            (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            ::_exit(126);
        }
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// The exit status of a started command, -1 when it did not exit.
int Wait(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs the command line tool as RunProgram does, with the conditions of options.
ProgramResult Cli(std::vector<std::string> args, const RunOptions& options = {}) {
    const int outFd = run_program_detail::TempFile();
    const int errFd = run_program_detail::TempFile();
    ProgramResult result;
    result.exitCode = Wait(Start(std::move(args), options, outFd, errFd));
    result.out = run_program_detail::Slurp(outFd);
    result.err = run_program_detail::Slurp(errFd);
    return result;
}

std::string Sample(const std::string& name) {
    return std::string(TALLYGLASS_EXAMPLES) + "/" + name;
}

std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A folder the test can hand to a command run without privileges.
class Workspace : public testing::Test {
protected:
    void SetUp() override {
        fs::permissions(dir.Path(), fs::perms::owner_all | fs::perms::group_read |
                                        fs::perms::group_exec | fs::perms::others_read |
                                        fs::perms::others_exec);
        iff = dir / "sample.iff";
        fs::copy_file(Sample("sample.iff"), iff);
        FarBuilder far;
        far.entries = {{"Chair.iff", ReadBytes(iff)}};
        archive = dir / "Objects.far";
        WriteBytes(archive, far.Build());
    }

public:
    TempFolder dir;
    std::string iff;
    std::string archive;
};

// What an output is and how a command writes it.
struct OutputRow {
    const char* name;
    const char* file;  // its name in the output folder
    // What a full disk is reported as: the PO library writes into memory first, where the
    // limit that stands in for a full disk cuts it short, unreported; the read-back notices.
    const char* fullDisk;
    // The command that writes folder/file.
    std::function<std::vector<std::string>(const Workspace&, const std::string& folder)> command;
};

// How writing it fails.
enum class Failure { fullDisk, device, readOnlyFolder };

struct FailureRow {
    const char* name;
    Failure failure;
    const char* message;  // in what the command prints
};

std::vector<OutputRow> Outputs() {
    return {
        {"PoCatalog", "out.po", "could not be written whole",
         [](const Workspace&, const std::string& folder) -> std::vector<std::string> {
             return {"export", Sample("sample.iff"), "--lang", "French", "-o", folder + "/out.po"};
         }},
        {"CsvCatalog", "out.csv", "Disk full",
         [](const Workspace&, const std::string& folder) -> std::vector<std::string> {
             // Everything, so that the table is larger than the disk left.
             return {"export", Sample("sample.iff"), "--lang", "French",
                     "--all",  "--in-place",         "-o",     folder + "/out.csv"};
         }},
        {"ExtractedEntry", "Chair.iff", "Disk full",
         [](const Workspace& w, const std::string& folder) -> std::vector<std::string> {
             return {"far", "extract", w.archive, "-o", folder};
         }},
        {"Save", "saved.iff", "Disk full",
         [](const Workspace& w, const std::string& folder) -> std::vector<std::string> {
             return {"set", w.iff,    "--id", "128", "--entry",
                     "0",   "--text", "x",    "-o",  folder + "/saved.iff"};
         }},
    };
}

class OutputFailures : public Workspace,
                       public testing::WithParamInterface<std::tuple<OutputRow, FailureRow>> {};

TEST_P(OutputFailures, LeaveTheTargetAsItWasNoTemporaryAndExit1) {
    const auto& [output, failure] = GetParam();
    const std::string folder = dir / "out";
    fs::create_directory(folder);
    const std::string target = folder + "/" + output.file;
    const std::vector<uint8_t> old(4096, 'o');  // larger than the disk left for the new one
    RunOptions options;
    switch (failure.failure) {
        case Failure::fullDisk:
            WriteBytes(target, old);
            options.fileSizeLimit = 300;  // below every output's size, above any message's
            break;
        case Failure::device:
            ASSERT_EQ(::mkfifo(target.c_str(), 0644), 0);
            break;
        case Failure::readOnlyFolder:
            // The file itself may be written: only the folder stands in the way.
            WriteBytes(target, old);
            fs::permissions(target,
                            fs::perms::all & ~(fs::perms::owner_exec | fs::perms::group_exec |
                                               fs::perms::others_exec));
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec |
                                        fs::perms::group_read | fs::perms::group_exec |
                                        fs::perms::others_read | fs::perms::others_exec);
            options.withoutPrivileges = true;
            break;
    }
    const ProgramResult result = Cli(output.command(*this, folder), options);
    fs::permissions(folder, fs::perms::owner_all);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const char* message = failure.failure == Failure::fullDisk ? output.fullDisk : failure.message;
    EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{output.file});
    if (failure.failure == Failure::device) {
        EXPECT_TRUE(fs::is_fifo(target));
    } else {
        EXPECT_EQ(ReadBytes(target), old);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, OutputFailures,
    testing::Combine(testing::ValuesIn(Outputs()),
                     testing::Values(FailureRow{"FullDisk", Failure::fullDisk, nullptr},
                                     FailureRow{"Device", Failure::device, "is not a regular file"},
                                     FailureRow{"ReadOnlyFolder", Failure::readOnlyFolder,
                                                "/out cannot be written to"})),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
    });

TEST_F(Workspace, ADeviceGivenAsACatalogIsRefusedAndKept) {
    for (const char* format : {"po", "csv"}) {
        const ProgramResult result =
            Cli({"export", iff, "--lang", "French", "--format", format, "-o", "/dev/null"});
        EXPECT_EQ(result.exitCode, 1) << format;
        EXPECT_NE(result.err.find("/dev/null is not a regular file"), std::string::npos)
            << result.err;
        EXPECT_TRUE(fs::is_character_file("/dev/null"));
    }
}

// A killed extraction or save of old left named leftovers that blocked the next one; ours are
// cleared, and an entry whose name looks like a temporary is just a file.
TEST_F(Workspace, LeftoversNeitherBlockNorStayAndOddNamesExtract) {
    FarBuilder far;
    far.entries = {{".a.iff.tgpart", {1}}, {"a.iff", {2}}, {".a.iff.tg-Zz9Yy8", {3}}};
    WriteBytes(archive, far.Build());
    const std::string out = dir / "out";
    fs::create_directory(out);
    WriteBytes(out + "/.a.iff.tg-Ab3dE5", {9});  // left by a killed writer
    const ProgramResult result = Cli({"far", "extract", archive, "-o", out});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadBytes(out + "/a.iff"), std::vector<uint8_t>{2});
    EXPECT_EQ(ReadBytes(out + "/.a.iff.tgpart"), std::vector<uint8_t>{1});
    EXPECT_EQ(ReadBytes(out + "/.a.iff.tg-Zz9Yy8"), std::vector<uint8_t>{3});
    EXPECT_FALSE(fs::exists(out + "/.a.iff.tg-Ab3dE5"));
}

// Every command that prints: its output lost on a full disk is a failure, said on stderr.
TEST_F(Workspace, AFullStandardOutputFailsEveryPrintingCommand) {
    const std::string po = dir / "fr.po";
    ASSERT_EQ(Cli({"export", iff, "--lang", "French", "-o", po}).exitCode, 0);
    const std::vector<std::vector<std::string>> commands = {
        {"list", iff},
        {"strings", iff},
        {"strings", iff, "--json"},
        {"far", "list", archive},
        {"far", "list", archive, "--json"},
        {"far", "extract", archive, "-o", dir / "x"},
        {"coverage", iff},
        {"coverage", iff, "--json"},
        {"import", iff, "--from", po, "--dry-run"},
        {"--help"},
    };
    for (const std::vector<std::string>& command : commands) {
        const ProgramResult result = Cli(command, {.stdoutPath = "/dev/full",
                                                   .fileSizeLimit = RLIM_INFINITY,
                                                   .withoutPrivileges = false});
        EXPECT_EQ(result.exitCode, 1) << command[0] << " " << command.back();
        EXPECT_NE(result.err.find("cannot write to standard output"), std::string::npos)
            << command[0] << ": " << result.err;
    }
}

// Two commands editing one file at once: both edits land, or one is refused.
TEST_F(Workspace, TwoCommandsSavingOneFileLoseNoEdit) {
    for (int round = 0; round < 8; ++round) {
        fs::copy_file(Sample("sample.iff"), iff, fs::copy_options::overwrite_existing);
        const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::vector<pid_t> pids;
        for (const char* entry : {"0", "1"}) {
            pids.push_back(Start({"set", iff, "--id", "128", "--entry", entry, "--text",
                                  std::string("edit-") + entry},
                                 {}, quiet, quiet));
        }
        std::vector<int> statuses;
        for (const pid_t pid : pids) {
            statuses.push_back(Wait(pid));
        }
        ::close(quiet);
        const std::string shown = Cli({"strings", iff, "--id", "128"}).out;
        for (size_t i = 0; i < 2; ++i) {
            const bool kept = shown.find("edit-" + std::to_string(i)) != std::string::npos;
            EXPECT_TRUE(statuses[i] == 0 ? kept : statuses[i] == 1 && !kept)
                << "round " << round << ", edit " << i << ", status " << statuses[i] << "\n"
                << shown;
        }
    }
}

TEST_F(Workspace, DamagedArchivesAreNotWrittenBackAndExtractWhatTheyCan) {
    FarBuilder shortCount;
    shortCount.entries = {{"a.iff", ReadBytes(iff)}, {"b.bin", {1, 2, 3}}};
    shortCount.count = 1;
    WriteBytes(archive, shortCount.Build());
    const std::vector<uint8_t> bytes = ReadBytes(archive);
    const ProgramResult list = Cli({"far", "list", archive});
    EXPECT_EQ(list.exitCode, 1);
    EXPECT_NE(list.err.find("bytes after the manifest belong to no entry"), std::string::npos)
        << list.err;
    const ProgramResult set =
        Cli({"set", archive + ":a.iff", "--id", "128", "--entry", "0", "--text", "x"});
    EXPECT_EQ(set.exitCode, 1);
    EXPECT_NE(set.err.find("cannot be written back"), std::string::npos) << set.err;
    EXPECT_EQ(ReadBytes(archive), bytes);
    // Its entry can still be saved loose.
    EXPECT_EQ(Cli({"set", archive + ":a.iff", "--id", "128", "--entry", "0", "--text", "x", "-o",
                   dir / "loose.iff"})
                  .exitCode,
              0);

    // A manifest cut short: the entries it still lists are extracted, the rest named.
    FarBuilder cut;
    cut.entries = {{"a.bin", {1}}, {"b.bin", {2}}, {"c.bin", {3}}};
    std::vector<uint8_t> cutBytes = cut.Build();
    cutBytes.resize(cutBytes.size() - 3);
    WriteBytes(archive, cutBytes);
    const std::string out = dir / "cut";
    const ProgramResult extract = Cli({"far", "extract", archive, "-o", out});
    EXPECT_EQ(extract.exitCode, 1);
    EXPECT_EQ(extract.out, "a.bin\nb.bin\n");
    EXPECT_NE(extract.err.find("lists 3 entries, of which 2 fit"), std::string::npos)
        << extract.err;
}

TEST_F(Workspace, AnUnreadableSubfolderIsNamedSkippedAndTheWalkGoesOn) {
    const std::string games = dir / "games";
    fs::create_directories(games + "/a");
    fs::create_directories(games + "/b");
    fs::create_directories(games + "/c");
    fs::copy_file(iff, games + "/a/one.iff");
    fs::copy_file(iff, games + "/c/two.iff");
    fs::permissions(games + "/b", fs::perms::none);
    const ProgramResult result =
        Cli({"coverage", games},
            {.stdoutPath = {}, .fileSizeLimit = RLIM_INFINITY, .withoutPrivileges = true});
    fs::permissions(games + "/b", fs::perms::owner_all);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.out.find("a/one.iff"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("c/two.iff"), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(games + "/b: Permission denied"), std::string::npos) << result.err;
}

// Names from files and archives reach the terminal escaped; JSON takes any name.
TEST_F(Workspace, NamesPrintWithoutControlCharactersAndJsonTakesAnyName) {
    FarBuilder far;
    far.entries = {{"clear\x1B[2J.bin", {1}}};
    WriteBytes(archive, far.Build());
    const ProgramResult extract = Cli({"far", "extract", archive, "-o", dir / "x"});
    EXPECT_EQ(extract.exitCode, 0) << extract.err;
    EXPECT_EQ(extract.out, "clear\\x1B[2J.bin\n");

    const std::string odd = dir / "bell\x07\xFF.iff";
    fs::copy_file(iff, odd);
    const ProgramResult text = Cli({"coverage", odd});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("bell\\x07\\xFF.iff: "), std::string::npos) << text.out;
    const ProgramResult json = Cli({"coverage", odd, "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("bell\\u0007\xEF\xBF\xBD.iff"), std::string::npos) << json.out;
    const ProgramResult missing = Cli({"list", dir / "gone\x1B.iff"});
    EXPECT_NE(missing.err.find("gone\\x1B.iff"), std::string::npos) << missing.err;
}

// An import that would pass 65,535 strings is refused in its own words, with nothing counted
// as applied.
TEST_F(Workspace, AnImportTooLargeForItsResourceIsRefusedInItsOwnWords) {
    std::vector<uint8_t> payload = {0xFD, 0xFF, 0xFF, 0xFF};
    for (int i = 0; i < 0xFFFF; ++i) {
        payload.insert(payload.end(), {0x01, 'a', 0, 0});
    }
    const std::vector<uint8_t> original = MakeIffFile({MakeChunk("STR#", 5, payload)});
    WriteBytes(iff, original);
    const std::string po = dir / "uk.po";
    WriteBytes(po, {});
    {
        const std::string text =
            "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
            "msgctxt \"STR#:5:0\"\nmsgid \"a\"\nmsgstr \"b\"\n";
        WriteBytes(po, std::vector<uint8_t>(text.begin(), text.end()));
    }
    const ProgramResult result = Cli({"import", iff, "--from", po, "--lang", "UKEnglish"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("more than 65,535 strings"), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("Use different languages"), std::string::npos) << result.err;
    EXPECT_NE(result.out.find("refused, nothing applied: 1 would apply"), std::string::npos)
        << result.out;
    EXPECT_EQ(ReadBytes(iff), original);
}

}  // namespace
