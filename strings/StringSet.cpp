#include "strings/StringSet.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <tuple>

#include "framework/stream/File.h"
#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"
#include "strings/TextCodec.h"

namespace {

constexpr uint16_t kWordPlain = 0xFFFF;
constexpr uint16_t kWordDescribed = 0xFFFE;
constexpr uint16_t kWordMultilingual = 0xFFFD;
constexpr uint16_t kWordEmpty = 0x0000;
constexpr uint16_t kWordUtf8 = 0xFFFC;
// The UTF-8 layout writes a set for each of codes 1-20, and one for code 21 when it holds text.
constexpr size_t kUtf8Sets = 20;
constexpr int kSlotOfCode21 = 15;
// A length of the UTF-8 layout takes at most five bytes of seven bits.
constexpr int kMaxVarintBytes = 5;
// Pool bytes that may be replaced text before the pool is compacted, beyond twice what is live.
constexpr size_t kPoolSlack = size_t{1} << 20;
// Spans into the pool are 32 bits wide.
constexpr size_t kMaxSpan = std::numeric_limits<uint32_t>::max();

uint16_t ReadU16LE(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint16_t ReadU16BE(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

// The position of the first NUL in bytes[pos, size), or size when there is none. Most texts are
// shorter than 32 bytes: one look at 32 bytes finds their end without a library call and with a
// branch that is rarely mispredicted.
size_t FindNul(const uint8_t* bytes, size_t pos, size_t size) {
#if defined(__SSE2__)
    if (size - pos >= 32) {
        const __m128i zero = _mm_setzero_si128();
        const auto* p = reinterpret_cast<const __m128i*>(bytes + pos);
        const auto low =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p), zero)));
        const auto high =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(p + 1), zero)));
        const uint32_t mask = low | (high << 16);
        if (mask != 0) {
            return pos + static_cast<size_t>(std::countr_zero(mask));
        }
        pos += 32;
    }
#endif
    const void* nul = std::memchr(bytes + pos, 0, size - pos);
    return nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : size;
}

void PutU16LE(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>(value >> 8);
}

void PutU16BE(uint8_t* p, uint16_t value) {
    p[0] = static_cast<uint8_t>(value >> 8);
    p[1] = static_cast<uint8_t>(value & 0xFF);
}

size_t VarintSize(size_t value) {
    size_t bytes = 1;
    while (value >= 0x80) {
        value >>= 7;
        ++bytes;
    }
    return bytes;
}

uint8_t* PutVarint(uint8_t* p, size_t value) {
    while (value >= 0x80) {
        *p++ = static_cast<uint8_t>(0x80 | (value & 0x7F));
        value >>= 7;
    }
    *p++ = static_cast<uint8_t>(value);
    return p;
}

}  // namespace

std::string DescribeCharacter(std::u16string_view text, size_t index) {
    if (index >= text.size()) {
        return "?";
    }
    char32_t c = text[index];
    if (c >= 0xD800 && c < 0xDC00 && index + 1 < text.size() && text[index + 1] >= 0xDC00 &&
        text[index + 1] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (text[index + 1] - 0xDC00);
    }
    if (CTextCodec::IsEscape(c)) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        const auto byte = static_cast<unsigned>(c - CTextCodec::kEscapeBase);
        return std::string("byte 0x") + kDigits[byte >> 4] + kDigits[byte & 0x0F];
    }
    std::string utf8;
    const size_t length = c >= 0x10000 ? 2 : 1;
    if (!CTextCodec::Utf8().Encode(text.substr(index, length), utf8) || utf8.empty()) {
        return "?";
    }
    return utf8;
}

