#include "framework/doc/CommandLineInfo.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct CommandLineRow {
    const char* name;
    std::vector<std::string> args;
    CCommandLineInfo::ShellCommand command;
    std::string file;
    bool embedded = false;
    bool automated = false;
};

class CommandLine : public testing::TestWithParam<CommandLineRow> {};

TEST_P(CommandLine, Parses) {
    const auto& row = GetParam();
    CCommandLineInfo info;
    info.ParseCommandLine(row.args);
    EXPECT_EQ(info.m_nShellCommand, row.command);
    EXPECT_EQ(info.m_strFileName, row.file);
    EXPECT_EQ(info.m_bRunEmbedded, row.embedded);
    EXPECT_EQ(info.m_bRunAutomated, row.automated);
}

using C = CCommandLineInfo;

INSTANTIATE_TEST_SUITE_P(
    CommandLineInfo, CommandLine,
    testing::Values(
        CommandLineRow{"Nothing", {}, C::FileNew, ""},
        CommandLineRow{"OneFile", {"a.iff"}, C::FileOpen, "a.iff"},
        CommandLineRow{"SecondFileIgnored", {"a.iff", "b.iff"}, C::FileOpen, "a.iff"},
        CommandLineRow{"AbsolutePathIsAFile", {"/home/me/a.iff"}, C::FileOpen, "/home/me/a.iff"},
        CommandLineRow{"UnknownSwitchIgnored", {"-x", "a.iff", "/x"}, C::FileOpen, "a.iff"},
        CommandLineRow{"PrintDash", {"-p", "a.iff"}, C::FilePrint, "a.iff"},
        CommandLineRow{"PrintSlash", {"/p", "a.iff"}, C::FilePrint, "a.iff"},
        CommandLineRow{"PrintIsExact", {"-P", "a.iff"}, C::FileOpen, "a.iff"},
        CommandLineRow{
            "PrintTo", {"/pt", "a.iff", "printer", "driver", "port"}, C::FilePrintTo, "a.iff"},
        CommandLineRow{"Dde", {"/dde"}, C::FileDDE, ""},
        CommandLineRow{"DdeIsExact", {"/DDE"}, C::FileNew, ""},
        CommandLineRow{"Unregister", {"/Unregister"}, C::AppUnregister, ""},
        CommandLineRow{"UnregserverAnyCase", {"-UNREGSERVER"}, C::AppUnregister, ""},
        CommandLineRow{
            "EmbeddingAnyCase", {"-unregister", "/embedding"}, C::AppUnregister, "", true},
        CommandLineRow{
            "AutomationRecorded", {"-Automation", "a.iff"}, C::FileOpen, "a.iff", false, true},
        CommandLineRow{"LastSwitchAfterFile", {"a.iff", "/dde"}, C::FileDDE, "a.iff"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineInfo, PrintToTakesPrinterDriverAndPort) {
    CCommandLineInfo info;
    info.ParseCommandLine({"-pt", "a.iff", "printer", "driver", "port"});
    EXPECT_EQ(info.m_strPrinterName, "printer");
    EXPECT_EQ(info.m_strDriverName, "driver");
    EXPECT_EQ(info.m_strPortName, "port");
}

TEST(CommandLineInfo, ASlashArgumentNamingAnExistingFileIsAFile) {
    // Nothing can be created in "/" by a test; an existing folder shows the rule as well.
    CCommandLineInfo info;
    info.ParseCommandLine({"/tmp"});
    EXPECT_EQ(info.m_strFileName, "/tmp");
    EXPECT_EQ(info.m_nShellCommand, C::FileOpen);
}

}  // namespace
