#include "strings/TextResources.h"

#include <algorithm>

bool IsTextResourceType(ChunkType type) {
    return std::find(kTextResourceTypes.begin(), kTextResourceTypes.end(), type) !=
           kTextResourceTypes.end();
}

std::string ChunkTypeName(ChunkType type) {
    return {static_cast<char>(type >> 24), static_cast<char>(type >> 16),
            static_cast<char>(type >> 8), static_cast<char>(type)};
}

std::optional<ChunkType> ParseTextResourceType(std::string_view name) {
    for (const ChunkType type : kTextResourceTypes) {
        if (name == ChunkTypeName(type)) {
            return type;
        }
    }
    return std::nullopt;
}

std::string ResourceLabelPrefix(ChunkType type, uint16_t id) {
    std::string prefix = type == kTypeStrings ? std::string() : ChunkTypeName(type) + " ";
    prefix += '#';
    prefix += std::to_string(id);
    prefix += ": ";
    return prefix;
}
