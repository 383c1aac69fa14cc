#pragma once

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "framework/stream/FileException.h"
#include "framework/stream/SafeFile.h"

// A safe file that fails on purpose: the k-th Write or WriteGather (counted from 1), the flush of
// Commit, or the final rename. Used through CDocument::SetTargetFactory to check that a failed save
// leaves the target untouched and no temporary file behind.
class FailingSafeFile : public CSafeFile {
public:
    struct Plan {
        int failWrite = 0;  // 0: no write fails
        bool failFlush = false;
        bool failRename = false;
        int* writeCount = nullptr;         // receives the number of Write calls made
        std::string refuseAttribute = {};  // an extended attribute the new file cannot be given
    };

    FailingSafeFile(const std::string& target, Plan plan) : CSafeFile(target), m_plan(plan) {}

    void Write(const void* buffer, size_t count) override {
        ++m_nWrites;
        if (m_plan.writeCount) {
            *m_plan.writeCount = m_nWrites;
        }
        if (m_nWrites == m_plan.failWrite) {
            throw CFileException(CFileException::diskFull, GetFilePath(), ENOSPC);
        }
        CSafeFile::Write(buffer, count);
    }
    // A gathered write counts as one write, as it is one system call.
    void WriteGather(const ConstBuffer* parts, size_t count) override {
        ++m_nWrites;
        if (m_plan.writeCount) {
            *m_plan.writeCount = m_nWrites;
        }
        if (m_nWrites == m_plan.failWrite) {
            throw CFileException(CFileException::diskFull, GetFilePath(), ENOSPC);
        }
        CSafeFile::WriteGather(parts, count);
    }
    void Flush() override {
        if (m_plan.failFlush) {
            throw CFileException(CFileException::hardIO, GetFilePath(), EIO);
        }
        CSafeFile::Flush();
    }

    static auto Factory(Plan plan) {
        return [plan](const std::string& path) -> std::unique_ptr<CSafeFile> {
            return std::make_unique<FailingSafeFile>(path, plan);
        };
    }

protected:
    bool PutAttribute(const std::string& name, const std::vector<char>& value) override {
        return name != m_plan.refuseAttribute && CSafeFile::PutAttribute(name, value);
    }
    void RenameOver(const std::string& from, const std::string& to) override {
        if (m_plan.failRename) {
            throw CFileException(CFileException::accessDenied, GetFilePath(), EACCES);
        }
        CSafeFile::RenameOver(from, to);
    }

private:
    Plan m_plan;
    int m_nWrites = 0;
};
