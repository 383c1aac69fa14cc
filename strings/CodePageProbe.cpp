#include "strings/CodePageProbe.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <unicode/utf16.h>

#include <string_view>
#include <utility>

namespace {

// One ICU converter, set to stop at the first invalid or unmappable sequence rather than
// substitute, so that every answer it gives is exact.
class CIcuProbe {
public:
    explicit CIcuProbe(const char* icuName) {
        UErrorCode error = U_ZERO_ERROR;
        m_pConverter = ucnv_open(icuName, &error);
        if (U_FAILURE(error)) {
            m_pConverter = nullptr;
            return;
        }
        ucnv_setToUCallBack(m_pConverter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &error);
        ucnv_setFromUCallBack(m_pConverter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                              &error);
        if (U_FAILURE(error)) {
            ucnv_close(m_pConverter);
            m_pConverter = nullptr;
        }
    }
    ~CIcuProbe() {
        if (m_pConverter != nullptr) {
            ucnv_close(m_pConverter);
        }
    }
    CIcuProbe(const CIcuProbe&) = delete;
    CIcuProbe& operator=(const CIcuProbe&) = delete;

    [[nodiscard]] bool IsOpen() const { return m_pConverter != nullptr; }
    [[nodiscard]] int MaxCharSize() const { return ucnv_getMaxCharSize(m_pConverter); }

    enum class Outcome {
        Character,  // the bytes are exactly one character, in *c
        Several,    // the bytes decode without error, but not to exactly one character
        Truncated,  // the bytes end inside a character
        Invalid,    // an invalid or unmappable sequence begins the bytes
    };
    // Decodes bytes as a complete input. For Invalid, *invalidLength receives how many bytes
    // ICU took as the bad sequence.
    Outcome Decode(const char* bytes, int length, char32_t* c, int* invalidLength) {
        ucnv_resetToUnicode(m_pConverter);
        UChar out[8];
        UChar* target = out;
        const char* source = bytes;
        UErrorCode error = U_ZERO_ERROR;
        ucnv_toUnicode(m_pConverter, &target, out + 8, &source, bytes + length, nullptr, true,
                       &error);
        if (error == U_TRUNCATED_CHAR_FOUND) {
            return Outcome::Truncated;
        }
        if (U_FAILURE(error)) {
            char invalid[8];
            int8_t invalidLen = sizeof invalid;
            UErrorCode infoError = U_ZERO_ERROR;
            ucnv_getInvalidChars(m_pConverter, invalid, &invalidLen, &infoError);
            *invalidLength = U_SUCCESS(infoError) ? invalidLen : 1;
            return Outcome::Invalid;
        }
        const auto decoded = static_cast<int32_t>(target - out);
        if (decoded == 0) {
            return Outcome::Several;
        }
        int32_t i = 0;
        UChar32 first = 0;
        U16_NEXT(out, i, decoded, first);
        *c = static_cast<char32_t>(first);
        return i == decoded ? Outcome::Character : Outcome::Several;
    }

    // True when c encodes to exactly the given bytes.
    bool EncodesTo(char32_t c, const char* bytes, int length) {
        ucnv_resetFromUnicode(m_pConverter);
        UChar text[2];
        int32_t textLength = 0;
        UBool error16 = false;
        U16_APPEND(text, textLength, 2, static_cast<UChar32>(c), error16);
        if (error16) {
            return false;
        }
        const UChar* source = text;
        char out[8];
        char* target = out;
        UErrorCode error = U_ZERO_ERROR;
        ucnv_fromUnicode(m_pConverter, &target, out + sizeof out, &source, text + textLength,
                         nullptr, true, &error);
        return U_SUCCESS(error) && target - out == length &&
               std::string_view(out, static_cast<size_t>(length)) ==
                   std::string_view(bytes, static_cast<size_t>(length));
    }

private:
    UConverter* m_pConverter = nullptr;
};

}  // namespace

bool ProbeCodePage(const char* icuName, CodePageTables& tables) {
    CIcuProbe probe(icuName);
    if (!probe.IsOpen()) {
        return false;
    }
    CodePageTables built;
    // Every Windows code page here reads bytes 01-7F as ASCII. ICU's table for windows-932 swaps
    // 1A, 1C and 7F among U+001A, U+001C and U+007F as IBM's code page does; Windows does not.
    // Byte 00 does not decode: it shows as its escape, which cannot be stored.
    for (uint16_t b = 1; b < 0x80; ++b) {
        built.single[b] = b;
    }
    // Characters that can be stored: not the ASCII ones the bytes 01-7F already stand for. The
    // tables hold BMP characters below U+FFFF only (no code page here decodes beyond); meeting
    // another makes the whole probe fail rather than show it as escapes.
    bool outsideBmp = false;
    const auto isStorable = [&outsideBmp](char32_t c) {
        outsideBmp = outsideBmp || c >= 0xFFFF;
        return c >= 0x80 && c < 0xFFFF;
    };

    // Every code page here has characters of one or two bytes; longer ones would show as escapes.
    const bool doubleByte = probe.MaxCharSize() >= 2;
    char32_t c = 0;
    int invalidLength = 0;
    for (int b = 0x80; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        const auto outcome = probe.Decode(&byte, 1, &c, &invalidLength);
        if (outcome == CIcuProbe::Outcome::Truncated && doubleByte) {
            built.single[b] = kLeadByte;
        } else if (outcome == CIcuProbe::Outcome::Character && isStorable(c) &&
                   probe.EncodesTo(c, &byte, 1)) {
            built.single[b] = static_cast<uint16_t>(c);
        }
    }
    if (doubleByte) {
        built.pairs.assign(0x10000, kNoCharacter);
        for (int lead = 0x80; lead < 256; ++lead) {
            if (built.single[lead] != kLeadByte) {
                continue;
            }
            for (int trail = 0; trail < 256; ++trail) {
                const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
                uint16_t& entry = built.pairs[static_cast<size_t>(lead << 8 | trail)];
                switch (probe.Decode(pair, 2, &c, &invalidLength)) {
                    case CIcuProbe::Outcome::Character:
                        // A character that would be written back as other bytes (Shift-JIS
                        // ED 40 becomes FA 5C), that is no real character (a U+001A substitute),
                        // or that the ASCII bytes already stand for is kept as the two bytes it
                        // came from.
                        entry = isStorable(c) && probe.EncodesTo(c, pair, 2)
                                    ? static_cast<uint16_t>(c)
                                    : kPairEscape;
                        break;
                    case CIcuProbe::Outcome::Invalid:
                        // An unassigned pair counts as one sequence; a byte that cannot follow
                        // the lead byte begins a sequence of its own.
                        entry = invalidLength == 2 ? kPairEscape : kNoCharacter;
                        break;
                    case CIcuProbe::Outcome::Several:
                    case CIcuProbe::Outcome::Truncated:
                        break;
                }
            }
        }
    }
    if (outsideBmp) {
        return false;
    }
    tables = std::move(built);
    return true;
}
