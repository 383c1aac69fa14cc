#include "framework/ui/SettingsProfile.h"

namespace {

QString Key(const std::string& section, const std::string& entry) {
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(entry);
}

}  // namespace

CSettingsProfile::CSettingsProfile()
    : m_pSettings(std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                              QStringLiteral("Brackenfold"),
                                              QStringLiteral("Tallyglass"))) {}

CSettingsProfile::CSettingsProfile(const QString& path)
    : m_pSettings(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

std::string CSettingsProfile::GetString(const std::string& section, const std::string& entry,
                                        const std::string& fallback) const {
    const QVariant value = m_pSettings->value(Key(section, entry));
    if (!value.isValid())
        return fallback;
    return value.toString().toStdString();
}

bool CSettingsProfile::WriteString(const std::string& section, const std::string& entry,
                                   const std::string& value) {
    m_pSettings->setValue(Key(section, entry), QString::fromStdString(value));
    return Flush();
}

bool CSettingsProfile::DeleteSection(const std::string& section) {
    m_pSettings->remove(QString::fromStdString(section));
    return Flush();
}

bool CSettingsProfile::Flush() {
    m_pSettings->sync();
    return m_pSettings->status() == QSettings::NoError;
}
