#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/SingleDocTemplate.h"
#include "framework/doc/Document.h"
#include "framework/doc/RecentFileList.h"

class CCommandLineInfo;
class CDocManager;
class CTallyglassDoc;
class CTallyglassView;
class CTranslationMemories;
class IFileDialogService;
class IMessageBoxService;
class IProfile;
class QSessionManager;

// The application: start-up (InitInstance), the command routing of the main frame, the About box
// and the exit step. The program's main and the GUI tests compose it the same way, through the
// constructor: the tests pass recorders of the same service interfaces that main passes the Qt
// implementations of, and drive every dialog of its own (About, Export Translation...) as it runs.
class CTallyglassApp : public QObject, public IFrameHost {
    Q_OBJECT

public:
    struct Services {
        IMessageBoxService& messages;
        IFileDialogService& dialogs;
        IProfile& profile;
        // Removes the profile (the unregister request); false when some of it stayed. Empty:
        // RemoveSettingsProfile.
        std::function<bool()> removeProfile;
    };

    static constexpr const char* kOrganization = "Brackenfold";
    static constexpr const char* kAppTitle = "Tallyglass";
    static constexpr const char* kUnregistered =
        "System registry entries have been removed and the INI file (if any) was deleted.";
    static constexpr const char* kNotUnregistered =
        "Not all of the system registry entries (or INI file) were removed.";
    static constexpr const char* kNoDocument = "Failed to create empty document.";
    static constexpr const char* kWindowSection = "Window";
    // Resource 128's template string: window title, document name, new-document type name,
    // filter name, filter extension, file type id and file type name.
    static constexpr const char* kDocTemplate =
        "Tallyglass\n\nIFF\nIFF Files (*.iff)\n.iff\nTallyglass.Document\nIFF File";

    explicit CTallyglassApp(Services services, QObject* parent = nullptr);
    ~CTallyglassApp() override;

    // Names the running application (title, organisation, icon) for QSettings and the desktop.
    static void SetUpApplicationObject();
    // Removes the QSettings profile of "Brackenfold"/"Tallyglass", and the organisation's folder
    // when nothing else is left in it. False when the file or the folder could not be removed.
    static bool RemoveSettingsProfile();

    // Start-up: application names, recent files from the profile, the document template, the
    // command line (args after the program name; the toolkit's own options already taken out),
    // then the main window shown. False when the program is to end at once.
    [[nodiscard]] bool InitInstance(const std::vector<std::string>& args);
    // The exit step: writes the recent-file list unless an unregister request ran.
    void ExitInstance();

    // IFrameHost
    void OnCommand(int id) override;
    [[nodiscard]] bool CanCloseFrame() override;
    void OnDropFiles(const QStringList& paths) override;
    [[nodiscard]] std::vector<QString> GetRecentFileLabels() const override;
    [[nodiscard]] std::vector<QString> GetRecentFilePaths() const override;
    // Offers to reload a file changed on disk while the document has no unsaved changes.
    void OnFrameActivated() override;

    // The session is ending: the save prompt; false asks the session manager to cancel.
    [[nodiscard]] bool OnQueryEndSession();
    void OnAppAbout();

    [[nodiscard]] CMainFrame* GetMainFrame() const { return m_pMainFrame.get(); }
    [[nodiscard]] CTallyglassDoc* GetDocument() const { return m_pDocument; }
    [[nodiscard]] CTallyglassView* GetView() const { return m_pView; }
    [[nodiscard]] CDocManager* GetDocManager() const { return m_pDocManager.get(); }
    [[nodiscard]] CTranslationMemories* GetMemories() const { return m_pMemories.get(); }
    [[nodiscard]] CRecentFileList& GetRecentFiles() { return m_recentFiles; }
    [[nodiscard]] const CSingleDocTemplate& GetDocTemplate() const { return m_docTemplate; }
    [[nodiscard]] bool IsUnregistered() const { return m_bUnregistered; }
    // The program's exit status after a failed InitInstance: 0 when an unregister request
    // succeeded (it ends the program by design), 1 otherwise.
    [[nodiscard]] int GetStartupExitCode() const {
        return m_bUnregistered && m_bUnregisterOk ? 0 : 1;
    }

private:
    // Creates the document with its frame and view on first use; false when that failed.
    bool EnsureDocument();
    bool ProcessShellCommand(const CCommandLineInfo& info);
    void Unregister(bool quiet);
    void OnCommitDataRequest(QSessionManager& manager);
    void UpdateFrame();
    // The frame's geometry and the string list's column widths, kept in the profile.
    void SaveWindowState();
    // The source language, by its index in the language box; kept in the profile.
    void SetSourceLanguage(int index);
    void RestoreWindowState();

    Services m_services;
    CRecentFileList m_recentFiles;
    CSingleDocTemplate m_docTemplate;
    std::unique_ptr<CDocument> m_pDocumentOwner;
    CTallyglassDoc* m_pDocument = nullptr;
    CTallyglassView* m_pView = nullptr;
    std::unique_ptr<CMainFrame> m_pMainFrame;
    std::unique_ptr<CDocManager> m_pDocManager;
    // After the frame: its dock goes with the frame, the memories before it.
    std::unique_ptr<CTranslationMemories> m_pMemories;
    bool m_bUnregistered = false;
    bool m_bUnregisterOk = false;
};
