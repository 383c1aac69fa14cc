#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <vector>

#include "framework/stream/FileException.h"
#include "framework/stream/MemFile.h"

// A memory stream that throws CFileException on the k-th Read or the k-th Write (counted from 1,
// 0 = never). Duplicates share the counters, so a fault can be aimed at the stream a reader
// took for itself.
class FaultyMemFile : public CMemFile {
public:
    struct Counters {
        int reads = 0;
        int writes = 0;
        int failRead = 0;
        int failWrite = 0;
    };

    explicit FaultyMemFile(const std::vector<uint8_t>& bytes = {},
                           std::shared_ptr<Counters> counters = std::make_shared<Counters>())
        : CMemFile(bytes.data(), bytes.size()), m_counters(std::move(counters)) {
        m_strFileName = "faulty.iff";
    }

    [[nodiscard]] std::unique_ptr<CFile> Duplicate() const override {
        auto copy = std::make_unique<FaultyMemFile>(ToVector(), m_counters);
        copy->Seek(static_cast<int64_t>(GetPosition()), CFile::begin);
        return copy;
    }
    [[nodiscard]] size_t Read(void* buffer, size_t count) override {
        if (++m_counters->reads == m_counters->failRead) {
            throw CFileException(CFileException::hardIO, m_strFileName, EIO);
        }
        return CMemFile::Read(buffer, count);
    }
    void Write(const void* buffer, size_t count) override {
        if (++m_counters->writes == m_counters->failWrite) {
            throw CFileException(CFileException::diskFull, m_strFileName, ENOSPC);
        }
        CMemFile::Write(buffer, count);
    }

    [[nodiscard]] Counters& Count() const { return *m_counters; }

private:
    std::shared_ptr<Counters> m_counters;
};
