#include "tools/SampleFiles.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <utility>

namespace {

// Appends numbers in an explicit byte order and text byte for byte.
class ByteWriter {
public:
    void PutU8(uint8_t value) { m_bytes.push_back(value); }
    void PutU16LE(uint16_t value) {
        PutU8(static_cast<uint8_t>(value));
        PutU8(static_cast<uint8_t>(value >> 8));
    }
    void PutU16BE(uint16_t value) {
        PutU8(static_cast<uint8_t>(value >> 8));
        PutU8(static_cast<uint8_t>(value));
    }
    void PutU32LE(uint32_t value) {
        PutU16LE(static_cast<uint16_t>(value));
        PutU16LE(static_cast<uint16_t>(value >> 16));
    }
    void PutU32BE(uint32_t value) {
        PutU16BE(static_cast<uint16_t>(value >> 16));
        PutU16BE(static_cast<uint16_t>(value));
    }
    void PutText(std::string_view text) { m_bytes.insert(m_bytes.end(), text.begin(), text.end()); }
    void PutBytes(const std::vector<uint8_t>& bytes) {
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    void Fill(size_t count, uint8_t value) { m_bytes.insert(m_bytes.end(), count, value); }
    void PatchU32BE(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
        }
    }
    void PatchU32LE(size_t at, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            m_bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
        }
    }
    [[nodiscard]] uint32_t Size() const { return static_cast<uint32_t>(m_bytes.size()); }
    [[nodiscard]] std::vector<uint8_t> Take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

// ---- STR# payloads, one builder per layout ----

// Basic: the count big-endian, then per record a length byte and the text.
std::vector<uint8_t> BasicStrings(const std::vector<std::string>& texts) {
    ByteWriter out;
    out.PutU16BE(static_cast<uint16_t>(texts.size()));
    for (const auto& text : texts) {
        out.PutU8(static_cast<uint8_t>(text.size()));
        out.PutText(text);
    }
    return out.Take();
}

// Plain (FF FF): the count little-endian, then per record the text and a NUL.
std::vector<uint8_t> PlainStrings(const std::vector<std::string>& texts) {
    ByteWriter out;
    out.PutU16LE(0xFFFF);
    out.PutU16LE(static_cast<uint16_t>(texts.size()));
    for (const auto& text : texts) {
        out.PutText(text);
        out.PutU8(0);
    }
    return out.Take();
}

struct Described {
    std::string text;
    std::string description;
};

// Described (FE FF): per record the text, a NUL, the description and a NUL.
std::vector<uint8_t> DescribedStrings(const std::vector<Described>& records) {
    ByteWriter out;
    out.PutU16LE(0xFFFE);
    out.PutU16LE(static_cast<uint16_t>(records.size()));
    for (const auto& record : records) {
        out.PutText(record.text);
        out.PutU8(0);
        out.PutText(record.description);
        out.PutU8(0);
    }
    return out.Take();
}

struct Multilingual {
    uint8_t code;
    std::string text;
    std::string description;
};

// Multilingual (FD FF): per record the language code, the text, a NUL, the description and a NUL;
// then fillerBytes bytes 0xA3 after the last record, as some game files carry.
std::vector<uint8_t> MultilingualStrings(const std::vector<Multilingual>& records,
                                         size_t fillerBytes = 0) {
    ByteWriter out;
    out.PutU16LE(0xFFFD);
    out.PutU16LE(static_cast<uint16_t>(records.size()));
    for (const auto& record : records) {
        out.PutU8(record.code);
        out.PutText(record.text);
        out.PutU8(0);
        out.PutText(record.description);
        out.PutU8(0);
    }
    out.Fill(fillerBytes, 0xA3);
    return out.Take();
}

// UTF-8 (FC FF): the number of language sets (20, as real files write it), then per set, for
// language code set + 1, a 16-bit count of pairs and per pair the set's index, the text and the
// description, each after its length in 7-bit groups, lowest first.
struct Utf8Pair {
    uint8_t code;
    std::string text;
    std::string description;
};

std::vector<uint8_t> Utf8Strings(const std::vector<Utf8Pair>& pairs) {
    ByteWriter out;
    out.PutU16LE(0xFFFC);
    out.PutU8(20);
    const auto putLength = [&out](size_t length) {
        for (; length >= 0x80; length >>= 7) {
            out.PutU8(static_cast<uint8_t>(0x80 | (length & 0x7F)));
        }
        out.PutU8(static_cast<uint8_t>(length));
    };
    for (uint8_t set = 0; set < 20; ++set) {
        uint16_t count = 0;
        for (const auto& pair : pairs) {
            count = static_cast<uint16_t>(count + (pair.code == set + 1 ? 1 : 0));
        }
        out.PutU16LE(count);
        for (const auto& pair : pairs) {
            if (pair.code != set + 1) {
                continue;
            }
            out.PutU8(set);
            putLength(pair.text.size());
            out.PutText(pair.text);
            putLength(pair.description.size());
            out.PutText(pair.description);
        }
    }
    return out.Take();
}

// ---- the container ----

struct Chunk {
    std::string type;  // four characters
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string name;  // up to 64 bytes; 64 bytes leave the field without a NUL
    std::vector<uint8_t> payload;
};

struct MapEntry {
    std::string type;
    uint32_t offset = 0;  // of the chunk header
    uint16_t id = 0;
    uint16_t flags = 0;
    std::string name;
};

uint32_t TypeValue(std::string_view type) {
    return static_cast<uint32_t>(static_cast<uint8_t>(type[0])) << 24 |
           static_cast<uint32_t>(static_cast<uint8_t>(type[1])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(type[2])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(type[3]));
}

// Lays out an IFF file chunk by chunk. Bytes 60 to 63 of the header keep the "996" and NUL of
// the literal until PointAtMap patches them, as a save that stopped early leaves them.
class IffWriter {
public:
    explicit IffWriter(std::string_view version = "2.5") {
        static constexpr char kLiteral[] =
            "IFF FILE 2.5:TYPE FOLLOWED BY SIZE\0 JAMIE DOORNBOS & MAXIS 1996";
        static_assert(sizeof(kLiteral) == 64);  // with the final NUL
        std::string header(kLiteral, sizeof(kLiteral));
        header.replace(9, 3, version);
        m_out.PutText(header);
    }

