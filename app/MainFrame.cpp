#include "app/MainFrame.h"

#include "app/AppIcon.h"
#include "app/Resource.h"
#include "strings/Languages.h"

#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

#include <algorithm>

CMainFrame::CMainFrame(IFrameHost* host, QWidget* parent) : QMainWindow(parent), m_pHost(host) {
    setObjectName(QStringLiteral("MainFrame"));
    setWindowIcon(AppIcon());
    setAcceptDrops(true);

    m_pFileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = AddCommand(m_pFileMenu, QStringLiteral("&Open...\tCtrl+O"), ID_FILE_OPEN);
    // Explicit keys: the platform's standard Open and Save keys vary with the platform plugin.
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* save = AddCommand(m_pFileMenu, QStringLiteral("&Save\tCtrl+S"), ID_FILE_SAVE);
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction* saveAs = AddCommand(m_pFileMenu, QStringLiteral("Save &As..."), ID_FILE_SAVE_AS);
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    m_pFileMenu->addSeparator();
    AddCommand(m_pFileMenu, QStringLiteral("&Export Translation..."), ID_FILE_EXPORT_TRANSLATION);
    AddCommand(m_pFileMenu, QStringLiteral("&Import Translation..."), ID_FILE_IMPORT_TRANSLATION);
    m_pRecentBegin = m_pFileMenu->addSeparator();
    m_pRecentEnd = m_pFileMenu->addSeparator();
    QAction* exit = AddCommand(m_pFileMenu, QStringLiteral("E&xit"), ID_APP_EXIT);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    m_pEditMenu = menuBar()->addMenu(QStringLiteral("&Edit"));
    m_pUndo = AddCommand(m_pEditMenu, QStringLiteral("&Undo"), ID_EDIT_UNDO);
    m_pUndo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_pRedo = AddCommand(m_pEditMenu, QStringLiteral("&Redo"), ID_EDIT_REDO);
    m_pRedo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    UpdateEditCommands(QString(), QString());
    m_pEditMenu->addSeparator();
    AddCommand(m_pEditMenu, QStringLiteral("&Find..."), ID_EDIT_FIND)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    AddCommand(m_pEditMenu, QStringLiteral("Find &Next"), ID_EDIT_REPEAT)
        ->setShortcut(QKeySequence(Qt::Key_F3));
    AddCommand(m_pEditMenu, QStringLiteral("Find &Previous"), ID_EDIT_FIND_PREVIOUS)
        ->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F3));
    AddCommand(m_pEditMenu, QStringLiteral("&Replace..."), ID_EDIT_REPLACE)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    m_pEditMenu->addSeparator();
    QAction* addString = AddCommand(m_pEditMenu, QStringLiteral("&Add String"), ID_EDIT_ADD_STRING);
    // Insert belongs to the edits everywhere else; the string list takes it (see the view), the
    // menu only shows it.
    addString->setShortcut(QKeySequence(Qt::Key_Insert));
    addString->setShortcutContext(Qt::WidgetShortcut);

    QMenu* view = menuBar()->addMenu(QStringLiteral("&View"));
    m_pSourceMenu = view->addMenu(QStringLiteral("&Source Language"));
    auto* sources = new QActionGroup(this);
    for (int index = 0; index <= ID_VIEW_SOURCE_LAST - ID_VIEW_SOURCE_FIRST; ++index) {
        const char* name = LanguageName(SlotOfLanguageIndex(index));
        QAction* action =
            AddCommand(m_pSourceMenu, QString::fromLatin1(name), ID_VIEW_SOURCE_FIRST + index);
        action->setCheckable(true);
        sources->addAction(action);
    }
    CheckSourceLanguage(0);

    m_pGoMenu = menuBar()->addMenu(QStringLiteral("&Go"));
    AddCommand(m_pGoMenu, QStringLiteral("&Next Untranslated"), ID_GO_NEXT_UNTRANSLATED)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_U));
    AddCommand(m_pGoMenu, QStringLiteral("&Previous Untranslated"), ID_GO_PREVIOUS_UNTRANSLATED)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_U));

    m_pToolsMenu = menuBar()->addMenu(QStringLiteral("T&ools"));
    AddCommand(m_pToolsMenu, QStringLiteral("Translation &Memories..."),
               ID_TOOLS_TRANSLATION_MEMORIES);

    m_pHelpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    AddCommand(m_pHelpMenu, QStringLiteral("&About Tallyglass..."), ID_APP_ABOUT);

    m_pSummary = new QLabel;
    statusBar()->addWidget(m_pSummary);
    m_pResourceStatus = new QLabel;
    m_pResourceStatus->setObjectName(QStringLiteral("resourceStatus"));
    statusBar()->addPermanentWidget(m_pResourceStatus);

    // The entries are read when the menu opens, so a change of the current folder shows too.
    connect(m_pFileMenu, &QMenu::aboutToShow, this, &CMainFrame::RefreshRecentFileMenu);
    // A shortened recent-file label shows its whole path when pointed at.
    m_pFileMenu->setToolTipsVisible(true);
    RefreshRecentFileMenu();
    UpdateFrameTitle(QStringLiteral("Untitled"));
}

QString CMainFrame::AppTitle() {
    return QStringLiteral("Tallyglass");
}

