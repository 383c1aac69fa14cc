#include "cli/DocSession.h"

#include "cli/CliText.h"
#include "cli/Commands.h"
#include "far/FarPath.h"
#include "framework/doc/PathUtil.h"
#include "iff/ChunkTypes.h"

#include <cstdio>

int CStderrMessageBox::Show(const std::string& text, const std::string&, unsigned type) {
    PrintError(text);
    switch (type & MB_BUTTONMASK) {
        case MB_YESNO:
            return IDNO;
        case MB_YESNOCANCEL:
            return IDCANCEL;
        default:
            return IDOK;
    }
}

CDocSession::CDocSession() {
    m_doc.SetMessageBoxService(&m_messages);
    m_doc.AddView(&m_view);
    m_doc.SetRefuseChangedOnDisk(true);
}

CDocSession::~CDocSession() {
    m_doc.RemoveView(&m_view);
}

bool CDocSession::Open(const std::string& path, bool saveInPlace) {
    m_strOpenedAs = path;
    // "Objects.far:Chair.iff": the entry opens as the document, and saves write the archive.
    const std::optional<FarPath> inArchive = SplitFarPath(path);
    const std::string normalized = NormalizeOpenPath(inArchive ? inArchive->archive : path);
    if (saveInPlace) {
        m_lock = std::make_unique<CFileLock>(normalized);
    }
    const bool opened = inArchive ? m_doc.OnOpenArchiveEntry(normalized, inArchive->entry)
                                  : m_doc.OnOpenDocument(normalized);
    if (!opened) {
        return false;  // the document has reported the file error
    }
    m_doc.SetPathName(normalized);
    // The editor opens an empty file as a document without chunks; the command line, which
    // would only write an empty IFF file over it, refuses it as what it is.
    if (!m_doc.m_iff.IsAttached() && m_doc.GetOpenError() == 0) {
        PrintError(CTallyglassDoc::OpenErrorMessage(CIffFile::errNotIff, path));
        return false;
    }
    // A file the document could not read as IFF has been reported by the view; the command
    // line stops there rather than write an empty IFF file.
    return m_doc.GetOpenError() == 0;
}

bool CDocSession::Save(const std::string& target) {
    const std::string path = target.empty() ? m_doc.GetPathName() : MakeAbsolutePath(target);
    // The safe save renames a new file over the old one, which a folder the user may write
    // allows whatever the file's own mode says; a file marked read-only is kept as the user
    // marked it.
    if (!m_bForce && IsReadOnlyFile(path)) {
        const std::optional<FarPath> inArchive = SplitFarPath(m_strOpenedAs);
        const std::string opened = inArchive ? inArchive->archive : m_strOpenedAs;
        PrintError((target.empty() ? opened : target) + " is read-only.");
        return false;
    }
    return m_doc.OnSaveDocument(path);
}

int ResaveThroughDocument(const std::string& file, const std::string& output, bool dropUnreadable,
                          bool force) {
    CDocSession session;
    if (!session.Open(file, output.empty())) {
        return 1;
    }
    session.SetForce(force);
    session.Document().SetDropUnreadableWithoutAsking(dropUnreadable);
    const bool saved = session.Save(output);
    // Listed whether or not the write then succeeded: the user asked for them to go.
    for (const UnreadableChunk& chunk : session.Document().GetDroppedChunks()) {
        std::printf("dropped: %s\n", EscapeControls(CTallyglassDoc::DescribeChunk(chunk)).c_str());
    }
    return saved ? 0 : 1;
}
