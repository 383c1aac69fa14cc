#include "app/TallyglassApp.h"

#include "app/AboutDialog.h"
#include "app/AppIcon.h"
#include "app/FarEntryDialog.h"
#include "app/Resource.h"
#include "app/TranslationCommands.h"
#include "app/TranslationMemories.h"
#include "document/TallyglassDoc.h"
#include "framework/doc/CommandLineInfo.h"
#include "framework/doc/DocManager.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/PathUtil.h"
#include "framework/doc/Profile.h"
#include "strings/Languages.h"
#include "view/TallyglassView.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QSessionManager>
#include <QSettings>
#include <QStatusBar>
#include <QTableView>

#include <tuple>

CTallyglassApp::CTallyglassApp(Services services, QObject* parent)
    : QObject(parent),
      m_services(std::move(services)),
      m_recentFiles(kRecentFileCount),
      m_docTemplate(
          QString::fromLatin1(kDocTemplate), [] { return std::make_unique<CTallyglassDoc>(); },
          [] {
              auto* view = new CTallyglassView();
              return CSingleDocTemplate::ViewParts{view, view};
          }) {}

CTallyglassApp::~CTallyglassApp() {
    // The frame owns the view, which leaves the document's list as it goes: frame first.
    m_pDocManager.reset();
    m_pMainFrame.reset();
    m_pDocumentOwner.reset();
}

void CTallyglassApp::SetUpApplicationObject() {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kOrganization));
    QCoreApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.1"));
    QGuiApplication::setApplicationDisplayName(QString::fromLatin1(kAppTitle));
    // Lets the desktop match the windows to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("tallyglass"));
    QGuiApplication::setWindowIcon(AppIcon());
}

bool CTallyglassApp::RemoveSettingsProfile() {
    QString path;
    bool removed = true;
    {
        QSettings settings(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromLatin1(kOrganization), QString::fromLatin1(kAppTitle));
        path = settings.fileName();
        settings.clear();
        settings.sync();
        removed = settings.status() == QSettings::NoError;
    }
    if (QFileInfo::exists(path) && !QFile::remove(path))
        removed = false;
    // The organisation's folder goes too, but only when nothing else of it is left.
    QDir company = QFileInfo(path).dir();
    if (company.dirName() == QString::fromLatin1(kOrganization) && company.exists() &&
        company.isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        const QString folder = company.absolutePath();
        if (!company.cdUp() || !company.rmdir(folder))
            removed = false;
    }
    return removed;
}

bool CTallyglassApp::InitInstance(const std::vector<std::string>& args) {
    SetUpApplicationObject();

    m_recentFiles.ReadList(m_services.profile);

    CCommandLineInfo info;
    info.ParseCommandLine(args);
    if (!ProcessShellCommand(info))
        return false;

    RestoreWindowState();
    m_pMainFrame->show();
    m_pMainFrame->activateWindow();
    if (auto* guiApp = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(guiApp, &QGuiApplication::commitDataRequest, this,
                &CTallyglassApp::OnCommitDataRequest, Qt::UniqueConnection);
    }
    return true;
}

void CTallyglassApp::ExitInstance() {
    if (m_bUnregistered)
        return;
    std::ignore = m_recentFiles.WriteList(m_services.profile);
    SaveWindowState();
}

