// Paths and arguments a careful reviewer throws at the command line: special files refused at
// once (never a hang), and one wording, with the usage status 2, for every malformed value.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/cli/CliTest.h"
#include "tests/support/IffBytes.h"
#include "tests/support/IffPayloads.h"
#include "tests/support/RunProgram.h"
#include "tests/support/TempFolder.h"

namespace {

// A FIFO without a writer, a character device and a folder: opening any of them for reading
// must not block, and reading them would never give an IFF file.
class SpecialFiles : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::mkfifo(m_fifo.c_str(), 0644), 0);
        ASSERT_EQ(::mkdir(m_folderPath.c_str(), 0755), 0);
    }

    TempFolder m_folder;
    const std::string m_fifo = m_folder / "pipe.iff";
    const std::string m_folderPath = m_folder / "folder.iff";
};

TEST_F(SpecialFiles, EveryCommandRefusesThemWithoutReading) {
    for (const std::string& path : {m_fifo, std::string("/dev/zero"), m_folderPath}) {
        const std::vector<std::vector<std::string>> commands = {
            {"list", path},
            {"strings", path},
            {"resave", path},
            {"set", path, "--id", "1", "--entry", "0", "--text", "x"},
            {"layout", path, "--id", "1", "plain"},
        };
        for (const auto& command : commands) {
            const ProgramResult result = Cli(command);
            EXPECT_EQ(result.exitCode, 1) << command[0] << " " << path;
            EXPECT_EQ(result.err, "tallyglass-cli: " + path + " is not a regular file.\n")
                << command[0] << " " << path;
            EXPECT_EQ(result.out, "");
        }
    }
    EXPECT_EQ(m_folder.Names(), (std::vector<std::string>{"folder.iff", "pipe.iff"}));
}

struct ArgumentRow {
    std::string name;
    std::vector<std::string> args;  // FILE stands for the test's file
    std::string message;            // the first line of stderr
};

void PrintTo(const ArgumentRow& row, std::ostream* os) {
    *os << row.name;
}

class BadArgument : public testing::TestWithParam<ArgumentRow> {};

TEST_P(BadArgument, IsAUsageErrorWithOneWording) {
    TempFolder folder;
    const std::string path = folder / "file.iff";
    const std::vector<uint8_t> original =
        MakeIffFile({MakeChunk("STR#", 1, MakePlainPayload({"one", "two"}), "strings")});
    WriteBytes(path, original);
    std::vector<std::string> args = GetParam().args;
    for (std::string& arg : args) {
        if (arg == "FILE") {
            arg = path;
        }
    }
    const ProgramResult result = Cli(args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err.substr(0, result.err.find('\n')), GetParam().message);
    EXPECT_EQ(ReadBytes(path), original);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"file.iff"});
}

