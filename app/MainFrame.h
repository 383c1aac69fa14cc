#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <vector>

class QAction;
class QMenu;
class QMimeData;

// What the main frame hands on: it routes every command, the close request and dropped files to
// its host (the application), and asks it for the recent-file labels when the File menu opens.
class IFrameHost {
public:
    virtual ~IFrameHost() = default;

    virtual void OnCommand(int id) = 0;
    // The save prompt before the window closes; false keeps it open.
    [[nodiscard]] virtual bool CanCloseFrame() = 0;
    // Local files dropped on the window, in the order of the drop.
    virtual void OnDropFiles(const QStringList& paths) = 0;
    // The menu labels of the recent-file entries, "&1 name" first; empty when the list is.
    [[nodiscard]] virtual std::vector<QString> GetRecentFileLabels() const = 0;
    // The full paths of those entries, in the same order: the items' tool tips.
    [[nodiscard]] virtual std::vector<QString> GetRecentFilePaths() const { return {}; }
    // The window has become the active one again (after the event, not inside it).
    virtual void OnFrameActivated() {}
};

// The main window: a frame that resizes and maximises (never smaller than the form) around the
// form view, with the File, Edit, View, Tools and Help menus and their keys, and a status bar.
// It has no tool bar.
class CMainFrame : public QMainWindow {
    Q_OBJECT

public:
    explicit CMainFrame(IFrameHost* host, QWidget* parent = nullptr);

    // The application's window title, the last part of every frame title.
    static QString AppTitle();

    // Shows "<document title> - Tallyglass", "*<document title> - Tallyglass" while modified.
    void UpdateFrameTitle(const QString& documentTitle, bool modified = false);

    // Fixes the frame's size to show the whole central form, never lower than 438 pixels.
    void RecalcLayout();

    // The action of a command id (57616-57619 only while that recent entry is listed), or null.
    [[nodiscard]] QAction* FindAction(int id) const;
    [[nodiscard]] QMenu* FileMenu() const { return m_pFileMenu; }
    [[nodiscard]] QMenu* HelpMenu() const { return m_pHelpMenu; }
    [[nodiscard]] QMenu* GoMenu() const { return m_pGoMenu; }
    [[nodiscard]] QMenu* EditMenu() const { return m_pEditMenu; }
    [[nodiscard]] QMenu* ToolsMenu() const { return m_pToolsMenu; }
    [[nodiscard]] QMenu* SourceLanguageMenu() const { return m_pSourceMenu; }
    // Checks the source language's entry (an index of the language box).
    void CheckSourceLanguage(int index);
    // The status bar's text: the translation summary of the view.
    void ShowSummary(const QString& summary);
    [[nodiscard]] QString GetSummary() const;
    // The status bar's right part: the layout, the entry count and the code page shown.
    void ShowResourceStatus(const QString& status);
    [[nodiscard]] QString GetResourceStatus() const;
    // Undo and Redo as the history allows: greyed without a step, named after it ("Undo
    // Typing") with one.
    void UpdateEditCommands(const QString& undoText, const QString& redoText);

    // Replaces the recent-file items (or the greyed placeholder) with the host's current labels.
    void RefreshRecentFileMenu();

    // The local files among a drop's URLs; empty when there are none.
    [[nodiscard]] static QStringList LocalFiles(const QMimeData* data);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, const QString& text, int id);

    IFrameHost* m_pHost;
    QMenu* m_pFileMenu;
    QMenu* m_pGoMenu;
    QMenu* m_pHelpMenu;
    QMenu* m_pEditMenu;
    QMenu* m_pSourceMenu;
    QMenu* m_pToolsMenu;
    class QLabel* m_pSummary;
    class QLabel* m_pResourceStatus;
    bool m_bSized = false;  // RecalcLayout has given the frame its size once
    QAction* m_pUndo;
    QAction* m_pRedo;
    QAction* m_pRecentBegin;  // separator before the recent-file items
    QAction* m_pRecentEnd;    // separator after them
    std::vector<QAction*> m_recentActions;
};
