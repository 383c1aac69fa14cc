#pragma once

#include <cstdint>
#include <vector>

#include "framework/stream/File.h"

// A file stream on a growable memory buffer. The buffer grows in steps of the growth size.
class CMemFile : public CFile {
public:
    explicit CMemFile(size_t growBytes = 1024);
    // A stream over a copy of the given bytes, positioned at the start.
    CMemFile(const void* data, size_t size, size_t growBytes = 1024);

    [[nodiscard]] std::unique_ptr<CFile> Duplicate() const override;
    uint64_t Seek(int64_t offset, SeekPosition from) override;
    [[nodiscard]] size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    [[nodiscard]] uint64_t GetLength() const override { return m_nLength; }
    void SetLength(uint64_t length) override;
    void Flush() override {}
    void Close() override;

    // The stream's bytes, GetLength() of them.
    [[nodiscard]] const uint8_t* GetData() const { return m_buffer.data(); }
    [[nodiscard]] size_t GetCapacity() const { return m_buffer.size(); }
    [[nodiscard]] std::vector<uint8_t> ToVector() const {
        return {m_buffer.begin(), m_buffer.begin() + static_cast<ptrdiff_t>(m_nLength)};
    }

private:
    void GrowTo(uint64_t length);

    size_t m_nGrowBytes;
    std::vector<uint8_t> m_buffer;
    uint64_t m_nLength = 0;
};
