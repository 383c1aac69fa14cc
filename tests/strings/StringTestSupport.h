#pragma once

#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "strings/StringSet.h"

namespace strings_test {

using Bytes = std::vector<uint8_t>;

// One filled slot of one entry, as a test expects it.
struct Cell {
    uint16_t index;
    uint16_t slot;
    std::string text;
    std::string description;

    bool operator==(const Cell&) const = default;
};

inline void PrintTo(const Cell& cell, std::ostream* os) {
    *os << "{#" << cell.index << " slot " << cell.slot << " \"" << cell.text << "\" \""
        << cell.description << "\"}";
}

// Every slot that holds a text or a description, in entry order and slot order.
inline std::vector<Cell> CellsOf(const CStringSet& set) {
    std::vector<Cell> cells;
    for (size_t index = 0; index < set.GetCount(); ++index) {
        for (size_t slot = 0; slot < static_cast<size_t>(kSlotCount); ++slot) {
            const StringSlot value = set.GetSlot(index, slot);
            if (!value.IsEmpty()) {
                cells.push_back({static_cast<uint16_t>(index), static_cast<uint16_t>(slot),
                                 std::string(value.text), std::string(value.description)});
            }
        }
    }
    return cells;
}

// Byte-string builder: numbers are single bytes, strings their characters.
class ByteList {
public:
    ByteList() = default;
    ByteList(std::initializer_list<int> bytes) { Add(bytes); }

    ByteList& Add(std::initializer_list<int> bytes) {
        for (int b : bytes) {
            m_bytes.push_back(static_cast<uint8_t>(b));
        }
        return *this;
    }
    ByteList& Add(std::string_view text) {
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
        return *this;
    }
    // text, NUL
    ByteList& Z(std::string_view text) {
        Add(text);
        m_bytes.push_back(0);
        return *this;
    }
    ByteList& Fill(size_t count, uint8_t value) {
        m_bytes.insert(m_bytes.end(), count, value);
        return *this;
    }
    [[nodiscard]] const Bytes& bytes() const { return m_bytes; }
    operator const Bytes&() const { return m_bytes; }

private:
    Bytes m_bytes;
};

}  // namespace strings_test