bool CTallyglassApp::EnsureDocument() {
    if (m_pMainFrame != nullptr)
        return true;
    std::unique_ptr<CDocument> document = m_docTemplate.CreateNewDocument();
    auto* tallyglassDoc = dynamic_cast<CTallyglassDoc*>(document.get());
    if (tallyglassDoc == nullptr)
        return false;
    tallyglassDoc->SetMessageBoxService(&m_services.messages);
    tallyglassDoc->SetAppTitle(kAppTitle);
    m_pMainFrame = m_docTemplate.CreateNewFrame(*tallyglassDoc, this);
    if (m_pMainFrame == nullptr)
        return false;
    m_pDocumentOwner = std::move(document);
    m_pDocument = tallyglassDoc;
    m_pDocument->SetEntryChooser(MakeFarEntryChooser(m_pMainFrame.get(), m_services.messages));
    m_pView = qobject_cast<CTallyglassView*>(m_pMainFrame->centralWidget());

    m_pDocManager = std::make_unique<CDocManager>(*m_pDocument, m_services.messages,
                                                  m_services.dialogs, m_recentFiles);
    m_pDocManager->SetActivateFrameHandler([this] {
        m_pMainFrame->raise();
        m_pMainFrame->activateWindow();
    });
    m_pDocManager->SetTitleChangedHandler([this] { UpdateFrame(); });
    if (m_pView != nullptr) {
        connect(m_pView, &CTallyglassView::SummaryChanged, m_pMainFrame.get(),
                &CMainFrame::ShowSummary);
        connect(m_pView, &CTallyglassView::ResourceStatusChanged, m_pMainFrame.get(),
                &CMainFrame::ShowResourceStatus);
        connect(
            m_pView, &CTallyglassView::StatusMessage, m_pMainFrame.get(),
            [this](const QString& text) { m_pMainFrame->statusBar()->showMessage(text, 5000); });
        m_pMemories = std::make_unique<CTranslationMemories>(
            MemoryServices{m_services.messages, m_services.dialogs, m_services.profile},
            *m_pMainFrame, *m_pView);
        m_pMemories->LoadFromProfile();
    }
    m_pDocument->SetModifiedChangedHandler([this](bool) { UpdateFrame(); });
    m_pDocument->m_undo.SetChangedHandler([this] {
        const CUndoStack& stack = m_pDocument->m_undo;
        m_pMainFrame->UpdateEditCommands(QString::fromStdString(stack.GetUndoText()),
                                         QString::fromStdString(stack.GetRedoText()));
    });
    return true;
}

bool CTallyglassApp::ProcessShellCommand(const CCommandLineInfo& info) {
    switch (info.m_nShellCommand) {
        case CCommandLineInfo::FileNew:
        case CCommandLineInfo::FileDDE:
        case CCommandLineInfo::FileOpen: {
            if (!EnsureDocument()) {
                std::ignore = m_services.messages.Show(kNoDocument, {}, MB_OK | MB_ICONEXCLAMATION);
                return false;
            }
            // Without the shell's conversation a "dde" start is an ordinary one: it opens the
            // file named with it, if any, like the open request that would have followed.
            if (info.m_strFileName.empty())
                return m_pDocManager->OnFileNew() && m_pMainFrame != nullptr;
            if (m_pDocManager->OpenDocumentFile(info.m_strFileName) ==
                CDocManager::OpenResult::opened)
                return true;
            // The reason has been shown; the editor starts all the same, on an untitled
            // document rather than on a greyed one named after the file it could not open.
            return m_pDocManager->OnFileNew() && m_pMainFrame != nullptr;
        }
        case CCommandLineInfo::FilePrint:
        case CCommandLineInfo::FilePrintTo:
            // The file opens with the window hidden; there is no printing, so start-up ends.
            if (EnsureDocument() && !info.m_strFileName.empty())
                std::ignore = m_pDocManager->OpenDocumentFile(info.m_strFileName);
            return false;
        case CCommandLineInfo::AppUnregister:
            Unregister(info.m_bRunEmbedded);
            return false;
    }
    return false;
}

void CTallyglassApp::Unregister(bool quiet) {
    m_bUnregistered = true;
    const bool removed =
        m_services.removeProfile ? m_services.removeProfile() : RemoveSettingsProfile();
    m_bUnregisterOk = removed;
    if (!quiet)
        std::ignore =
            m_services.messages.Show(removed ? kUnregistered : kNotUnregistered, {}, MB_OK);
}

