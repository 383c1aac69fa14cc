#pragma once

#include <map>
#include <string>
#include <utility>

#include "framework/doc/Profile.h"

// A profile in memory for tests; every write can be made to fail.
class MemoryProfile : public IProfile {
public:
    std::string GetString(const std::string& section, const std::string& entry,
                          const std::string& fallback = {}) const override {
        const auto it = values.find({section, entry});
        return it == values.end() ? fallback : it->second;
    }
    bool WriteString(const std::string& section, const std::string& entry,
                     const std::string& value) override {
        if (readOnly) {
            return false;
        }
        values[{section, entry}] = value;
        return true;
    }
    bool DeleteSection(const std::string& section) override {
        if (readOnly) {
            return false;
        }
        ++deletedSections;
        for (auto it = values.begin(); it != values.end();) {
            it = it->first.first == section ? values.erase(it) : std::next(it);
        }
        return true;
    }

    std::map<std::pair<std::string, std::string>, std::string> values;
    bool readOnly = false;
    int deletedSections = 0;
};
