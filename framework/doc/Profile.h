#pragma once

#include <string>

// The user's profile: string values by section and value name. The editor keeps it in QSettings;
// the tests keep it in memory.
class IProfile {
public:
    virtual ~IProfile() = default;

    // The stored value, or fallback when the value does not exist.
    [[nodiscard]] virtual std::string GetString(const std::string& section,
                                                const std::string& entry,
                                                const std::string& fallback = {}) const = 0;
    // Stores value; false when the profile cannot be written.
    virtual bool WriteString(const std::string& section, const std::string& entry,
                             const std::string& value) = 0;
    // Removes the section with all its values; false when the profile cannot be written.
    virtual bool DeleteSection(const std::string& section) = 0;
};