void CTallyglassApp::OnCommand(int id) {
    if (m_pDocManager == nullptr)
        return;
    switch (id) {
        case ID_FILE_OPEN:
            std::ignore = m_pDocManager->OnFileOpen();
            break;
        case ID_FILE_SAVE:
            std::ignore = m_pDocManager->OnFileSave();
            break;
        case ID_FILE_SAVE_AS:
            std::ignore = m_pDocManager->OnFileSaveAs();
            break;
        case ID_APP_EXIT:
            m_pMainFrame->close();
            return;
        case ID_APP_ABOUT:
            OnAppAbout();
            return;
        case ID_FILE_EXPORT_TRANSLATION:
        case ID_FILE_IMPORT_TRANSLATION:
            if (m_pDocument != nullptr) {
                const TranslationServices services{
                    m_services.messages, m_services.dialogs, m_pMainFrame.get(),
                    [this](const std::string& text) {
                        m_pMainFrame->statusBar()->showMessage(QString::fromStdString(text), 5000);
                    }};
                (id == ID_FILE_EXPORT_TRANSLATION ? OnExportTranslation : OnImportTranslation)(
                    services, *m_pDocument);
            }
            return;
        case ID_TOOLS_TRANSLATION_MEMORIES:
            if (m_pMemories != nullptr)
                m_pMemories->OnCommand();
            return;
        case ID_EDIT_UNDO:
            if (m_pView != nullptr)
                m_pView->OnEditUndo();
            return;
        case ID_EDIT_REDO:
            if (m_pView != nullptr)
                m_pView->OnEditRedo();
            return;
        case ID_EDIT_FIND:
        case ID_EDIT_REPLACE:
            if (m_pView != nullptr)
                m_pView->OnEditFind(id == ID_EDIT_REPLACE);
            return;
        case ID_EDIT_ADD_STRING:
            if (m_pView != nullptr)
                m_pView->OnAddString();
            return;
        case ID_GO_NEXT_UNTRANSLATED:
        case ID_GO_PREVIOUS_UNTRANSLATED:
            if (m_pView != nullptr)
                std::ignore = m_pView->OnGoUntranslated(id == ID_GO_PREVIOUS_UNTRANSLATED);
            return;
        case ID_EDIT_REPEAT:
        case ID_EDIT_FIND_PREVIOUS:
            if (m_pView != nullptr)
                std::ignore = m_pView->OnEditFindNext(id == ID_EDIT_FIND_PREVIOUS);
            return;
        default:
            if (id >= ID_VIEW_SOURCE_FIRST && id <= ID_VIEW_SOURCE_LAST) {
                SetSourceLanguage(id - ID_VIEW_SOURCE_FIRST);
                return;
            }
            if (id >= ID_FILE_MRU_FILE1 && id <= ID_FILE_MRU_FILE4)
                std::ignore = m_pDocManager->OpenRecentFile(id - ID_FILE_MRU_FILE1);
            break;
    }
    m_pMainFrame->RefreshRecentFileMenu();
}

bool CTallyglassApp::CanCloseFrame() {
    return m_pDocManager == nullptr || m_pDocManager->CanClose();
}

void CTallyglassApp::OnFrameActivated() {
    if (m_pDocManager)
        std::ignore = m_pDocManager->OnFrameActivated();
}

void CTallyglassApp::OnDropFiles(const QStringList& paths) {
    if (m_pDocManager == nullptr)
        return;
    for (const QString& path : paths)
        std::ignore = m_pDocManager->OpenDocumentFile(QFile::encodeName(path).toStdString());
    m_pMainFrame->RefreshRecentFileMenu();
}

std::vector<QString> CTallyglassApp::GetRecentFileLabels() const {
    std::vector<QString> labels;
    for (const std::string& label : m_recentFiles.GetMenuLabels(CurrentFolder()))
        labels.push_back(QFile::decodeName(QByteArray::fromStdString(label)));
    return labels;
}

