#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct CompiledCodePage;

// Converts the 8-bit texts of one language slot between their Windows code page and Unicode.
//
// Lossless: Decode never fails, and Encode(Decode(b)) gives back b for every byte string b
// without NUL (the only kind a stored text can be). A byte that does not begin a character the
// code page maps both ways - undecodable bytes, a lead byte without a valid trail byte, and
// sequences whose character would be written back as other bytes - decodes to an escape: the
// code point kEscapeBase + byte, in Supplementary Private Use Area-A. That range is used because
// no code page here decodes anything outside the Basic Multilingual Plane, whereas the BMP's
// Private Use Area is taken: windows-950 maps its user-defined areas over nearly all of
// U+E000..U+F8FF, and windows-936, -949 and -874 use parts of it. A double-byte sequence that
// the code page treats as one (unmappable or not round-tripping) character decodes to two
// escapes. Bytes 01-7F are ASCII in every code page, as in Windows.
//
// Honest: Encode accepts exactly the texts Decode can produce. It refuses a character the code
// page cannot hold, U+0000 and the escape of byte 0x00 (a NUL would end the text inside the
// payload), and an escape that would read back differently (a lead-byte escape followed by a
// character that would complete it as a double-byte character, or the escape of a byte that
// decodes to a character of its own).
//
// Conversions are look-ups in tables made from ICU's converters at build time and compiled in;
// the table for encoding is inverted from them when a code page first encodes.
// Appends code point c to out as UTF-8 (c a scalar value; nothing checks it).
void AppendUtf8(std::string& out, char32_t c);
// UTF-16 to UTF-8; unpaired surrogates become U+FFFD (the codecs never produce them).
[[nodiscard]] std::string ToUtf8(std::u16string_view text);
// Well-formed UTF-8 to UTF-16; nothing for ill-formed input.
[[nodiscard]] std::optional<std::u16string> FromUtf8(std::string_view text);

class CTextCodec {
public:
    static constexpr char32_t kEscapeBase = 0xF0000;

    // The codec of a language slot (0 to kSlotCount - 1); windows-1252 for a slot out of range.
    [[nodiscard]] static const CTextCodec& ForSlot(int slot);
    // windows-1252, the code page of every layout without languages.
    [[nodiscard]] static const CTextCodec& Western();
    // UTF-8, the encoding of every slot of the UTF-8 layout. Lossless and honest as the code
    // pages are: bytes that are not well-formed UTF-8 decode to escapes, and so do well-formed
    // sequences of the escapes' own code points, so that no text reads back as other bytes.
    // Every character but U+0000 can be stored; the escape of byte 00 writes a NUL back, since
    // this layout's lengths are explicit.
    [[nodiscard]] static const CTextCodec& Utf8();

    CTextCodec(const CTextCodec&) = delete;
    CTextCodec& operator=(const CTextCodec&) = delete;

    // The Windows name of the code page, such as "windows-1252".
    [[nodiscard]] const char* Name() const { return m_pszName; }
    // The name of the ICU converter the tables were made from.
    [[nodiscard]] const char* IcuName() const { return m_pszIcuName; }
    // True once the code page's tables are present (always, since they are compiled in).
    [[nodiscard]] bool IsAvailable() const { return m_bAvailable; }

    [[nodiscard]] std::u16string Decode(std::string_view bytes) const;
    [[nodiscard]] std::string DecodeUtf8(std::string_view bytes) const;
    // The code points bytes decode to, in codePoints (replacing what it held, keeping its
    // capacity): lets a caller that decodes many texts reuse one buffer.
    void DecodeCodePoints(std::string_view bytes, std::u32string& codePoints) const;

    // Encodes text into bytes and returns true. Returns false and leaves bytes unchanged when a
    // character cannot be stored; *badIndex (if given) then receives the index of the first
    // offending character: a UTF-16 code unit index, or for EncodeUtf8 a byte offset into the
    // UTF-8 text. Ill-formed UTF-16 or UTF-8 is refused the same way.
    [[nodiscard]] bool Encode(std::u16string_view text, std::string& bytes,
                              size_t* badIndex = nullptr) const;
    [[nodiscard]] bool EncodeUtf8(std::string_view utf8, std::string& bytes,
                                  size_t* badIndex = nullptr) const;

    // Line breaks for multi-line edits. ToDisplay turns each CR LF of a decoded text into one
    // '\n' and shows a lone CR or lone LF as the escape of its byte, so it survives editing.
    // FromDisplay turns each '\n' (and each "\r\n" or lone '\r' a paste may bring) into CR LF
    // and the escapes of CR and LF back into CR and LF. Decoded text t satisfies
    // FromDisplay(ToDisplay(t)) == t.
    [[nodiscard]] static std::u16string ToDisplay(std::u16string_view decoded);
    [[nodiscard]] static std::u16string FromDisplay(std::u16string_view display);
    // Encode(FromDisplay(display)), with *badIndex given as an index into display.
    [[nodiscard]] bool EncodeDisplay(std::u16string_view display, std::string& bytes,
                                     size_t* badIndex = nullptr) const;

    // The offset of the first byte of utf8 that does not begin a well-formed sequence (overlong,
    // surrogate, above U+10FFFF, truncated), or npos when it is all well-formed.
    [[nodiscard]] static size_t FindInvalidUtf8(std::string_view utf8);

    [[nodiscard]] static constexpr bool IsEscape(char32_t c) {
        return c >= kEscapeBase && c <= kEscapeBase + 0xFF;
    }
    [[nodiscard]] static constexpr char32_t EscapeOf(uint8_t byte) { return kEscapeBase + byte; }

private:
    // A code page's codec over its compiled tables; the pointers must outlive the codec.
    CTextCodec(const char* name, const char* icuName, const CompiledCodePage& tables);
    // The UTF-8 codec, which needs no tables.
    struct Utf8Tag {};
    explicit CTextCodec(Utf8Tag);

    // The bytes of each BMP character the code page holds (a single byte below 0x100, else
    // lead * 256 + trail; 0 when it cannot be stored), made on first use.
    [[nodiscard]] const std::vector<uint16_t>& EncodeTable() const;
    // FromDisplay; origins (if given) receives for each code unit of the result the index in
    // display of the character it came from.
    static std::u16string FromDisplayMapped(std::u16string_view display,
                                            std::vector<size_t>* origins);
    // Appends the code points that bytes decode to.
    template <typename Emit>
    void DecodeTo(std::string_view bytes, Emit&& emit) const;
    // Appends the bytes of c, or returns false when c cannot be stored (escapes included).
    bool AppendEncoded(char32_t c, std::string& out) const;
    // Encodes code points, each paired with the index it came from in the caller's text.
    bool EncodeCodePoints(const std::vector<char32_t>& codePoints,
                          const std::vector<size_t>& indices, size_t textLength, std::string& bytes,
                          size_t* badIndex) const;

    static constexpr char32_t kNone = 0;  // not a character (U+0000 is refused)

    const char* m_pszName;
    const char* m_pszIcuName;
    bool m_bAvailable = false;
    bool m_bUtf8 = false;
    // Character of each byte on its own; kNone for bytes that do not decode alone.
    std::array<char32_t, 256> m_single{};
    // Bytes that begin a double-byte sequence.
    std::array<bool, 256> m_lead{};
    // For double-byte code pages, the compiled pair table (see CodePages.h); else null.
    const uint16_t* m_pPairs = nullptr;
    mutable std::once_flag m_encodeMade;
    mutable std::vector<uint16_t> m_encodeBmp;
};
