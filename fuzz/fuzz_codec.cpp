// The text codec of one language slot, or the UTF-8 codec (from the first byte), over the rest
// of the input.
//
// Properties:
// - Lossless: Encode(Decode(b)) == b for NUL-free b, in UTF-16, in UTF-8 and through the
//   display form with its line breaks; b with a NUL is refused (a NUL would end the text), but
//   by the UTF-8 codec, whose layout has explicit lengths and keeps it.
// - Honest: whatever text Encode accepts decodes back to that very text, so the bytes written
//   are the text shown. Tried on the input read as UTF-16 and as UTF-8.

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "strings/Languages.h"
#include "strings/TextCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 0x10000) {
        return 0;
    }
    // Slots -1 to kSlotCount + 1, so that both ends out of range are tried too; then UTF-8.
    const int slot = data[0] % (kSlotCount + 4) - 1;
    const bool isUtf8 = slot == kSlotCount + 2;
    const CTextCodec& codec = isUtf8 ? CTextCodec::Utf8() : CTextCodec::ForSlot(slot);
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    const bool hasNul = !isUtf8 && bytes.find('\0') != std::string_view::npos;

    const std::u16string text = codec.Decode(bytes);
    std::string back = "unchanged";
    size_t bad = 0;
    const bool encoded = codec.Encode(text, back, &bad);
    if (hasNul) {
        FUZZ_CHECK(!encoded && back == "unchanged" && bad < text.size());
    } else {
        FUZZ_CHECK(encoded && back == bytes);
    }

    const std::string utf8 = codec.DecodeUtf8(bytes);
    std::string back8;
    if (hasNul) {
        FUZZ_CHECK(!codec.EncodeUtf8(utf8, back8, &bad) && bad < utf8.size());
    } else {
        FUZZ_CHECK(codec.EncodeUtf8(utf8, back8) && back8 == bytes);
    }

    const std::u16string display = CTextCodec::ToDisplay(text);
    FUZZ_CHECK(CTextCodec::FromDisplay(display) == text);
    std::string backDisplay;
    FUZZ_CHECK(codec.EncodeDisplay(display, backDisplay) == !hasNul);
    if (!hasNul) {
        FUZZ_CHECK(backDisplay == bytes);
    }

    // The input as text the user might type or paste.
    std::u16string typed;
    for (size_t i = 1; i + 1 < size; i += 2) {
        typed.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    std::string stored;
    if (codec.Encode(typed, stored)) {
        FUZZ_CHECK(isUtf8 || stored.find('\0') == std::string::npos);
        FUZZ_CHECK(codec.Decode(stored) == typed);
    }
    std::string typedDisplay;
    size_t badDisplay = 0;
    if (!codec.EncodeDisplay(typed, typedDisplay, &badDisplay)) {
        FUZZ_CHECK(badDisplay <= typed.size());
    }
    std::string stored8;
    if (codec.EncodeUtf8(bytes, stored8)) {
        FUZZ_CHECK(isUtf8 || stored8.find('\0') == std::string::npos);
        FUZZ_CHECK(codec.DecodeUtf8(stored8) == bytes);
    }
    return 0;
}
