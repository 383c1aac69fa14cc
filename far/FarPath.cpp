#include "far/FarPath.h"

#include <sys/stat.h>

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::optional<FarPath> SplitFarPath(const std::string& argument) {
    if (argument.empty() || Exists(argument)) {
        return std::nullopt;
    }
    for (size_t colon = argument.rfind(':'); colon != std::string::npos && colon != 0;
         colon = argument.rfind(':', colon - 1)) {
        if (colon + 1 < argument.size() && IsRegularFile(argument.substr(0, colon))) {
            return FarPath{argument.substr(0, colon), argument.substr(colon + 1)};
        }
    }
    return std::nullopt;
}
