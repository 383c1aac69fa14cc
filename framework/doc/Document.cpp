#include "framework/doc/Document.h"

#include <algorithm>

#include "framework/doc/Archive.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/PathUtil.h"
#include "framework/doc/View.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/SafeFile.h"

CDocument::CDocument() = default;

CDocument::~CDocument() {
    for (CView* view : m_views) {
        view->m_pDocument = nullptr;
    }
}

void CDocument::SetPathName(const std::string& path) {
    m_strPathName = path;
    SetTitle(FileNameOf(path));
}

void CDocument::SetTitle(const std::string& title) {
    m_strTitle = title;
}

void CDocument::AddView(CView* view) {
    if (!view || view->m_pDocument == this) {
        return;
    }
    if (view->m_pDocument) {
        view->m_pDocument->RemoveView(view);
    }
    m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::RemoveView(CView* view) {
    const auto it = std::find(m_views.begin(), m_views.end(), view);
    if (it != m_views.end()) {
        m_views.erase(it);
        view->m_pDocument = nullptr;
    }
}

CDocument::ViewPosition CDocument::GetFirstViewPosition() const {
    return m_views.empty() ? 0 : 1;
}

CView* CDocument::GetNextView(ViewPosition& pos) const {
    if (pos == 0 || pos > m_views.size()) {
        pos = 0;
        return nullptr;
    }
    CView* view = m_views[pos - 1];
    pos = pos < m_views.size() ? pos + 1 : 0;
    return view;
}

CView* CDocument::GetFirstView() const {
    return m_views.empty() ? nullptr : m_views.front();
}

void CDocument::UpdateAllViews(CView* sender, long hint, void* obj) {
    // A copy: a view's update may show a message whose loop lets views come and go.
    const std::vector<CView*> views = m_views;
    for (CView* view : views) {
        if (view != sender) {
            view->OnUpdate(sender, hint, obj);
        }
    }
}

void CDocument::InitialUpdateAllViews() {
    const std::vector<CView*> views = m_views;
    for (CView* view : views) {
        view->OnInitialUpdate();
    }
}

bool CDocument::OnNewDocument() {
    DeleteContents();
    for (CView* view : m_views) {
        view->OnDocumentReplaced();
    }
    m_strPathName.clear();
    m_bSaveAsRequired = false;
    m_diskIdentity.reset();
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnOpenDocument(const std::string& path) {
    m_bContentsReplaced = false;
    std::unique_ptr<CFile> file;
    try {
        file = OpenSourceFile(path);
        if (!CanOpenSource(*file, path)) {
            return false;
        }
    } catch (const CFileException& error) {
        ReportFileError(error);
        return false;
    }
    DeleteContents();
    for (CView* view : m_views) {
        view->OnDocumentReplaced();
    }
    m_bContentsReplaced = true;
    m_bSaveAsRequired = false;
    // Before anything is read: a change while the file is being read also counts as a change.
    m_diskIdentity = IdentityOfDescriptor(file->GetDescriptor());
    // Marked for the time of loading, so a load that stops half-way leaves a modified document.
    SetModifiedFlag(true);
    try {
        if (file->GetLength() != 0) {
            CArchive archive(file.get(), CArchive::load);
            Serialize(archive);
        }
        file->Close();
    } catch (const CFileException& error) {
        ReportFileError(error);
        DeleteContents();
        return false;
    }
    SetModifiedFlag(false);
    return true;
}

bool CDocument::OnSaveDocument(const std::string& path) {
    bool separatedLinks = false;
    std::vector<std::string> lostAttributes;
    try {
        std::unique_ptr<CSafeFile> target = CreateTargetFile(path);
        if (m_bRefuseChanged && m_diskIdentity && IsFileWeRead(path)) {
            target->SetExpectedIdentity(m_diskIdentity);
        }
        CArchive archive(target.get(), CArchive::store);
        Serialize(archive);
        target->Commit();
        separatedLinks = target->SeparatedHardLinks();
        lostAttributes = target->LostAttributes();
    } catch (const CFileException& error) {
        // The target's destructor has removed the temporary file; the old file is untouched.
        ReportFileError(error);
        return false;
    }
    m_bSaveAsRequired = false;
    m_diskIdentity = IdentityOfPath(path);
    SetModifiedFlag(false);
    if (separatedLinks) {
        static_cast<void>(ShowMessage(
            path + " had other hard links. They still show the previous version; the saved "
                   "version is a new file under this name only.",
            m_strAppTitle, MB_OK | MB_ICONEXCLAMATION));
    }
    if (!lostAttributes.empty()) {
        std::string names;
        for (const std::string& name : lostAttributes) {
            names += (names.empty() ? "" : ", ") + name;
        }
        static_cast<void>(ShowMessage(path +
                                          " was saved without these extended attributes, "
                                          "which could not be copied: " +
                                          names + ".",
                                      m_strAppTitle, MB_OK | MB_ICONEXCLAMATION));
    }
    return true;
}

bool CDocument::IsFileWeRead(const std::string& path) const {
    if (path == m_strPathName) {
        return true;
    }
    const std::optional<FileIdentity> now = IdentityOfPath(path);
    return now && m_diskIdentity && now->device == m_diskIdentity->device &&
           now->inode == m_diskIdentity->inode;
}

bool CDocument::HasChangedOnDisk() const {
    if (!m_diskIdentity || m_strPathName.empty()) {
        return false;
    }
    return IdentityOfPath(m_strPathName) != m_diskIdentity;
}

void CDocument::Serialize(CArchive&) {}

int CDocument::ShowMessage(const std::string& text, const std::string& caption,
                           unsigned type) const {
    if (!m_pMessageBox) {
        return 0;
    }
    return m_pMessageBox->Show(text, caption.empty() ? m_strAppTitle : caption, type);
}

void CDocument::ReportFileError(const CFileException& error) const {
    static_cast<void>(
        ShowMessage(error.GetErrorMessage(), m_strAppTitle, MB_OK | MB_ICONEXCLAMATION));
}

std::unique_ptr<CSafeFile> CDocument::CreateTargetFile(const std::string& path) {
    if (m_targetFactory) {
        return m_targetFactory(path);
    }
    return std::make_unique<CSafeFile>(path);
}

bool CDocument::CanOpenSource(CFile&, const std::string&) {
    return true;
}

std::unique_ptr<CFile> CDocument::OpenSourceFile(const std::string& path) {
    return std::make_unique<CFile>(path, CFile::modeRead | CFile::shareDenyWrite);
}
