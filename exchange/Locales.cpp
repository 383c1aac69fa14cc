#include "exchange/Locales.h"

#include <cctype>
#include <string>

#include "strings/Languages.h"

namespace {

// By slot (strings/Languages.h). USEnglish and UKEnglish need their regions to stay apart;
// Norwegian is Bokmal, the written standard translation tools expect.
const char* const kLocales[kSlotCount] = {
    "en_US", "en_GB", "fr", "de", "it",  "es", "nl", "sv", "pt", "ja", "pl",
    "zh_CN", "zh_TW", "th", "ko", "und", "da", "nb", "fi", "he", "ru",
};

std::string Normalised(std::string_view locale) {
    std::string out;
    for (const char c : locale) {
        out += c == '-' ? '_' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    // An encoding or modifier ("fr_FR.UTF-8", "sr@latin") says nothing about the language.
    return out.substr(0, out.find_first_of(".@"));
}

}  // namespace

const char* LocaleOfSlot(int slot) {
    return slot >= 0 && slot < kSlotCount ? kLocales[slot] : nullptr;
}

int SlotOfLocale(std::string_view locale) {
    const std::string code = Normalised(locale);
    if (code.empty()) {
        return -1;
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (Normalised(kLocales[slot]) == code) {
            return slot;
        }
    }
    const std::string language = code.substr(0, code.find('_'));
    const std::string region =
        code.size() > language.size() ? code.substr(language.size() + 1) : "";
    if (language == "zh") {
        if (region == "hans" || region == "sg" || region == "my") {
            return 11;
        }
        if (region == "hant" || region == "hk" || region == "mo") {
            return 12;
        }
        return -1;
    }
    if (language == "en") {
        return region == "gb" || region == "uk" || region == "ie" ? 1 : 0;
    }
    if (language == "no" || language == "nn") {
        return 17;
    }
    if (language == "iw") {
        return 19;  // Hebrew's old code, which some tools still write
    }
    for (int slot = 0; slot < kSlotCount; ++slot) {
        if (Normalised(kLocales[slot]) == language) {
            return slot;
        }
    }
    return -1;
}
