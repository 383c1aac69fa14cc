#pragma once

#include "framework/doc/Profile.h"

#include <QSettings>
#include <QString>

#include <memory>
#include <string>

// The profile on QSettings: organisation "Brackenfold", application "Tallyglass" (on Linux
// ~/.config/Brackenfold/Tallyglass.conf). A section is a settings group, an entry a key in it.
class CSettingsProfile : public IProfile {
public:
    // The application's own profile.
    CSettingsProfile();
    // A profile kept in an INI file at path (for tests and portable use).
    explicit CSettingsProfile(const QString& path);

    [[nodiscard]] std::string GetString(const std::string& section, const std::string& entry,
                                        const std::string& fallback = {}) const override;
    bool WriteString(const std::string& section, const std::string& entry,
                     const std::string& value) override;
    bool DeleteSection(const std::string& section) override;

    [[nodiscard]] QSettings& GetSettings() { return *m_pSettings; }

private:
    [[nodiscard]] bool Flush();

    std::unique_ptr<QSettings> m_pSettings;
};
