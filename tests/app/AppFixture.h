#pragma once

#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/TallyglassApp.h"
#include "framework/ui/SettingsProfile.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/ScriptedFileDialog.h"

class QDialog;

// One STR# resource of a generated test file: id, name and its strings (plain layout).
struct TestResource {
    uint16_t id;
    std::string name;
    std::vector<std::string> strings;
};

// The bytes of a version 2.0 IFF file holding the resources as STR# chunks.
[[nodiscard]] std::vector<uint8_t> BuildIff(const std::vector<TestResource>& resources);

// Drives the application the way a user would, with scripted dialogs and message boxes, files in
// a temporary folder (which is also the current folder) and the real QSettings profile, which the
// test main has moved into a temporary folder of its own.
class AppFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A file in the temporary folder: its absolute path.
    [[nodiscard]] std::string Path(const std::string& name) const;
    std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const;
    // A small IFF file with two STR# resources.
    std::string WriteIffFile(const std::string& name) const;
    [[nodiscard]] static std::vector<uint8_t> ReadFile(const std::string& path);

    // Creates the application and runs InitInstance with args; returns its result.
    bool Start(const std::vector<std::string>& args = {});
    // The exit step, then the application destroyed, as at the end of the program.
    void Stop();
    // Runs a command through the frame's host, as a menu item or key would.
    void Command(int id);
    // Opens path through the Open command and its (scripted) dialog.
    void OpenViaDialog(const std::string& path);
    [[nodiscard]] QString Title() const;

    QTemporaryDir m_dir;
    QString m_oldCurrent;
    RecordingMessageBox m_messages;
    ScriptedFileDialog m_dialogs;
    std::unique_ptr<CSettingsProfile> m_pProfile;
    std::unique_ptr<CTallyglassApp> m_pApp;
    // Called with each dialog the application runs modally (About, Export Translation...), while
    // it runs, as a user would answer it; a dialog it leaves open is rejected, as Escape would.
    std::function<void(QDialog&)> m_runModal;
    int m_nModalRuns = 0;
    // When set, the unregister request reports this instead of removing the profile.
    std::optional<bool> m_removeProfileResult;

private:
    // Hands a modal dialog that has just opened to m_runModal.
    void DriveModal();

    QTimer m_modalTimer;
};