std::vector<ArgumentRow> BadArguments() {
    std::vector<ArgumentRow> rows;
    // Every numeric option of every command, with every kind of malformed number.
    const std::vector<std::pair<std::string, std::string>> values = {
        {"too_large", "70000"},  {"negative", "-1"},       {"hexadecimal", "0x1"},
        {"leading_space", " 1"}, {"trailing_space", "1 "}, {"plus_sign", "+1"},
        {"empty", ""},           {"decimal_point", "1.0"}, {"just_above", "65536"},
    };
    struct Option {
        std::string label;
        std::vector<std::string> before;  // the arguments before the value
        std::vector<std::string> after;
    };
    const std::vector<Option> options = {
        {"strings_id", {"strings", "FILE", "--id"}, {}},
        {"set_id", {"set", "FILE", "--id"}, {"--entry", "0", "--text", "x"}},
        {"set_entry", {"set", "FILE", "--id", "1", "--entry"}, {"--text", "x"}},
        {"layout_id", {"layout", "FILE", "--id"}, {"plain"}},
        {"copy_id", {"copy-to-all", "FILE", "--id"}, {"--entries", "0"}},
        {"copy_entries", {"copy-to-all", "FILE", "--id", "1", "--entries"}, {}},
    };
    for (const Option& option : options) {
        for (const auto& [label, value] : values) {
            ArgumentRow row;
            row.name = option.label + "_" + label;
            row.args = option.before;
            row.args.push_back(value);
            row.args.insert(row.args.end(), option.after.begin(), option.after.end());
            row.message =
                option.before.back() + ": expected a number from 0 to 65535, got \"" + value + "\"";
            rows.push_back(std::move(row));
        }
    }
    // A list of entries is checked entry by entry.
    rows.push_back({"copy_entries_one_bad_in_list",
                    {"copy-to-all", "FILE", "--id", "1", "--entries", "0,x1,2"},
                    "--entries: expected a number from 0 to 65535, got \"x1\""});
    int langRow = 0;
    for (const char* lang : {"21", "-1", "0x1", "Spanglish", "slot 15"}) {
        rows.push_back({"lang_" + std::to_string(langRow++),
                        {"set", "FILE", "--id", "1", "--entry", "0", "--lang", lang, "--text", "x"},
                        std::string("--lang: expected a number from 0 to 20, a language name "
                                    "or a locale code, got \"") +
                            lang + "\""});
    }
    // Text that is not UTF-8, with the offset of the first byte that is not.
    rows.push_back({"text_latin1",
                    {"set", "FILE", "--id", "1", "--entry", "0", "--text", "caf\xE9"},
                    "--text: not valid UTF-8 at byte 3"});
    rows.push_back({"text_overlong",
                    {"set", "FILE", "--id", "1", "--entry", "0", "--text", "ab\xC0\xAF"},
                    "--text: not valid UTF-8 at byte 2"});
    rows.push_back({"text_surrogate",
                    {"set", "FILE", "--id", "1", "--entry", "0", "--text", "\xED\xA0\x80"},
                    "--text: not valid UTF-8 at byte 0"});
    rows.push_back({"description_truncated",
                    {"set", "FILE", "--id", "1", "--entry", "0", "--desc", "ok \xE2\x80"},
                    "--desc: not valid UTF-8 at byte 3"});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Table, BadArgument, testing::ValuesIn(BadArguments()),
                         [](const auto& info) { return info.param.name; });

// A file marked read-only is not replaced by an edit in place, nor by a save onto it with -o,
// unless --force says so; root, who could write it anyway, is held to the mark as well.
TEST(ReadOnly, EveryEditRefusesItWithoutForce) {
    TempFolder folder;
    const std::string path = folder / "ro.iff";
    const std::string out = folder / "out.iff";
    const std::vector<uint8_t> original =
        MakeIffFile({MakeChunk("STR#", 1, MakePlainPayload({"one"}), "s")});
    const std::vector<std::vector<std::string>> commands = {
        {"set", path, "--id", "1", "--entry", "0", "--text", "x"},
        {"layout", path, "--id", "1", "basic"},
        {"resave", path},
        {"set", path, "--id", "1", "--entry", "0", "--text", "x", "-o", out},
    };
    for (const auto& command : commands) {
        const bool toOut = command.back() == out;
        WriteBytes(path, original);
        WriteBytes(out, original);
        ASSERT_EQ(::chmod((toOut ? out : path).c_str(), 0444), 0);
        ASSERT_EQ(::chmod((toOut ? path : out).c_str(), 0644), 0);
        const ProgramResult refused = Cli(command);
        EXPECT_EQ(refused.exitCode, 1) << command[0];
        EXPECT_EQ(refused.err, "tallyglass-cli: " + (toOut ? out : path) + " is read-only.\n");
        EXPECT_EQ(ReadBytes(path), original);
        EXPECT_EQ(ReadBytes(out), original);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"out.iff", "ro.iff"}));

        std::vector<std::string> forced = command;
        forced.push_back("--force");
        const ProgramResult done = Cli(forced);
        EXPECT_EQ(done.exitCode, 0) << command[0] << ": " << done.err;
        struct stat st {};
        ASSERT_EQ(::stat((toOut ? out : path).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0444u) << "the mark stays on the new version";
        if (command[0] != "resave") {
            EXPECT_NE(ReadBytes(toOut ? out : path), original) << command[0];
        }
    }
}

TEST(GoodArgument, LeadingZerosAreStillPlainDecimalNumbers) {
    TempFolder folder;
    const std::string path = folder / "file.iff";
    WriteBytes(path, MakeIffFile({MakeChunk("STR#", 7, MakePlainPayload({"one"}), "s")}));
    const ProgramResult result = Cli({"set", path, "--id", "007", "--entry", "00", "--text", "x"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(ReadPayloads(path).at({kTypeStrings, 7}), MakePlainPayload({"x"}));
}

}  // namespace
