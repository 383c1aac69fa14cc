#pragma once

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "framework/doc/Archive.h"
#include "framework/doc/Document.h"
#include "framework/doc/View.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"

// A document whose contents are the file's bytes; it writes them back in pieces of pieceSize
// bytes so that a fault can be injected at every write.
class CTextDoc : public CDocument {
public:
    void Serialize(CArchive& archive) override {
        CFile* file = archive.GetFile();
        if (archive.IsLoading()) {
            ++loads;
            if (failLoad) {
                throw CFileException(CFileException::endOfFile, file->GetFilePath());
            }
            content.resize(file->GetLength());
            content.resize(file->Read(content.data(), content.size()));
            return;
        }
        for (size_t at = 0; at < content.size(); at += pieceSize) {
            file->Write(content.data() + at, std::min(pieceSize, content.size() - at));
        }
    }
    void DeleteContents() override {
        content.clear();
        ++deletes;
    }

    std::string content;
    size_t pieceSize = 1 << 20;
    bool failLoad = false;
    int loads = 0;
    int deletes = 0;
};

// A view that records what the document asks of it.
class CSpyView : public CView {
public:
    void OnUpdate(CView*, long, void*) override { ++updates; }
    void OnInitialUpdate() override {
        ++initialUpdates;
        CView::OnInitialUpdate();
    }
    void OnDocumentReplaced() override { ++replaced; }

    int updates = 0;
    int initialUpdates = 0;
    int replaced = 0;
};

// Changes the current folder for the lifetime of the guard.
class CurrentFolderGuard {
public:
    explicit CurrentFolderGuard(const std::string& folder) {
        char buffer[4096];
        if (::getcwd(buffer, sizeof buffer)) {
            m_old = buffer;
        }
        static_cast<void>(::chdir(folder.c_str()));
    }
    ~CurrentFolderGuard() { static_cast<void>(::chdir(m_old.c_str())); }
    CurrentFolderGuard(const CurrentFolderGuard&) = delete;
    CurrentFolderGuard& operator=(const CurrentFolderGuard&) = delete;

private:
    std::string m_old;
};

inline void WriteText(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

inline std::string ReadText(const std::string& path) {
    std::string text;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            text.append(buffer, n);
        }
        std::fclose(file);
    }
    return text;
}
