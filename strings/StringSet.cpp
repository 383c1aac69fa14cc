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

#include "framework/stream/File.h"
#include "framework/stream/MemFile.h"
#include "iff/ChunkStore.h"
#include "iff/IffFile.h"

namespace {

constexpr uint16_t kWordPlain = 0xFFFF;
constexpr uint16_t kWordDescribed = 0xFFFE;
constexpr uint16_t kWordMultilingual = 0xFFFD;
constexpr uint16_t kWordEmpty = 0x0000;
constexpr size_t kMaxBasicLength = 255;
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

}  // namespace

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
    return m_bLanguages ? StringLayout::multilingual : StringLayout::described;
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
    bytes = bytes.substr(0, bytes.find('\0'));

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
    if (data == nullptr || size < 2) {
        return false;
    }
    const uint16_t word = ReadU16LE(data);
    if (word == kWordEmpty) {
        return true;  // the flags keep the layout the set had
    }

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

bool CStringSet::Encode(std::vector<uint8_t>& out) {
    out.clear();
    if (m_bBasic) {
        m_bLanguages = false;
        m_bDescriptions = false;
    } else if (!m_bDescriptions) {
        m_bLanguages = false;
    }
    const StringLayout layout = GetLayout();

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
