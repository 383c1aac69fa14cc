#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "iff/ChunkTypes.h"
#include "strings/TextCodec.h"

// Where a unit's text lives in a file: a text resource, an entry, and the text (part 0) or the
// description (part 1).
struct UnitKey {
    ChunkType type = 0;
    uint16_t id = 0;
    uint16_t entry = 0;
    int part = 0;

    friend bool operator==(const UnitKey&, const UnitKey&) = default;
};

// One translatable text as a catalog holds it: every string UTF-8, line breaks as '\n'.
struct TranslationUnit {
    // The key, "CTSS:2000:1", with the file in front when keyed by file; empty for a unit that
    // stands for every place its references name.
    std::string context;
    // The places the text occurs in: "Chair.iff:CTSS:2000:1", "Objects.far/chair.iff:STR#:128:0".
    std::vector<std::string> references;
    std::string source;   // the source language's text
    std::string target;   // the translation; empty when untranslated
    std::string comment;  // for the translator: the source description
    std::string translatorComment;
    bool fuzzy = false;
};

// What a catalog says about itself.
struct CatalogInfo {
    std::string language;        // the target's locale code
    std::string sourceLanguage;  // the source's, when the catalog names it
};

// "CTSS:2000:1", "STR#:128:0:description".
[[nodiscard]] std::string FormatUnitKey(const UnitKey& key);
// A key as FormatUnitKey writes it, optionally with a file name and ':' in front (which *file
// receives, empty when there is none). Nothing for anything else.
[[nodiscard]] std::optional<UnitKey> ParseUnitKey(std::string_view text, std::string* file);

// A place a unit's text goes to: a file as catalogs name it (empty when the catalog names
// none) and the key within it.
struct UnitPlace {
    std::string file;
    UnitKey key;

    friend bool operator==(const UnitPlace&, const UnitPlace&) = default;
};

// The places a unit names: the one of its key when the key names a file; else, with a key, that
// key in every file its references name (or in no file named); without a key, every reference.
// Each place once, in the order named; none for a key or references that are not keys.
[[nodiscard]] std::vector<UnitPlace> PlacesOfUnit(const TranslationUnit& unit);
// A reference as catalogs write it: a space as "%20" and '%' as "%25", because tools split
// references at spaces and drop repeated pieces ("Sub dir/a.iff:STR#:1:0").
[[nodiscard]] std::string EncodeReference(const std::string& reference);
// References as tools hand them out: pieces split at spaces are joined again (with a space)
// until they form a key, as catalogs of earlier versions need; then "%20" and "%25" decoded. A
// last piece that forms no key is kept as it is.
[[nodiscard]] std::vector<std::string> RejoinReferences(const std::vector<std::string>& pieces);
// "Chair.iff:STR#:128:0", or the key alone for a place without a file.
[[nodiscard]] std::string FormatPlace(const UnitPlace& place);
