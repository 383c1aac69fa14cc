#include "exchange/TranslationUnit.h"

#include "strings/TextCodec.h"
#include "strings/TextResources.h"

namespace {

constexpr std::string_view kDescriptionSuffix = ":description";

std::optional<uint16_t> ParseU16(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 0xFFFF || (text.size() > 1 && text[0] == '0')) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

// Splits off the last ':'-separated field of text.
bool TakeLast(std::string_view& text, std::string_view& field) {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        field = text;
        text = {};
        return false;
    }
    field = text.substr(colon + 1);
    text = text.substr(0, colon);
    return true;
}

}  // namespace

std::string FormatUnitKey(const UnitKey& key) {
    std::string text =
        ChunkTypeName(key.type) + ":" + std::to_string(key.id) + ":" + std::to_string(key.entry);
    if (key.part == 1) {
        text += kDescriptionSuffix;
    }
    return text;
}

std::optional<UnitKey> ParseUnitKey(std::string_view text, std::string* file) {
    UnitKey key;
    if (text.size() >= kDescriptionSuffix.size() &&
        text.substr(text.size() - kDescriptionSuffix.size()) == kDescriptionSuffix) {
        key.part = 1;
        text.remove_suffix(kDescriptionSuffix.size());
    }
    std::string_view entry;
    std::string_view id;
    std::string_view type;
    if (!TakeLast(text, entry) || !TakeLast(text, id)) {
        return std::nullopt;
    }
    const bool hasFile = TakeLast(text, type);
    const std::optional<uint16_t> entryValue = ParseU16(entry);
    const std::optional<uint16_t> idValue = ParseU16(id);
    const std::optional<ChunkType> typeValue = ParseTextResourceType(type);
    if (!entryValue || !idValue || !typeValue || (hasFile && text.empty())) {
        return std::nullopt;
    }
    key.type = *typeValue;
    key.id = *idValue;
    key.entry = *entryValue;
    if (file != nullptr) {
        *file = hasFile ? std::string(text) : std::string();
    }
    return key;
}

std::string FileOfUnit(const TranslationUnit& unit) {
    std::string file;
    if (ParseUnitKey(unit.context, &file) && !file.empty()) {
        return file;
    }
    if (ParseUnitKey(unit.reference, &file)) {
        return file;
    }
    return {};
}
