#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "iff/ChunkTypes.h"
#include "strings/Languages.h"

class CFile;
class CIffFile;
class CTextCodec;

// Base of resources decoded from one chunk.
class CChunkResource {
public:
    virtual ~CChunkResource() = default;
    virtual bool Load(CIffFile& iff, ChunkHandle handle);
    virtual bool Store(CIffFile& iff);
    virtual bool WriteTo(CFile& stream);
    [[nodiscard]] virtual int GetKind() const { return 2; }
};

// The text and description of one language slot of one entry, as the set holds them: a view
// of the set's storage, valid until the set next changes (SetString, Decode, Load).
struct StringSlot {
    std::string_view text;
    std::string_view description;

    [[nodiscard]] bool IsEmpty() const { return text.empty() && description.empty(); }
};

// The layout a set's flags select (the flags normalised as encoding does). utf8 is the layout of
// format word FC FF: per language a set of length-prefixed UTF-8 pairs.
enum class StringLayout { basic, plain, described, multilingual, utf8 };

// Why a layout switch was refused: the first text that the code page of its slot cannot hold.
struct LayoutSwitchError {
    size_t entry = 0;
    int slot = 0;
    int part = 0;           // 0 text, 1 description
    std::string character;  // UTF-8: the character, or "byte 0xNN" for an escape
};

// What storing a set under another layout would leave out of it, counted from its content.
struct LayoutLoss {
    size_t otherLanguages = 0;       // language slots other than US English that hold text
    size_t stringsInOthers = 0;      // entries holding text in one of them
    size_t descriptions = 0;         // entries whose US English description would go
    size_t longTexts = 0;            // US English texts cut to the basic layout's 255 bytes
    bool keepsDescriptions = false;  // the new layout stores US English descriptions

    [[nodiscard]] bool Any() const {
        return otherLanguages != 0 || descriptions != 0 || longTexts != 0;
    }
};

// The question that tells the user what a layout switch drops: "This keeps only the US English
// texts: 13 other languages of 42 strings will be removed when the resource is stored.
// Continue?"
[[nodiscard]] std::string DescribeLayoutLoss(const LayoutLoss& loss);

// A character as a message names it: itself in UTF-8, or "byte 0xNN" for the escape of a byte;
// index is a UTF-16 index into text.
[[nodiscard]] std::string DescribeCharacter(std::u16string_view text, size_t index);

// The codec the texts of a slot are held in under a layout: UTF-8 in the UTF-8 layout, the slot's
// code page in the multilingual one, windows-1252 in the others (whose text is slot 0's).
[[nodiscard]] const CTextCodec& CodecOfLayout(StringLayout layout, int slot);

// The message that tells the user why a layout switch was refused, naming the character, the
// string and the language.
[[nodiscard]] std::string DescribeLayoutSwitchError(const LayoutSwitchError& error);

// The decoded content of one text chunk (STR#, CTSS or TTAs): entries of language slots 0 to
// kSlotCount - 1, each a text and a description held byte for byte (never holding NUL, which
// ends a text in a payload, except in the UTF-8 layout, whose lengths are explicit), and the
// layout flags.
//
// Storage: all bytes live in one pool, which a decode fills with a single copy of the payload;
// each filled slot is a small cell naming its bytes in the pool, chained from its entry. Empty
// slots take no memory, so 65,536 entries of 21 slots cost little more than the texts they hold,
// and decoding allocates nothing per record. Edits append to the pool; it is compacted when
// what it holds is mostly replaced text.
class CStringSet : public CChunkResource {
public:
    // Records a payload can hold: its count is 16 bits wide (in the UTF-8 layout, per language).
    static constexpr size_t kMaxRecords = 0xFFFF;
    // The bytes a text of the Basic layout holds: its length is one byte.
    static constexpr size_t kMaxBasicLength = 255;

    CStringSet() = default;
    ~CStringSet() override = default;

    // Sets m_hChunk, copies the payload out of iff and decodes it. False when the handle is
    // unknown, its header was never read (FindChunk reads it), the payload is empty or
    // unreadable (entries and flags then untouched), or decoding fails (what was decoded stays).
    bool Load(CIffFile& iff, ChunkHandle handle) override;
    // Encodes into a memory stream and replaces the chunk's payload. False when m_hChunk is
    // unknown, the records do not fit the 16-bit count, or the replacement is refused; the
    // chunk then keeps its payload. Stream errors pass to the caller.
    bool Store(CIffFile& iff) override;
    // Encodes from the stream's position, then moves the position to the stream's end. False
    // when more than 65,535 records would be written; the stream is then left as it was.
    bool WriteTo(CFile& stream) override;

    // Decodes payload bytes, replacing every entry; true on success. False on a malformed
    // payload: the entries decoded before the bad record stay. Never reads past size bytes.
    bool Decode(const uint8_t* data, size_t size);
    // Normalises the flags and encodes the set into out (replacing its content); false, with
    // out emptied, when the records do not fit the 16-bit count.
    [[nodiscard]] bool Encode(std::vector<uint8_t>& out);

