#pragma once

#include <QDialog>

class CTallyglassDoc;
class IFileDialogService;
class IMessageBoxService;
class QCheckBox;
class QComboBox;

// What the translation dialog asks: the two languages and, for an export, the format and what
// goes in; for an import, which units may be applied.
class CTranslationDialog : public QDialog {
    Q_OBJECT

public:
    enum class Mode { exportTo, importFrom };

    CTranslationDialog(Mode mode, int sourceSlot, int targetSlot, QWidget* parent = nullptr);

    [[nodiscard]] int GetSourceSlot() const;
    [[nodiscard]] int GetTargetSlot() const;
    [[nodiscard]] bool IsCsv() const;

    QComboBox* m_pSource;
    QComboBox* m_pTarget;
    QComboBox* m_pFormat = nullptr;
    QCheckBox* m_pDescriptions = nullptr;
    QCheckBox* m_pKeepCopies = nullptr;
    QCheckBox* m_pFuzzy = nullptr;
    QCheckBox* m_pForce = nullptr;
    QCheckBox* m_pSkipUnencodable = nullptr;
    QCheckBox* m_pStrict = nullptr;
};

// The services File > Export Translation and Import Translation ask through besides their own
// dialog, which they run modally over parent.
struct TranslationServices {
    IMessageBoxService& messages;
    IFileDialogService& dialogs;
    QWidget* parent = nullptr;
};

// Asks for the languages and format, then the file, and writes the catalog of the document's
// texts; a failure is told in a message box.
void OnExportTranslation(const TranslationServices& services, CTallyglassDoc& doc);
// Asks for the catalog, then the languages and rules, shows the summary and, when the user
// agrees, applies the translation as one step of the document's history. A refused import is
// shown and changes nothing.
void OnImportTranslation(const TranslationServices& services, CTallyglassDoc& doc);