namespace {

// "1 string", "42 strings".
std::string Counted(size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string DescribeLayoutLoss(const LayoutLoss& loss) {
    std::vector<std::string> parts;
    if (loss.otherLanguages != 0) {
        parts.push_back(Counted(loss.otherLanguages, "other language", "other languages") + " of " +
                        Counted(loss.stringsInOthers, "string", "strings"));
    }
    if (loss.descriptions != 0) {
        parts.push_back((loss.descriptions == 1 ? "the description of " : "the descriptions of ") +
                        Counted(loss.descriptions, "string", "strings"));
    }
    if (loss.longTexts != 0) {
        parts.push_back("the end of " + Counted(loss.longTexts, "text longer than 255 bytes",
                                                "texts longer than 255 bytes"));
    }
    std::string list;
    for (size_t i = 0; i < parts.size(); ++i) {
        list += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    }
    return std::string("This keeps only the US English texts") +
           (loss.keepsDescriptions ? " and descriptions" : "") + ": " + list +
           " will be removed when the resource is stored. Continue?";
}

std::string DescribeLayoutSwitchError(const LayoutSwitchError& error) {
    const std::string where = ReadableLanguageName(error.slot);
    return "The layout stays UTF-8: \u201C" + error.character + "\u201D in the " +
           (error.part == 0 ? "text" : "description") + " of string #" +
           std::to_string(error.entry) + " cannot be stored in " + where + " text.";
}

bool CChunkResource::Load(CIffFile&, ChunkHandle) {
    return false;
}

bool CChunkResource::Store(CIffFile&) {
    return false;
}

bool CChunkResource::WriteTo(CFile&) {
    return false;
}

StringLayout CStringSet::GetLayout() const {
    if (m_bBasic) {
        return StringLayout::basic;
    }
    if (!m_bDescriptions) {
        return StringLayout::plain;
    }
    if (!m_bLanguages) {
        return StringLayout::described;
    }
    return m_bUtf8 ? StringLayout::utf8 : StringLayout::multilingual;
}

const CTextCodec& CStringSet::GetSlotCodec(int slot) const {
    return CodecOfLayout(GetLayout(), slot);
}

const CTextCodec& CodecOfLayout(StringLayout layout, int slot) {
    switch (layout) {
        case StringLayout::utf8:
            return CTextCodec::Utf8();
        case StringLayout::multilingual:
            return CTextCodec::ForSlot(slot);
        case StringLayout::basic:
        case StringLayout::plain:
        case StringLayout::described:
            break;
    }
    return CTextCodec::Western();
}

size_t CStringSet::CountRecords() const {
    if (GetLayout() == StringLayout::utf8) {
        const std::array<size_t, kSlotCount> pairs = CountUtf8Pairs();
        return *std::max_element(pairs.begin(), pairs.end());
    }
    uint32_t filled = 0;
    for (const Cell& cell : m_cells) {
        if (cell.text.length != 0 || cell.description.length != 0) {
            filled |= uint32_t{1} << cell.slot;
        }
    }
    if (GetLayout() != StringLayout::multilingual) {
        filled &= 1;
    }
    return m_entries.size() * static_cast<size_t>(std::popcount(filled));
}

bool CStringSet::SetLayoutFlags(bool basic, bool languages, bool descriptions,
                                LayoutSwitchError* error) {
    const bool staysUtf8 = !basic && languages && descriptions;
    // Every other flag set is a layout without languages: only US English is kept.
    if (!staysUtf8 && !LeaveUtf8(error, true)) {
        return false;
    }
    m_bBasic = basic;
    m_bLanguages = languages;
    m_bDescriptions = descriptions;
    return true;
}

LayoutLoss CStringSet::LossOfLayout(bool basic, bool languages, bool descriptions) const {
    CStringSet flags;
    flags.m_bBasic = basic;
    flags.m_bLanguages = languages;
    flags.m_bDescriptions = descriptions;
    const StringLayout layout = flags.GetLayout();
    const StringLayout now = GetLayout();
    LayoutLoss loss;
    loss.keepsDescriptions = layout != StringLayout::basic && layout != StringLayout::plain;
    // Only what the current layout would still store counts: the rest is not stored already.
    const bool dropsLanguages = layout != StringLayout::multilingual &&
                                (now == StringLayout::multilingual || now == StringLayout::utf8);
    const bool dropsDescriptions =
        !loss.keepsDescriptions && now != StringLayout::basic && now != StringLayout::plain;
    const bool cutsTexts = layout == StringLayout::basic && now != StringLayout::basic;
    if (!dropsLanguages && !dropsDescriptions && !cutsTexts) {
        return loss;
    }
    uint32_t others = 0;
    for (size_t index = 0; index < m_entries.size(); ++index) {
        bool inOthers = false;
        for (uint32_t c = m_entries[index].firstCell; c != kNoCell; c = m_cells[c].next) {
            const Cell& cell = m_cells[c];
            if (cell.text.length == 0 && cell.description.length == 0) {
                continue;
            }
            if (cell.slot != 0) {
                if (dropsLanguages) {
                    others |= uint32_t{1} << cell.slot;
                    inOthers = true;
                }
                continue;
            }
            if (dropsDescriptions && cell.description.length != 0) {
                ++loss.descriptions;
            }
            if (cutsTexts && cell.text.length > kMaxBasicLength) {
                ++loss.longTexts;
            }
        }
        loss.stringsInOthers += inOthers ? 1 : 0;
    }
    loss.otherLanguages = static_cast<size_t>(std::popcount(others));
    return loss;
}

bool CStringSet::ConvertFromUtf8(std::vector<Converted>* converted, LayoutSwitchError* error,
                                 bool onlyFirst) const {
    if (converted != nullptr) {
        converted->reserve(m_cells.size());
    }
    Converted out;
    for (size_t index = 0; index < m_entries.size(); ++index) {
        for (uint32_t c = m_entries[index].firstCell; c != kNoCell; c = m_cells[c].next) {
            const Cell& cell = m_cells[c];
            const CTextCodec& codec = CTextCodec::ForSlot(cell.slot);
            out = {static_cast<uint16_t>(index), cell.slot, {}, {}};
            for (int part = 0; part < 2; ++part) {
                const std::u16string text =
                    CTextCodec::Utf8().Decode(View(part == 0 ? cell.text : cell.description));
                size_t bad = 0;
                if (!codec.Encode(text, part == 0 ? out.text : out.description, &bad)) {
                    if (onlyFirst && cell.slot != 0) {
                        // A language the layout drops anyway: kept where it converts.
                        out.text.clear();
                        out.description.clear();
                        break;
                    }
                    if (error != nullptr) {
                        *error = {index, cell.slot, part, DescribeCharacter(text, bad)};
                    }
                    return false;
                }
            }
            if (converted != nullptr) {
                converted->push_back(std::move(out));
            }
        }
    }
    return true;
}

bool CStringSet::CanSetLayoutFlags(bool basic, bool languages, bool descriptions,
                                   LayoutSwitchError* error) const {
    const bool staysUtf8 = !basic && languages && descriptions;
    return !m_bUtf8 || staysUtf8 || ConvertFromUtf8(nullptr, error, true);
}

bool CStringSet::LeaveUtf8(LayoutSwitchError* error, bool onlyFirst) {
    if (m_bUtf8) {
        // Every text is converted before anything changes, so a refusal leaves the set whole.
        std::vector<Converted> converted;
        if (!ConvertFromUtf8(&converted, error, onlyFirst)) {
            return false;
        }
        m_bUtf8 = false;
        m_utf8Pairs.fill(0);
        for (Converted& value : converted) {
            std::ignore = SetString(value.index, value.slot, 0, std::move(value.text));
            std::ignore = SetString(value.index, value.slot, 1, std::move(value.description));
        }
    }
    return true;
}

const CStringSet::Cell* CStringSet::FindCell(size_t index, size_t slot) const {
    if (index >= m_entries.size()) {
        return nullptr;
    }
    for (uint32_t c = m_entries[index].firstCell; c != kNoCell; c = m_cells[c].next) {
        if (m_cells[c].slot == slot) {
            return &m_cells[c];
        }
    }
    return nullptr;
}

StringSlot CStringSet::GetSlot(size_t index, size_t slot) const {
    const Cell* cell = FindCell(index, slot);
    if (cell == nullptr) {
        return {};
    }
    return {View(cell->text), View(cell->description)};
}

inline void CStringSet::AddCell(size_t index, size_t slot, Span text, Span description) {
    if (text.length == 0 && description.length == 0) {
        return;
    }
    StringEntry& entry = m_entries[index];
    m_cells.push_back(Cell{entry.firstCell, static_cast<uint8_t>(slot), text, description});
    entry.firstCell = static_cast<uint32_t>(m_cells.size() - 1);
    m_nLiveBytes += text.length + description.length;
}

void CStringSet::PutSpans(size_t index, size_t slot, Span text, Span description) {
    auto* cell = const_cast<Cell*>(FindCell(index, slot));
    if (cell == nullptr) {
        AddCell(index, slot, text, description);
        return;
    }
    m_nLiveBytes -= cell->text.length + cell->description.length;
    cell->text = text;
    cell->description = description;
    m_nLiveBytes += text.length + description.length;
}

void CStringSet::CompactIfWasteful() {
    if (m_pool.size() <= 2 * m_nLiveBytes + kPoolSlack) {
        return;
    }
    std::vector<char> pool;
    pool.reserve(m_nLiveBytes);
    const auto move = [this, &pool](Span& span) {
        const auto offset = static_cast<uint32_t>(pool.size());
        pool.insert(pool.end(), m_pool.begin() + span.offset,
                    m_pool.begin() + span.offset + span.length);
        span.offset = offset;
    };
    for (Cell& cell : m_cells) {
        move(cell.text);
        move(cell.description);
    }
    m_pool.swap(pool);
}

CStringSet::Span CStringSet::Append(std::string_view bytes) {
    if (bytes.size() > kMaxSpan - m_pool.size()) {
        throw std::bad_alloc();
    }
    const Span span{static_cast<uint32_t>(m_pool.size()), static_cast<uint32_t>(bytes.size())};
    m_pool.insert(m_pool.end(), bytes.begin(), bytes.end());
    return span;
}

void CStringSet::RemoveLastEntry() {
    if (m_entries.empty()) {
        return;
    }
    // Its cells stay in the table, emptied: no encoding counts an empty cell.
    for (uint32_t c = m_entries.back().firstCell; c != kNoCell; c = m_cells[c].next) {
        m_nLiveBytes -= m_cells[c].text.length + m_cells[c].description.length;
        m_cells[c].text = Span{};
        m_cells[c].description = Span{};
    }
    m_entries.pop_back();
}

bool CStringSet::GetString(uint16_t index, uint16_t slot, int part, std::string& out) const {
    if (index >= m_entries.size() || slot >= kSlotCount || (part != 0 && part != 1)) {
        return false;
    }
    const StringSlot value = GetSlot(index, slot);
    out.assign(part == 0 ? value.text : value.description);
    return true;
}

bool CStringSet::SetString(uint16_t index, uint16_t slot, int part, std::string value) {
    if (index > m_entries.size() || slot >= kSlotCount || (part != 0 && part != 1)) {
        return false;
    }
    if (index == m_entries.size()) {
        m_entries.emplace_back();
    }
    std::string_view bytes(value);
    if (!m_bUtf8) {
        bytes = bytes.substr(0, bytes.find('\0'));
    }

    const Cell* found = FindCell(index, slot);
    if (found == nullptr && bytes.empty()) {
        return true;  // already empty; an empty slot takes no memory
    }
    CompactIfWasteful();
    const Span span = Append(bytes);
    found = FindCell(index, slot);
    Span text = found != nullptr ? found->text : Span{};
    Span description = found != nullptr ? found->description : Span{};
    (part == 0 ? text : description) = span;
    PutSpans(index, slot, text, description);
    return true;
}

bool CStringSet::Decode(const uint8_t* data, size_t size) {
    m_entries.clear();
    m_cells.clear();
    m_pool.clear();
    m_nLiveBytes = 0;
    m_utf8Pairs.fill(0);
    if (data == nullptr || size < 2) {
        return false;
    }
    const uint16_t word = ReadU16LE(data);
    if (word == kWordEmpty) {
        return true;  // the flags keep the layout the set had
    }
    if (word == kWordUtf8) {
        m_bBasic = false;
        m_bLanguages = true;
        m_bDescriptions = true;
        m_bUtf8 = true;
        return DecodeUtf8Sets(data, size);
    }
    m_bUtf8 = false;

    size_t pos = 0;
    size_t count = 0;
    size_t minRecord = 1;
    if (word == kWordPlain || word == kWordDescribed || word == kWordMultilingual) {
        m_bBasic = false;
        m_bLanguages = word == kWordMultilingual;
        m_bDescriptions = word != kWordPlain;
        if (size < 4) {
            return false;
        }
        count = ReadU16LE(data + 2);
        pos = 4;
        minRecord = word == kWordPlain ? 1 : (word == kWordDescribed ? 2 : 3);
    } else {
        // The basic layout has no format word: its first two bytes are the count, big-endian.
        m_bBasic = true;
        m_bLanguages = false;
        m_bDescriptions = false;
        count = ReadU16BE(data);
        pos = 2;
    }
    if (count == 0) {
        return true;
    }
    if (size > kMaxSpan) {
        return false;  // no chunk is that large
    }
    // One copy of the payload; the records' bytes stay where they are and cells name them.
    const auto* chars = reinterpret_cast<const char*>(data);
    m_pool.assign(chars, chars + size);
    const auto* bytes = reinterpret_cast<const uint8_t*>(m_pool.data());
    // A lying count must not make us reserve more than the payload could hold.
    const size_t records = std::min(count, (size - pos) / minRecord);
    m_cells.reserve(records);
    m_entries.reserve(records);

    if (m_bBasic) {
        for (size_t record = 0; record < count; ++record) {
            if (pos >= size) {
                return false;
            }
            const size_t length = bytes[pos];
            if (length > size - pos - 1) {
                return false;
            }
            const void* nul = std::memchr(bytes + pos + 1, 0, length);
            const size_t kept =
                nul != nullptr
                    ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) - (pos + 1)
                    : length;
            m_entries.emplace_back();
            AddCell(m_entries.size() - 1, 0,
                    Span{static_cast<uint32_t>(pos + 1), static_cast<uint32_t>(kept)}, Span{});
            pos += length + 1;
        }
        return true;
    }

    // The bytes up to the next NUL, or false when no NUL comes before the end.
    const auto takeTerminated = [bytes, size, &pos](Span& field) {
        if (pos < size && bytes[pos] == 0) {  // empty, as most descriptions are
            field = Span{static_cast<uint32_t>(pos), 0};
            ++pos;
            return true;
        }
        const size_t end = pos < size ? FindNul(bytes, pos, size) : size;
        if (end == size) {
            return false;
        }
        field = Span{static_cast<uint32_t>(pos), static_cast<uint32_t>(end - pos)};
        pos = end + 1;
        return true;
    };

    static const std::array<int8_t, 256> slotOfCode = [] {
        std::array<int8_t, 256> table{};
        for (size_t code = 0; code < table.size(); ++code) {
            table[code] = static_cast<int8_t>(CodeToLanguage(static_cast<uint8_t>(code)));
        }
        return table;
    }();
    int currentSlot = -1;
    size_t index = 0;
    // Until a block returns to a slot seen before, no entry can hold the block's slot yet, and
    // its records need no search of the entries' cells.
    uint32_t seenSlots = 0;
    bool freshSlot = true;
    for (size_t record = 0; record < count; ++record) {
        int slot = 0;
        if (m_bLanguages) {
            if (pos >= size) {
                return false;
            }
            slot = slotOfCode[bytes[pos]];
            if (slot < 0) {
                return false;
            }
            ++pos;
        }
        Span text;
        Span description;
        if (!takeTerminated(text) || (m_bDescriptions && !takeTerminated(description))) {
            return false;
        }
        if (slot != currentSlot) {
            currentSlot = slot;
            index = 0;
            freshSlot = (seenSlots & (uint32_t{1} << slot)) == 0;
            seenSlots |= uint32_t{1} << slot;
        }
        if (index == m_entries.size()) {
            m_entries.emplace_back();
            AddCell(index, static_cast<size_t>(slot), text, description);
        } else if (freshSlot) {
            AddCell(index, static_cast<size_t>(slot), text, description);
        } else {
            PutSpans(index, static_cast<size_t>(slot), text, description);
        }
        ++index;
    }
    return true;
}

bool CStringSet::DecodeUtf8Sets(const uint8_t* data, size_t size) {
    if (size < 3 || size > kMaxSpan) {
        return false;
    }
    const auto* chars = reinterpret_cast<const char*>(data);
    m_pool.assign(chars, chars + size);
    const auto* bytes = reinterpret_cast<const uint8_t*>(m_pool.data());
    const size_t sets = bytes[2];
    size_t pos = 3;

    // A length, seven bits a byte, lowest first; then that many bytes, which must be there.
    const auto take = [bytes, size, &pos](Span& field) {
        uint64_t length = 0;
        for (int k = 0;; ++k) {
            if (k == kMaxVarintBytes || pos >= size) {
                return false;
            }
            const uint8_t byte = bytes[pos++];
            length |= static_cast<uint64_t>(byte & 0x7F) << (7 * k);
            if ((byte & 0x80) == 0) {
                break;
            }
        }
        if (length > size - pos) {
            return false;
        }
        field = Span{static_cast<uint32_t>(pos), static_cast<uint32_t>(length)};
        pos += static_cast<size_t>(length);
        return true;
    };

    for (size_t set = 0; set < sets; ++set) {
        if (size - pos < 2) {
            return false;
        }
        const size_t pairs = ReadU16LE(bytes + pos);
        pos += 2;
        if (pairs == 0) {
            continue;
        }
        // Set i holds code i + 1; codes map to distinct slots, so every set fills a fresh slot.
        const int slot = set + 1 <= 0xFF ? CodeToLanguage(static_cast<uint8_t>(set + 1)) : -1;
        if (slot < 0) {
            return false;
        }
        // A pair takes at least three bytes: a lying count reserves no more than the payload holds.
        const size_t fit = std::min(pairs, (size - pos) / 3);
        if (fit > m_entries.size()) {
            m_entries.reserve(fit);
        }
        m_cells.reserve(m_cells.size() + fit);
        for (size_t pair = 0; pair < pairs; ++pair) {
            if (pos >= size) {
                return false;
            }
            ++pos;  // the pair's language byte: the set decides (some files write 255 in set 0)
            Span text;
            Span description;
            if (!take(text) || !take(description)) {
                return false;
            }
            if (pair == m_entries.size()) {
                m_entries.emplace_back();
            }
            AddCell(pair, static_cast<size_t>(slot), text, description);
            m_utf8Pairs[static_cast<size_t>(slot)] = static_cast<uint32_t>(pair + 1);
        }
    }
    return true;
}

std::array<size_t, kSlotCount> CStringSet::CountUtf8Pairs() const {
    std::array<size_t, kSlotCount> pairs{};
    for (size_t slot = 0; slot < pairs.size(); ++slot) {
        pairs[slot] = std::min<size_t>(m_utf8Pairs[slot], m_entries.size());
    }
    for (size_t index = 0; index < m_entries.size(); ++index) {
        for (uint32_t c = m_entries[index].firstCell; c != kNoCell; c = m_cells[c].next) {
            const Cell& cell = m_cells[c];
            if (cell.text.length != 0 || cell.description.length != 0) {
                pairs[cell.slot] = std::max(pairs[cell.slot], index + 1);
            }
        }
    }
    return pairs;
}

bool CStringSet::EncodeUtf8Sets(std::vector<uint8_t>& out) const {
    const std::array<size_t, kSlotCount> pairs = CountUtf8Pairs();
    const size_t sets = pairs[kSlotOfCode21] != 0 ? kUtf8Sets + 1 : kUtf8Sets;
    std::array<int, kUtf8Sets + 1> slotOfSet{};
    // Every pair as if empty (its language byte and two one-byte lengths), then what the
    // cells' texts add to that.
    size_t total = 3;
    for (size_t set = 0; set < sets; ++set) {
        const int slot = CodeToLanguage(static_cast<uint8_t>(set + 1));
        slotOfSet[set] = slot;
        if (pairs[static_cast<size_t>(slot)] > kMaxRecords) {
            return false;
        }
        total += 2 + 3 * pairs[static_cast<size_t>(slot)];
    }
    // The cell of each pair, found with one walk of every chain.
    std::array<size_t, kSlotCount> first{};
    size_t cellsInPairs = 0;
    for (size_t slot = 0; slot < first.size(); ++slot) {
        first[slot] = cellsInPairs;
        cellsInPairs += pairs[slot];
    }
    std::vector<uint32_t> table(cellsInPairs, kNoCell);
    for (size_t index = 0; index < m_entries.size(); ++index) {
        for (uint32_t c = m_entries[index].firstCell; c != kNoCell; c = m_cells[c].next) {
            const Cell& cell = m_cells[c];
            if (index < pairs[cell.slot]) {
                table[first[cell.slot] + index] = c;
                total += VarintSize(cell.text.length) - 1 + cell.text.length +
                         VarintSize(cell.description.length) - 1 + cell.description.length;
            }
        }
    }

    out.resize(total);
    uint8_t* p = out.data();
    PutU16LE(p, kWordUtf8);
    p[2] = static_cast<uint8_t>(sets);
    p += 3;
    const auto put = [this, &p](Span span) {
        if (span.length < 0x80) {
            *p++ = static_cast<uint8_t>(span.length);
        } else {
            p = PutVarint(p, span.length);
        }
        if (span.length != 0) {
            std::memcpy(p, m_pool.data() + span.offset, span.length);
            p += span.length;
        }
    };
    for (size_t set = 0; set < sets; ++set) {
        const auto slot = static_cast<size_t>(slotOfSet[set]);
        PutU16LE(p, static_cast<uint16_t>(pairs[slot]));
        p += 2;
        for (size_t index = 0; index < pairs[slot]; ++index) {
            *p++ = static_cast<uint8_t>(set);
            const uint32_t c = table[first[slot] + index];
            put(c != kNoCell ? m_cells[c].text : Span{});
            put(c != kNoCell ? m_cells[c].description : Span{});
        }
    }
    return true;
}

bool CStringSet::Encode(std::vector<uint8_t>& out) {
    out.clear();
    if (m_bBasic) {
        m_bLanguages = false;
        m_bDescriptions = false;
    } else if (!m_bDescriptions) {
        m_bLanguages = false;
    }
    const StringLayout layout = GetLayout();
    if (layout == StringLayout::utf8) {
        if (!EncodeUtf8Sets(out)) {
            out.clear();
            return false;
        }
        return true;
    }

    // Slots some entry fills; descriptions count even where the layout drops them.
    uint32_t filled = 0;
    for (const Cell& cell : m_cells) {
        if (cell.text.length != 0 || cell.description.length != 0) {
            filled |= uint32_t{1} << cell.slot;
        }
    }
    // Blocks to write, in the order of the slots' codes; without languages, slot 0 alone.
    std::array<uint8_t, kSlotCount> kept{};
    std::array<int, kSlotCount> keptPosition{};
    keptPosition.fill(-1);
    size_t keptCount = 0;
    for (int code = 1; code <= 0xFF; ++code) {
        const int slot = CodeToLanguage(static_cast<uint8_t>(code));
        if (slot < 0 || (layout != StringLayout::multilingual && slot != 0)) {
            continue;
        }
        if ((filled & (uint32_t{1} << slot)) != 0) {
            keptPosition[static_cast<size_t>(slot)] = static_cast<int>(keptCount);
            kept[keptCount++] = static_cast<uint8_t>(slot);
        }
    }
    const size_t n = m_entries.size();
    if (keptCount != 0 && n > kMaxRecords / keptCount) {
        return false;
    }
    const auto records = static_cast<uint16_t>(n * keptCount);

    // The cell of each entry in each kept block, found with one walk of every chain.
    std::vector<uint32_t> table(records, kNoCell);
    for (size_t i = 0; i < n; ++i) {
        for (uint32_t c = m_entries[i].firstCell; c != kNoCell; c = m_cells[c].next) {
            const int position = keptPosition[m_cells[c].slot];
            if (position >= 0) {
                table[static_cast<size_t>(position) * n + i] = c;
            }
        }
    }

    const size_t headSize = layout == StringLayout::basic ? 2 : 4;
    size_t total = headSize;
    for (const uint32_t c : table) {
        const size_t textLength = c != kNoCell ? m_cells[c].text.length : 0;
        const size_t descriptionLength = c != kNoCell ? m_cells[c].description.length : 0;
        switch (layout) {
            case StringLayout::basic:
                total += 1 + std::min(textLength, kMaxBasicLength);
                break;
            case StringLayout::plain:
                total += textLength + 1;
                break;
            case StringLayout::described:
                total += textLength + descriptionLength + 2;
                break;
            case StringLayout::multilingual:
            case StringLayout::utf8:
                total += textLength + descriptionLength + 3;
                break;
        }
    }

    out.resize(total);
    uint8_t* p = out.data();
    if (layout == StringLayout::basic) {
        PutU16BE(p, records);
    } else {
        const uint16_t word = layout == StringLayout::multilingual ? kWordMultilingual
                              : layout == StringLayout::described  ? kWordDescribed
                                                                   : kWordPlain;
        PutU16LE(p, word);
        PutU16LE(p + 2, records);
    }
    p += headSize;

    const auto put = [this, &p](Span span, size_t length) {
        if (length != 0) {
            std::memcpy(p, m_pool.data() + span.offset, length);
            p += length;
        }
    };
    for (size_t k = 0; k < keptCount; ++k) {
        const uint8_t code = LanguageToCode(kept[k]);
        for (size_t i = 0; i < n; ++i) {
            const uint32_t c = table[k * n + i];
            const Span text = c != kNoCell ? m_cells[c].text : Span{};
            const Span description = c != kNoCell ? m_cells[c].description : Span{};
            if (layout == StringLayout::basic) {
                const size_t length = std::min<size_t>(text.length, kMaxBasicLength);
                *p++ = static_cast<uint8_t>(length);
                put(text, length);
                continue;
            }
            if (layout == StringLayout::multilingual) {
                *p++ = code;
            }
            put(text, text.length);
            *p++ = 0;
            if (layout != StringLayout::plain) {
                put(description, description.length);
                *p++ = 0;
            }
        }
    }
    return true;
}

bool CStringSet::WriteTo(CFile& stream) {
    std::vector<uint8_t> bytes;
    if (!Encode(bytes)) {
        return false;
    }
    stream.Write(bytes.data(), bytes.size());
    stream.SeekToEnd();
    return true;
}

bool CStringSet::Load(CIffFile& iff, ChunkHandle handle) {
    m_hChunk = handle;
    const CChunkRecord* record = CChunkStore::Instance().Resolve(handle);
    if (record == nullptr) {
        return false;
    }
    m_nType = record->type;
    const uint32_t size = record->size;
    // A record whose header was never read could change its size while the payload is copied;
    // the buffer is sized before that, so such a record is refused (FindChunk reads the header).
    if (size == 0 || !record->IsHeaderRead()) {
        return false;
    }
    // The payload comes into memory before a buffer of its size is taken: a chunk that claims
    // more than the file holds fails here instead of costing what it claims.
    if (!iff.EnsureLoaded(handle)) {
        return false;
    }
    const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
    if (!buffer) {
        return false;
    }
    if (!iff.CopyPayload(handle, buffer.get())) {
        return false;
    }
    return Decode(buffer.get(), size);
}

bool CStringSet::Store(CIffFile& iff) {
    CMemFile stream(1024);
    const CChunkRecord* record = CChunkStore::Instance().Resolve(m_hChunk);
    if (record == nullptr) {
        return false;
    }
    const ChunkType type = record->type;
    const uint16_t id = record->id;
    if (!WriteTo(stream)) {
        return false;
    }
    return iff.ReplaceChunkData(type, id, stream);
}
