#include "strings/TextCodec.h"

#include "strings/CodePageProbe.h"
#include "strings/Languages.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

// Names the code page in test output rather than an address.
void PrintTo(const CTextCodec* codec, std::ostream* os) {
    *os << codec->Name();
}

namespace {

// The escape of a byte as UTF-16, the form Decode gives it.
std::u16string Esc(uint8_t byte) {
    const char32_t c = CTextCodec::EscapeOf(byte) - 0x10000;
    return {static_cast<char16_t>(0xD800 + (c >> 10)), static_cast<char16_t>(0xDC00 + (c & 0x3FF))};
}

std::string Hex(std::string_view bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : bytes) {
        const auto b = static_cast<uint8_t>(ch);
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
        out += ' ';
    }
    return out;
}

// The distinct codecs, one per code page.
std::vector<const CTextCodec*> AllCodecs() {
    std::vector<const CTextCodec*> codecs;
    for (int slot = 0; slot < kSlotCount; ++slot) {
        const CTextCodec* codec = &CTextCodec::ForSlot(slot);
        if (std::find(codecs.begin(), codecs.end(), codec) == codecs.end()) {
            codecs.push_back(codec);
        }
    }
    return codecs;
}

// Decode, encode again, and the same through the display form of line breaks; returns a failure
// description, or an empty string when every path gives back the bytes.
std::string RoundTripFailure(const CTextCodec& codec, const std::string& bytes) {
    const std::u16string text = codec.Decode(bytes);
    std::string back;
    if (!codec.Encode(text, back) || back != bytes) {
        return "Encode(Decode) of " + Hex(bytes);
    }
    back.clear();
    if (!codec.EncodeDisplay(CTextCodec::ToDisplay(text), back) || back != bytes) {
        return "display round trip of " + Hex(bytes);
    }
    back.clear();
    if (!codec.EncodeUtf8(codec.DecodeUtf8(bytes), back) || back != bytes) {
        return "EncodeUtf8(DecodeUtf8) of " + Hex(bytes);
    }
    return {};
}

// ICU's own streaming conversion, with its default substitution.
class CIcuDecoder {
public:
    explicit CIcuDecoder(const char* icuName) {
        UErrorCode error = U_ZERO_ERROR;
        m_pConverter = ucnv_open(icuName, &error);
        EXPECT_TRUE(U_SUCCESS(error)) << icuName;
    }
    ~CIcuDecoder() { ucnv_close(m_pConverter); }
    CIcuDecoder(const CIcuDecoder&) = delete;
    CIcuDecoder& operator=(const CIcuDecoder&) = delete;

    std::u16string Decode(const std::string& bytes) {
        std::u16string out(bytes.size() * 2 + 2, u'\0');
        UErrorCode error = U_ZERO_ERROR;
        const int32_t length = ucnv_toUChars(m_pConverter, reinterpret_cast<UChar*>(out.data()),
                                             static_cast<int32_t>(out.size()), bytes.data(),
                                             static_cast<int32_t>(bytes.size()), &error);
        EXPECT_TRUE(U_SUCCESS(error));
        out.resize(static_cast<size_t>(length));
        return out;
    }

private:
    UConverter* m_pConverter = nullptr;
};

bool HasEscape(std::u16string_view text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
            const char32_t c =
                0x10000 + ((char32_t{text[i]} - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            if (CTextCodec::IsEscape(c)) {
                return true;
            }
        }
    }
    return false;
}

TEST(TextCodecSlots, EachSlotUsesTheCodePageOfItsLanguage) {
    const char* const kExpected[kSlotCount] = {
        "windows-1252", "windows-1252", "windows-1252", "windows-1252", "windows-1252",
        "windows-1252", "windows-1252", "windows-1252", "windows-1252",
        "windows-932",                                   // 9: Japanese
        "windows-1250",                                  // 10: Polish
        "windows-936",                                   // 11: code 17, Simplified Chinese
        "windows-950",                                   // 12: code 18, Traditional Chinese
        "windows-874",                                   // 13: Thai
        "windows-949",                                   // 14: Korean
        "windows-1252",                                  // 15: code 21
        "windows-1252", "windows-1252", "windows-1252",  // Danish, Norwegian, Finnish
        "windows-1255",                                  // 19: Hebrew
        "windows-1251",                                  // 20: Russian
    };
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_STREQ(CTextCodec::ForSlot(slot).Name(), kExpected[slot]) << "slot " << slot;
        EXPECT_TRUE(CTextCodec::ForSlot(slot).IsAvailable()) << "slot " << slot;
    }
    EXPECT_EQ(&CTextCodec::ForSlot(-1), &CTextCodec::Western());
    EXPECT_EQ(&CTextCodec::ForSlot(kSlotCount), &CTextCodec::Western());
    EXPECT_EQ(&CTextCodec::ForSlot(16), &CTextCodec::Western());
    EXPECT_STREQ(CTextCodec::Western().Name(), "windows-1252");
    EXPECT_EQ(AllCodecs().size(), 9u);
}

