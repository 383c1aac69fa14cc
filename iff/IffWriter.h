#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

class CFile;

// A change the writer makes to the source's bytes.
struct ChunkSplice {
    uint32_t start = 0;                // where the chunk's header lies in the source
    const uint8_t* payload = nullptr;  // the new payload (size bytes), unless drop
    uint32_t size = 0;
    // Leave the chunk out: its bytes when the chunk scan reaches it and it runs past the end of
    // the source, and every map entry that names it.
    bool drop = false;
};

// Writes an IFF file as its source's own bytes with some chunks changed: every byte outside the
// changed chunks is the source's, in the source's order (header, chunks the index passes over,
// padding, bytes after the last chunk). A replaced chunk stands where it stood, its 76-byte header
// as it was but for the size field. Every offset at or past the end of a changed chunk moves by
// that chunk's change in length: the header's map offset (bytes 60-63 of a version 2.5 file) and
// the offset of each entry of the map it names, walked as the open walks it. With no change the
// written bytes are the source.
class CIffWriter {
public:
    // source must outlive the writer and hold a file whose header has been checked.
    explicit CIffWriter(std::span<const uint8_t> source) : m_source(source) {}

    // Writes the file into file from its start. Returns false, writing nothing, when the changes
    // cannot be made without damage (why in GetError()): a changed chunk that overlaps another,
    // the file header or the map, or a result longer than 32-bit offsets address. Stream errors
    // pass to the caller. Unchanged ranges go to the kernel straight from the source.
    [[nodiscard]] bool Write(CFile& file, std::vector<ChunkSplice> splices);
    [[nodiscard]] const std::string& GetError() const { return m_strError; }

private:
    std::span<const uint8_t> m_source;
    std::string m_strError;
};
