#include "framework/doc/DocManager.h"

#include "framework/doc/Document.h"
#include "framework/doc/FileDialogService.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/PathUtil.h"
#include "framework/doc/RecentFileList.h"

namespace {

std::vector<FileDialogFilter> IffFilters() {
    return {{"IFF Files (*.iff)", "*.iff"}, {"All Files (*.*)", "*.*"}};
}

std::string WithName(const std::string& format, const std::string& name) {
    std::string text = format;
    const auto at = text.find("%1");
    if (at != std::string::npos) {
        text.replace(at, 2, name);
    }
    return text;
}

}  // namespace

CDocManager::CDocManager(CDocument& document, IMessageBoxService& messages,
                         IFileDialogService& dialogs, CRecentFileList& recentFiles)
    : m_document(document), m_messages(messages), m_dialogs(dialogs), m_recentFiles(recentFiles) {}

void CDocManager::NotifyTitleChanged() const {
    if (m_titleChanged) {
        m_titleChanged();
    }
}

bool CDocManager::OnFileNew() {
    m_document.SetTitle(kUntitled);
    if (!m_document.OnNewDocument()) {
        return false;
    }
    m_document.InitialUpdateAllViews();
    NotifyTitleChanged();
    return true;
}

CDocManager::OpenResult CDocManager::OnFileOpen() {
    const auto path = m_dialogs.Run(MakeOpenRequest());
    if (!path) {
        return OpenResult::cancelled;
    }
    return OpenDocumentFile(*path);
}

CDocManager::OpenResult CDocManager::OpenDocumentFile(const std::string& path) {
    const std::string normalized = NormalizeOpenPath(path);
    if (!m_document.GetPathName().empty() && IsSameFile(normalized, m_document.GetPathName())) {
        if (m_activateFrame) {
            m_activateFrame();
        }
        return OpenResult::alreadyOpen;
    }
    if (!SaveModified()) {
        return OpenResult::cancelled;
    }
    return OpenNormalized(normalized);
}

CDocManager::OpenResult CDocManager::OpenNormalized(const std::string& normalized) {
    if (!m_document.OnOpenDocument(normalized)) {
        if (m_document.LastOpenReplacedContents()) {
            // The old contents are gone; what was half loaded must not pass for the file.
            m_document.ClearPathName();
            m_document.SetTitle(kUntitled);
            static_cast<void>(m_document.OnNewDocument());
            m_document.InitialUpdateAllViews();
            NotifyTitleChanged();
        }
        return OpenResult::failed;
    }
    m_document.SetPathName(normalized);
    m_recentFiles.Add(m_document.GetRecentFileName());
    m_document.InitialUpdateAllViews();
    NotifyTitleChanged();
    return OpenResult::opened;
}

CDocManager::OpenResult CDocManager::OpenRecentFile(int index) {
    const std::string path = m_recentFiles.GetEntry(index);
    if (path.empty()) {
        return OpenResult::failed;
    }
    const OpenResult result = OpenDocumentFile(path);
    if (result == OpenResult::failed) {
        m_recentFiles.Remove(index);
    }
    return result;
}

