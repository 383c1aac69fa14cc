#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/stream/File.h"

// A stream that gathers writes to another stream in one memory window and passes them on in
// large writes. Writes that continue the window are copied into it; any other write, and any
// write of at least half the window, first flushes the window. Length and position are those
// the target would have if every write had gone straight to it. Unflushed bytes are dropped on
// destruction: a save that failed half way is not continued from a destructor.
class CBufferedWriter : public CFile {
public:
    static constexpr size_t kDefaultWindow = 4 * 1024 * 1024;

    // Takes the target's current length; the target must outlive the writer.
    explicit CBufferedWriter(CFile& target, size_t window = kDefaultWindow);
    ~CBufferedWriter() override = default;

    // Writes the window to the target. Stream errors pass; the window is empty afterwards.
    void FlushBuffer();

    [[nodiscard]] std::unique_ptr<CFile> Duplicate() const override;
    uint64_t Seek(int64_t offset, SeekPosition from) override;
    [[nodiscard]] size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    [[nodiscard]] uint64_t GetLength() const override { return m_nLength; }
    void SetLength(uint64_t length) override;
    // Flushes the window, then the target.
    void Flush() override;
    // Flushes the window; the target stays open.
    void Close() override;

    [[nodiscard]] CFile& GetTarget() const { return m_target; }

private:
    CFile& m_target;
    size_t m_nWindow;
    std::vector<uint8_t> m_buffer;
    uint64_t m_nStart = 0;  // target offset of the window's first byte
    size_t m_nFill = 0;     // bytes held in the window
    uint64_t m_nLength = 0;
};
