#pragma once

class CFile;

// The stream handed to CDocument::Serialize: which way the data flows, and the open file.
class CArchive {
public:
    enum Mode { load, store };

    CArchive(CFile* file, Mode mode) : m_pFile(file), m_mode(mode) {}

    [[nodiscard]] bool IsLoading() const { return m_mode == load; }
    [[nodiscard]] bool IsStoring() const { return m_mode == store; }
    // The open stream; owned by whoever made the archive, valid for the Serialize call only.
    [[nodiscard]] CFile* GetFile() const { return m_pFile; }

private:
    CFile* m_pFile;
    Mode m_mode;
};
