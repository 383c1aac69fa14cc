#include "app/TranslationMemories.h"

#include "app/BatchProgress.h"
#include "app/MainFrame.h"
#include "framework/doc/FileDialogService.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/Profile.h"
#include "memory/MemoryBuilder.h"
#include "memory/MemorySet.h"
#include "memory/Tmx.h"
#include "memory/TranslationMemory.h"
#include "view/SuggestionsPanel.h"
#include "view/TallyglassView.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <filesystem>

namespace {

const std::vector<FileDialogFilter> kTmxFilters = {{"TMX Files (*.tmx)", "*.tmx"}};

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

CMemoriesDialog::CMemoriesDialog(const MemoryServices& services, std::vector<std::string> paths,
                                 QWidget* parent)
    : QDialog(parent), m_services(services) {
    setObjectName(QStringLiteral("MemoriesDialog"));
    setWindowTitle(QString::fromLatin1(kCaption));
    auto* caption =
        new QLabel(QStringLiteral("&Memories in use (their suggestions show under "
                                  "the edits; the first gives exact matches first):"));
    m_pList = new QListWidget;
    m_pList->setObjectName(QStringLiteral("memories"));
    caption->setBuddy(m_pList);
    for (const std::string& path : paths) {
        m_pList->addItem(FromUtf8(path));
    }
    auto* add = new QPushButton(QStringLiteral("&Add..."));
    m_pRemove = new QPushButton(QStringLiteral("&Remove"));
    auto* fromFolder = new QPushButton(QStringLiteral("Build from &Folder..."));
    auto* fromArchive = new QPushButton(QStringLiteral("Build from Ar&chive..."));
    connect(add, &QPushButton::clicked, this, &CMemoriesDialog::OnAdd);
    connect(m_pRemove, &QPushButton::clicked, this, &CMemoriesDialog::OnRemove);
    connect(fromFolder, &QPushButton::clicked, this, [this] { OnBuild(false); });
    connect(fromArchive, &QPushButton::clicked, this, [this] { OnBuild(true); });
    const auto enableRemove = [this] { m_pRemove->setEnabled(m_pList->currentRow() >= 0); };
    connect(m_pList, &QListWidget::currentRowChanged, this, enableRemove);
    enableRemove();
    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {add, m_pRemove, fromFolder, fromArchive}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(m_pList, 1);
    row->addLayout(buttons);
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption);
    layout->addLayout(row);
    layout->addWidget(box);
    resize(560, 280);
}

std::vector<std::string> CMemoriesDialog::GetPaths() const {
    std::vector<std::string> paths;
    for (int i = 0; i < m_pList->count(); ++i) {
        const QByteArray utf8 = m_pList->item(i)->text().toUtf8();
        paths.emplace_back(utf8.constData(), static_cast<size_t>(utf8.size()));
    }
    return paths;
}

void CMemoriesDialog::OnAdd() {
    FileDialogRequest request;
    request.title = "Add Translation Memory";
    request.filters = kTmxFilters;
    if (const std::optional<std::string> path = m_services.dialogs.Run(request)) {
        m_pList->addItem(FromUtf8(*path));
        m_pList->setCurrentRow(m_pList->count() - 1);
    }
}

void CMemoriesDialog::OnRemove() {
    delete m_pList->takeItem(m_pList->currentRow());
}

