// Writes the seed inputs of the fuzz targets into SEEDS/<target>/ (fuzz/seeds by default): the
// sample files, hand-made quirky and hostile files, the STR# payloads of the samples and of the
// format's edge cases, and texts for every language slot's codec. With --check it compares the
// folder with what it would write and exits with 1 on any difference. Files it does not write
// (regression inputs found by fuzzing) are left alone.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "tests/support/FarBuilder.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/Utf8Payload.h"
#include "tools/SampleFiles.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Seed {
    std::string target;
    std::string name;
    Bytes bytes;
};

constexpr ChunkType kTypeBhav = MakeChunkType('B', 'H', 'A', 'V');
constexpr ChunkType kTypeObjd = MakeChunkType('O', 'B', 'J', 'D');
constexpr ChunkType kTypeOld = MakeChunkType('r', 's', 'm', 'p');

Bytes Text(std::string_view text) {
    return {text.begin(), text.end()};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

// Plain-layout payload of texts.
Bytes Plain(const std::vector<std::string>& texts) {
    Bytes out = {0xFF, 0xFF, static_cast<uint8_t>(texts.size()),
                 static_cast<uint8_t>(texts.size() >> 8)};
    for (const auto& text : texts) {
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    return out;
}

// ---- fuzz_iff ----

IffBuilder ThreeChunks() {
    IffBuilder b;
    b.Chunk(kTypeStrings, 128, Plain({"one", "two"}), "Names")
        .Chunk(kTypeBhav, 4096, Bytes(10, 0x42), "Main")
        .Chunk(kTypeStrings, 129, {0x00, 0x01, 0x03, 'a', 'b', 'c'}, "Basic");
    return b;
}

void AddIffSeeds(std::vector<Seed>& seeds) {
    const auto add = [&seeds](std::string name, Bytes bytes) {
        seeds.push_back({"fuzz_iff", std::move(name), std::move(bytes)});
    };
    for (const SampleFile& file : BuildSampleFiles()) {
        std::string name = file.path;
        for (char& c : name) {
            c = c == '/' ? '-' : c;
        }
        add("sample-" + name, file.bytes);
    }

    add("empty.iff", {});
    {
        const Bytes whole = ThreeChunks().Build();
        add("short-20.iff", Bytes(whole.begin(), whole.begin() + 20));
        add("header-only.iff", Bytes(whole.begin(), whole.begin() + kFileHeaderSize));
    }
    add("not-iff.iff", Concat({Text("RIFF FILE 2.5"), Bytes(60, 0)}));
    add("version-2.1.iff", ThreeChunks().Version("2.1").Build());
    add("version-2.0-three.iff", ThreeChunks().Version("2.0").Build());
    add("map-at-end.iff", ThreeChunks().MapAtEnd().Build());
    add("map-order-reversed.iff", ThreeChunks().MapAtEnd().MapOrder({0, 2, 1}).Build());
    add("map-offset-past-end.iff", ThreeChunks().MapAtEnd().OffsetFieldValue(0xFFFFFF00).Build());
    add("map-offset-into-chunk.iff", ThreeChunks().MapAtEnd().OffsetFieldValue(70).Build());
    add("map-bad-magic.iff", ThreeChunks().MapAtEnd().MapMagic({'p', 'm', 's', 'x'}).Build());
    add("map-payload-too-short.iff", ThreeChunks().MapAtEnd().MapPayload(Bytes(6, 0)).Build());
    add("map-version-1.iff", ThreeChunks().MapAtEnd().MapVersion(1).Build());
    add("map-size-short.iff", ThreeChunks().MapAtEnd().MapSizeAdjust(-80).Build());
    add("map-claims-more.iff", ThreeChunks().MapAtEnd().MapSizeAdjust(1).Build());
    {
        // Counts that run past the payload: a huge type count, then a huge entry count.
        Bytes map = IffBuilder::EncodeMapPayload({{kTypeStrings, 64, 128, 0, "Names"}});
        std::memset(map.data() + 16, 0xFF, 4);
        add("map-huge-type-count.iff", ThreeChunks().MapAtEnd().MapPayload(map).Build());
        map = IffBuilder::EncodeMapPayload({{kTypeStrings, 64, 128, 0, "Names"}});
        std::memset(map.data() + 24, 0xFF, 4);
        add("map-huge-entry-count.iff", ThreeChunks().MapAtEnd().MapPayload(map).Build());
        // A name without a NUL before the payload ends.
        map = IffBuilder::EncodeMapPayload({{kTypeStrings, 64, 128, 0, "Unterminated"}});
        while (!map.empty() && (map.back() == 0 || map.back() == 0xA3)) {
            map.pop_back();
        }
        add("map-name-unterminated.iff", ThreeChunks().MapAtEnd().MapPayload(map).Build());
    }
    {
        IffBuilder b = ThreeChunks();
        b.MapAtEnd()
            .ExtraMapEntry({kTypeStrings, 0xFFFFFFF0, 7, 0, "far away"})
            .ExtraMapEntry({kTypeStrings, 10, 8, 0, "in the header"})
            .ExtraMapEntry({kTypeObjd, 64, 9, 0, "wrong type"});
        add("map-entries-bad-offsets.iff", b.Build());
    }
    {
        IffBuilder b = ThreeChunks();
        b.At(1).flags = kFlagSkipScan;
        b.Chunk(kTypeObjd, 1, Bytes(5, 1), "not listed", kFlagSkipScan);
        b.Last().inMap = false;
        add("skip-flag.iff", b.MapAtEnd().Build());
    }
    {
        IffBuilder b = ThreeChunks();
        b.Chunk(kTypeStrings, 128, Plain({"later"}), "Names again");
        add("duplicate-id.iff", b.MapAtEnd().Build());
    }
    {
        IffBuilder b = ThreeChunks();
        b.Chunk(MakeChunkType('T', 'T', 'A', 'B'), 3, {}, "empty payload");
        b.Chunk(kTypeOld, 0, Bytes(24, 0), "old map", kFlagResourceMap);
        b.Chunk(kTypeStrings, 200, Plain({"after the old map"}), std::string(70, 'n'));
        add("empty-old-map-long-name.iff", b.MapAtEnd().Build());
    }
    {
        IffBuilder b = ThreeChunks();
        std::array<char, 64> raw{};
        raw.fill('x');
        b.At(0).rawName = raw;
        add("name-without-nul.iff", b.MapAtEnd().Build());
    }
    {
        IffBuilder b = ThreeChunks();
        b.At(2).sizeAdjust = 0x3FFFFFFF - 76 - 6;
        add("huge-last-chunk.iff", b.Version("2.0").Build());
        IffBuilder c = ThreeChunks();
        c.At(1).sizeAdjust = -1 - 10;  // 75: ends the scan
        add("size-75.iff", c.Version("2.0").Build());
        IffBuilder d = ThreeChunks();
        d.At(1).sizeAdjust = 0x40000001 - 86;  // above the limit: ends the scan
        add("size-above-limit.iff", d.Version("2.0").Build());
        IffBuilder e = ThreeChunks();
        e.At(2).sizeAdjust = 3;  // the last payload runs past the end
        add("truncated-last.iff", e.MapAtEnd().Build());
    }
    {
        // The last entry's name ends at an odd offset where the payload ends: no room for a pad.
        Bytes map = IffBuilder::EncodeMapPayload({{kTypeStrings, 64, 128, 0, "Na"}});
        if (map.back() == 0xA3) {
            map.pop_back();
        }
        add("map-last-pad-missing.iff", ThreeChunks().MapAtEnd().MapPayload(map).Build());
        // A map entry whose chunk header declares less than its own 76 bytes.
        IffBuilder b = ThreeChunks();
        b.At(2).sizeAdjust = -20;
        add("map-entry-header-too-small.iff", b.MapAtEnd().Build());
    }
    {
        // More types than the type list keeps in its short linear form.
        IffBuilder b;
        for (uint8_t i = 0; i < 40; ++i) {
            b.Chunk(MakeChunkType('T', static_cast<char>('A' + i % 26),
                                  static_cast<char>('a' + i / 26), '#'),
                    i, {i});
        }
        add("forty-types.iff", b.MapAtEnd().Build());
    }
    add("unfinished-996.iff", ThreeChunks().Legacy996().Build());
    add("stale-tail.iff", ThreeChunks().MapAtEnd().Trailing(Bytes(43, 0xEE)).Build());
    add("map-after-first.iff", ThreeChunks().MapAfter(0).Build());
}

// ---- fuzz_strings ----

// The STR# payloads of the sample files.
void AddSamplePayloads(std::vector<Seed>& seeds) {
    for (const SampleFile& file : BuildSampleFiles()) {
        if (file.path != "sample.iff") {
            continue;
        }
        CMemFile stream(file.bytes.data(), file.bytes.size());
        CIffFile iff;
        int error = 0;
        if (iff.Attach(stream) == 0 || !iff.Open(&error, false) || !iff.LoadAll()) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot read %s\n", file.path.c_str());
            continue;
        }
        POSITION pos = iff.FindFirstOfType(kTypeStrings);
        while (pos != 0) {
            const CChunkRecord* record = CChunkStore::Instance().Resolve(iff.GetNextOfType(pos));
            seeds.push_back({"fuzz_strings", "sample-" + std::to_string(record->id) + ".str",
                             Bytes(record->data, record->data + record->size)});
        }
    }
}

void AddStringSeeds(std::vector<Seed>& seeds) {
    const auto add = [&seeds](std::string name, Bytes bytes) {
        seeds.push_back({"fuzz_strings", std::move(name), std::move(bytes)});
    };
    AddSamplePayloads(seeds);
    add("plain-empty.str", {0xFF, 0xFF, 0x00, 0x00});
    add("multilingual-empty.str", {0xFD, 0xFF, 0x00, 0x00});
    add("empty-layout.str", {0x00, 0x00, 0x41, 0x42});
    add("basic-two.str", {0x00, 0x02, 0x03, 0x61, 0x62, 0x63, 0x01, 0x78});
    add("basic-inner-nul.str", {0x00, 0x02, 0x03, 0x61, 0x00, 0x62, 0x01, 0x78});
    add("basic-length-past-end.str", {0x00, 0x01, 0x09, 0x61, 0x62});
    add("basic-count-past-end.str", {0x00, 0x02, 0x01, 0x61});
    add("basic-count-65279.str", Concat({{0xFE, 0xFF}, Bytes(20, 0x01)}));
    add("multilingual-two-slots.str", {0xFD, 0xFF, 0x03, 0x00, 0x01, 0x41, 0x00, 0x61, 0x00, 0x01,
                                       0x42, 0x00, 0x62, 0x00, 0x03, 0x46, 0x00, 0x00});
    // Slot 0, then slot 2, then slot 0 again: the third block overwrites slot 0 from entry 0.
    add("multilingual-slot-returns.str",
        {0xFD, 0xFF, 0x05, 0x00, 0x01, 'A', 0,    0,   0x01, 'B', 0, 0,    0x03, 'F', 0,   'f',
         0,    0x01, 'C',  0,    'c',  0,   0x01, 'D', 0,    'd', 0, 0x01, 'E',  0,   'e', 0});
    add("multilingual-codes-8-13.str",
        {0xFD, 0xFF, 0x06, 0x00, 8, 'a', 0,  0,   10, 'b', 0,  0,   11, 'c',
         0,    0,    12,   'd',  0, 0,   13, 'e', 0,  0,   21, 'f', 0,  0});
    add("multilingual-code-0.str", {0xFD, 0xFF, 0x02, 0x00, 0x01, 'a', 0, 0, 0x00, 'b', 0, 0});
    add("multilingual-code-22.str", {0xFD, 0xFF, 0x01, 0x00, 22, 'a', 0, 0});
    add("multilingual-no-code.str", {0xFD, 0xFF, 0x02, 0x00, 0x01, 'a', 0, 0});
    add("described.str",
        {0xFE, 0xFF, 0x02, 0x00, 'a', 0, 'd', 'e', 's', 0, 0, 'o', 'n', 'l', 'y', 0});
    add("described-no-description-nul.str", {0xFE, 0xFF, 0x01, 0x00, 'a', 0, 'd'});
    add("plain-empty-text-between.str", Plain({"first", "", "third"}));
    add("plain-missing-nul.str", {0xFF, 0xFF, 0x02, 0x00, 'a', 0, 'b', 'c'});
    add("plain-count-65535-short.str", {0xFF, 0xFF, 0xFF, 0xFF, 'x', 0});
    add("plain-head-only.str", {0xFF, 0xFF, 0x01});
    add("one-byte.str", {0x00});
    add("basic-long-text.str", Concat({{0x00, 0x01, 0xFF}, Bytes(255, 'L')}));
    {
        // 3,121 entries in slot 0 and one record in each of the other 20 slots: re-encoding would
        // need 3,121 x 21 = 65,541 records, more than the 16-bit count holds.
        Bytes payload = {0xFD, 0xFF, 0, 0};
        uint16_t records = 0;
        for (int i = 0; i < 3121; ++i, ++records) {
            payload.insert(payload.end(), {0x01, 0x00, 0x00});
        }
        for (int slot = 1; slot < kSlotCount; ++slot, ++records) {
            payload.insert(payload.end(), {LanguageToCode(slot), 'x', 0x00, 0x00});
        }
        payload[2] = static_cast<uint8_t>(records);
        payload[3] = static_cast<uint8_t>(records >> 8);
        add("multilingual-too-many-to-encode.str", payload);
    }
    add("plain-long-text.str", Concat({{0xFF, 0xFF, 0x01, 0x00}, Bytes(300, 'P'), {0x00}}));

    // The UTF-8 layout: sets by language code, varint lengths.
    add("utf8-two-languages.str", BuildUtf8Payload({{{"Chair", "A chair"}, {"Sit", ""}},
                                                    {},
                                                    {{"Chaise", "Une chaise", 255},
                                                     {"S\xC3\xA9"
                                                      "ance",
                                                      ""}}}));
    add("utf8-long-text.str", BuildUtf8Payload({{{std::string(300, 'u'), std::string(128, 'd')}}}));
    add("utf8-language-byte-255.str", BuildUtf8Payload({{{"a", "", 255}, {"b", "", 255}}}));
    add("utf8-invalid-bytes.str", BuildUtf8Payload({{{"\xFF\xC3(\xF3\xB0\x80\x80", ""}}}));
    add("utf8-code-21.str",
        BuildUtf8Payload({{{"en", ""}}, {}, {}, {}, {}, {}, {},
                          {},           {}, {}, {}, {}, {}, {},
                          {},           {}, {}, {}, {}, {}, {{"twenty-one", ""}}},
                         21));
    add("utf8-no-sets.str", {0xFC, 0xFF, 0x00});
    add("utf8-head-only.str", {0xFC, 0xFF});
    add("utf8-length-past-end.str", {0xFC, 0xFF, 0x01, 0x01, 0x00, 0x00, 0x05, 'a', 'b'});
    add("utf8-six-byte-length.str",
        {0xFC, 0xFF, 0x01, 0x01, 0x00, 0x00, 0x81, 0x80, 0x80, 0x80, 0x80, 0x00});
    {
        // A 22nd set: code 22 has no slot.
        Bytes payload = Concat({BuildUtf8Payload({}, 21), {0x01, 0x00, 0x15, 0x01, 'x', 0x00}});
        payload[2] = 22;
        add("utf8-set-without-slot.str", payload);
    }
}

// ---- fuzz_codec ----

// The first byte picks the slot as fuzz_codec reads it: slot = byte % (kSlotCount + 4) - 1, the
// last value (slot kSlotCount + 2) standing for the UTF-8 codec.
Bytes ForSlot(int slot, const Bytes& text) {
    return Concat({{static_cast<uint8_t>(slot + 1)}, text});
}

void AddCodecSeeds(std::vector<Seed>& seeds) {
    const auto add = [&seeds](std::string name, Bytes bytes) {
        seeds.push_back({"fuzz_codec", std::move(name), std::move(bytes)});
    };
    // Every non-NUL byte once, and every byte followed by a trail-byte candidate, per slot.
    Bytes every;
    for (int b = 1; b < 256; ++b) {
        every.push_back(static_cast<uint8_t>(b));
    }
    Bytes pairs;
    for (int lead = 0x81; lead < 256; lead += 3) {
        for (const uint8_t trail : {0x40, 0x5C, 0x7E, 0x80, 0xA1, 0xFE}) {
            pairs.push_back(static_cast<uint8_t>(lead));
            pairs.push_back(trail);
        }
    }
    for (int slot = -1; slot <= kSlotCount; ++slot) {
        add("slot" + std::to_string(slot) + "-every-byte.txt", ForSlot(slot, every));
    }
    for (const int slot : {9, 10, 11, 12, 13, 14}) {
        add("slot" + std::to_string(slot) + "-pairs.txt", ForSlot(slot, pairs));
    }
    // Known awkward sequences: Shift-JIS ED 40 (re-encodes as FA 5C), Big5 FF FF, 949's 81 41,
    // a lead byte at the very end, CR LF and lone CR and LF, and a NUL (always refused).
    add("sjis-ed40.txt", ForSlot(9, {0xED, 0x40, 0x82, 0xA0, 0x83}));
    add("big5-ffff.txt", ForSlot(11, {0xFF, 0xFF, 0xA4, 0x40, 0xA4}));
    add("cp949-8141.txt", ForSlot(14, {0x81, 0x41, 0xB0, 0xA1, 0xC9}));
    add("line-breaks.txt", ForSlot(0, Text("a\r\nb\rc\nd\r\n\r\n")));
    add("with-nul.txt", ForSlot(0, {'a', 0x00, 'b'}));
    // UTF-8: every byte, well-formed sequences of each length, ill-formed ones (overlong,
    // surrogate, above U+10FFFF, truncated), a NUL (kept) and the escapes' own code points.
    constexpr int kUtf8 = kSlotCount + 2;
    add("utf8-every-byte.txt", ForSlot(kUtf8, every));
    add("utf8-sequences.txt",
        ForSlot(kUtf8, {'a',  0xC3, 0xA9, 0xE2, 0x80, 0x9C, 0xF0, 0x9F, 0x98, 0x80, 0xC0, 0xAF,
                        0xED, 0xA0, 0x80, 0xF4, 0x90, 0x80, 0x80, 0xE2, 0x80, 0x00, 'z'}));
    add("utf8-escape-points.txt", ForSlot(kUtf8, {0xF3, 0xB0, 0x80, 0x80, 0xF3, 0xB0, 0x83, 0xBF}));
}

void AddFarSeeds(std::vector<Seed>& seeds) {
    const auto add = [&seeds](std::string name, Bytes bytes) {
        seeds.push_back({"fuzz_far", std::move(name), std::move(bytes)});
    };
    Bytes sample, textTypes;
    for (const SampleFile& file : BuildSampleFiles()) {
        if (file.path == "sample.iff") {
            sample = file.bytes;
        } else if (file.path == "text-types.iff") {
            textTypes = file.bytes;
        }
    }
    const auto samples = [&](bool shortNames) {
        FarBuilder far;
        far.shortNames = shortNames;
        far.entries = {{"objects\\Chair.iff", sample},
                       {"empty.bin", {}},
                       {"odd.bin", {1, 2, 3}},
                       {"text/Types.iff", textTypes}};
        return far;
    };
    add("samples-1a.far", samples(false).Build());
    add("samples-1b.far", samples(true).Build());
    {
        FarBuilder far = samples(true);
        far.manifestFirst = true;
        far.entries[1].gapBefore = 3;
        add("manifest-first-gaps-1b.far", far.Build());
    }
    {
        FarBuilder far = samples(false);
        far.trailing = {0xAA, 0xBB};
        add("trailing-1a.far", far.Build());
    }
    add("no-entries.far", FarBuilder().Build());
    {
        FarBuilder far;
        far.version = 3;
        add("version-3.far", far.Build());
    }
    {
        FarBuilder far;
        far.count = 0xFFFFFFFF;
        add("count-ffffffff.far", far.Build());
    }
    {
        FarBuilder far = samples(false);
        far.entries[0].offset = 0xFFFFFF00;
        far.entries[2].size = 0x7FFFFFFF;
        far.entries[3].sizeAgain = 1;
        add("bad-records-1a.far", far.Build());
    }
    {
        FarBuilder far = samples(true);
        const Bytes whole = far.Build();
        add("manifest-cut-1b.far", Bytes(whole.begin(), whole.end() - 5));
    }
    {
        FarBuilder far = samples(false);
        far.entries[2].offset = static_cast<int64_t>(16 + sample.size() + 3);
        far.entries[2].size = far.entries[2].sizeAgain = 64;
        add("overlaps-manifest-1a.far", far.Build());
    }
    add("header-only.far", {'F', 'A', 'R', '!', 'b', 'y', 'A', 'Z', 1, 0, 0, 0, 16, 0, 0, 0});
}

bool ReadFile(const std::filesystem::path& path, Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool check = false;
    std::filesystem::path folder = "fuzz/seeds";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0) {
            check = true;
        } else if (argv[i][0] != '-') {
            folder = argv[i];
        } else {
            std::fprintf(stderr, "usage: make_fuzz_seeds [--check] [FOLDER]\n");
            return 2;
        }
    }

    std::vector<Seed> seeds;
    AddIffSeeds(seeds);
    AddStringSeeds(seeds);
    AddCodecSeeds(seeds);
    AddFarSeeds(seeds);

    int differences = 0;
    for (const Seed& seed : seeds) {
        const std::filesystem::path path = folder / seed.target / seed.name;
        if (check) {
            Bytes existing;
            if (!ReadFile(path, existing) || existing != seed.bytes) {
                std::fprintf(stderr, "make_fuzz_seeds: %s is missing or out of date\n",
                             path.c_str());
                ++differences;
            }
            continue;
        }
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(seed.bytes.data()),
                  static_cast<std::streamsize>(seed.bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "make_fuzz_seeds: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (check) {
        if (differences != 0) {
            std::fprintf(stderr, "run: make_fuzz_seeds %s\n", folder.c_str());
            return 1;
        }
        std::printf("%zu seeds up to date\n", seeds.size());
    } else {
        std::printf("%zu seeds written to %s\n", seeds.size(), folder.c_str());
    }
    return 0;
}
