// A text payload (STR#, CTSS and TTAs share it) through CStringSet: Decode, and Load from a file
// holding it as a chunk; every GetString; Encode and decode again; one SetString; Encode and decode
// again.
//
// Properties:
// - Load through a file and Decode of the bytes agree (result, flags, entries).
// - Every text and description reads back without a NUL (the UTF-8 layout, whose lengths are
//   explicit, keeps them); out-of-range reads fail and leave the receiving string alone.
// - Encoding keeps what the layout can hold: the texts of the kept language blocks (cut to 255
//   bytes in the basic layout), descriptions where the layout has them, all entries unless no
//   block is kept. The UTF-8 layout keeps every text and description, and as many entries as
//   its longest language holds.
// - Canonical bytes: decoding an encoding and encoding it again gives the same bytes. The one
//   exception is by design: a layout without descriptions whose only content is descriptions
//   writes records with empty texts, which the next encoding drops; from then on it is stable.
// - SetString succeeds exactly for valid arguments and the value reads back, cut at a NUL.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "framework/stream/MemFile.h"
#include "fuzz/FuzzCheck.h"
#include "iff/Format.h"
#include "iff/IffFile.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"

namespace {

constexpr size_t kMaxBasicLength = 255;

void CopyFlags(const CStringSet& from, CStringSet& to) {
    to.m_bBasic = from.m_bBasic;
    to.m_bLanguages = from.m_bLanguages;
    to.m_bDescriptions = from.m_bDescriptions;
    to.m_bUtf8 = from.m_bUtf8;
}

void CheckSame(const CStringSet& a, const CStringSet& b) {
    FUZZ_CHECK(a.m_bBasic == b.m_bBasic && a.m_bLanguages == b.m_bLanguages &&
               a.m_bDescriptions == b.m_bDescriptions && a.m_bUtf8 == b.m_bUtf8);
    FUZZ_CHECK(a.GetCount() == b.GetCount());
    for (size_t i = 0; i < a.GetCount(); ++i) {
        for (size_t slot = 0; slot < kSlotCount; ++slot) {
            const StringSlot x = a.GetSlot(i, slot);
            const StringSlot y = b.GetSlot(i, slot);
            FUZZ_CHECK(x.text == y.text && x.description == y.description);
        }
    }
}

// The set as a file with one STR# chunk, loaded the way the view loads it.
bool LoadThroughFile(const uint8_t* data, size_t size, CStringSet& set) {
    std::vector<uint8_t> file(kFileHeaderSize, 0);
    std::copy(kFileSignature.begin(), kFileSignature.end(), file.begin());
    file[11] = '0';  // version 2.0: no map
    const uint32_t chunkSize = static_cast<uint32_t>(kChunkHeaderSize + size);
    const uint8_t header[12] = {'S',
                                'T',
                                'R',
                                '#',
                                static_cast<uint8_t>(chunkSize >> 24),
                                static_cast<uint8_t>(chunkSize >> 16),
                                static_cast<uint8_t>(chunkSize >> 8),
                                static_cast<uint8_t>(chunkSize),
                                0,
                                1,
                                0,
                                0};
    file.insert(file.end(), header, header + sizeof(header));
    file.resize(file.size() + kChunkNameSize, 0);
    file.insert(file.end(), data, data + size);

    CMemFile stream(file.data(), file.size());
    CIffFile iff;
    FUZZ_CHECK(iff.Attach(stream) == file.size());
    int error = 0;
    FUZZ_CHECK(iff.Open(&error, false));
    ChunkHandle handle = 0;
    FUZZ_CHECK(iff.FindChunk(handle, kTypeStrings, 1));
    return set.Load(iff, handle);
}

void CheckReads(const CStringSet& set) {
    const size_t count = set.GetCount();
    FUZZ_CHECK(count <= CStringSet::kMaxRecords);
    std::string out = "untouched";
    FUZZ_CHECK(!set.GetString(static_cast<uint16_t>(count), 0, 0, out) || count > 0xFFFF);
    FUZZ_CHECK(!set.GetString(0, kSlotCount, 0, out));
    FUZZ_CHECK(!set.GetString(0, 0, 2, out));
    FUZZ_CHECK(out == "untouched");
    for (size_t i = 0; i < count; ++i) {
        for (uint16_t slot = 0; slot < kSlotCount; ++slot) {
            for (int part = 0; part < 2; ++part) {
                FUZZ_CHECK(set.GetString(static_cast<uint16_t>(i), slot, part, out));
                FUZZ_CHECK(set.GetLayout() == StringLayout::utf8 ||
                           out.find('\0') == std::string::npos);
                const StringSlot view = set.GetSlot(i, slot);
                FUZZ_CHECK(out == (part == 0 ? view.text : view.description));
            }
        }
    }
}

// decoded came from encoding original (whose flags the encoding normalised).
void CheckKept(const CStringSet& original, const CStringSet& decoded) {
    const StringLayout layout = original.GetLayout();
    if (layout == StringLayout::utf8) {
        FUZZ_CHECK(decoded.GetLayout() == StringLayout::utf8);
        FUZZ_CHECK(decoded.GetCount() <= original.GetCount());
        for (size_t i = 0; i < original.GetCount(); ++i) {
            for (size_t slot = 0; slot < kSlotCount; ++slot) {
                const StringSlot was = original.GetSlot(i, slot);
                const StringSlot now = decoded.GetSlot(i, slot);
                FUZZ_CHECK(now.text == was.text && now.description == was.description);
            }
        }
        return;
    }
    const bool languages = layout == StringLayout::multilingual;
    const bool descriptions =
        layout == StringLayout::described || layout == StringLayout::multilingual;
    bool kept[kSlotCount] = {};
    bool anyKept = false;
    for (size_t i = 0; i < original.GetCount(); ++i) {
        for (size_t slot = 0; slot < kSlotCount; ++slot) {
            if ((languages || slot == 0) && !original.GetSlot(i, slot).IsEmpty()) {
                kept[slot] = true;
                anyKept = true;
            }
        }
    }
    FUZZ_CHECK(decoded.GetCount() == (anyKept ? original.GetCount() : 0));
    for (size_t i = 0; i < decoded.GetCount(); ++i) {
        for (size_t slot = 0; slot < kSlotCount; ++slot) {
            const StringSlot was = original.GetSlot(i, slot);
            const StringSlot now = decoded.GetSlot(i, slot);
            if (!kept[slot]) {
                FUZZ_CHECK(now.IsEmpty());
                continue;
            }
            const std::string_view text =
                layout == StringLayout::basic ? was.text.substr(0, kMaxBasicLength) : was.text;
            FUZZ_CHECK(now.text == text);
            FUZZ_CHECK(now.description == (descriptions ? was.description : std::string_view()));
        }
    }
}

// True when the layout writes no descriptions and slot 0 has descriptions but no text: the block
// is still written (descriptions count when deciding whether a block is empty), as records with
// empty texts, which a second encoding drops.
bool KeepsBlockOnlyForDescriptions(const CStringSet& set) {
    const StringLayout layout = set.GetLayout();
    if (layout != StringLayout::basic && layout != StringLayout::plain) {
        return false;
    }
    bool description = false;
    for (size_t i = 0; i < set.GetCount(); ++i) {
        const StringSlot slot = set.GetSlot(i, 0);
        if (!slot.text.empty()) {
            return false;
        }
        description = description || !slot.description.empty();
    }
    return description;
}

// Encodes set; when it fits, checks what the bytes keep and that they are canonical: decoding
// and encoding again gives the same bytes (after one more round in the one case above).
void CheckEncoding(CStringSet& set) {
    std::vector<uint8_t> first;
    if (!set.Encode(first)) {
        FUZZ_CHECK(first.empty());
        return;
    }
    CStringSet decoded;
    CopyFlags(set, decoded);
    FUZZ_CHECK(decoded.Decode(first.data(), first.size()));
    CheckKept(set, decoded);
    std::vector<uint8_t> second;
    FUZZ_CHECK(decoded.Encode(second));
    if (KeepsBlockOnlyForDescriptions(set)) {
        FUZZ_CHECK(second.size() == (set.GetLayout() == StringLayout::basic ? 2u : 4u));
        CStringSet again;
        CopyFlags(decoded, again);
        FUZZ_CHECK(again.Decode(second.data(), second.size()));
        std::vector<uint8_t> third;
        FUZZ_CHECK(again.Encode(third));
        FUZZ_CHECK(third == second);
    } else {
        FUZZ_CHECK(second == first);
    }

    // The stream form is the same bytes, from the stream's position on.
    CMemFile stream;
    stream.Write("xy", 2);
    FUZZ_CHECK(set.WriteTo(stream));
    FUZZ_CHECK(stream.GetLength() == first.size() + 2 && stream.GetPosition() == first.size() + 2);
    FUZZ_CHECK(std::memcmp(stream.GetData() + 2, first.data(), first.size()) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x100000) {
        return 0;
    }
    CStringSet set;
    const bool decoded = set.Decode(data, size);

    CStringSet loaded;
    FUZZ_CHECK(LoadThroughFile(data, size, loaded) == decoded);
    CheckSame(set, loaded);

    CheckReads(set);
    CheckEncoding(set);

    // One edit, its arguments taken from the last bytes so that seeds which are real payloads
    // edit too: an index up to one past the end (invalid), any slot up to one past the last,
    // any part up to the invalid 2, and a value from the middle of the input.
    if (size >= 3) {
        const size_t count = set.GetCount();
        const auto index =
            static_cast<uint16_t>(std::min<size_t>(data[size - 1] % (count + 2), 0xFFFF));
        const auto slot = static_cast<uint16_t>(data[size - 2] % (kSlotCount + 1));
        const int part = data[size - 3] % 3;
        const std::string value(reinterpret_cast<const char*>(data) + size / 3,
                                std::min<size_t>(size / 3, 300));
        const bool valid = index <= count && slot < kSlotCount && part < 2;
        FUZZ_CHECK(set.SetString(index, slot, part, value) == valid);
        FUZZ_CHECK(set.GetCount() == (valid && index == count ? count + 1 : count));
        if (valid) {
            std::string out;
            FUZZ_CHECK(set.GetString(index, slot, part, out));
            FUZZ_CHECK(out == (set.m_bUtf8 ? value : value.substr(0, value.find('\0'))));
        }
        CheckReads(set);
        CheckEncoding(set);
    }
    return 0;
}