// The tables compiled into the program are what ICU gives today, for every byte and byte pair
// of every code page: a newer ICU that changed a mapping shows here.
TEST(CompiledCodePages, EqualWhatIcuGivesForEveryByteAndBytePair) {
    for (int index = 0; index < kCodePageCount; ++index) {
        SCOPED_TRACE(kCodePages[index].name);
        CodePageTables icu;
        ASSERT_TRUE(ProbeCodePage(kCodePages[index].icuName, icu));
        const CompiledCodePage& compiled = kCompiledCodePages[index];
        for (size_t b = 0; b < icu.single.size(); ++b) {
            EXPECT_EQ(compiled.single[b], icu.single[b]) << "byte " << Hex(std::string(1, char(b)));
        }
        ASSERT_EQ(compiled.pairs == nullptr, icu.pairs.empty());
        for (size_t code = 0; code < icu.pairs.size(); ++code) {
            ASSERT_EQ(compiled.pairs[code], icu.pairs[code]) << "pair " << std::hex << code;
        }
    }
}

// The probe finds what the code pages are known for: double-byte code pages have lead bytes and
// pairs, Shift-JIS ED 40 (written back as FA 5C) is kept as two escapes, a Korean lead byte with
// a trail byte that cannot follow it is no pair, and no converter is made up for a name ICU does
// not know.
TEST(CompiledCodePages, ProbeKnowsTheCodePagesApart) {
    CodePageTables tables;
    ASSERT_TRUE(ProbeCodePage(kCodePages[kJapanese].icuName, tables));
    EXPECT_EQ(tables.single[0x82], kLeadByte);
    EXPECT_EQ(tables.single[0x41], 0x41);
    EXPECT_EQ(tables.pairs[0x829F], 0x3041);  // HIRAGANA LETTER SMALL A
    EXPECT_EQ(tables.pairs[0xED40], kPairEscape);
    ASSERT_TRUE(ProbeCodePage(kCodePages[kKorean].icuName, tables));
    EXPECT_EQ(tables.single[0xB0], kLeadByte);
    EXPECT_EQ(tables.pairs[0xB0A1], 0xAC00);  // HANGUL SYLLABLE GA
    EXPECT_EQ(tables.pairs[0xB020], kNoCharacter);
    ASSERT_TRUE(ProbeCodePage(kCodePages[kWestern].icuName, tables));
    EXPECT_TRUE(tables.pairs.empty());
    EXPECT_EQ(tables.single[0x80], 0x20AC);
    EXPECT_FALSE(ProbeCodePage("no-such-converter", tables));
    EXPECT_EQ(tables.single[0x80], 0x20AC);  // unchanged
}

class TextCodecExhaustive : public ::testing::TestWithParam<const CTextCodec*> {};

TEST_P(TextCodecExhaustive, EverySingleByteRoundTrips) {
    const CTextCodec& codec = *GetParam();
    for (int b = 1; b < 256; ++b) {
        const std::string bytes(1, static_cast<char>(b));
        const std::string failure = RoundTripFailure(codec, bytes);
        EXPECT_TRUE(failure.empty()) << failure;
    }
    // A NUL cannot stand inside a text: it shows as an escape, which is not written back.
    const std::u16string nul = codec.Decode(std::string(1, '\0'));
    EXPECT_EQ(nul, Esc(0));
    std::string bytes = "unchanged";
    size_t bad = 99;
    EXPECT_FALSE(codec.Encode(nul, bytes, &bad));
    EXPECT_EQ(bad, 0u);
    EXPECT_EQ(bytes, "unchanged");
}

