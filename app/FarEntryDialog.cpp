#include "app/FarEntryDialog.h"

#include "far/FarArchive.h"
#include "framework/doc/MessageBoxService.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr int kEntryRole = Qt::UserRole;

}  // namespace

CFarEntryDialog::CFarEntryDialog(const CFarArchive& archive, const QString& archiveName,
                                 const std::vector<size_t>& entries, QWidget* parent)
    : QDialog(parent),
      m_pFilter(new QLineEdit(this)),
      m_pList(new QListWidget(this)),
      m_pButtons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)) {
    setWindowTitle(QStringLiteral("Open from %1").arg(archiveName));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(QStringLiteral("&Filter:"), this);
    label->setBuddy(m_pFilter);
    layout->addWidget(label);
    layout->addWidget(m_pFilter);
    layout->addWidget(m_pList);
    layout->addWidget(m_pButtons);
    m_pFilter->setClearButtonEnabled(true);
    for (const size_t index : entries) {
        // Names are bytes; shown as the code page the game writes them in.
        const std::string shown = FarDisplayName(archive.GetEntries()[index].name);
        auto* item = new QListWidgetItem(
            QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size())), m_pList);
        item->setData(kEntryRole, QVariant::fromValue<qulonglong>(index));
    }
    if (m_pList->count() > 0) {
        m_pList->setCurrentRow(0);
    }
    connect(m_pFilter, &QLineEdit::textChanged, this, &CFarEntryDialog::ApplyFilter);
    connect(m_pList, &QListWidget::currentRowChanged, this, [this] { UpdateOk(); });
    connect(m_pList, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    UpdateOk();
    m_pFilter->setFocus();
}

std::optional<size_t> CFarEntryDialog::SelectedEntry() const {
    const QListWidgetItem* item = m_pList->currentItem();
    if (item == nullptr || item->isHidden()) {
        return std::nullopt;
    }
    return static_cast<size_t>(item->data(kEntryRole).toULongLong());
}

void CFarEntryDialog::ApplyFilter(const QString& text) {
    QListWidgetItem* firstShown = nullptr;
    for (int row = 0; row < m_pList->count(); ++row) {
        QListWidgetItem* item = m_pList->item(row);
        const bool shown = item->text().contains(text, Qt::CaseInsensitive);
        item->setHidden(!shown);
        if (shown && firstShown == nullptr) {
            firstShown = item;
        }
    }
    // The selection follows the filter: a hidden row is never what OK opens.
    const QListWidgetItem* current = m_pList->currentItem();
    if (current == nullptr || current->isHidden()) {
        m_pList->setCurrentItem(firstShown);
    }
    UpdateOk();
}

void CFarEntryDialog::UpdateOk() {
    m_pButtons->button(QDialogButtonBox::Ok)->setEnabled(SelectedEntry().has_value());
}

CTallyglassDoc::EntryChooser MakeFarEntryChooser(QWidget* parent, IMessageBoxService& messages) {
    return [parent, &messages](const CFarArchive& archive, const std::string& archiveName,
                               const std::vector<size_t>& entries) -> std::optional<size_t> {
        if (entries.empty()) {
            static_cast<void>(messages.Show(archiveName + " holds no IFF files.", "Tallyglass",
                                            MB_OK | MB_ICONEXCLAMATION));
            return std::nullopt;
        }
        const QString name =
            QString::fromUtf8(archiveName.data(), static_cast<qsizetype>(archiveName.size()));
        CFarEntryDialog dialog(archive, name, entries, parent);
        if (dialog.exec() != QDialog::Accepted) {
            return std::nullopt;
        }
        return dialog.SelectedEntry();
    };
}
