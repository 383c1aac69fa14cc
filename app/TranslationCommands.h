#pragma once

#include <QDialog>

#include <functional>
#include <string>

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

    // What the command works on: the open file, or a folder or an archive asked for next.
    enum class Scope { openFile, folder, archive };
    [[nodiscard]] Scope GetScope() const;

    QComboBox* m_pScope;
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
    // Tells the outcome in the window's status bar.
    std::function<void(const std::string&)> status = [](const std::string&) {};
};

// Asks for the languages, format and files (the document, or a folder or archive), then the
// catalog, and writes it; a folder or archive is read under a progress dialog that can be
// cancelled, and then nothing is written. A failure is told in a message box.
void OnExportTranslation(const TranslationServices& services, CTallyglassDoc& doc);
// Asks for the catalog, then the languages, rules and files, shows the summary and, when the
// user agrees, applies the translation: to the document as one step of its history, or to the
// files of a folder or archive, each written once. Reading and planning can be cancelled, and
// then nothing is written. A refused import is shown and changes nothing.
void OnImportTranslation(const TranslationServices& services, CTallyglassDoc& doc);
