#include "strings/TextCodec.h"

#include "strings/CodePages.h"
#include "strings/Languages.h"

#include <memory>
#include <mutex>

namespace {

CodePageIndex CodePageOfLanguageCode(uint8_t code) {
    switch (code) {
        case 12:
            return kHebrew;
        case 13:
            return kCyrillic;
        case 15:
            return kJapanese;
        case 16:
            return kCentralEuropean;
        case 17:
            return kSimplifiedChinese;
        case 18:
            return kTraditionalChinese;
        case 19:
            return kThai;
        case 20:
            return kKorean;
        default:
            // English, French, German, Italian, Spanish, Dutch, Danish, Swedish, Norwegian,
            // Finnish, Portuguese, code 21, and slots out of range (code 0).
            return kWestern;
    }
}

constexpr char32_t kMaxCodePoint = 0x10FFFF;

bool IsSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        c -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
}

// The code point at text[i], moving i past it. A lone surrogate comes back as itself, which no
// code page can store, so it is refused like any other unstorable character.
char32_t NextUtf16(std::u16string_view text, size_t& i) {
    const char32_t first = text[i++];
    if (first >= 0xD800 && first <= 0xDBFF && i < text.size() && text[i] >= 0xDC00 &&
        text[i] <= 0xDFFF) {
        return 0x10000 + ((first - 0xD800) << 10) + (text[i++] - 0xDC00);
    }
    return first;
}

