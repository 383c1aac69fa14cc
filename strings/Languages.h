#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Language slots 0-15 hold codes 1-7, 9, 14-21; slots 16-20 hold the further codes 8, 10, 11, 12
// and 13 (Danish, Norwegian, Finnish, Hebrew, Russian) that real files carry.
inline constexpr int kSlotCount = 21;
inline constexpr int kClassicSlotCount = 16;
// The slot without a name (code 21): no language list offers it.
inline constexpr int kSlotWithoutName = 15;
// Named languages, in the order language lists show them: slots 0-14, then slots 16-20.
inline constexpr int kNamedLanguageCount = 20;

// The language code of a slot; 0 for a slot out of range.
[[nodiscard]] uint8_t LanguageToCode(int slot);
// The slot of a language code; -1 for a code without a slot (0, 22-255).
[[nodiscard]] int CodeToLanguage(uint8_t code);

// The name of a slot's language ("USEnglish", "Simplified Chinese"); null for slot 15 and for
// slots out of range.
[[nodiscard]] const char* LanguageName(int slot);
// The name as a sentence shows it: "US English" and "UK English", the others as LanguageName;
// "slot 15" for the slot without a name.
[[nodiscard]] std::string ReadableLanguageName(int slot);
// The slot of a language name, case ignored; the old misspelling "Spanian" still names Spanish.
// -1 for a name no slot has.
[[nodiscard]] int SlotOfLanguageName(std::string_view name);
// The slot a language list shows at an index (0 to kNamedLanguageCount - 1), and back; -1 for
// none.
[[nodiscard]] int SlotOfLanguageIndex(int index);
[[nodiscard]] int LanguageIndexOfSlot(int slot);
