#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "iff/ChunkTypes.h"
#include "strings/Languages.h"

class CFile;
class CIffFile;

// Base of resources decoded from one chunk.
class CChunkResource {
public:
    virtual ~CChunkResource() = default;
    virtual bool Load(CIffFile& iff, ChunkHandle handle);
    virtual bool Store(CIffFile& iff);
    virtual bool WriteTo(CFile& stream);
    [[nodiscard]] virtual int GetKind() const { return 2; }
};

struct StringSlot {
    std::string text;
    std::string description;
};

struct StringEntry {
    std::array<StringSlot, kSlotCount> slots;
};

// The layout a set's flags select.
enum class StringLayout { basic, plain, described, multilingual };

// The decoded content of one STR# chunk: entries of language slots, each a text and a
// description held byte for byte, and three layout flags.
class CStringSet : public CChunkResource {
public:
    CStringSet() = default;
    ~CStringSet() override = default;

    // Sets m_hChunk, copies the payload out of iff and decodes it. False when the handle is
    // unknown, the payload empty or unreadable, or decoding fails (what was decoded stays).
    bool Load(CIffFile& iff, ChunkHandle handle) override;
    // Encodes into a memory stream and replaces the chunk's payload. False when m_hChunk is
    // unknown, the records do not fit the 16-bit count, or the replacement is refused; the
    // chunk then keeps its payload.
    bool Store(CIffFile& iff) override;
    // Encodes from the stream's position. False when more than 65,535 records would be written;
    // the stream is then cut back to where it was.
    bool WriteTo(CFile& stream) override;

    // Decodes payload bytes; false (with what was decoded kept) on a malformed payload.
    bool Decode(const uint8_t* data, size_t size);
    // Encodes into bytes; false when the records do not fit the 16-bit count.
    [[nodiscard]] bool Encode(std::vector<uint8_t>& out);

    [[nodiscard]] bool GetString(uint16_t index, uint16_t slot, int part, std::string& out) const;
    bool SetString(uint16_t index, uint16_t slot, int part, std::string value);
    [[nodiscard]] size_t GetCount() const { return m_entries.size(); }
    [[nodiscard]] StringLayout GetLayout() const;

    ChunkHandle m_hChunk = 0;
    std::vector<StringEntry> m_entries;
    bool m_bBasic = false;
    bool m_bLanguages = true;
    bool m_bDescriptions = true;
};