// The code point at text[i], moving i past it; a value above kMaxCodePoint for an ill-formed
// sequence (overlong, surrogate, out of range, truncated), of which one byte is consumed.
char32_t NextUtf8(std::string_view text, size_t& i) {
    constexpr char32_t kIllFormed = kMaxCodePoint + 1;
    const auto byteAt = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byteAt(i);
    size_t extra = 0;
    char32_t c = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        c = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        c = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        c = lead & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return kIllFormed;
    }
    if (extra > text.size() - i - 1) {
        ++i;
        return kIllFormed;
    }
    for (size_t k = 1; k <= extra; ++k) {
        const uint8_t trail = byteAt(i + k);
        if ((trail & 0xC0) != 0x80) {
            ++i;
            return kIllFormed;
        }
        c = (c << 6) | (trail & 0x3F);
    }
    if (c < min || c > kMaxCodePoint || IsSurrogate(c)) {
        ++i;
        return kIllFormed;
    }
    i += extra + 1;
    return c;
}

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::optional<std::u16string> FromUtf8(std::string_view text) {
    if (CTextCodec::FindInvalidUtf8(text) != std::string_view::npos) {
        return std::nullopt;
    }
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1   ? lead
                     : length == 2 ? lead & 0x1F
                     : length == 3 ? lead & 0x0F
                                   : lead & 0x07;
        for (size_t k = 1; k < length; ++k) {
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += length;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

CTextCodec::CTextCodec(const char* name, const char* icuName, const CompiledCodePage& tables)
    : m_pszName(name), m_pszIcuName(icuName), m_bAvailable(true), m_pPairs(tables.pairs) {
    for (size_t b = 0; b < 256; ++b) {
        const uint16_t value = tables.single[b];
        m_lead[b] = value == kLeadByte && m_pPairs != nullptr;
        m_single[b] = value == kLeadByte ? kNone : value;
    }
}

const CTextCodec& CTextCodec::ForSlot(int slot) {
    static std::unique_ptr<CTextCodec> s_codecs[kCodePageCount];
    static std::once_flag s_made[kCodePageCount];
    const CodePageIndex index = CodePageOfLanguageCode(LanguageToCode(slot));
    std::call_once(s_made[index], [index] {
        s_codecs[index].reset(new CTextCodec(kCodePages[index].name, kCodePages[index].icuName,
                                             kCompiledCodePages[index]));
    });
    return *s_codecs[index];
}

const CTextCodec& CTextCodec::Western() {
    return ForSlot(0);
}

CTextCodec::CTextCodec(Utf8Tag) : m_pszName("UTF-8"), m_pszIcuName("UTF-8") {
    m_bAvailable = true;
    m_bUtf8 = true;
}

const CTextCodec& CTextCodec::Utf8() {
    static const CTextCodec s_codec{Utf8Tag{}};
    return s_codec;
}

const std::vector<uint16_t>& CTextCodec::EncodeTable() const {
    // Inverted from the decoding tables, which hold each character under the one byte sequence
    // it encodes to; only a process that encodes pays for it.
    std::call_once(m_encodeMade, [this] {
        m_encodeBmp.assign(0x10000, 0);
        for (size_t b = 1; b < 256; ++b) {
            if (m_single[b] != kNone) {
                m_encodeBmp[m_single[b]] = static_cast<uint16_t>(b);
            }
        }
        if (m_pPairs == nullptr) {
            return;
        }
        for (size_t lead = 0x80; lead < 256; ++lead) {
            if (!m_lead[lead]) {
                continue;
            }
            for (size_t trail = 0; trail < 256; ++trail) {
                const size_t code = lead << 8 | trail;
                const uint16_t c = m_pPairs[code];
                if (c != kNoCharacter && c != kPairEscape) {
                    m_encodeBmp[c] = static_cast<uint16_t>(code);
                }
            }
        }
    });
    return m_encodeBmp;
}

template <typename Emit>
void CTextCodec::DecodeTo(std::string_view bytes, Emit&& emit) const {
    const size_t size = bytes.size();
    size_t i = 0;
    if (m_bUtf8) {
        while (i < size) {
            const size_t start = i;
            const char32_t c = NextUtf8(bytes, i);
            if (c != 0 && c <= kMaxCodePoint && !IsEscape(c)) {
                emit(c);
                continue;
            }
            // An ill-formed byte (NextUtf8 took one), a NUL, or a sequence that spells an escape
            // and would otherwise read back as the byte that escape stands for.
            for (size_t k = start; k < i; ++k) {
                emit(EscapeOf(static_cast<uint8_t>(bytes[k])));
            }
        }
        return;
    }
    while (i < size) {
        const uint8_t byte = static_cast<uint8_t>(bytes[i]);
        if (m_lead[byte] && i + 1 < size) {
            const uint8_t trail = static_cast<uint8_t>(bytes[i + 1]);
            const uint16_t c = m_pPairs[byte << 8 | trail];
            if (c == kPairEscape) {
                emit(EscapeOf(byte));
                emit(EscapeOf(trail));
                i += 2;
                continue;
            }
            if (c != kNoCharacter) {
                emit(c);
                i += 2;
                continue;
            }
        }
        const char32_t c = m_single[byte];
        emit(c != kNone ? c : EscapeOf(byte));
        ++i;
    }
}

std::u16string CTextCodec::Decode(std::string_view bytes) const {
    std::u16string text;
    text.reserve(bytes.size());
    DecodeTo(bytes, [&text](char32_t c) { AppendUtf16(text, c); });
    return text;
}

std::string CTextCodec::DecodeUtf8(std::string_view bytes) const {
    std::string text;
    text.reserve(bytes.size());
    DecodeTo(bytes, [&text](char32_t c) { AppendUtf8(text, c); });
    return text;
}

void CTextCodec::DecodeCodePoints(std::string_view bytes, std::u32string& codePoints) const {
    codePoints.clear();
    DecodeTo(bytes, [&codePoints](char32_t c) { codePoints.push_back(c); });
}

bool CTextCodec::AppendEncoded(char32_t c, std::string& out) const {
    if (m_bUtf8) {
        if (c == 0 || c > kMaxCodePoint || IsSurrogate(c)) {
            return false;
        }
        AppendUtf8(out, c);
        return true;
    }
    // Every character a code page holds lies in the BMP.
    const uint16_t code = c < 0x10000 ? EncodeTable()[c] : 0;
    if (code == 0) {
        return false;
    }
    if (code >= 0x100) {
        out.push_back(static_cast<char>(code >> 8));
    }
    out.push_back(static_cast<char>(code & 0xFF));
    return true;
}

bool CTextCodec::EncodeCodePoints(const std::vector<char32_t>& codePoints,
                                  const std::vector<size_t>& indices, size_t textLength,
                                  std::string& bytes, size_t* badIndex) const {
    const auto refuse = [badIndex](size_t index) {
        if (badIndex != nullptr) {
            *badIndex = index;
        }
        return false;
    };
    std::string out;
    out.reserve(codePoints.size() * 2);
    bool escaped = false;
    for (size_t k = 0; k < codePoints.size(); ++k) {
        const char32_t c = codePoints[k];
        if (IsEscape(c)) {
            const auto byte = static_cast<uint8_t>(c - kEscapeBase);
            if (byte == 0 && !m_bUtf8) {
                return refuse(indices[k]);
            }
            out.push_back(static_cast<char>(byte));
            escaped = true;
        } else if (!AppendEncoded(c, out)) {
            return refuse(indices[k]);
        }
    }
    // Characters the code page holds read back as themselves wherever they stand; escapes can
    // join their neighbours into other characters, so a text with escapes is read back and
    // refused from the first character that would come back differently.
    if (escaped) {
        size_t k = 0;
        size_t mismatch = codePoints.size();
        DecodeTo(out, [&](char32_t c) {
            if (mismatch == codePoints.size() && (k >= codePoints.size() || codePoints[k] != c)) {
                mismatch = k;
            }
            ++k;
        });
        if (mismatch != codePoints.size() || k != codePoints.size()) {
            return refuse(mismatch < codePoints.size() ? indices[mismatch] : textLength);
        }
    }
    bytes = std::move(out);
    return true;
}

bool CTextCodec::Encode(std::u16string_view text, std::string& bytes, size_t* badIndex) const {
    std::vector<char32_t> codePoints;
    std::vector<size_t> indices;
    codePoints.reserve(text.size());
    indices.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        indices.push_back(i);
        codePoints.push_back(NextUtf16(text, i));
    }
    return EncodeCodePoints(codePoints, indices, text.size(), bytes, badIndex);
}

bool CTextCodec::EncodeUtf8(std::string_view utf8, std::string& bytes, size_t* badIndex) const {
    std::vector<char32_t> codePoints;
    std::vector<size_t> indices;
    codePoints.reserve(utf8.size());
    indices.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        indices.push_back(i);
        codePoints.push_back(NextUtf8(utf8, i));
    }
    return EncodeCodePoints(codePoints, indices, utf8.size(), bytes, badIndex);
}

