#pragma once

#include <array>
#include <cstdint>
#include <vector>

// The Windows code pages of the language slots, with the ICU converters their tables are made
// from. ICU's own converter names, not aliases: ICU resolves "windows-1252" and the like through
// an alias table whose answer differs between standards, and "CP949" is a different table from
// windows-949 (81 41 decodes differently).
struct CodePage {
    const char* name;
    const char* icuName;
};

enum CodePageIndex {
    kWestern,  // windows-1252
    kCentralEuropean,
    kJapanese,
    kSimplifiedChinese,
    kTraditionalChinese,
    kThai,
    kKorean,
    kHebrew,
    kCyrillic,
    kCodePageCount
};

inline constexpr CodePage kCodePages[kCodePageCount] = {
    {"windows-1252", "ibm-5348_P100-1997"}, {"windows-1250", "ibm-5346_P100-1998"},
    {"windows-932", "ibm-943_P15A-2003"},   {"windows-936", "windows-936-2000"},
    {"windows-950", "windows-950-2000"},    {"windows-874", "windows-874-2000"},
    {"windows-949", "windows-949-2000"},    {"windows-1255", "ibm-9447_P100-2002"},
    {"windows-1251", "ibm-5347_P100-1998"},
};

// The decoding tables of a code page. Every character they hold lies in the Basic Multilingual
// Plane and round-trips: it is written back as exactly the bytes it was read from.
//
// single, by byte: the character the byte stands for alone, kLeadByte for a byte that begins a
// double-byte sequence, or kNoCharacter for a byte that does not decode on its own (shown as
// its escape). pairs, by lead * 256 + trail, only for double-byte code pages: the character,
// kPairEscape for two bytes that form one sequence but no round-tripping character (shown as
// two escapes), or kNoCharacter when the trail byte does not continue the lead byte.
inline constexpr uint16_t kNoCharacter = 0;
inline constexpr uint16_t kLeadByte = 0xFFFF;
inline constexpr uint16_t kPairEscape = 0xFFFF;

struct CodePageTables {
    std::array<uint16_t, 256> single{};
    std::vector<uint16_t> pairs;  // empty for a single-byte code page
};

// The tables as they were compiled into the program (generated from ICU at build time), by
// CodePageIndex: single has 256 entries, pairs 65,536 or is null.
struct CompiledCodePage {
    const uint16_t* single;
    const uint16_t* pairs;
};
extern const CompiledCodePage kCompiledCodePages[kCodePageCount];
