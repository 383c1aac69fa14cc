#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One part of a gathered write: size bytes at data.
struct ConstBuffer {
    const void* data;
    size_t size;
};

// A file stream on a POSIX descriptor. Every failing operation throws CFileException.
// The stream keeps its own position and reads and writes at absolute offsets, so a duplicate
// shares the open file but never the position.
class CFile {
public:
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareDenyWrite = 0x0020,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    // Opens path with flags; throws CFileException on failure.
    CFile(const std::string& path, unsigned flags);
    // Takes ownership of an open descriptor.
    CFile(int fd, std::string path);
    virtual ~CFile();

    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens path; on failure returns false and fills *error when given (no throw).
    bool Open(const std::string& path, unsigned flags, class CFileException* error = nullptr);

    // A second, independent stream on the same open file.
    [[nodiscard]] virtual std::unique_ptr<CFile> Duplicate() const;

    // Moves the position; returns the new position.
    virtual uint64_t Seek(int64_t offset, SeekPosition from);
    uint64_t SeekToEnd() { return Seek(0, end); }
    void SeekToBegin() { Seek(0, begin); }

    // Reads up to count bytes at the position; returns the count read (fewer at the end).
    [[nodiscard]] virtual size_t Read(void* buffer, size_t count);
    // Writes all count bytes at the position.
    virtual void Write(const void* buffer, size_t count);
    // Writes the parts one after the other at the position, as one Write of their concatenation
    // would: on a descriptor with pwritev (a save hands its payloads over without copying them),
    // on a stream without one through Write, part by part. A stream that intercepts Write must
    // intercept this too.
    virtual void WriteGather(const ConstBuffer* parts, size_t count);

    [[nodiscard]] virtual uint64_t GetLength() const;
    [[nodiscard]] virtual uint64_t GetPosition() const { return m_nPosition; }
    virtual void SetLength(uint64_t length);
    // Pushes written data to the disk (fsync).
    virtual void Flush();
    virtual void Close();

    [[nodiscard]] bool IsOpen() const { return m_fd >= 0; }
    [[nodiscard]] const std::string& GetFilePath() const { return m_strFileName; }
    [[nodiscard]] int GetDescriptor() const { return m_fd; }

protected:
    // Takes ownership of fd in place of the open descriptor, if any.
    void AttachDescriptor(int fd, std::string path);
    // Moves the position as Seek does, given the stream's length; throws badSeek when the
    // result would be negative or overflow. Returns the new position.
    uint64_t MovePosition(int64_t offset, SeekPosition from, uint64_t length);

    std::string m_strFileName;
    uint64_t m_nPosition = 0;

private:
    int m_fd = -1;
};

// Every byte of file from its start, or its first limit bytes; fewer when the file ends sooner
// than its length said (another program shortened it meanwhile). Stream errors throw.
[[nodiscard]] std::vector<uint8_t> ReadWholeFile(CFile& file, uint64_t limit = UINT64_MAX);
// Every byte of the file at path; a file that cannot be opened or read throws.
[[nodiscard]] std::vector<uint8_t> ReadWholeFile(const std::string& path);
