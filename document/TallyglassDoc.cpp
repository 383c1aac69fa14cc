#include "document/TallyglassDoc.h"

#include "framework/doc/Archive.h"
#include "framework/doc/View.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"

CTallyglassDoc::CTallyglassDoc() {
    // Attach shows a failed duplicate of the stream as the framework's file-error message.
    m_iff.SetErrorReporter([this](const CFileException& error) { ReportFileError(error); });
}

CTallyglassDoc::~CTallyglassDoc() = default;

void CTallyglassDoc::Serialize(CArchive& archive) {
    CFile* file = archive.GetFile();
    if (archive.IsStoring()) {
        if (!m_iff.Save(file)) {
            // Fail like a stream error, so the safe save discards the half-written file; the
            // user is told the cause of the write that failed, when one did.
            if (const CFileException* error = m_iff.GetWriteError()) {
                throw CFileException(*error);
            }
            throw CFileException(CFileException::genericException,
                                 file ? file->GetFilePath() : std::string());
        }
        return;
    }
    m_nOpenError = 0;
    if (file) {
        static_cast<void>(m_iff.Attach(*file));
    }
    int code = 0;
    if (!m_iff.Open(&code, false)) {
        m_nOpenError = code;
        // The document keeps the file's name, but what it holds is not that file's content:
        // a plain Save must not replace the file with an IFF file without chunks.
        SetSaveAsRequired(true);
    }
    const char* message = nullptr;
    switch (code) {
        case 1:
            message = kMsgBadPointer;
            break;
        case 2:
            message = kMsgNoMemory;
            break;
        case CIffFile::errNotIff:
            message = kMsgNotIff;
            break;
        case CIffFile::errVersion:
            message = kMsgBadVersion;
            break;
        default:
            break;
    }
    if (CView* view = GetFirstView(); view && message) {
        static_cast<void>(view->MessageBox(message, kErrorCaption, MB_OK | MB_ICONSTOP));
    }
}

bool CTallyglassDoc::OnNewDocument() {
    m_nOpenError = 0;
    return CDocument::OnNewDocument();
}

bool CTallyglassDoc::OnSaveDocument(const std::string& path) {
    if (!UpdateAllViews(nullptr, 0, nullptr)) {
        // A view could not store its pending edits and has said why; write nothing.
        return false;
    }
    bool loaded = false;
    try {
        loaded = m_iff.LoadAll();
    } catch (const CFileException& error) {
        ReportFileError(error);
        return false;
    }
    if (!loaded) {
        if (CView* view = GetFirstView()) {
            static_cast<void>(view->MessageBox(kMsgCantAccess, GetAppTitle(), MB_OK));
        }
        return false;
    }
    m_iff.Close();
    return CDocument::OnSaveDocument(path);
}

void CTallyglassDoc::DeleteContents() {
    m_iff.Reset();
    m_iff.Close();
    m_nOpenError = 0;
}
