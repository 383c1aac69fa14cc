#include "document/TallyglassDoc.h"

#include "framework/doc/Archive.h"
#include "framework/doc/PathUtil.h"
#include "framework/doc/View.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"

#include <array>
#include <cstdio>
#include <iterator>

CTallyglassDoc::CTallyglassDoc() {
    // Attach shows a failed duplicate of the stream as the framework's file-error message.
    m_iff.SetErrorReporter([this](const CFileException& error) { ReportFileError(error); });
    m_undo.SetCleanChangedHandler([this](bool clean) { SetModifiedFlag(!clean); });
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
    const std::string message = OpenErrorMessage(code, file ? file->GetFilePath() : std::string());
    if (CView* view = GetFirstView(); view && !message.empty()) {
        static_cast<void>(view->MessageBox(message, kErrorCaption, MB_OK | MB_ICONSTOP));
    }
}

std::string CTallyglassDoc::OpenErrorMessage(int code, const std::string& path) {
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
            return {};
    }
    std::string text = message;
    if (const size_t at = text.find("%1"); at != std::string::npos) {
        text.replace(at, 2, FileNameOf(path));
    }
    return text;
}

bool CTallyglassDoc::CanOpenSource(CFile& file, const std::string& path) {
    const uint64_t length = file.GetLength();
    if (length == 0) {
        return true;
    }
    std::array<uint8_t, kFileHeaderSize> header{};
    const size_t read = file.Read(header.data(), header.size());
    file.SeekToBegin();
    const int code = CIffFile::CheckHeader(header.data(), read, length);
    if (code == 0) {
        return true;
    }
    m_nOpenError = code;
    if (CView* view = GetFirstView()) {
        static_cast<void>(
            view->MessageBox(OpenErrorMessage(code, path), kErrorCaption, MB_OK | MB_ICONSTOP));
    }
    return false;
}

bool CTallyglassDoc::OnNewDocument() {
    m_nOpenError = 0;
    return CDocument::OnNewDocument();
}

bool CTallyglassDoc::OnSaveDocument(const std::string& path) {
    if (const EditResult stored = m_editor.Store(); !stored.Ok()) {
        // Writing the file without the edits would lose them; they stay in the working copy.
        if (CView* view = GetFirstView()) {
            static_cast<void>(view->MessageBox(stored.reason, GetAppTitle(), MB_OK));
        }
        return false;
    }
    UpdateAllViews(nullptr, 0, nullptr);
    m_dropped.clear();
    const auto cantAccess = [this] {
        if (CView* view = GetFirstView()) {
            static_cast<void>(view->MessageBox(kMsgCantAccess, GetAppTitle(), MB_OK));
        }
        return false;
    };
    if (!m_iff.LoadAll()) {
        const std::vector<UnreadableChunk> unreadable = m_iff.FindUnreadable();
        if (unreadable.empty()) {
            return cantAccess();
        }
        bool consent = m_bDropUnreadable;
        if (!consent) {
            // Without a view nobody can be asked, so nothing is dropped.
            CView* view = GetFirstView();
            consent = view != nullptr &&
                      view->MessageBox(DescribeUnreadable(unreadable) + "\n\n" + kMsgSaveWithout,
                                       GetAppTitle(), MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
        }
        if (!consent) {
            return false;
        }
        m_dropped = m_iff.DropUnreadable();
        // The document no longer holds what the file holds, whatever becomes of this save.
        SetModifiedFlag(true);
        if (!m_iff.LoadAll()) {
            return cantAccess();
        }
    }
    m_iff.Close();
    if (!CDocument::OnSaveDocument(path)) {
        return false;
    }
    m_undo.SetClean();
    return true;
}

namespace {

std::string ShowSize(uint32_t bytes) {
    if (bytes < 1000) {
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    }
    static const char* const kUnits[] = {"kB", "MB", "GB"};
    double value = bytes / 1000.0;
    size_t unit = 0;
    while (value >= 999.5 && unit + 1 < std::size(kUnits)) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 9.95 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
    return text;
}

// The type's four characters when all are printable: a real chunk, not bytes that only sit where
// a header would be.
bool IsPrintableType(ChunkType type) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto byte = static_cast<unsigned char>(type >> shift);
        if (byte < 0x20 || byte > 0x7E) {
            return false;
        }
    }
    return true;
}

std::string ShowType(ChunkType type) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += static_cast<char>(type >> shift);
    }
    return text;
}

}  // namespace

std::string CTallyglassDoc::DescribeChunk(const UnreadableChunk& chunk) {
    if (!chunk.resolves) {
        return "a chunk that no longer exists";
    }
    const std::string at = " at offset " + std::to_string(chunk.headerOffset);
    if (!chunk.headerRead) {
        return ShowType(chunk.type) + " " + std::to_string(chunk.id) + " listed in the map" + at +
               ", outside the file";
    }
    const std::string claims = " (claims " + ShowSize(chunk.claimedSize) + ")";
    if (!IsPrintableType(chunk.type)) {
        return "junk after the last chunk" + at + claims;
    }
    return ShowType(chunk.type) + " " + std::to_string(chunk.id) + at +
           ", cut short by the end of the file" + claims;
}

std::string CTallyglassDoc::DescribeUnreadable(const std::vector<UnreadableChunk>& chunks) {
    constexpr size_t kNamed = 5;
    std::string text = std::to_string(chunks.size()) +
                       (chunks.size() == 1 ? " chunk cannot" : " chunks cannot") + " be read: ";
    for (size_t i = 0; i < chunks.size() && i < kNamed; ++i) {
        text += (i == 0 ? "" : "; ") + DescribeChunk(chunks[i]);
    }
    if (chunks.size() > kNamed) {
        text += "; and " + std::to_string(chunks.size() - kNamed) + " more";
    }
    return text + ".";
}

void CTallyglassDoc::DeleteContents() {
    m_editor.Forget();
    m_undo.Clear();
    m_iff.Reset();
    m_iff.Close();
    m_nOpenError = 0;
}
