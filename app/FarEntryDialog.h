#pragma once

#include <QDialog>

#include <cstddef>
#include <optional>
#include <vector>

#include "document/TallyglassDoc.h"

class CFarArchive;
class IMessageBoxService;
class QDialogButtonBox;
class QLineEdit;
class QListWidget;

// The chooser shown when an archive is opened: the archive's IFF files in manifest order, a
// filter box that keeps the names containing its text (any case), and OK / Cancel. Double-click
// or Enter on a name opens it.
class CFarEntryDialog : public QDialog {
    Q_OBJECT

public:
    CFarEntryDialog(const CFarArchive& archive, const QString& archiveName,
                    const std::vector<size_t>& entries, QWidget* parent = nullptr);

    // The entry index of the selected row, or nullopt when no row is selected.
    [[nodiscard]] std::optional<size_t> SelectedEntry() const;

    [[nodiscard]] QLineEdit* FilterEdit() const { return m_pFilter; }
    [[nodiscard]] QListWidget* EntryList() const { return m_pList; }
    [[nodiscard]] QDialogButtonBox* Buttons() const { return m_pButtons; }

private:
    void ApplyFilter(const QString& text);
    void UpdateOk();

    QLineEdit* m_pFilter;
    QListWidget* m_pList;
    QDialogButtonBox* m_pButtons;
};

// The document's entry chooser for the editor: runs CFarEntryDialog over parent; an archive
// without IFF files is told as such (through messages) and opens nothing.
[[nodiscard]] CTallyglassDoc::EntryChooser MakeFarEntryChooser(QWidget* parent,
                                                               IMessageBoxService& messages);
