#pragma once

#include <QDialog>
#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CMainFrame;
class CMemorySet;
class CSuggestionsPanel;
class CTallyglassView;
class IFileDialogService;
class IMessageBoxService;
class IProfile;
class QDockWidget;
class QListWidget;
class QPushButton;

// The services the memories ask through, so that tests answer them without real dialogs.
struct MemoryServices {
    IMessageBoxService& messages;
    IFileDialogService& dialogs;
    IProfile& profile;
};

// Tools > Translation Memories: the TMX files in use, added, removed, or built anew from a
// folder or an archive with a progress dialog that can be cancelled.
class CMemoriesDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Translation Memories";

    CMemoriesDialog(const MemoryServices& services, std::vector<std::string> paths,
                    QWidget* parent = nullptr);

    [[nodiscard]] std::vector<std::string> GetPaths() const;

    // The buttons' commands, for the buttons and for tests.
    void OnAdd();
    void OnRemove();
    // Asks for a folder (or, with archive, an archive), then for the TMX file to write, then
    // builds it; a built memory joins the list. Cancelled, it writes nothing.
    void OnBuild(bool archive);

    QListWidget* m_pList;
    QPushButton* m_pRemove;

private:
    const MemoryServices& m_services;
};

// The memories in use and the Suggestions panel they feed: the panel sits in a dock under the
// form, shown while memories are in use; the list of files is kept in the profile.
class CTranslationMemories : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kSection = "Translation Memories";

    CTranslationMemories(MemoryServices services, CMainFrame& frame, CTallyglassView& view);
    ~CTranslationMemories() override;

    // Reads the files the profile lists; one that cannot be read is named in a message.
    void LoadFromProfile();
    // Tools > Translation Memories.
    void OnCommand();

    [[nodiscard]] CSuggestionsPanel* GetPanel() const { return m_pPanel; }
    [[nodiscard]] QDockWidget* GetDock() const { return m_pDock; }
    [[nodiscard]] const std::vector<std::string>& GetPaths() const { return m_paths; }

private:
    void Use(const std::vector<std::string>& paths);
    void Refresh();

    MemoryServices m_services;
    CTallyglassView& m_view;
    std::vector<std::string> m_paths;
    QDockWidget* m_pDock;
    CSuggestionsPanel* m_pPanel;
};