std::vector<QString> CTallyglassApp::GetRecentFilePaths() const {
    std::vector<QString> paths;
    for (int i = 0; i < m_recentFiles.GetSize() && !m_recentFiles.GetEntry(i).empty(); ++i)
        paths.push_back(QFile::decodeName(QByteArray::fromStdString(m_recentFiles.GetEntry(i))));
    return paths;
}

bool CTallyglassApp::OnQueryEndSession() {
    return m_pDocManager == nullptr || m_pDocManager->SaveModified();
}

void CTallyglassApp::OnCommitDataRequest(QSessionManager& manager) {
    if (m_pDocument == nullptr || !m_pDocument->IsModified())
        return;
    // The prompt may only be shown when the session manager lets us talk to the user.
    if (manager.allowsInteraction()) {
        const bool proceed = OnQueryEndSession();
        manager.release();
        if (!proceed)
            manager.cancel();
    }
}

void CTallyglassApp::OnAppAbout() {
    CAboutDialog dialog(m_pMainFrame.get());
    dialog.exec();
}

void CTallyglassApp::SetSourceLanguage(int index) {
    const int slot = SlotOfLanguageIndex(index);
    if (slot < 0)
        return;
    if (m_pView != nullptr)
        m_pView->SetSourceLanguage(slot);
    if (m_pMainFrame != nullptr)
        m_pMainFrame->CheckSourceLanguage(index);
    std::ignore =
        m_services.profile.WriteString(kWindowSection, "SourceLanguage", LanguageName(slot));
}

void CTallyglassApp::SaveWindowState() {
    if (m_pMainFrame == nullptr)
        return;
    std::ignore = m_services.profile.WriteString(
        kWindowSection, "Geometry", m_pMainFrame->saveGeometry().toBase64().toStdString());
    if (m_pView != nullptr) {
        std::string widths;
        const QHeaderView* header = m_pView->GetStringList()->horizontalHeader();
        for (int column = 0; column < header->count(); ++column)
            widths += (column == 0 ? "" : ",") + std::to_string(header->sectionSize(column));
        std::ignore = m_services.profile.WriteString(kWindowSection, "Columns", widths);
    }
}

void CTallyglassApp::RestoreWindowState() {
    const std::string geometry = m_services.profile.GetString(kWindowSection, "Geometry");
    if (!geometry.empty()) {
        // A geometry that no longer fits the screens (or is not one) leaves the form's size.
        std::ignore = m_pMainFrame->restoreGeometry(
            QByteArray::fromBase64(QByteArray::fromStdString(geometry)));
        m_pMainFrame->resize(m_pMainFrame->size().expandedTo(m_pMainFrame->minimumSize()));
    }
    const int source = SlotOfLanguageName(
        m_services.profile.GetString(kWindowSection, "SourceLanguage", "USEnglish"));
    if (source >= 0)
        SetSourceLanguage(LanguageIndexOfSlot(source));
    if (m_pView == nullptr)
        return;
    QHeaderView* header = m_pView->GetStringList()->horizontalHeader();
    const QStringList widths =
        QString::fromStdString(m_services.profile.GetString(kWindowSection, "Columns"))
            .split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int column = 0; column < widths.size() && column < header->count(); ++column) {
        bool ok = false;
        const int width = widths[column].toInt(&ok);
        if (ok && width >= 10 && width <= 4000)
            header->resizeSection(column, width);
    }
}

void CTallyglassApp::UpdateFrame() {
    if (m_pMainFrame == nullptr || m_pDocument == nullptr)
        return;
    m_pMainFrame->UpdateFrameTitle(
        QFile::decodeName(QByteArray::fromStdString(m_pDocument->GetTitle())),
        m_pDocument->IsModified());
    m_pMainFrame->RecalcLayout();
    m_pMainFrame->RefreshRecentFileMenu();
}