void CMainFrame::UpdateFrameTitle(const QString& documentTitle, bool modified) {
    // The desktop's mark of unsaved changes goes before the name.
    setWindowTitle((modified ? QStringLiteral("*") : QString()) + documentTitle +
                   QStringLiteral(" - ") + AppTitle());
}

void CMainFrame::ShowResourceStatus(const QString& status) {
    m_pResourceStatus->setText(status);
}

QString CMainFrame::GetResourceStatus() const {
    return m_pResourceStatus->text();
}

void CMainFrame::RecalcLayout() {
    if (QLayout* frameLayout = layout()) {
        frameLayout->invalidate();
        frameLayout->activate();
    }
    // The least room of every part: the form's, the docks' (their preferred size would push a
    // frame with the suggestions shown off a small screen).
    QSize size = layout() != nullptr ? layout()->totalMinimumSize() : minimumSizeHint();
    size.setHeight(std::max(size.height(), kMinFrameHeight));
    // The form's size is the least the frame may have; a frame the user has not made larger
    // follows it (a change of font), one made larger keeps its size.
    const bool atMinimum = this->size() == minimumSize() || !m_bSized;
    setMinimumSize(size);
    if (atMinimum || width() < size.width() || height() < size.height())
        resize(atMinimum ? size : this->size().expandedTo(size));
    m_bSized = true;
}

QAction* CMainFrame::FindAction(int id) const {
    for (QMenu* menu :
         {m_pFileMenu, m_pEditMenu, m_pSourceMenu, m_pGoMenu, m_pToolsMenu, m_pHelpMenu}) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator() && action->data().toInt() == id)
                return action;
        }
    }
    return nullptr;
}

void CMainFrame::CheckSourceLanguage(int index) {
    if (QAction* action = FindAction(ID_VIEW_SOURCE_FIRST + index))
        action->setChecked(true);
}

void CMainFrame::ShowSummary(const QString& summary) {
    m_pSummary->setText(summary);
}

QString CMainFrame::GetSummary() const {
    return m_pSummary->text();
}

void CMainFrame::UpdateEditCommands(const QString& undoText, const QString& redoText) {
    m_pUndo->setEnabled(!undoText.isEmpty());
    m_pUndo->setText(undoText.isEmpty() ? QStringLiteral("&Undo")
                                        : QStringLiteral("&Undo %1").arg(undoText));
    m_pRedo->setEnabled(!redoText.isEmpty());
    m_pRedo->setText(redoText.isEmpty() ? QStringLiteral("&Redo")
                                        : QStringLiteral("&Redo %1").arg(redoText));
}

void CMainFrame::RefreshRecentFileMenu() {
    for (QAction* action : m_recentActions) {
        m_pFileMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();

    const std::vector<QString> labels =
        m_pHost != nullptr ? m_pHost->GetRecentFileLabels() : std::vector<QString>{};
    if (labels.empty()) {
        QAction* placeholder = new QAction(QStringLiteral("Recent File"), m_pFileMenu);
        placeholder->setData(ID_FILE_MRU_FILE1);
        placeholder->setEnabled(false);
        m_pFileMenu->insertAction(m_pRecentEnd, placeholder);
        m_recentActions.push_back(placeholder);
        return;
    }
    const std::vector<QString> paths = m_pHost->GetRecentFilePaths();
    const int count = std::min(static_cast<int>(labels.size()), kRecentFileCount);
    for (int i = 0; i < count; ++i) {
        QAction* action = new QAction(labels[static_cast<size_t>(i)], m_pFileMenu);
        if (static_cast<size_t>(i) < paths.size())
            action->setToolTip(paths[static_cast<size_t>(i)]);
        const int id = ID_FILE_MRU_FILE1 + i;
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { m_pHost->OnCommand(id); });
        m_pFileMenu->insertAction(m_pRecentEnd, action);
        m_recentActions.push_back(action);
    }
}

QStringList CMainFrame::LocalFiles(const QMimeData* data) {
    QStringList paths;
    if (data == nullptr || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    return paths;
}

bool CMainFrame::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    // The form asks for a new size when its font changes; the frame follows it.
    if (event->type() == QEvent::LayoutRequest && centralWidget() != nullptr)
        RecalcLayout();
    // Queued: the host may show a modal box, which must not run inside the activation itself.
    if (event->type() == QEvent::WindowActivate && m_pHost != nullptr)
        QTimer::singleShot(0, this, [this] { m_pHost->OnFrameActivated(); });
    return handled;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_pHost != nullptr && !m_pHost->CanCloseFrame()) {
        event->ignore();
        return;
    }
    event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dragMoveEvent(QDragMoveEvent* event) {
    if (!LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    activateWindow();
    // The opens run after the drop has finished: their message boxes must not hold the source of
    // the drag waiting for its answer.
    QMetaObject::invokeMethod(
        this,
        [this, paths] {
            if (m_pHost != nullptr)
                m_pHost->OnDropFiles(paths);
        },
        Qt::QueuedConnection);
}

QAction* CMainFrame::AddCommand(QMenu* menu, const QString& text, int id) {
    QAction* action = menu->addAction(text);
    action->setData(id);
    connect(action, &QAction::triggered, this, [this, id] {
        if (m_pHost != nullptr)
            m_pHost->OnCommand(id);
    });
    return action;
}
