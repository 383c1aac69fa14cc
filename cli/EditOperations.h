#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "iff/ChunkTypes.h"
#include "strings/StringSet.h"

// The editing commands of the command-line tool, each done through the document as the editor
// does it: open, load the text resource into a working copy, change it, store it, save. Every
// Run function returns the exit status: 0 done, 1 failed with the reason on stderr and nothing
// written. Without an output path the file is saved in place; with one, FILE stays untouched.

struct EditTarget {
    std::string file;
    ChunkType type = kTypeStrings;
    uint16_t id = 0;
    std::string output;  // empty: save in place
    bool force = false;  // replace a read-only file
};

struct SetRequest {
    EditTarget target;
    int entry = 0;  // the entry count appends a new entry
    int slot = 0;
    // UTF-8 texts, stored in the slot's code page; or raw bytes (from --text-hex).
    std::optional<std::string> text;
    std::optional<std::string> description;
    bool textIsBytes = false;
    bool descriptionIsBytes = false;
};

[[nodiscard]] int RunSet(const SetRequest& request);
[[nodiscard]] int RunLayout(const EditTarget& target, StringLayout layout);
[[nodiscard]] int RunCopyToAll(const EditTarget& target, std::vector<int> entries, int slot);

// A language slot: a number 0-20 or a language name ("USEnglish", "French", "Russian"...; case
// ignored; "Spanian" too, the name older versions showed), or a locale code ("fr", "zh_CN",
// "pt_BR"). Nothing for anything else.
[[nodiscard]] std::optional<int> ParseSlot(const std::string& text);
// The name of a slot, or "slot N" for the slot without a name.
[[nodiscard]] std::string SlotName(int slot);
// Bytes from hexadecimal digit pairs, optionally separated by spaces; nothing when malformed.
[[nodiscard]] std::optional<std::string> ParseHexBytes(const std::string& text);