size_t CTextCodec::FindInvalidUtf8(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size();) {
        const size_t start = i;
        if (NextUtf8(utf8, i) > kMaxCodePoint) {
            return start;
        }
    }
    return std::string_view::npos;
}

std::u16string CTextCodec::ToDisplay(std::u16string_view decoded) {
    std::u16string display;
    display.reserve(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) {
        const char16_t c = decoded[i];
        if (c == u'\r' && i + 1 < decoded.size() && decoded[i + 1] == u'\n') {
            display.push_back(u'\n');
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            AppendUtf16(display, EscapeOf(static_cast<uint8_t>(c)));
        } else {
            display.push_back(c);
        }
    }
    return display;
}

std::u16string CTextCodec::FromDisplay(std::u16string_view display) {
    return FromDisplayMapped(display, nullptr);
}

std::u16string CTextCodec::FromDisplayMapped(std::u16string_view display,
                                             std::vector<size_t>* origins) {
    std::u16string decoded;
    decoded.reserve(display.size() + display.size() / 8);
    for (size_t i = 0; i < display.size();) {
        const size_t start = i;
        const char32_t c = NextUtf16(display, i);
        if (c == U'\r' && i < display.size() && display[i] == u'\n') {
            ++i;
        }
        if (c == U'\r' || c == U'\n') {
            decoded.append(u"\r\n");
        } else if (c == EscapeOf('\r') || c == EscapeOf('\n')) {
            decoded.push_back(static_cast<char16_t>(c - kEscapeBase));
        } else {
            decoded.append(display.substr(start, i - start));
        }
        if (origins != nullptr) {
            origins->resize(decoded.size(), start);
        }
    }
    return decoded;
}

bool CTextCodec::EncodeDisplay(std::u16string_view display, std::string& bytes,
                               size_t* badIndex) const {
    std::vector<size_t> origins;
    const std::u16string decoded = FromDisplayMapped(display, &origins);
    size_t bad = 0;
    if (!Encode(decoded, bytes, &bad)) {
        if (badIndex != nullptr) {
            *badIndex = bad < origins.size() ? origins[bad] : display.size();
        }
        return false;
    }
    return true;
}