    // Appends a chunk; returns the offset of its header.
    uint32_t Add(const Chunk& chunk) {
        const uint32_t offset = m_out.Size();
        m_out.PutU32BE(TypeValue(chunk.type));
        m_out.PutU32BE(static_cast<uint32_t>(76 + chunk.payload.size()));
        m_out.PutU16BE(chunk.id);
        m_out.PutU16BE(chunk.flags);
        m_out.PutText(std::string_view(chunk.name).substr(0, 64));
        m_out.Fill(64 - std::min<size_t>(chunk.name.size(), 64), 0);
        m_out.PutBytes(chunk.payload);
        m_listed.push_back({chunk.type, offset, chunk.id, chunk.flags, chunk.name});
        return offset;
    }

    // Every chunk added so far, in file order: what a freshly written map lists.
    [[nodiscard]] const std::vector<MapEntry>& Listed() const { return m_listed; }

    // Appends a resource map of the entries, grouped by type in the order of first occurrence,
    // each group keeping the entries' order. sizeExcess is added to both size fields, so that
    // the map can claim more bytes than it holds. Returns the map's offset.
    uint32_t AddMap(const std::vector<MapEntry>& entries, uint32_t sizeExcess = 0) {
        std::vector<std::string> types;
        for (const auto& entry : entries) {
            if (std::find(types.begin(), types.end(), entry.type) == types.end()) {
                types.push_back(entry.type);
            }
        }
        const uint32_t offset = m_out.Size();
        m_out.PutText("rsmp");
        m_out.PutU32BE(0);  // size, patched below
        m_out.PutU16BE(0);
        m_out.PutU16BE(0x0010);
        m_out.Fill(64, 0);
        const uint32_t payload = m_out.Size();
        m_out.PutU32LE(0);  // reserved
        m_out.PutU32LE(0);  // version
        m_out.PutText("pmsr");
        m_out.PutU32LE(0);  // size, patched below
        m_out.PutU32LE(static_cast<uint32_t>(types.size()));
        for (const auto& type : types) {
            m_out.PutU32LE(TypeValue(type));
            const auto count = std::count_if(entries.begin(), entries.end(),
                                             [&](const MapEntry& e) { return e.type == type; });
            m_out.PutU32LE(static_cast<uint32_t>(count));
            for (const auto& entry : entries) {
                if (entry.type != type) {
                    continue;
                }
                m_out.PutU32LE(entry.offset);
                m_out.PutU16LE(entry.id);
                m_out.PutU16LE(entry.flags);
                m_out.PutText(entry.name);
                m_out.PutU8(0);
                if ((m_out.Size() - payload) % 2 != 0) {
                    m_out.PutU8(0xA3);
                }
            }
        }
        const uint32_t size = m_out.Size() - offset + sizeExcess;
        m_out.PatchU32BE(offset + 4, size);
        m_out.PatchU32LE(payload + 12, size);
        return offset;
    }

