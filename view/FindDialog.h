#pragma once

#include <QDialog>

#include "document/TextSearch.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// Edit > Find and Replace: a dialog beside the form (not modal) that asks the view to find,
// replace or replace all; its fields are read when a button is pressed.
class CFindDialog : public QDialog {
    Q_OBJECT

public:
    explicit CFindDialog(QWidget* parent = nullptr);

    // Shows the dialog with the find field focused, or the replace field (when the find field
    // holds something).
    void ShowFor(bool replace);

    [[nodiscard]] SearchOptions GetOptions() const;
    [[nodiscard]] std::u16string GetReplacement() const;
    [[nodiscard]] bool InAllLanguages() const;
    [[nodiscard]] bool InDescriptions() const;
    // A line under the fields: what the last search or replacement did.
    void SetResult(const QString& text);

    [[nodiscard]] QLineEdit* GetFindEdit() const { return m_pFind; }
    [[nodiscard]] QLineEdit* GetReplaceEdit() const { return m_pReplace; }

signals:
    void FindRequested(bool backwards);
    void ReplaceRequested();
    void ReplaceAllRequested();

private:
    QLineEdit* m_pFind;
    QLineEdit* m_pReplace;
    QCheckBox* m_pMatchCase;
    QCheckBox* m_pWholeWords;
    QCheckBox* m_pRegex;
    QCheckBox* m_pDescriptions;
    QComboBox* m_pScope;
    QLabel* m_pResult;
};