    // Copies a text (part 0) or description (part 1) into out. False, out untouched, when index
    // is not below GetCount(), slot is kSlotCount or more, or part is neither 0 nor 1.
    [[nodiscard]] bool GetString(uint16_t index, uint16_t slot, int part, std::string& out) const;
    // Sets a text or description, kept up to its first NUL byte if it holds one (the UTF-8
    // layout keeps it whole); index ==
    // GetCount() appends an entry holding only this slot. False, nothing changed, for index >
    // GetCount(), a bad slot or a bad part.
    bool SetString(uint16_t index, uint16_t slot, int part, std::string value);
    [[nodiscard]] size_t GetCount() const { return m_entries.size(); }
    // Removes the last entry, the one SetString appended, so that an undo can take an append
    // back; nothing for an empty set.
    void RemoveLastEntry();
    // A slot of an entry; empty for an index or slot out of range.
    [[nodiscard]] StringSlot GetSlot(size_t index, size_t slot) const;
    [[nodiscard]] StringLayout GetLayout() const;
    // The layout stores a text per language (multilingual or UTF-8), not one for all.
    [[nodiscard]] bool HasLanguages() const {
        const StringLayout layout = GetLayout();
        return layout == StringLayout::multilingual || layout == StringLayout::utf8;
    }
    // The codec the texts of a slot are held in under the current layout: UTF-8 in the UTF-8
    // layout, the slot's code page in the multilingual one, windows-1252 in the others.
    [[nodiscard]] const CTextCodec& GetSlotCodec(int slot) const;
    // The largest count field encoding would write: records in the legacy layouts, pairs of one
    // language in the UTF-8 layout. Above kMaxRecords the set cannot be stored.
    [[nodiscard]] size_t CountRecords() const;
    // Sets the three layout flags. A set in the UTF-8 layout that leaves it (for a layout without
    // languages) has every text converted to the code page of its slot first; the texts of other
    // languages than US English that do not convert are dropped (the layout stores none of
    // them). When a US English text cannot be converted, returns false with *error (when given)
    // naming it, and nothing changes.
    [[nodiscard]] bool SetLayoutFlags(bool basic, bool languages, bool descriptions,
                                      LayoutSwitchError* error = nullptr);
    // What storing the set with these flags would drop that storing it with its current flags
    // would keep (nothing is changed).
    [[nodiscard]] LayoutLoss LossOfLayout(bool basic, bool languages, bool descriptions) const;
    // Whether SetLayoutFlags would accept these flags; when not, *error names the text that
    // cannot be converted. Nothing changes.
    [[nodiscard]] bool CanSetLayoutFlags(bool basic, bool languages, bool descriptions,
                                         LayoutSwitchError* error = nullptr) const;
    // Converts a set in the UTF-8 layout to the multilingual one, every text to its slot's code
    // page; true at once for a set in another layout. False, with *error, when a text cannot be
    // converted; nothing changes then.
    // With onlyFirst, only slot 0's texts must convert; others that do not are dropped.
    [[nodiscard]] bool LeaveUtf8(LayoutSwitchError* error = nullptr, bool onlyFirst = false);
    // Bytes the pool holds, replaced text included; for tests of the compaction.
    [[nodiscard]] size_t GetPoolSize() const { return m_pool.size(); }

    ChunkHandle m_hChunk = 0;
    // The type of the chunk last loaded (STR#, CTSS or TTAs).
    ChunkType m_nType = 0;
    bool m_bBasic = false;
    bool m_bLanguages = true;
    bool m_bDescriptions = true;
    // Read from the UTF-8 layout: while the other flags say languages and descriptions, the set
    // encodes as UTF-8 again. Cleared only by SetLayoutFlags (which converts) and by decoding.
    bool m_bUtf8 = false;

private:
    static constexpr uint32_t kNoCell = 0xFFFFFFFF;

    // Bytes of the pool.
    struct Span {
        uint32_t offset = 0;
        uint32_t length = 0;
    };
    // One filled slot of one entry.
    struct Cell {
        uint32_t next = kNoCell;  // the entry's next cell
        uint8_t slot = 0;
        Span text;
        Span description;
    };
    // An entry: the head of its chain of cells.
    struct StringEntry {
        uint32_t firstCell = kNoCell;
    };

    [[nodiscard]] const Cell* FindCell(size_t index, size_t slot) const;
    // Adds a cell for a slot the entry does not hold; none for two empty spans.
    void AddCell(size_t index, size_t slot, Span text, Span description);
    // Sets both parts of a slot to pool spans; adds no cell for two empty spans.
    void PutSpans(size_t index, size_t slot, Span text, Span description);
    [[nodiscard]] Span Append(std::string_view bytes);
    // A text of an entry's slot converted out of UTF-8 into the slot's code page.
    struct Converted {
        uint16_t index = 0;
        uint8_t slot = 0;
        std::string text;
        std::string description;
    };
    // Converts every text into converted (when given); false, with *error, at the first that its
    // code page cannot hold (with onlyFirst, the first of slot 0: in other slots such a text and
    // its description become empty).
    bool ConvertFromUtf8(std::vector<Converted>* converted, LayoutSwitchError* error,
                         bool onlyFirst = false) const;
    bool DecodeUtf8Sets(const uint8_t* bytes, size_t size);
    [[nodiscard]] bool EncodeUtf8Sets(std::vector<uint8_t>& out) const;
    // Pairs the UTF-8 layout writes for a slot: as many as were read, and more when a later
    // entry holds text, so an unchanged set encodes to the bytes it came from.
    [[nodiscard]] std::array<size_t, kSlotCount> CountUtf8Pairs() const;
    void CompactIfWasteful();
    [[nodiscard]] std::string_view View(Span span) const {
        return {m_pool.data() + span.offset, span.length};
    }

    std::vector<StringEntry> m_entries;
    std::vector<Cell> m_cells;
    std::vector<char> m_pool;
    size_t m_nLiveBytes = 0;  // pool bytes some cell names
    // Pairs each language's set held when the UTF-8 layout was decoded.
    std::array<uint32_t, kSlotCount> m_utf8Pairs{};
};
