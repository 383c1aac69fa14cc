#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "framework/stream/File.h"

// A read-only stream over bytes held elsewhere, so that opening from bytes in memory (an archive's
// entry) reads them once, into the reader's own copy, and not through copies on the way. The
// bytes must stay as they are while the stream or a duplicate of it reads them; writes throw.
class CSpanFile : public CFile {
public:
    explicit CSpanFile(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    [[nodiscard]] std::unique_ptr<CFile> Duplicate() const override;
    uint64_t Seek(int64_t offset, SeekPosition from) override;
    [[nodiscard]] size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    void WriteGather(const ConstBuffer* parts, size_t count) override;
    [[nodiscard]] uint64_t GetLength() const override { return m_bytes.size(); }
    void SetLength(uint64_t length) override;
    void Flush() override {}
    void Close() override;

private:
    std::span<const uint8_t> m_bytes;
};
