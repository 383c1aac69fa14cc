// The UTF-8 codec of the UTF-8 layout: lossless over any bytes (NUL included), honest about what
// it accepts, and the escapes that keep both promises.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

#include "strings/TextCodec.h"

namespace {

const CTextCodec& Utf8() {
    return CTextCodec::Utf8();
}

std::u16string Esc(uint8_t byte) {
    const char32_t c = CTextCodec::EscapeOf(byte) - 0x10000;
    return {static_cast<char16_t>(0xD800 + (c >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        out += kDigits[static_cast<uint8_t>(c) >> 4];
        out += kDigits[static_cast<uint8_t>(c) & 0x0F];
        out += ' ';
    }
    return out;
}

// Empty when bytes come back unchanged through UTF-16, UTF-8 and the display form.
std::string RoundTripFailure(const std::string& bytes) {
    std::string back;
    if (!Utf8().Encode(Utf8().Decode(bytes), back) || back != bytes) {
        return "Encode(Decode) of " + Hex(bytes);
    }
    if (!Utf8().EncodeUtf8(Utf8().DecodeUtf8(bytes), back) || back != bytes) {
        return "EncodeUtf8(DecodeUtf8) of " + Hex(bytes);
    }
    if (!Utf8().EncodeDisplay(CTextCodec::ToDisplay(Utf8().Decode(bytes)), back) || back != bytes) {
        return "display round trip of " + Hex(bytes);
    }
    return {};
}

TEST(Utf8Codec, EveryByteAndEveryBytePairRoundTrips) {
    EXPECT_STREQ(Utf8().Name(), "UTF-8");
    EXPECT_TRUE(Utf8().IsAvailable());
    int failures = 0;
    for (int b = 0; b < 256; ++b) {
        const std::string failure = RoundTripFailure(std::string(1, static_cast<char>(b)));
        EXPECT_TRUE(failure.empty()) << failure;
    }
    for (int pair = 0; pair < 0x10000 && failures < 10; ++pair) {
        const std::string failure =
            RoundTripFailure({static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)});
        if (!failure.empty()) {
            ADD_FAILURE() << failure;
            ++failures;
        }
    }
}

TEST(Utf8Codec, LongerSequencesAndRandomBytesRoundTrip) {
    // Every three- and four-byte lead with trail bytes at the edges of the continuation range.
    const uint8_t trails[] = {0x00, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xFF};
    for (int lead = 0xE0; lead < 0x100; ++lead) {
        for (const uint8_t a : trails) {
            for (const uint8_t b : trails) {
                for (const uint8_t c : trails) {
                    const std::string bytes = {static_cast<char>(lead), static_cast<char>(a),
                                               static_cast<char>(b), static_cast<char>(c)};
                    const std::string failure = RoundTripFailure(bytes);
                    ASSERT_TRUE(failure.empty()) << failure;
                }
            }
        }
    }
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> any(0, 0xFF);
    std::uniform_int_distribution<int> length(1, 16);
    for (int n = 0; n < 5000; ++n) {
        std::string bytes;
        for (int i = length(random); i > 0; --i) {
            bytes.push_back(static_cast<char>(any(random)));
        }
        const std::string failure = RoundTripFailure(bytes);
        ASSERT_TRUE(failure.empty()) << failure;
    }
}

TEST(Utf8Codec, WellFormedTextIsItsCharactersAndIllFormedBytesAreEscapes) {
    struct Row {
        std::string bytes;
        std::u16string text;
    };
    const Row rows[] = {
        {"caf\xC3\xA9 \xE2\x80\x9C\xF0\x9F\x98\x80", u"café “\U0001F600"},
        {"\xC0\xAF", Esc(0xC0) + Esc(0xAF)},                                  // overlong
        {"\xED\xA0\x80", Esc(0xED) + Esc(0xA0) + Esc(0x80)},                  // surrogate
        {"\xF4\x90\x80\x80", Esc(0xF4) + Esc(0x90) + Esc(0x80) + Esc(0x80)},  // above U+10FFFF
        {"\xE2\x80", Esc(0xE2) + Esc(0x80)},                                  // truncated
        {std::string("a\0b", 3), u"a" + Esc(0) + u"b"},
        // The code points of escapes, written as UTF-8, would read back as single bytes.
        {"\xF3\xB0\x81\x81", Esc(0xF3) + Esc(0xB0) + Esc(0x81) + Esc(0x81)},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Utf8().Decode(row.bytes), row.text) << Hex(row.bytes);
        std::string back;
        EXPECT_TRUE(Utf8().Encode(row.text, back)) << Hex(row.bytes);
        EXPECT_EQ(back, row.bytes);
    }
}

TEST(Utf8Codec, RefusesOnlyWhatWouldNotReadBack) {
    struct Row {
        std::u16string text;
        size_t bad;
    };
    const Row refused[] = {
        {u"ab" + std::u16string(1, u'\0'), 2},
        {u"x" + std::u16string(1, static_cast<char16_t>(0xD800)) + u"y", 1},  // lone surrogate
        {u"a" + Esc('A'), 1},                           // would read back as "A"
        {Esc(0xC3) + Esc(0xA9), 0},                     // would read back as "é"
        {u"z" + Esc(0xE2) + Esc(0x80) + Esc(0x9C), 1},  // would read back as "“"
    };
    for (const Row& row : refused) {
        std::string bytes = "unchanged";
        size_t bad = 99;
        EXPECT_FALSE(Utf8().Encode(row.text, bytes, &bad));
        EXPECT_EQ(bad, row.bad);
        EXPECT_EQ(bytes, "unchanged");
    }
    // Every other character can be stored, the escapes of bytes that cannot begin a character
    // among them.
    std::string bytes;
    EXPECT_TRUE(Utf8().Encode(u"日本語 łódź ไทย 한국어 \U0001F600" + Esc(0xFF) + Esc(0), bytes));
    EXPECT_EQ(bytes,
              std::string("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xC5\x82\xC3\xB3"
                          "d\xC5\xBA \xE0\xB9\x84\xE0\xB8\x97\xE0\xB8\xA2 \xED\x95\x9C\xEA\xB5"
                          "\xAD\xEC\x96\xB4 \xF0\x9F\x98\x80\xFF") +
                  std::string(1, '\0'));
}

}  // namespace
