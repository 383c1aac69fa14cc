#include "framework/ui/QtFileDialogService.h"
#include "framework/ui/QtMessageBoxService.h"
#include "framework/ui/SettingsProfile.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct BoxCase {
    const char* name;
    unsigned type;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton escape;
};

class MessageBoxTypeTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(MessageBoxTypeTest, ButtonsAndIconFollowTheType) {
    const BoxCase& c = GetParam();
    const CQtMessageBoxService service;
    const auto box = service.CreateBox("Some text", "", c.type);
    EXPECT_EQ(box->standardButtons(), c.buttons);
    EXPECT_EQ(box->icon(), c.icon);
    ASSERT_NE(box->escapeButton(), nullptr);
    EXPECT_EQ(box->standardButton(box->escapeButton()), c.escape);
    EXPECT_EQ(box->text(), QStringLiteral("Some text"));
    // Without a caption of its own a box carries the application's title.
    EXPECT_EQ(box->windowTitle(), QStringLiteral("Tallyglass"));
}

INSTANTIATE_TEST_SUITE_P(
    Types, MessageBoxTypeTest,
    ::testing::Values(BoxCase{"ok", MB_OK, QMessageBox::Ok, QMessageBox::NoIcon, QMessageBox::Ok},
                      BoxCase{"stop", MB_OK | MB_ICONSTOP, QMessageBox::Ok, QMessageBox::Critical,
                              QMessageBox::Ok},
                      BoxCase{"yesNo", MB_YESNO, QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::NoIcon, QMessageBox::No},
                      BoxCase{"exclamation", MB_OK | MB_ICONEXCLAMATION, QMessageBox::Ok,
                              QMessageBox::Warning, QMessageBox::Ok},
                      BoxCase{"yesNoCancelExclamation", MB_YESNOCANCEL | MB_ICONEXCLAMATION,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                              QMessageBox::Warning, QMessageBox::Cancel}),
    [](const ::testing::TestParamInfo<BoxCase>& info) { return std::string(info.param.name); });

// Enter takes the default button: the safe answer where a question says so.
TEST(MessageBoxServiceTest, TheDefaultButtonIsTheOneTheTypeNames) {
    const CQtMessageBoxService service;
    const std::pair<unsigned, QMessageBox::StandardButton> rows[] = {
        {MB_OK, QMessageBox::Ok},
        {MB_YESNO, QMessageBox::Yes},
        {MB_YESNO | MB_DEFBUTTON2, QMessageBox::No},
        {MB_YESNOCANCEL, QMessageBox::Yes},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, QMessageBox::No},
        {MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON3, QMessageBox::Cancel},
    };
    for (const auto& [type, button] : rows) {
        const auto box = service.CreateBox("t", "", type);
        ASSERT_NE(box->defaultButton(), nullptr) << type;
        EXPECT_EQ(box->standardButton(box->defaultButton()), button) << type;
    }
}

TEST(MessageBoxServiceTest, CaptionAndResults) {
    const CQtMessageBoxService service;
    EXPECT_EQ(service.CreateBox("t", "Error", MB_OK | MB_ICONSTOP)->windowTitle(),
              QStringLiteral("Error"));
    // UTF-8 texts arrive intact.
    EXPECT_EQ(service
                  .CreateBox("Gr\xC3\xBC\xC3\x9F"
                             "e",
                             "", MB_OK)
                  ->text(),
              QStringLiteral("Gr\u00FC\u00DFe"));

    EXPECT_EQ(CQtMessageBoxService::ToResult(QMessageBox::Yes, MB_YESNO), IDYES);
    EXPECT_EQ(CQtMessageBoxService::ToResult(QMessageBox::No, MB_YESNO), IDNO);
    EXPECT_EQ(CQtMessageBoxService::ToResult(QMessageBox::NoButton, MB_YESNO), IDNO);
    EXPECT_EQ(CQtMessageBoxService::ToResult(QMessageBox::Cancel, MB_YESNOCANCEL), IDCANCEL);
    EXPECT_EQ(CQtMessageBoxService::ToResult(QMessageBox::No, MB_YESNOCANCEL), IDNO);
    EXPECT_EQ(CQtMessageBoxService::ToResult(QMessageBox::Yes, MB_YESNOCANCEL), IDYES);
    EXPECT_EQ(CQtMessageBoxService::ToResult(QMessageBox::Ok, MB_OK | MB_ICONSTOP), IDOK);
}

FileDialogRequest MakeRequest(FileDialogRequest::Kind kind, const char* title) {
    FileDialogRequest request;
    request.kind = kind;
    request.title = title;
    request.filters = {{"IFF Files (*.iff)", "*.iff"}, {"All Files (*.*)", "*.*"}};
    request.defaultExtension = "iff";
    return request;
}

TEST(FileDialogServiceTest, OpenAcceptsExistingFilesOnly) {
    const CQtFileDialogService service;
    const auto dialog = service.CreateDialog(MakeRequest(FileDialogRequest::open, "Open"));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Open"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(dialog->nameFilters(),
              QStringList({QStringLiteral("IFF Files (*.iff)"), QStringLiteral("All Files (*)")}));
    EXPECT_EQ(dialog->selectedNameFilter(), QStringLiteral("IFF Files (*.iff)"));
}

TEST(FileDialogServiceTest, SaveAsConfirmsOverwriteAndAddsTheSuffix) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FileDialogRequest request = MakeRequest(FileDialogRequest::saveAs, "Save As");
    request.proposedName = (dir.path() + QStringLiteral("/house.iff")).toStdString();
    const CQtFileDialogService service;
    const auto dialog = service.CreateDialog(request);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Save As"));
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    EXPECT_EQ(dialog->defaultSuffix(), QStringLiteral("iff"));
    EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_EQ(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
    ASSERT_FALSE(dialog->selectedFiles().isEmpty());
    EXPECT_TRUE(dialog->selectedFiles().constFirst().endsWith(QStringLiteral("/house.iff")));
}

TEST(SettingsProfileTest, WritesReadsAndDeletesSections) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.path() + QStringLiteral("/profile.ini");
    {
        CSettingsProfile profile(path);
        EXPECT_EQ(profile.GetString("Recent File List", "File1", "none"), "none");
        EXPECT_TRUE(
            profile.WriteString("Recent File List", "File1", "/home/u/\xC3\xA9t\xC3\xA9.iff"));
        EXPECT_TRUE(profile.WriteString("Recent File List", "File2", "/b.iff"));
        EXPECT_TRUE(profile.WriteString("Other", "Key", "kept"));
    }
    {
        // A second profile on the same file sees what the first wrote.
        CSettingsProfile profile(path);
        EXPECT_EQ(profile.GetString("Recent File List", "File1"), "/home/u/\xC3\xA9t\xC3\xA9.iff");
        EXPECT_TRUE(profile.DeleteSection("Recent File List"));
        EXPECT_EQ(profile.GetString("Recent File List", "File2", "gone"), "gone");
        EXPECT_EQ(profile.GetString("Other", "Key"), "kept");
    }
}

TEST(SettingsProfileTest, TheApplicationProfileIsNamedForTheVendor) {
    CSettingsProfile profile;
    EXPECT_EQ(profile.GetSettings().organizationName(), QStringLiteral("Brackenfold"));
    EXPECT_EQ(profile.GetSettings().applicationName(), QStringLiteral("Tallyglass"));
    EXPECT_TRUE(
        profile.GetSettings().fileName().endsWith(QStringLiteral("Brackenfold/Tallyglass.conf")));
}

}  // namespace
