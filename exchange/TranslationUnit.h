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
    std::string context;    // the key: "CTSS:2000:1", with the file in front when keyed by file
    std::string reference;  // "Chair.iff:CTSS:2000:1"; empty when the catalog gives none
    std::string source;     // the source language's text
    std::string target;     // the translation; empty when untranslated
    std::string comment;    // for the translator: the source description
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

// The file a unit belongs to: the file of its key when keyed by file, else the file of its
// reference; empty when neither names one.
[[nodiscard]] std::string FileOfUnit(const TranslationUnit& unit);
