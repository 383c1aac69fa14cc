#include "exchange/TranslationUnit.h"

#include "strings/TextCodec.h"
#include "strings/TextResources.h"

#include <algorithm>

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

std::vector<UnitPlace> PlacesOfUnit(const TranslationUnit& unit) {
    std::vector<UnitPlace> places;
    const auto add = [&places](UnitPlace place) {
        if (std::find(places.begin(), places.end(), place) == places.end()) {
            places.push_back(std::move(place));
        }
    };
    std::string file;
    const std::optional<UnitKey> key =
        unit.context.empty() ? std::nullopt : ParseUnitKey(unit.context, &file);
    if (!unit.context.empty() && !key) {
        return places;
    }
    if (key && !file.empty()) {
        add({file, *key});
        return places;
    }
    for (const std::string& reference : unit.references) {
        std::string referenceFile;
        if (const std::optional<UnitKey> named = ParseUnitKey(reference, &referenceFile)) {
            add({referenceFile, key ? *key : *named});
        }
    }
    if (key && places.empty()) {
        add({std::string(), *key});
    }
    return places;
}

std::vector<std::string> RejoinReferences(const std::vector<std::string>& pieces) {
    std::vector<std::string> out;
    std::string pending;
    for (const std::string& piece : pieces) {
        pending += (pending.empty() ? "" : " ") + piece;
        if (ParseUnitKey(pending, nullptr)) {
            out.push_back(std::move(pending));
            pending.clear();
        }
    }
    if (!pending.empty()) {
        out.push_back(std::move(pending));
    }
    for (std::string& reference : out) {
        std::string decoded;
        for (size_t i = 0; i < reference.size(); ++i) {
            const std::string_view next = std::string_view(reference).substr(i, 3);
            if (next == "%20" || next == "%25") {
                decoded += next == "%20" ? ' ' : '%';
                i += 2;
            } else {
                decoded += reference[i];
            }
        }
        reference = std::move(decoded);
    }
    return out;
}

std::string EncodeReference(const std::string& reference) {
    std::string out;
    for (const char c : reference) {
        out += c == ' ' ? "%20" : c == '%' ? "%25" : std::string(1, c);
    }
    return out;
}

std::string FormatPlace(const UnitPlace& place) {
    return place.file.empty() ? FormatUnitKey(place.key)
                              : place.file + ":" + FormatUnitKey(place.key);
}