void CMemoriesDialog::OnBuild(bool archive) {
    FileDialogRequest from;
    from.kind = archive ? FileDialogRequest::open : FileDialogRequest::folder;
    from.title = archive ? "Build from Archive" : "Build from Folder";
    if (archive) {
        from.filters = {{"FAR Archives (*.far)", "*.far"}};
    }
    const std::optional<std::string> source = m_services.dialogs.Run(from);
    if (!source) {
        return;
    }
    FileDialogRequest to;
    to.kind = FileDialogRequest::saveAs;
    to.title = "Save Translation Memory As";
    to.proposedName = std::filesystem::path(*source).filename().string() + ".tmx";
    to.filters = kTmxFilters;
    to.defaultExtension = "tmx";
    const std::optional<std::string> target = m_services.dialogs.Run(to);
    if (!target) {
        return;
    }
    std::vector<std::string> problems;
    const std::vector<MemoryInput> inputs = ListMemoryInputs({*source}, problems);
    QProgressDialog progress(QStringLiteral("Reading the files..."), QStringLiteral("Cancel"), 0,
                             static_cast<int>(inputs.size()), this);
    progress.setWindowTitle(QStringLiteral("Build Translation Memory"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    CTranslationMemory memory;
    const MemoryBuildReport report =
        BuildMemory(inputs, 0, memory, [&progress](size_t done, size_t, const std::string& name) {
            progress.setValue(static_cast<int>(done));
            progress.setLabelText(QStringLiteral("Reading %1...").arg(FromUtf8(name)));
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.reset();
    if (report.cancelled) {
        m_services.messages.Show("The build was cancelled; nothing was written.", kCaption,
                                 MB_OK | MB_ICONINFORMATION);
        return;
    }
    problems.insert(problems.end(), report.problems.begin(), report.problems.end());
    std::string error;
    if (!WriteTmxFile(*target, memory, error)) {
        m_services.messages.Show(error, kCaption, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_pList->addItem(FromUtf8(*target));
    m_pList->setCurrentRow(m_pList->count() - 1);
    std::string summary = std::filesystem::path(*target).filename().string() + ": " +
                          std::to_string(memory.GetCount()) + " units from " +
                          std::to_string(report.files) + " files.";
    if (!problems.empty()) {
        summary += "\n\n" + DescribeProblems(problems);
    }
    m_services.messages.Show(summary, kCaption,
                             MB_OK | (problems.empty() ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
}

CTranslationMemories::CTranslationMemories(MemoryServices services, CMainFrame& frame,
                                           CTallyglassView& view)
    : m_services(std::move(services)), m_view(view) {
    m_pPanel = new CSuggestionsPanel;
    m_pDock = new QDockWidget(QStringLiteral("Suggestions"), &frame);
    m_pDock->setObjectName(QStringLiteral("suggestionsDock"));
    m_pDock->setFeatures(QDockWidget::DockWidgetClosable);
    m_pDock->setAllowedAreas(Qt::BottomDockWidgetArea);
    m_pDock->setWidget(m_pPanel);
    frame.addDockWidget(Qt::BottomDockWidgetArea, m_pDock);
    m_pDock->hide();
    connect(&m_view, &CTallyglassView::SelectionShown, this, &CTranslationMemories::Refresh);
    connect(m_pPanel, &CSuggestionsPanel::SuggestionChosen, this,
            [this](const QString& text) { std::ignore = m_view.UseSuggestion(text); });
}

CTranslationMemories::~CTranslationMemories() = default;

void CTranslationMemories::LoadFromProfile() {
    std::vector<std::string> paths;
    for (int i = 1;; ++i) {
        std::string path = m_services.profile.GetString(kSection, "File" + std::to_string(i));
        if (path.empty()) {
            break;
        }
        paths.push_back(std::move(path));
    }
    Use(paths);
}

void CTranslationMemories::OnCommand() {
    CMemoriesDialog dialog(m_services, m_paths, m_view.window());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const std::vector<std::string> paths = dialog.GetPaths();
    std::ignore = m_services.profile.DeleteSection(kSection);
    for (size_t i = 0; i < paths.size(); ++i) {
        std::ignore =
            m_services.profile.WriteString(kSection, "File" + std::to_string(i + 1), paths[i]);
    }
    Use(paths);
}

void CTranslationMemories::Use(const std::vector<std::string>& paths) {
    m_paths = paths;
    auto memories = std::make_shared<CMemorySet>();
    std::string failures;
    for (const std::string& path : paths) {
        std::string error;
        if (!memories->Load(path, error)) {
            failures += (failures.empty() ? "" : "\n") + error;
        }
    }
    if (!failures.empty()) {
        m_services.messages.Show("These translation memories cannot be used:\n" + failures,
                                 CMemoriesDialog::kCaption, MB_OK | MB_ICONEXCLAMATION);
    }
    const bool any = !memories->IsEmpty();
    m_pPanel->SetMemories(std::move(memories));
    m_pDock->setVisible(any);
    Refresh();
}

void CTranslationMemories::Refresh() {
    m_pPanel->ShowFor(m_view.SelectedSourceText(), m_view.GetShownSlot());
}