    void PointAtMap(uint32_t mapOffset) { m_out.PatchU32BE(60, mapOffset); }
    void Append(std::string_view bytes) { m_out.PutText(bytes); }
    [[nodiscard]] std::vector<uint8_t> Take() { return m_out.Take(); }

private:
    ByteWriter m_out;
    std::vector<MapEntry> m_listed;
};

std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// Arbitrary but fixed bytes for the chunk types this system carries through uninterpreted.
std::vector<uint8_t> Filler(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    for (auto& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

// ---- the sample file ----

// Two entries, the object's name and its catalog text, in each language in the code page of the
// game files; the expected Unicode text is in the comment above each row.
struct Translation {
    uint8_t code;
    const char* name;
    const char* nameDescription;
    const char* catalog;
    const char* catalogDescription;
};

const Translation kArmchair[] = {
    // 1 USEnglish: "Comfy Armchair" / "Object name"; "A deep armchair for long evenings." /
    // "Catalog text"
    {1, "Comfy Armchair", "Object name", "A deep armchair for long evenings.", "Catalog text"},
    // 2 UKEnglish: "Comfy Armchair"; "A deep armchair for long evenings."
    {2, "Comfy Armchair", "", "A deep armchair for long evenings.", ""},
    // 3 French: "Fauteuil confortable"; "Un fauteuil profond pour les longues soirées."
    {3, "Fauteuil confortable", "",
     "Un fauteuil profond pour les longues soir\xE9"
     "es.",
     ""},
    // 4 German: "Bequemer Sessel"; "Ein großer Sessel für lange Abende."
    {4, "Bequemer Sessel", "",
     "Ein gro\xDF"
     "er Sessel f\xFCr lange Abende.",
     ""},
    // 5 Italian: "Poltrona comoda"; "Una poltrona profonda per le lunghe serate."
    {5, "Poltrona comoda", "", "Una poltrona profonda per le lunghe serate.", ""},
    // 6 Spanish: "Sillón cómodo"; "Un sillón profundo para las noches largas."
    {6, "Sill\xF3n c\xF3modo", "", "Un sill\xF3n profundo para las noches largas.", ""},
    // 7 Dutch: "Comfortabele leunstoel"; "Een diepe leunstoel voor lange avonden."
    {7, "Comfortabele leunstoel", "", "Een diepe leunstoel voor lange avonden.", ""},
    // 8 Danish (windows-1252): "Behagelig lænestol"; "En dyb lænestol til lange aftener."
    {8, "Behagelig l\xE6nestol", "", "En dyb l\xE6nestol til lange aftener.", ""},
    // 9 Swedish: "Bekväm fåtölj"; "En djup fåtölj för långa kvällar."
    {9, "Bekv\xE4m f\xE5t\xF6lj", "", "En djup f\xE5t\xF6lj f\xF6r l\xE5nga kv\xE4llar.", ""},
    // 12 Hebrew (windows-1255): "כורסה נוחה"; "כורסה עמוקה לערבים ארוכים."
    {12, "\xEB\xE5\xF8\xF1\xE4 \xF0\xE5\xE7\xE4", "",
     "\xEB\xE5\xF8\xF1\xE4 \xF2\xEE\xE5\xF7\xE4 \xEC\xF2\xF8\xE1\xE9\xED \xE0\xF8\xE5\xEB\xE9\xED.",
     ""},
    // 13 Russian (windows-1251): "Удобное кресло"; "Глубокое кресло для долгих вечеров."
    {13, "\xD3\xE4\xEE\xE1\xED\xEE\xE5 \xEA\xF0\xE5\xF1\xEB\xEE", "",
     "\xC3\xEB\xF3\xE1\xEE\xEA\xEE\xE5 \xEA\xF0\xE5\xF1\xEB\xEE \xE4\xEB\xFF \xE4\xEE\xEB\xE3\xE8"
     "\xF5 \xE2\xE5\xF7\xE5\xF0\xEE\xE2.",
     ""},
    // 14 Portuguese: "Poltrona confortável"; "Uma poltrona funda para longas noites."
    {14, "Poltrona confort\xE1vel", "", "Uma poltrona funda para longas noites.", ""},
    // 15 Japanese (windows-932): "快適なアームチェア" / "表示名";
    // "長い夜のための深いアームチェア。"
    // (81 5B and 95 5C: trail bytes in the ASCII range)
    {15, "\x89\xF5\x93\x4B\x82\xC8\x83\x41\x81\x5B\x83\x80\x83\x60\x83\x46\x83\x41",
     "\x95\x5C\x8E\xA6\x96\xBC",
     "\x92\xB7\x82\xA2\x96\xE9\x82\xCC\x82\xBD\x82\xDF\x82\xCC\x90\x5B\x82\xA2\x83\x41\x81\x5B\x83"
     "\x80\x83\x60\x83\x46\x83\x41\x81\x42",
     ""},
    // 16 Polish (windows-1250): "Wygodny fotel"; "Głęboki fotel na długie wieczory."
    {16, "Wygodny fotel", "",
     "G\xB3\xEA"
     "boki fotel na d\xB3ugie wieczory.",
     ""},
    // 17 Simplified Chinese (GBK): "舒适的扶手椅" / "商品名称"; "适合漫漫长夜的深扶手椅。"
    {17, "\xCA\xE6\xCA\xCA\xB5\xC4\xB7\xF6\xCA\xD6\xD2\xCE", "\xC9\xCC\xC6\xB7\xC3\xFB\xB3\xC6",
     "\xCA\xCA\xBA\xCF\xC2\xFE\xC2\xFE\xB3\xA4\xD2\xB9\xB5\xC4\xC9\xEE\xB7\xF6\xCA\xD6\xD2\xCE\xA1"
     "\xA3",
     ""},
    // 18 Traditional Chinese (Big5): "舒適的扶手椅" / "商品名稱"; "適合漫漫長夜的深扶手椅。"
    {18, "\xB5\xCE\xBE\x41\xAA\xBA\xA7\xDF\xA4\xE2\xB4\xC8", "\xB0\xD3\xAB\x7E\xA6\x57\xBA\xD9",
     "\xBE\x41\xA6\x58\xBA\xA9\xBA\xA9\xAA\xF8\xA9\x5D\xAA\xBA\xB2\x60\xA7\xDF\xA4\xE2\xB4\xC8\xA1"
     "\x43",
     ""},
    // 19 Thai (windows-874): "เก้าอี้นวมสบาย"; "เก้าอี้นวมลึกสำหรับค่ำคืนอันยาวนาน"
    {19, "\xE0\xA1\xE9\xD2\xCD\xD5\xE9\xB9\xC7\xC1\xCA\xBA\xD2\xC2", "",
     "\xE0\xA1\xE9\xD2\xCD\xD5\xE9\xB9\xC7\xC1\xC5\xD6\xA1\xCA\xD3\xCB\xC3\xD1\xBA\xA4\xE8\xD3\xA4"
     "\xD7\xB9\xCD\xD1\xB9\xC2\xD2\xC7\xB9\xD2\xB9",
     ""},
    // 20 Korean (windows-949): "편안한 안락의자"; "긴 저녁을 위한 깊은 안락의자."
    {20, "\xC6\xED\xBE\xC8\xC7\xD1 \xBE\xC8\xB6\xF4\xC0\xC7\xC0\xDA", "",
     "\xB1\xE4 \xC0\xFA\xB3\xE1\xC0\xBB \xC0\xA7\xC7\xD1 \xB1\xED\xC0\xBA \xBE\xC8\xB6\xF4\xC0\xC7"
     "\xC0\xDA.",
     ""},
};

std::vector<uint8_t> ArmchairStrings() {
    std::vector<Multilingual> records;
    for (const auto& t : kArmchair) {
        records.push_back({t.code, t.name, t.nameDescription});
        records.push_back({t.code, t.catalog, t.catalogDescription});
    }
    // The game's own files end some multilingual payloads with one 0xA3 per record.
    const size_t filler = records.size();
    return MultilingualStrings(records, filler);
}

std::vector<uint8_t> MainSample() {
    IffWriter iff;
    // BCON: a count, a flag byte and little-endian constants.
    iff.Add({"BCON",
             128,
             0,
             "Armchair tuning",
             {0x05, 0x80, 0x64, 0x00, 0x0A, 0x00, 0x03, 0x00, 0xC8, 0x00, 0xFF, 0xFF}});
    // STR# 128, multilingual, 18 languages x 2 entries, 36 filler bytes 0xA3 at the end.
    iff.Add({"STR#", 128, 0, "Armchair - names", ArmchairStrings()});
    iff.Add({"OBJD", 128, 0, "Comfy Armchair", Filler(108, 128)});
    // STR# 1000, plain, empty name: "Sit", "Nap", "", "Kick" (the empty text is a lone NUL).
    iff.Add({"STR#", 1000, 0, "", PlainStrings({"Sit", "Nap", "", "Kick"})});
    // The name holds an en dash, 96 in windows-1252: "Sit – main".
    iff.Add({"BHAV", 4096, 0, "Sit \x96 main", Filler(44, 4096)});
    // STR# 99, described:
    //   0 "Comfy Armchair\r\nby Chairs R Us" / "Name\tshown in the catalog" (CR LF, TAB)
    //   1 "It’s the … armchair of your dreams" / "Price tag" (92 and 85 in windows-1252)
    //   2 "Manœuvre it anywhere" / "" (9C)
    //   3 "" / "unused slot"
    iff.Add({"STR#", 99, 0, "Catalog text",
             DescribedStrings({{"Comfy Armchair\r\nby Chairs R Us", "Name\tshown in the catalog"},
                               {"It\x92s the \x85 armchair of your dreams", "Price tag"},
                               {"Man\x9C"
                                "uvre it anywhere",
                                ""},
                               {"", "unused slot"}})});
    iff.Add({"GLOB", 128, 0, "Semi-global", Bytes(std::string_view("ChairGlobals\0", 13))});
    // STR# 300, basic: "Sell this chair?", "Yes", "No", "Déjà vu?"
    iff.Add({"STR#", 300, 0, "Dialog",
             BasicStrings({"Sell this chair?", "Yes", "No", "D\xE9j\xE0 vu?"})});
    // STR# 129, multilingual with blocks of different lengths: English "Happy", "Sad", "Bored";
    // French "Heureux", "Triste" (entry 2 has no French text).
    iff.Add({"STR#", 129, 0, "Moods",
             MultilingualStrings({{1, "Happy", ""},
                                  {1, "Sad", ""},
                                  {1, "Bored", ""},
                                  {3, "Heureux", ""},
                                  {3, "Triste", ""}})});
    iff.Add({"TTAB", 128, 0, "Interactions", {}});  // an empty payload: a 76-byte chunk
    // STR# 2, multilingual without records.
    iff.Add({"STR#", 2, 0, "Unused strings", MultilingualStrings({})});
    iff.PointAtMap(iff.AddMap(iff.Listed()));
    return iff.Take();
}

// Every kind of text the game shows: an object's strings, its catalog text (CTSS) and its pie
// menu (TTAs, index-aligned with its TTAB), in the legacy layouts and in UTF-8.
std::vector<uint8_t> TextTypes() {
    IffWriter iff;
    iff.Add({"OBJD", 128, 0, "Rocking chair", Filler(24, 9)});
    iff.Add({"STR#", 128, 0, "Rocking chair - names",
             PlainStrings({"Rocking Chair", "rocking chair"})});
    // Catalog name and description in English, French ("\xE0", "\xE9" in windows-1252) and
    // German ("\xDF").
    iff.Add({"CTSS", 2000, 0, "Catalog",
             MultilingualStrings({{1, "Rocking Chair", ""},
                                  {1, "Rocks back and forth. Comfort 6.", ""},
                                  {3, "Chaise \xE0 bascule", ""},
                                  {3, "Se balance d'avant en arri\xE8re. Confort 6.", ""},
                                  {4, "Schaukelstuhl", ""},
                                  {4, "Schaukelt gem\xFCtlich. Komfort 6. Gro\xDF.", ""}})});
    iff.Add({"TTAB", 128, 0, "Interactions", Filler(18, 11)});
    iff.Add({"TTAs", 128, 0, "Pie menu",
             MultilingualStrings(
                 {{1, "Sit", ""}, {1, "Rock", ""}, {3, "S'asseoir", ""}, {3, "Se balancer", ""}})});
    // The same in UTF-8, as files made for the online game hold them: Japanese, Polish and
    // Russian beside the Latin languages, one text over 127 bytes (a two-byte length).
    const std::string longDescription =
        "A chair that rocks. Sims who sit in it for a while recover comfort quickly, and those "
        "who rock in it for an hour or more may even nod off.";
    iff.Add({"CTSS", 2001, 0, "Catalog (UTF-8)",
             Utf8Strings({{1, "Rocking Chair", ""},
                          {1, longDescription, ""},
                          {3, "Chaise \xC3\xA0 bascule", ""},
                          {3,
                           "Se balance d\xE2\x80\x99"
                           "avant en arri\xC3\xA8re.",
                           ""},
                          {15,
                           "\xE3\x83\xAD\xE3\x83\x83\xE3\x82\xAD\xE3\x83\xB3"
                           "\xE3\x82\xB0\xE3\x83\x81\xE3\x82\xA7\xE3\x82\xA2",
                           ""},
                          {16, "Fotel bujany", ""},
                          {16, "Ko\xC5\x82ysze si\xC4\x99.", ""},
                          {13,
                           "\xD0\x9A\xD1\x80\xD0\xB5\xD1\x81\xD0\xBB\xD0\xBE-"
                           "\xD0\xBA\xD0\xB0\xD1\x87\xD0\xB0\xD0\xBB\xD0\xBA\xD0\xB0",
                           ""}})});
    iff.Add({"TTAs", 2001, 0, "Pie menu (UTF-8)",
             Utf8Strings({{1, "Sit", ""},
                          {1, "Rock", ""},
                          {16,
                           "Usi\xC4\x85"
                           "d\xC5\xBA",
                           ""},
                          {16, "Buja\xC4\x87 si\xC4\x99", ""}})});
    iff.PointAtMap(iff.AddMap(iff.Listed()));
    return iff.Take();
}

// ---- the quirk files ----

Chunk SmallStrings(uint16_t id, std::string name) {
    return {"STR#", id, 0, std::move(name), PlainStrings({"One", "Two"})};
}

Chunk SmallConstants(uint16_t id, std::string name) {
    return {"BCON", id, 0, std::move(name), {0x01, 0x00, 0x2A, 0x00}};
}

// A save that stopped before the map: bytes 60-63 still read "996" and a NUL.
std::vector<uint8_t> UnfinishedSave() {
    IffWriter iff;
    iff.Add(SmallStrings(1, "Names"));
    iff.Add(SmallConstants(1, "Tuning"));
    return iff.Take();
}

// The map sits between chunks; the two after it are found only by the scan.
std::vector<uint8_t> MapInMiddle() {
    IffWriter iff;
    iff.Add(SmallStrings(1, "Names"));
    iff.Add(SmallConstants(1, "Tuning"));
    iff.PointAtMap(iff.AddMap(iff.Listed()));
    iff.Add({"OBJD", 1, 0, "Late object", Filler(20, 1)});
    iff.Add({"STR#", 2, 0, "Late strings", DescribedStrings({{"Late", "added after the map"}})});
    return iff.Take();
}

// Chunks the scan passes over (flags 4 and 20) with names that fill the field without a NUL and
// a repeated id; the map does not list them, so they are not part of the file's chunks. A third
// chunk with flags 4 is listed in the map and so is found through it alone.
std::vector<uint8_t> SkippedChunks() {
    std::string garbage;
    for (const uint8_t byte : Filler(64, 7)) {
        garbage.push_back(static_cast<char>(byte == 0 ? 0xEE : byte));
    }
    IffWriter iff;
    iff.Add(SmallStrings(1, "Names"));
    iff.Add({"XXXX", 7, 4, garbage, Filler(30, 4)});
    iff.Add({"STR#", 2, 0, "Descriptions", DescribedStrings({{"Text", "its description"}})});
    std::reverse(garbage.begin(), garbage.end());
    iff.Add({"XXXX", 7, 20, garbage, Filler(17, 20)});
    iff.Add(SmallConstants(1, "Tuning"));
    iff.Add({"BHAV", 8, 4, "Listed in the map", Filler(10, 8)});
    std::vector<MapEntry> live;
    for (const auto& entry : iff.Listed()) {
        if (entry.type != "XXXX") {
            live.push_back(entry);
        }
    }
    iff.PointAtMap(iff.AddMap(live));
    return iff.Take();
}

// A file rewritten shorter in place: old bytes remain after the map (fewer than a chunk header).
std::vector<uint8_t> StaleTail() {
    IffWriter iff;
    iff.Add(SmallStrings(1, "Names"));
    iff.Add(SmallConstants(1, "Tuning"));
    iff.PointAtMap(iff.AddMap(iff.Listed()));
    iff.Append("ld text that an earlier, longer file left\xA3\xA3");
    return iff.Take();
}

// The final map claims one byte more than the file holds.
std::vector<uint8_t> OverlongMap() {
    IffWriter iff;
    iff.Add(SmallStrings(1, "Names"));
    iff.Add(SmallConstants(1, "Tuning"));
    iff.PointAtMap(iff.AddMap(iff.Listed(), 1));
    return iff.Take();
}

// The map lists the chunks in another order than the file holds them.
std::vector<uint8_t> MapOrder() {
    IffWriter iff;
    iff.Add(SmallStrings(1, "First strings"));
    iff.Add(SmallConstants(5, "Tuning"));
    iff.Add({"STR#", 2, 0, "Second strings", BasicStrings({"B"})});
    iff.Add({"OBJD", 3, 0, "Object", Filler(12, 3)});
    const auto& listed = iff.Listed();
    iff.PointAtMap(iff.AddMap({listed[3], listed[2], listed[0], listed[1]}));
    return iff.Take();
}

// Chunks with flags 0 and 16 (the map's own flag value), carried through unchanged.
std::vector<uint8_t> Flags() {
    IffWriter iff;
    iff.Add({"STR#", 1, 0, "Flags 0", PlainStrings({"zero"})});
    iff.Add({"STR#", 2, 16, "Flags 16", PlainStrings({"sixteen"})});
    iff.Add({"BCON", 1, 16, "Tuning", {0x01, 0x00, 0x10, 0x00}});
    iff.PointAtMap(iff.AddMap(iff.Listed()));
    return iff.Take();
}

// A version 2.0 file: no map; bytes 60-63 are never read.
std::vector<uint8_t> Version20() {
    IffWriter iff("2.0");
    iff.Add({"STR#", 1, 0, "Old strings", BasicStrings({"Old", "file"})});
    iff.Add(SmallConstants(1, "Tuning"));
    iff.Add({"OBJD", 1, 0, "Object", Filler(16, 20)});
    return iff.Take();
}

}  // namespace

std::vector<SampleFile> BuildSampleFiles() {
    return {
        {"sample.iff", MainSample()},
        {"text-types.iff", TextTypes()},
        {"quirks/unfinished-save.iff", UnfinishedSave()},
        {"quirks/map-in-middle.iff", MapInMiddle()},
        {"quirks/skipped-chunks.iff", SkippedChunks()},
        {"quirks/stale-tail.iff", StaleTail()},
        {"quirks/overlong-map.iff", OverlongMap()},
        {"quirks/map-order.iff", MapOrder()},
        {"quirks/flags-0-and-16.iff", Flags()},
        {"quirks/version-2.0.iff", Version20()},
    };
}
