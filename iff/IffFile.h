#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "iff/ChunkTypes.h"

class CFile;
class CFileException;

// The in-memory form of one IFF file: checks and indexes a file given as an open stream,
// registers its chunks in the chunk store, loads payloads lazily and writes the file back.
// Operations return true on success and false on failure unless they say otherwise.
class CIffFile {
public:
    // Open's error codes.
    enum OpenError { errNotIff = 3, errVersion = 4, errNoSource = 5 };

    CIffFile();
    virtual ~CIffFile();
    CIffFile(const CIffFile&) = delete;
    CIffFile& operator=(const CIffFile&) = delete;

    // Receives a stream error that Attach reports to the user (the core shows nothing itself).
    void SetErrorReporter(std::function<void(const CFileException&)> reporter);

    // Takes an own duplicate of file as the source; returns the file's length (0 on failure).
    uint32_t Attach(CFile& file);
    void Close();
    void Reset();
    // Checks the header and indexes the chunks; on failure writes 3, 4 or 5 to *error when given.
    // A stream error while reading the 64-byte header passes to the caller.
    [[nodiscard]] bool Open(int* error, bool readMapHeaders);

    [[nodiscard]] POSITION FindFirstOfType(ChunkType type) const;
    // The handle at pos; pos moves to the next chunk of the same type, or 0.
    ChunkHandle GetNextOfType(POSITION& pos) const;
    [[nodiscard]] POSITION GetFirstTypePosition() const;
    ChunkType GetNextType(POSITION& pos) const;
    [[nodiscard]] uint32_t CountOfType(ChunkType type, bool loadedOnly) const;
    [[nodiscard]] bool FindChunk(ChunkHandle& handle, ChunkType type, uint16_t id);
    [[nodiscard]] bool ReadChunkHeader(ChunkHeader& header, uint32_t offset);
    [[nodiscard]] bool LoadPayload(ChunkHandle handle);
    [[nodiscard]] bool EnsureLoaded(ChunkHandle handle);
    [[nodiscard]] bool LoadAll();
    // Copies the payload (EnsureLoaded first) into dest, which holds the record's size bytes.
    [[nodiscard]] bool CopyPayload(ChunkHandle handle, void* dest);
    [[nodiscard]] int GetVersion() const;
    bool AddChunk(ChunkHandle handle);
    void RebuildTypeList();

    // Writing. Save writes into file, or into the source when file is null.
    [[nodiscard]] bool Save(CFile* file);
    [[nodiscard]] bool WriteChunks(CFile& file);
    bool WriteResourceMap(CFile& file);
    [[nodiscard]] bool WriteChunkHeader(CFile& file, const ChunkHeader& header, uint32_t offset);
    // The chunk's payload becomes the stream's whole content. Stream errors pass to the caller.
    [[nodiscard]] bool ReplaceChunkData(ChunkType type, uint16_t id, CFile& stream);
    void UpdateTypeList(ChunkType type);

    [[nodiscard]] const std::vector<ChunkHandle>& GetChunkList() const { return m_chunks; }
    [[nodiscard]] const std::vector<ChunkType>& GetTypeList() const { return m_types; }
    [[nodiscard]] bool IsAttached() const { return m_pSource != nullptr; }
    [[nodiscard]] uint32_t GetSourceLength() const { return m_nSourceLength; }
    [[nodiscard]] const std::array<uint8_t, kFileHeaderSize>& GetHeaderBytes() const {
        return m_header;
    }

private:
    std::vector<ChunkType> m_types;
    std::vector<ChunkHandle> m_chunks;
    std::unique_ptr<CFile> m_pSource;
    uint32_t m_nSourceLength = 0;
    std::array<uint8_t, kFileHeaderSize> m_header{};
    std::function<void(const CFileException&)> m_reporter;
    // Index beside the chunk list: (type, id) -> position in m_chunks, so that AddChunk's search for
    // an earlier chunk with the same type and id is constant time. Implementation-private.
    std::unordered_map<uint64_t, size_t> m_index;
};
