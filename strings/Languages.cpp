#include "strings/Languages.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

// Codes 17 and 18 hold GBK (Simplified) and Big5 (Traditional) text in real files, so slot 11 is
// Simplified and slot 12 Traditional.
const char* const kNames[kSlotCount] = {
    "USEnglish",
    "UKEnglish",
    "French",
    "German",
    "Italian",
    "Spanish",
    "Dutch",
    "Swedish",
    "Portuguese",
    "Japanese",
    "Polish",
    "Simplified Chinese",
    "Traditional Chinese",
    "Thai",
    "Korean",
    nullptr,
    "Danish",
    "Norwegian",
    "Finnish",
    "Hebrew",
    "Russian",
};

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

uint8_t LanguageToCode(int slot) {
    if (slot < 0 || slot >= kSlotCount) {
        return 0;
    }
    if (slot <= 6) {
        return static_cast<uint8_t>(slot + 1);
    }
    if (slot == 7) {
        return 9;
    }
    if (slot < kClassicSlotCount) {
        return static_cast<uint8_t>(slot + 6);
    }
    if (slot == 16) {
        return 8;
    }
    return static_cast<uint8_t>(slot - 7);  // slots 17-20 hold codes 10-13
}

int CodeToLanguage(uint8_t code) {
    if (code >= 1 && code <= 7) {
        return code - 1;
    }
    if (code == 8) {
        return 16;
    }
    if (code == 9) {
        return 7;
    }
    if (code >= 10 && code <= 13) {
        return code + 7;
    }
    if (code >= 14 && code <= 21) {
        return code - 6;
    }
    return -1;
}

const char* LanguageName(int slot) {
    return slot >= 0 && slot < kSlotCount ? kNames[slot] : nullptr;
}

int SlotOfLanguageName(std::string_view name) {
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (kNames[slot] != nullptr && EqualsIgnoringCase(name, kNames[slot])) {
            return slot;
        }
    }
    return EqualsIgnoringCase(name, "Spanian") ? 5 : -1;
}

int SlotOfLanguageIndex(int index) {
    if (index < 0 || index >= kNamedLanguageCount) {
        return -1;
    }
    return index < kSlotWithoutName ? index : index + 1;
}

int LanguageIndexOfSlot(int slot) {
    if (slot < 0 || slot >= kSlotCount || slot == kSlotWithoutName) {
        return -1;
    }
    return slot < kSlotWithoutName ? slot : slot - 1;
}

std::string ReadableLanguageName(int slot) {
    if (slot == 0) {
        return "US English";
    }
    if (slot == 1) {
        return "UK English";
    }
    const char* name = LanguageName(slot);
    return name != nullptr ? std::string(name) : "slot " + std::to_string(slot);
}