bool CDocManager::OnFileSave() {
    const std::string path = m_document.GetPathName();
    if (!path.empty() && !m_document.IsSaveAsRequired() && IsReadOnlyFile(path)) {
        // Said before the dialog, so that the user knows why it comes up.
        if (m_messages.Show(WithName(kMsgReadOnly, NameForMessages()), m_document.GetAppTitle(),
                            MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
            return false;
        }
        return DoSave({});
    }
    if (path.empty() || !IsWritableFile(path) || m_document.IsSaveAsRequired()) {
        return DoSave({});
    }
    if (m_document.HasChangedOnDisk()) {
        // The document's version comes from what was read at open; the other program's version
        // is lost when the user says Yes.
        const int answer = m_messages.Show(WithName(kMsgChangedOnDisk, NameForMessages()),
                                           m_document.GetAppTitle(),
                                           MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_DEFBUTTON3);
        if (answer == IDNO) {
            return DoSave({});
        }
        if (answer != IDYES) {
            return false;
        }
    }
    return DoSave(path);
}

bool CDocManager::OnFrameActivated() {
    const std::string path = m_document.GetPathName();
    if (m_bOfferingReload || path.empty() || m_document.IsModified() ||
        !m_document.HasChangedOnDisk()) {
        return false;
    }
    const std::optional<FileIdentity> now = IdentityOfPath(path);
    // A deleted file has nothing to reload; the document keeps what it read.
    if (!now || now == m_declinedReload) {
        return false;
    }
    m_bOfferingReload = true;
    const int answer = m_messages.Show(WithName(kMsgReload, NameForMessages()),
                                       m_document.GetAppTitle(), MB_YESNO | MB_ICONEXCLAMATION);
    m_bOfferingReload = false;
    if (answer != IDYES) {
        m_declinedReload = now;
        return false;
    }
    m_declinedReload.reset();
    return OpenNormalized(path) == OpenResult::opened;
}

std::string CDocManager::NameForMessages() const {
    const std::string& path = m_document.GetPathName();
    return path.empty() ? m_document.GetTitle() : FileNameOf(path);
}

bool CDocManager::OnFileSaveAs() {
    return DoSave({});
}

bool CDocManager::DoSave(const std::string& path) {
    std::string target = path;
    std::string proposed = ProposedSaveName();
    while (target.empty()) {
        const auto chosen = m_dialogs.Run(MakeSaveAsRequest(proposed));
        if (!chosen) {
            return false;
        }
        target = MakeAbsolutePath(*chosen);
        // A read-only file chosen in the dialog is not replaced either; the user picks again.
        if (IsReadOnlyFile(target)) {
            if (m_messages.Show(WithName(kMsgReadOnly, FileNameOf(target)),
                                m_document.GetAppTitle(), MB_YESNO | MB_ICONEXCLAMATION) != IDYES) {
                return false;
            }
            proposed = CopyNameFor(target);
            target.clear();
        }
    }
    if (!m_document.OnSaveDocument(target)) {
        return false;
    }
    m_document.SetPathName(target);
    m_recentFiles.Add(m_document.GetRecentFileName());
    NotifyTitleChanged();
    return true;
}

bool CDocManager::SaveModified() {
    if (!m_document.IsModified()) {
        return true;
    }
    const int answer =
        m_messages.Show("Save changes to " + NameForMessages() + "?", m_document.GetAppTitle(),
                        MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    if (answer == IDYES) {
        return OnFileSave();
    }
    return answer == IDNO;
}

std::string CDocManager::ProposedSaveName() const {
    if (!m_document.GetPathName().empty()) {
        const std::string& path = m_document.GetPathName();
        return IsReadOnlyFile(path) ? CopyNameFor(path) : path;
    }
    const std::string& title = m_document.GetTitle();
    return title.substr(0, title.find_first_of(" #%;/\\")) + ".iff";
}

std::string CDocManager::CopyNameFor(const std::string& path) {
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) {
        dot = path.size();
    }
    return path.substr(0, dot) + " copy" + path.substr(dot);
}

FileDialogRequest CDocManager::MakeOpenRequest() {
    FileDialogRequest request;
    request.kind = FileDialogRequest::open;
    request.title = "Open";
    request.filters = IffFilters();
    // An IFF file inside an archive opens through a chooser of its entries.
    request.filters.insert(request.filters.begin() + 1, {"FAR Archives (*.far)", "*.far"});
    // First every file of the game that holds text resources: what the command line walks, and
    // family files. (The dialog matches patterns in any case.)
    request.filters.insert(request.filters.begin(),
                           {"Game Files (*.iff *.flr *.wll *.spf *.far *.fam)",
                            "*.iff *.flr *.wll *.spf *.far *.fam"});
    request.defaultExtension = "iff";
    return request;
}

FileDialogRequest CDocManager::MakeSaveAsRequest(const std::string& proposedName) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::saveAs;
    request.title = "Save As";
    request.proposedName = proposedName;
    request.filters = IffFilters();
    request.defaultExtension = "iff";
    return request;
}
