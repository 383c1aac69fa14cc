// Start-up from the command line: what each kind of argument opens, shows and leaves behind.
#include "tests/app/AppFixture.h"

#include "app/MainFrame.h"
#include "app/Resource.h"
#include "document/TallyglassDoc.h"
#include "view/TallyglassView.h"

#include <QFileInfo>
#include <QListWidget>
#include <QSettings>

namespace {

struct StartupCase {
    const char* name;
    // Arguments; "@" stands for the folder of the test files.
    std::vector<std::string> args;
    bool started;
    // The frame's title when started; empty: no frame shown.
    const char* title;
    // The texts of the message boxes shown, in order ("@" as above).
    std::vector<std::string> messages;
    int resources;  // entries of the resource list when started
    int exitCode;   // the exit status after a failed start-up
};

std::string Expand(const std::string& text, const std::string& folder) {
    std::string out;
    for (char c : text) {
        if (c == '@')
            out += folder;
        else
            out += c;
    }
    return out;
}

void PrintTo(const StartupCase& c, std::ostream* os) {
    *os << c.name;
}

class AppStartupTest : public AppFixture, public ::testing::WithParamInterface<StartupCase> {};
class AppUnregisterTest : public AppFixture {};

const std::string kNotFound = "@/missing.iff was not found.";

INSTANTIATE_TEST_SUITE_P(
    CommandLine, AppStartupTest,
    ::testing::Values(
        StartupCase{"NoArguments", {}, true, "Untitled - Tallyglass", {}, 0, 0},
        StartupCase{"File", {"@/strings.iff"}, true, "strings.iff - Tallyglass", {}, 2, 0},
        StartupCase{"RelativeFile", {"strings.iff"}, true, "strings.iff - Tallyglass", {}, 2, 0},
        StartupCase{
            "QuotedFile", {"\"@/strings.iff\""}, true, "strings.iff - Tallyglass", {}, 2, 0},
        StartupCase{
            "MissingFile", {"@/missing.iff"}, true, "Untitled - Tallyglass", {kNotFound}, 0, 0},
        StartupCase{"NotIff",
                    {"@/junk.iff"},
                    true,
                    "Untitled - Tallyglass",
                    {"junk.iff: This file is *not* an IFF file!"},
                    0,
                    0},
        StartupCase{"UnknownSwitchIgnored",
                    {"-x", "/y", "@/strings.iff"},
                    true,
                    "strings.iff - Tallyglass",
                    {},
                    2,
                    0},
        StartupCase{"SecondFileIgnored",
                    {"@/strings.iff", "@/junk.iff"},
                    true,
                    "strings.iff - Tallyglass",
                    {},
                    2,
                    0},
        StartupCase{"Print", {"/p", "@/strings.iff"}, false, "", {}, 0, 1},
        StartupCase{
            "PrintTo", {"-pt", "@/strings.iff", "printer", "driver", "port"}, false, "", {}, 0, 1},
        StartupCase{"PrintMissing", {"/p", "@/missing.iff"}, false, "", {kNotFound}, 0, 1},
        StartupCase{"Dde", {"-dde"}, true, "Untitled - Tallyglass", {}, 0, 0},
        StartupCase{
            "Unregister", {"/Unregister"}, false, "", {CTallyglassApp::kUnregistered}, 0, 0},
        StartupCase{"UnregserverAnyCase",
                    {"-UNREGSERVER"},
                    false,
                    "",
                    {CTallyglassApp::kUnregistered},
                    0,
                    0},
        StartupCase{"UnregisterEmbedding", {"/Unregister", "-Embedding"}, false, "", {}, 0, 0},
        StartupCase{"Automation", {"-Automation"}, true, "Untitled - Tallyglass", {}, 0, 0}),
    [](const ::testing::TestParamInfo<StartupCase>& info) { return std::string(info.param.name); });

TEST_P(AppStartupTest, OpensShowsAndReports) {
    const StartupCase& c = GetParam();
    WriteIffFile("strings.iff");
    WriteFile("junk.iff", {'N', 'O', 'T', ' ', 'I', 'F', 'F', '\n'});
    const std::string folder = QFile::encodeName(m_dir.path()).toStdString();
    std::vector<std::string> args;
    for (const std::string& arg : c.args)
        args.push_back(Expand(arg, folder));

    EXPECT_EQ(Start(args), c.started);

    std::vector<std::string> expected;
    for (const std::string& text : c.messages)
        expected.push_back(Expand(text, folder));
    EXPECT_EQ(m_messages.Texts(), expected);

    CMainFrame* frame = m_pApp->GetMainFrame();
    if (c.started) {
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(frame->isVisible());
        EXPECT_EQ(frame->windowTitle().toStdString(), c.title);
        EXPECT_EQ(m_pApp->GetView()->GetResourceList()->count(), c.resources);
        EXPECT_FALSE(m_pApp->GetDocument()->IsModified());
    } else {
        EXPECT_TRUE(frame == nullptr || !frame->isVisible());
        EXPECT_EQ(m_pApp->GetStartupExitCode(), c.exitCode);
    }
}

TEST_F(AppUnregisterTest, UnregisterRemovesTheProfileAndWritesNothingAtExit) {
    WriteIffFile("a.iff");
    ASSERT_TRUE(Start());
    OpenViaDialog(Path("a.iff"));
    Stop();
    const QString file = QSettings(QSettings::NativeFormat, QSettings::UserScope,
                                   QStringLiteral("Brackenfold"), QStringLiteral("Tallyglass"))
                             .fileName();
    ASSERT_TRUE(QFileInfo::exists(file));
    // Something else of the organisation keeps its folder.
    const QString other = QFileInfo(file).dir().filePath(QStringLiteral("Other.conf"));
    {
        QSettings keep(other, QSettings::IniFormat);
        keep.setValue(QStringLiteral("x"), 1);
    }

    EXPECT_FALSE(Start({"/Unregister"}));
    EXPECT_TRUE(m_pApp->IsUnregistered());
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_TRUE(QFileInfo::exists(other));
    Stop();
    EXPECT_FALSE(QFileInfo::exists(file)) << "the exit step wrote the recent-file list";

    // With the organisation's folder empty, it goes too.
    ASSERT_TRUE(QFile::remove(other));
    ASSERT_TRUE(Start());
    OpenViaDialog(Path("a.iff"));
    Stop();
    ASSERT_TRUE(QFileInfo::exists(file));
    m_messages.Clear();
    EXPECT_FALSE(Start({"-unregister", "-embedding"}));
    EXPECT_TRUE(m_messages.shown.empty());
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(file).path()));
}

TEST_F(AppUnregisterTest, UnregisterFailureIsReported) {
    m_removeProfileResult = false;
    EXPECT_FALSE(Start({"/Unregister"}));
    EXPECT_EQ(m_messages.Texts(), std::vector<std::string>{CTallyglassApp::kNotUnregistered});
    EXPECT_EQ(m_pApp->GetStartupExitCode(), 1);
}

}  // namespace
