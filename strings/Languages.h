#pragma once

#include <cstdint>

// Language slots 0-15 hold codes 1-7, 9, 14-21; slots 16-20 hold the further codes 8, 10, 11, 12
// and 13 (Danish, Norwegian, Finnish, Hebrew, Russian) that real files carry.
inline constexpr int kSlotCount = 21;
inline constexpr int kClassicSlotCount = 16;

// The language code of a slot; 0 for a slot out of range.
[[nodiscard]] uint8_t LanguageToCode(int slot);
// The slot of a language code; -1 for a code without a slot (0, 22-255).
[[nodiscard]] int CodeToLanguage(uint8_t code);