TEST_P(TextCodecExhaustive, EveryBytePairRoundTrips) {
    const CTextCodec& codec = *GetParam();
    int failures = 0;
    for (int pair = 0; pair < 0x10000 && failures < 10; ++pair) {
        const std::string bytes = {static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
        if (bytes.find('\0') == std::string::npos) {
            const std::string failure = RoundTripFailure(codec, bytes);
            if (!failure.empty()) {
                ADD_FAILURE() << failure;
                ++failures;
            }
            continue;
        }
        // The first NUL is refused at the index its escape has in the decoded text.
        const size_t expected = bytes[0] == '\0' ? 0 : codec.Decode(bytes.substr(0, 1)).size();
        std::string back;
        size_t bad = 99;
        if (codec.Encode(codec.Decode(bytes), back, &bad) || bad != expected) {
            ADD_FAILURE() << "NUL accepted or misplaced in " << Hex(bytes) << ": " << bad;
            ++failures;
        }
    }
}

// Bytes 01-7F are ASCII, as in every Windows code page (ICU's windows-932 table swaps three
// control codes); every other character shown is the one ICU's own converter reads from those
// bytes; and a substitute never hides bytes: U+001A appears only where byte 1A stands.
TEST_P(TextCodecExhaustive, CharactersAgreeWithTheCodePage) {
    const CTextCodec& codec = *GetParam();
    for (int b = 1; b < 0x80; ++b) {
        EXPECT_EQ(codec.Decode(std::string(1, static_cast<char>(b))),
                  std::u16string(1, static_cast<char16_t>(b)))
            << codec.Name() << " byte " << b;
    }
    CIcuDecoder icu(codec.IcuName());
    int failures = 0;
    for (int pair = 0x0101; pair < 0x10000 && failures < 10; ++pair) {
        const std::string bytes = {static_cast<char>(pair >> 8), static_cast<char>(pair & 0xFF)};
        if (bytes.find('\0') != std::string::npos) {
            continue;
        }
        const std::u16string text = codec.Decode(bytes);
        const auto substitutes = std::count(text.begin(), text.end(), u'\x1A');
        const auto subBytes = std::count(bytes.begin(), bytes.end(), '\x1A');
        // A double-byte character: the two bytes decode to one character.
        const bool icuDiffers = text.size() == 1 && !HasEscape(text) && text != icu.Decode(bytes);
        if (substitutes != subBytes || icuDiffers || text.find(u'\uFFFD') != std::u16string::npos) {
            ADD_FAILURE() << codec.Name() << ": " << Hex(bytes);
            ++failures;
        }
    }
    // Every high byte that decodes alone agrees with ICU as well.
    for (int b = 0x80; b < 0x100; ++b) {
        const std::string single(1, static_cast<char>(b));
        const std::u16string text = codec.Decode(single);
        if (!HasEscape(text)) {
            EXPECT_EQ(text, icu.Decode(single)) << codec.Name() << " byte " << b;
        }
    }
}

TEST_P(TextCodecExhaustive, RandomStringsRoundTrip) {
    const CTextCodec& codec = *GetParam();
    // Bytes weighted towards what makes sequences interesting: high bytes (lead and trail bytes
    // of the double-byte code pages) and line breaks.
    std::mt19937 random(20240517);
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> high(0x80, 0xFF);
    std::uniform_int_distribution<int> any(1, 0xFF);
    std::uniform_int_distribution<int> length(1, 24);
    for (int n = 0; n < 3000; ++n) {
        std::string bytes;
        const int count = n < 1000 ? 3 : length(random);
        for (int i = 0; i < count; ++i) {
            const int k = kind(random);
            bytes.push_back(static_cast<char>(k < 5    ? high(random)
                                              : k == 5 ? '\r'
                                              : k == 6 ? '\n'
                                                       : any(random)));
        }
        const std::string failure = RoundTripFailure(codec, bytes);
        ASSERT_TRUE(failure.empty()) << failure;
    }
}

TEST_P(TextCodecExhaustive, EscapesThatWouldReadBackDifferentlyAreRefused) {
    const CTextCodec& codec = *GetParam();
    for (int b = 1; b < 256; ++b) {
        const std::string single(1, static_cast<char>(b));
        std::string bytes;
        size_t bad = 99;
        const bool decodesAlone = codec.Decode(single) != Esc(static_cast<uint8_t>(b));
        // The escape of a byte that is a character of its own would be read back as that
        // character.
        EXPECT_EQ(codec.Encode(Esc(static_cast<uint8_t>(b)), bytes, &bad), !decodesAlone)
            << codec.Name() << " byte " << b;
        // An escape followed by a letter is accepted exactly when the bytes read back as that
        // text; otherwise the refusal names the first character that would read back otherwise.
        const std::u16string text = Esc(static_cast<uint8_t>(b)) + u"A";
        const std::u16string readBack = codec.Decode(single + "A");
        const size_t firstDifference = readBack.compare(0, 2, text, 0, 2) == 0 ? 2 : 0;
        bytes.clear();
        bad = 99;
        if (codec.Encode(text, bytes, &bad)) {
            EXPECT_EQ(readBack, text) << codec.Name() << " byte " << b;
            EXPECT_EQ(bytes, single + "A");
        } else {
            EXPECT_NE(readBack, text) << codec.Name() << " byte " << b;
            EXPECT_EQ(bad, firstDifference) << codec.Name() << " byte " << b;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllCodePages, TextCodecExhaustive, ::testing::ValuesIn(AllCodecs()),
                         [](const auto& info) {
                             std::string name = info.param->Name();
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Test names for tables whose rows start with a slot: the code page and the row number.
template <typename Row>
std::string SlotRowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name = CTextCodec::ForSlot(info.param.slot).Name();
    std::replace(name.begin(), name.end(), '-', '_');
    return name + "_" + std::to_string(info.index);
}

struct KnownText {
    int slot;
    std::u16string text;
    std::string bytes;
};

void PrintTo(const KnownText& row, std::ostream* os) {
    *os << "slot " << row.slot << ": " << Hex(row.bytes);
}

class TextCodecKnownTexts : public ::testing::TestWithParam<KnownText> {};

TEST_P(TextCodecKnownTexts, EncodeAndDecodeAsTheCodePageDoes) {
    const KnownText& row = GetParam();
    const CTextCodec& codec = CTextCodec::ForSlot(row.slot);
    std::string bytes;
    ASSERT_TRUE(codec.Encode(row.text, bytes)) << codec.Name();
    EXPECT_EQ(Hex(bytes), Hex(row.bytes)) << codec.Name();
    EXPECT_EQ(codec.Decode(row.bytes), row.text) << codec.Name();
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TextCodecKnownTexts,
    ::testing::Values(
        KnownText{0, u"Caf\u00E9 \u20AC5 \u00DF",
                  "Caf\xE9 \x80"
                  "5 \xDF"},
        KnownText{2, u"\u0152uvre", "\x8Cuvre"}, KnownText{9, u"\u65E5\u672C", "\x93\xFA\x96\x7B"},
        KnownText{9, u"\u30A2\uFF71\u2460", "\x83\x41\xB1\x87\x40"},  // NEC row 13 kept
        KnownText{9, u"\u7E8A", "\xFA\x5C"}, KnownText{10, u"\u0142\u017B", "\xB3\xAF"},
        KnownText{11, u"\u4E2D\u6587\u20AC", "\xD6\xD0\xCE\xC4\x80"},
        KnownText{12, u"\u4E2D\u4E00", "\xA4\xA4\xA4\x40"},
        KnownText{13, u"\u0E01\u0E3F", "\xA1\xDF"},
        KnownText{14, u"\uD55C\uAC00", "\xC7\xD1\xB0\xA1"},
        KnownText{14, u"\uAC02", "\x81\x41"},  // windows-949 extension, unlike CP949
        KnownText{16, u"\u00E6\u00F8\u00E5", "\xE6\xF8\xE5"},
        KnownText{19, u"\u05D0\u05E9", "\xE0\xF9"}, KnownText{20, u"\u0416\u044F", "\xC6\xFF"}),
    SlotRowName<KnownText>);

struct BrokenBytes {
    int slot;
    std::string bytes;
    std::u16string decoded;
};

void PrintTo(const BrokenBytes& row, std::ostream* os) {
    *os << "slot " << row.slot << ": " << Hex(row.bytes);
}

class TextCodecBrokenBytes : public ::testing::TestWithParam<BrokenBytes> {};

TEST_P(TextCodecBrokenBytes, ShowAsEscapesAndWriteBackUnchanged) {
    const BrokenBytes& row = GetParam();
    const CTextCodec& codec = CTextCodec::ForSlot(row.slot);
    EXPECT_EQ(codec.Decode(row.bytes), row.decoded) << codec.Name();
    std::string back;
    ASSERT_TRUE(codec.Encode(row.decoded, back)) << codec.Name();
    EXPECT_EQ(Hex(back), Hex(row.bytes));
}

INSTANTIATE_TEST_SUITE_P(
    Pitfalls, TextCodecBrokenBytes,
    ::testing::Values(
        // Shift-JIS ED 40 is a character ICU would write back as FA 5C.
        BrokenBytes{9, "\xED\x40", Esc(0xED) + Esc(0x40)},
        // Unassigned double-byte sequence: two escapes, not a lead escape and a katakana.
        BrokenBytes{9, "\x81\xAD", Esc(0x81) + Esc(0xAD)},
        // A trail byte that cannot follow the lead: only the lead is escaped.
        BrokenBytes{9, "\x81\x20", Esc(0x81) + u" "},
        // Bytes that are no Shift-JIS character at all, rather than U+001A substitutes.
        BrokenBytes{9, "\xA0\xFD", Esc(0xA0) + Esc(0xFD)},
        // A lead byte at the end of the text.
        BrokenBytes{14, "a\x81", u"a" + Esc(0x81)}, BrokenBytes{12, "\xA4\x20", Esc(0xA4) + u" "},
        BrokenBytes{19, "\xD9\xFF", Esc(0xD9) + Esc(0xFF)},
        // Big5 FF is a character of its own (U+F8F8) that reads and writes back as FF.
        BrokenBytes{12, "\xFF\xFF", u"\uF8F8\uF8F8"}),
    SlotRowName<BrokenBytes>);

struct Refusal {
    int slot;
    std::u16string text;
    size_t badIndex;
};

void PrintTo(const Refusal& row, std::ostream* os) {
    *os << "slot " << row.slot << ", bad index " << row.badIndex;
}

class TextCodecRefusals : public ::testing::TestWithParam<Refusal> {};

TEST_P(TextCodecRefusals, ReportTheFirstCharacterThatCannotBeStored) {
    const Refusal& row = GetParam();
    const CTextCodec& codec = CTextCodec::ForSlot(row.slot);
    std::string bytes = "kept";
    size_t bad = 999;
    EXPECT_FALSE(codec.Encode(row.text, bytes, &bad)) << codec.Name();
    EXPECT_EQ(bad, row.badIndex) << codec.Name();
    EXPECT_EQ(bytes, "kept");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextCodecRefusals,
    ::testing::Values(
        Refusal{0, u"\u65E5", 0}, Refusal{0, u"ab\u65E5\u65E5", 2},
        Refusal{0, std::u16string(u"a\u00E9\0b", 4), 2},  // U+0000
        Refusal{9, std::u16string(u"\0", 1), 0}, Refusal{10, u"\u00E9\u0416", 1},
        Refusal{9, u"x\U0001F600", 1},  // outside the code page (a surrogate pair)
        Refusal{9, std::u16string{u'\uFF71', char16_t{0xD800}, u'a'}, 1},  // lone surrogate
        Refusal{13, u"\u0E01\u05D0", 1}, Refusal{19, u"\u05D0\u0416", 1},
        Refusal{11, u"\u4E2D\uD55C", 1}, Refusal{14, u"a\u4E2D\u0E01", 2},
        Refusal{0, u"\uFFFD", 0},  // a substitute is not a byte
        // The escape of NUL, and the escape of a byte that reads back as a character.
        Refusal{0, u"ab" + Esc(0x00), 2}, Refusal{0, u"ab" + Esc(0x41), 2},
        // A lead-byte escape followed by a letter would read back as one Hangul syllable.
        Refusal{14, u"z" + Esc(0x81) + u"A", 1},
        // The escaped Shift-JIS pair must stay two escapes: escape and '@' read back as escapes.
        Refusal{9, Esc(0xED) + u"@", 2}),
    SlotRowName<Refusal>);

TEST(TextCodecUtf8, EncodesAndDecodesUtf8AndReportsByteOffsets) {
    const CTextCodec& japanese = CTextCodec::ForSlot(9);
    EXPECT_EQ(japanese.DecodeUtf8("\x93\xFA\x96\x7B"), "\xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(japanese.DecodeUtf8("\x80"), "\xF3\xB0\x82\x80");  // escape U+F0080
    std::string bytes;
    ASSERT_TRUE(japanese.EncodeUtf8("a\xE6\x97\xA5", bytes));
    EXPECT_EQ(bytes, "a\x93\xFA");

    struct Row {
        std::string utf8;
        size_t badIndex;
    };
    const Row rows[] = {
        {"ab\xE6\x97\xA5", 2},  // U+65E5 is not in windows-1252
        {"a\xFF"
         "b",
         1},                         // not UTF-8
        {"\xC0\x80", 0},             // overlong NUL
        {"ok\xC3", 2},               // truncated
        {"\xED\xA0\x80", 0},         // encoded surrogate
        {"x\xF4\x90\x80\x80", 1},    // beyond U+10FFFF
        {std::string("a\0", 2), 1},  // NUL
    };
    for (const Row& row : rows) {
        bytes = "kept";
        size_t bad = 999;
        EXPECT_FALSE(CTextCodec::Western().EncodeUtf8(row.utf8, bytes, &bad)) << Hex(row.utf8);
        EXPECT_EQ(bad, row.badIndex) << Hex(row.utf8);
        EXPECT_EQ(bytes, "kept");
    }
}

TEST(TextCodecDisplay, CrLfIsOneLineBreakAndLoneBreaksSurvive) {
    const std::u16string cr = Esc('\r');
    const std::u16string lf = Esc('\n');
    struct Row {
        std::u16string stored;
        std::u16string display;
    };
    const Row rows[] = {
        {u"a\r\nb", u"a\nb"},        {u"\r\n\r\n", u"\n\n"},
        {u"a\rb", u"a" + cr + u"b"}, {u"a\nb", u"a" + lf + u"b"},
        {u"\n\r", lf + cr},          {u"\r\r\n", cr + u"\n"},
        {u"\r\n\n", u"\n" + lf},     {u"\r", cr},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(CTextCodec::ToDisplay(row.stored), row.display);
        EXPECT_EQ(CTextCodec::FromDisplay(row.display), row.stored);
    }
    // Line breaks typed or pasted in any convention are stored as CR LF.
    EXPECT_EQ(CTextCodec::FromDisplay(u"x\ny\r\nz\rw"), u"x\r\ny\r\nz\r\nw");
    // Escapes of other bytes pass through untouched.
    EXPECT_EQ(CTextCodec::FromDisplay(Esc(0x81) + u"\n"), Esc(0x81) + u"\r\n");
}

TEST(TextCodecDisplay, EncodeDisplayReportsIndicesInTheDisplayedText) {
    const CTextCodec& western = CTextCodec::Western();
    std::string bytes;
    ASSERT_TRUE(western.EncodeDisplay(u"a\nb" + Esc('\r') + u"\u00E9", bytes));
    EXPECT_EQ(bytes, "a\r\nb\r\xE9");

    struct Row {
        std::u16string display;
        size_t badIndex;
    };
    const Row rows[] = {
        {u"ab\n\u65E5", 3}, {u"\n\n\n\u65E5x", 3},   {Esc('\n') + u"\n\u65E5", 3},
        {u"\r\n\u0416", 2}, {u"x\n" + Esc(0x41), 2},
    };
    for (const Row& row : rows) {
        bytes = "kept";
        size_t bad = 999;
        EXPECT_FALSE(western.EncodeDisplay(row.display, bytes, &bad));
        EXPECT_EQ(bad, row.badIndex);
        EXPECT_EQ(bytes, "kept");
    }
}

TEST(TextCodecDisplay, EveryShortMixOfBreaksRoundTripsThroughTheDisplay) {
    const CTextCodec& codec = CTextCodec::Western();
    const char alphabet[] = {'\r', '\n', 'a'};
    std::set<std::u16string> displays;
    int total = 0;
    for (int length = 1; length <= 6; ++length) {
        int combinations = 1;
        for (int i = 0; i < length; ++i) {
            combinations *= 3;
        }
        for (int n = 0; n < combinations; ++n, ++total) {
            std::string bytes;
            for (int i = 0, v = n; i < length; ++i, v /= 3) {
                bytes.push_back(alphabet[v % 3]);
            }
            const std::u16string display = CTextCodec::ToDisplay(codec.Decode(bytes));
            displays.insert(display);
            std::string back;
            ASSERT_TRUE(codec.Encode(CTextCodec::FromDisplay(display), back)) << Hex(bytes);
            ASSERT_EQ(back, bytes);
        }
    }
    // Distinct stored texts never share a display form.
    EXPECT_EQ(displays.size(), static_cast<size_t>(total));
}

}  // namespace
