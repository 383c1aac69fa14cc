#pragma once

#include <string_view>

// The locale code that translation tools use for the language of a slot ("fr", "zh_CN"); null
// for a slot out of range. The slot without a name gets "und" (undetermined), the code for a
// language that cannot be told.
[[nodiscard]] const char* LocaleOfSlot(int slot);
// The slot of a locale code, case ignored, "-" read as "_": an exact code of the table first,
// then its language part ("fr_CA" is French, "pt_BR" Portuguese, "zh_Hans" and "zh_SG"
// Simplified Chinese, "zh_Hant", "zh_HK" Traditional); "no" and "nn" are Norwegian too. -1 for
// a locale no slot holds ("zh" alone says neither script).
[[nodiscard]] int SlotOfLocale(std::string_view locale);
