#include "document/TallyglassDoc.h"

#include "far/FarPath.h"
#include "framework/doc/Archive.h"
#include "framework/doc/PathUtil.h"
#include "framework/doc/View.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/MemFile.h"
#include "framework/stream/SpanFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <iterator>
#include <limits>
#include <span>
#include <tuple>

CTallyglassDoc::CTallyglassDoc() {
    // Attach shows a failed duplicate of the stream as the framework's file-error message.
    m_iff.SetErrorReporter([this](const CFileException& error) { ReportFileError(error); });
    m_undo.SetCleanChangedHandler([this](bool clean) { SetModifiedFlag(!clean); });
}

CTallyglassDoc::~CTallyglassDoc() = default;

void CTallyglassDoc::Serialize(CArchive& archive) {
    CFile* file = archive.GetFile();
    if (archive.IsStoring() && m_archive && !m_bSavingLoose && file) {
        StoreArchive(*file);
        return;
    }
    if (archive.IsStoring()) {
        if (!m_iff.Save(file)) {
            // Fail like a stream error, so the safe save discards the half-written file; the
            // user is told the cause of the write that failed, when one did.
            if (const CFileException* error = m_iff.GetWriteError()) {
                throw CFileException(*error);
            }
            if (CView* view = GetFirstView(); view && !m_iff.GetWriteProblem().empty()) {
                static_cast<void>(view->MessageBox(m_iff.GetWriteProblem(), GetAppTitle(),
                                                   MB_OK | MB_ICONEXCLAMATION));
            }
            throw CFileException(CFileException::genericException,
                                 file ? file->GetFilePath() : std::string());
        }
        return;
    }
    m_nOpenError = 0;
    if (m_pendingEntry) {
        if (!AttachArchiveEntry()) {
            m_nOpenError = errArchive;
            SetSaveAsRequired(true);
            return;
        }
    } else if (file) {
        static_cast<void>(m_iff.Attach(*file));
    }
    int code = 0;
    if (!m_iff.Open(&code, false)) {
        m_archive.reset();
        m_nOpenError = code;
        // The document keeps the file's name, but what it holds is not that file's content:
        // a plain Save must not replace the file with an IFF file without chunks.
        SetSaveAsRequired(true);
    }
    const std::string message = OpenErrorMessage(code, m_pendingEntry ? *m_pendingEntry
                                                       : file         ? file->GetFilePath()
                                                                      : std::string());
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
    if (m_pendingEntry) {
        return CanOpenArchiveEntry(file, path);
    }
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

namespace {

bool EndsWithIff(const std::string& path) {
    if (path.size() < 4) {
        return false;
    }
    std::string end = path.substr(path.size() - 4);
    for (char& ch : end) {
        ch = static_cast<char>(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    }
    return end == ".iff";
}

}  // namespace

bool CTallyglassDoc::OnSaveDocument(const std::string& path) {
    if (m_archive && !m_bSavingLoose && EndsWithIff(path) && path != GetPathName()) {
        m_bSavingLoose = true;
        const bool saved = OnSaveDocument(path);
        m_bSavingLoose = false;
        if (saved) {
            m_archive.reset();
        }
        return saved;
    }
    if (std::string why; m_archive && !m_bSavingLoose && !m_archive->archive.CanRewrite(&why)) {
        // A rewrite would lose the entries the manifest cannot place; the entry itself can
        // still be saved as a loose file.
        if (CView* view = GetFirstView()) {
            static_cast<void>(view->MessageBox(why, GetAppTitle(), MB_OK | MB_ICONEXCLAMATION));
        }
        return false;
    }
    if (const EditResult stored = m_editor.Store(); !stored.Ok()) {
        // Writing the file without the edits would lose them; they stay in the working copy.
        if (CView* view = GetFirstView()) {
            static_cast<void>(view->MessageBox(stored.reason, GetAppTitle(), MB_OK));
        }
        return false;
    }
    UpdateAllViews(nullptr, 0, nullptr);
    m_dropped.clear();
    // Every readable payload is taken from the snapshot before the source closes, so later edits
    // still find them. A save writes every byte it does not change as the file held it, readable
    // or not; only the explicit request leaves the unreadable chunks out.
    const std::vector<UnreadableChunk> unreadable = m_iff.FindUnreadable();
    if (m_bDropUnreadable && !unreadable.empty()) {
        m_dropped = m_iff.DropUnreadable();
        // The document no longer holds what the file holds, whatever becomes of this save.
        SetModifiedFlag(true);
    }
    m_iff.Close();
    m_written.reset();
    if (!CDocument::OnSaveDocument(path)) {
        m_written.reset();
        return false;
    }
    if (m_archive && !m_bSavingLoose && m_written) {
        // What the file now holds is the source of the next save's other entries.
        std::ignore = m_archive->archive.Load(std::move(*m_written));
        m_written.reset();
    }
    m_undo.SetClean();
    return true;
}

bool CTallyglassDoc::OnOpenDocument(const std::string& path) {
    if (const std::optional<FarPath> inArchive = SplitFarPath(path)) {
        return OnOpenArchiveEntry(inArchive->archive, inArchive->entry);
    }
    if (m_archive && IsSameFile(path, GetPathName())) {
        // The archive of the open entry again (a reload after a change on disk): the same
        // entry, without asking.
        const std::string entry = GetArchiveEntryName();
        return OnOpenArchiveEntry(path, entry);
    }
    if (!m_entryChooser) {
        return CDocument::OnOpenDocument(path);
    }
    ClearContentsReplaced();
    try {
        CFile file(path, CFile::modeRead);
        char signature[8] = {};
        if (file.Read(signature, sizeof signature) != sizeof signature ||
            std::string(signature, sizeof signature) != "FAR!byAZ") {
            file.Close();
            return CDocument::OnOpenDocument(path);
        }
        CFarArchive archive;
        if (const std::string why = LoadArchive(file, archive); !why.empty()) {
            if (CView* view = GetFirstView()) {
                static_cast<void>(view->MessageBox(why, kErrorCaption, MB_OK | MB_ICONSTOP));
            }
            return false;
        }
        const std::optional<size_t> chosen =
            m_entryChooser(archive, FileNameOf(path), FindIffEntries(archive));
        if (!chosen || *chosen >= archive.GetEntries().size()) {
            return false;
        }
        return OnOpenArchiveEntry(path, archive.GetEntries()[*chosen].name);
    } catch (const CFileException&) {
        // Opening through the base reports the error as every failed open does.
        return CDocument::OnOpenDocument(path);
    }
}

std::vector<size_t> CTallyglassDoc::FindIffEntries(const CFarArchive& archive) {
    static constexpr char kMagic[] = "IFF FILE 2.";
    std::vector<size_t> found;
    for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
        const std::span<const uint8_t> bytes = archive.EntryBytes(i);
        if (bytes.size() >= sizeof kMagic - 1 &&
            std::equal(kMagic, kMagic + sizeof kMagic - 1, bytes.begin())) {
            found.push_back(i);
        }
    }
    return found;
}

std::string CTallyglassDoc::GetRecentFileName() const {
    return m_archive ? GetPathName() + ":" + GetArchiveEntryName() : GetPathName();
}

bool CTallyglassDoc::OnOpenArchiveEntry(const std::string& archivePath, const std::string& entry) {
    m_pendingEntry = entry;
    // The base's open: the archive is read as a file, Serialize picks the entry out of it.
    const bool opened = CDocument::OnOpenDocument(archivePath);
    m_pendingEntry.reset();
    m_checkedArchive.reset();
    return opened;
}

std::string CTallyglassDoc::LoadArchive(CFile& file, CFarArchive& archive) {
    const std::string name = FileNameOf(file.GetFilePath());
    const uint64_t length = file.GetLength();
    if (length > std::numeric_limits<uint32_t>::max()) {
        // Offsets of 32 bits cannot address more; nothing is read.
        return name + " is larger than an archive can be.";
    }
    if (archive.Load(ReadWholeFile(file)) != CFarArchive::Status::ok) {
        return archive.DescribeStatus(name);
    }
    return {};
}

std::string CTallyglassDoc::LoadArchiveEntry(CFile& file, const std::string& entry,
                                             CFarArchive& archive, size_t& index) {
    if (std::string why = LoadArchive(file, archive); !why.empty()) {
        return why;
    }
    const std::string name = FileNameOf(file.GetFilePath());
    std::string why;
    const std::optional<size_t> found = archive.FindEntry(entry, &why);
    if (!found) {
        return name + ": " + why;
    }
    const FarEntry& record = archive.GetEntries()[*found];
    if (!record.IsReadable()) {
        return name + ": the entry \"" + FarDisplayName(record.name) +
               "\" cannot be read: " + record.problem + ".";
    }
    index = *found;
    return {};
}

bool CTallyglassDoc::CanOpenArchiveEntry(CFile& file, const std::string& path) {
    m_checkedArchive.reset();
    ArchiveSource source;
    std::string why;
    int code = errArchive;
    if (file.GetLength() == 0) {
        why = FileNameOf(path) + " is not a FAR archive.";
    } else {
        why = LoadArchiveEntry(file, *m_pendingEntry, source.archive, source.index);
    }
    if (why.empty()) {
        // An empty entry opens as an empty file does: a document without chunks.
        const std::span<const uint8_t> bytes = source.archive.EntryBytes(source.index);
        code = bytes.empty() ? 0 : CIffFile::CheckHeader(bytes.data(), bytes.size(), bytes.size());
        why = OpenErrorMessage(code, *m_pendingEntry);
    }
    file.SeekToBegin();
    if (!why.empty()) {
        m_nOpenError = code;
        if (CView* view = GetFirstView()) {
            static_cast<void>(view->MessageBox(why, kErrorCaption, MB_OK | MB_ICONSTOP));
        }
        return false;
    }
    m_checkedArchive = std::move(source);
    return true;
}

bool CTallyglassDoc::AttachArchiveEntry() {
    if (!m_checkedArchive) {
        return false;  // CanOpenArchiveEntry has told why
    }
    ArchiveSource source = std::move(*m_checkedArchive);
    m_checkedArchive.reset();
    const std::span<const uint8_t> entryBytes = source.archive.EntryBytes(source.index);
    CMemFile entryFile(entryBytes.data(), entryBytes.size());
    if (m_iff.Attach(entryFile) != entryBytes.size() && !entryBytes.empty()) {
        return false;  // the reporter has told why
    }
    m_archive = std::move(source);
    return true;
}

void CTallyglassDoc::StoreArchive(CFile& file) {
    CMemFile entry;
    if (!m_iff.Save(&entry)) {
        if (CView* view = GetFirstView(); view && !m_iff.GetWriteProblem().empty()) {
            static_cast<void>(view->MessageBox(m_iff.GetWriteProblem(), GetAppTitle(),
                                               MB_OK | MB_ICONEXCLAMATION));
        }
        throw CFileException(CFileException::genericException, file.GetFilePath());
    }
    std::optional<std::vector<uint8_t>> bytes =
        m_archive->archive.Rewrite(m_archive->index, entry.ToVector());
    if (!bytes) {
        throw CFileException(CFileException::genericException, file.GetFilePath());
    }
    // Header, entries and manifest go out as separate writes, so a failure can strike any of them.
    const std::vector<uint8_t>& out = *bytes;
    const size_t header = std::min(out.size(), CFarArchive::kHeaderSize);
    size_t manifest = out.size();
    if (out.size() >= CFarArchive::kHeaderSize) {
        manifest = static_cast<size_t>(out[12]) | static_cast<size_t>(out[13]) << 8 |
                   static_cast<size_t>(out[14]) << 16 | static_cast<size_t>(out[15]) << 24;
        manifest = std::clamp(manifest, header, out.size());
    }
    file.Write(out.data(), header);
    if (manifest > header) {
        file.Write(out.data() + header, manifest - header);
    }
    if (out.size() > manifest) {
        file.Write(out.data() + manifest, out.size() - manifest);
    }
    m_written = std::move(bytes);
}

std::string CTallyglassDoc::GetArchiveEntryName() const {
    return m_archive ? m_archive->archive.GetEntries()[m_archive->index].name : std::string();
}

bool CTallyglassDoc::SaveEntryAsLooseFile(const std::string& path) {
    m_bSavingLoose = true;
    const bool saved = OnSaveDocument(path);
    m_bSavingLoose = false;
    if (saved) {
        m_archive.reset();
        SetPathName(path);
    }
    return saved;
}

void CTallyglassDoc::SetPathName(const std::string& path) {
    const std::optional<FarPath> inArchive = m_archive ? SplitFarPath(path) : std::nullopt;
    CDocument::SetPathName(inArchive ? inArchive->archive : path);
    if (m_archive) {
        std::string entry = GetArchiveEntryName();
        const size_t slash = entry.find_last_of("\\/");
        if (slash != std::string::npos) {
            entry.erase(0, slash + 1);
        }
        SetTitle(FarDisplayName(entry) + " (" + FileNameOf(GetPathName()) + ")");
    }
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

bool CTallyglassDoc::OpenBytes(std::span<const uint8_t> bytes, int& code) {
    DeleteContents();
    // Read once, into the file's snapshot; nothing reads the stream after the open.
    CSpanFile file(bytes);
    code = 0;
    if (m_iff.Attach(file) == 0 && !m_iff.IsAttached()) {
        code = 1;
        return false;
    }
    if (!m_iff.Open(&code, false)) {
        m_nOpenError = code;
        return false;
    }
    return true;
}

std::optional<std::vector<uint8_t>> CTallyglassDoc::SaveToBytes(std::string& why) {
    if (const EditResult stored = m_editor.Store(); !stored.Ok()) {
        why = stored.reason;
        return std::nullopt;
    }
    CMemFile out;
    if (!m_iff.Save(&out)) {
        why =
            m_iff.GetWriteProblem().empty() ? std::string(kMsgCantAccess) : m_iff.GetWriteProblem();
        return std::nullopt;
    }
    return out.ToVector();
}

void CTallyglassDoc::DeleteContents() {
    m_editor.Forget();
    m_undo.Clear();
    m_iff.Reset();
    m_iff.Close();
    m_archive.reset();
    m_nOpenError = 0;
}
