#include "strings/Languages.h"

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
