#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "iff/ChunkTypes.h"

// The chunk types that hold text in the string layouts, in the order lists show them.
inline constexpr std::array<ChunkType, 4> kTextResourceTypes = {
    kTypeStrings, kTypeCatalogStrings, kTypePieMenuStrings, kTypeFamilyStrings};

[[nodiscard]] bool IsTextResourceType(ChunkType type);
// The four characters of a chunk type ("STR#").
[[nodiscard]] std::string ChunkTypeName(ChunkType type);
// The text resource type of a name, spelled exactly as in files ("STR#", "CTSS", "TTAs", "FAMs");
// nothing for any other.
[[nodiscard]] std::optional<ChunkType> ParseTextResourceType(std::string_view name);
// How lists name a resource before its name: "#128: " for STR#, "CTSS #128: " for the others,
// so that STR# resources sort first.
[[nodiscard]] std::string ResourceLabelPrefix(ChunkType type, uint16_t id);
