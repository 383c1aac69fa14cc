#pragma once

#include "document/ResourceEditor.h"
#include "framework/doc/View.h"
#include "framework/ui/FormView.h"
#include "strings/Languages.h"
#include "strings/StringSet.h"
#include "view/ResourceList.h"

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

class CFindDialog;
class CStringListModel;
class CTallyglassDoc;
class CTextCodec;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableView;

// The editor's form (template 101): the list of text resources (STR#, CTSS, TTAs) on the left, the
// strings of the loaded resource in one language on the right, and the editing panel. The view owns
// one working copy, m_strings, loaded from the selected resource's chunk; edits go into it at once
// and reach the chunk (in memory) when another resource is selected and when the document saves.
//
// Texts are bytes in the working copy and Unicode in the controls: each language slot converts
// through its code page (CTextCodec), losslessly, and a character the slot cannot store is
// refused where it is typed.
class CTallyglassView : public CFormView, public CView {
    Q_OBJECT

public:
    enum { IDD = 101 };
    // Control ids of the form.
    enum ControlId {
        IDC_RESOURCE_LIST = 1000,
        IDC_USE_LANGUAGES = 1007,
        IDC_LANGUAGE = 1008,
        IDC_SET_FOR_ALL = 1009,
        IDC_STRING_LIST = 1010,
        IDC_TEXT = 1011,
        IDC_DESCRIPTION = 1012,
        IDC_USE_DESCRIPTIONS = 1013,
        IDC_BASIC_MODE = 1014,
    };

    // Entries of the language box: the 15 classic languages (slots 0-14), then the five further
    // languages of slots 16-20. Slot 15 has no entry.
    static constexpr int kLanguageCount = kNamedLanguageCount;

    static constexpr const char* kNoItemSelected = "No item selected";
    static constexpr const char* kMultipleItemsSelected = "Multiple items selected";
    static constexpr const char* kStoreFailed = CResourceEditor::kStoreTooLarge;
    static constexpr const char* kStoreFailedUtf8 = CResourceEditor::kStoreTooLargeUtf8;
    // A resource-list label holds at most this many characters.
    static constexpr int kMaxLabelLength = 127;

    explicit CTallyglassView(QWidget* parent = nullptr);
    ~CTallyglassView() override;

    [[nodiscard]] CTallyglassDoc* GetDocument() const;

    // Lists the document's STR# resources, loads the first in sorted order, refreshes the panel
    // and sizes the window to the form.
    void OnInitialUpdate() override;
    // Refreshes the panel (the document has stored the working copy).
    void OnUpdate(CView* sender, long hint, void* obj) override;
    // Forgets the working copy of the contents being replaced.
    void OnDocumentReplaced() override;

    // Selects the resource of a resource-list entry in the editing model (storing a changed
    // working copy first); the result says why not. Changes no control.
    EditResult LoadResourceAt(int index);
    // Brings the string list up to date with the working copy and the chosen language.
    void FillStringList();
    // Brings every control up to date: enabled states, the edits' texts, the string list.
    void RefreshPanel();

    void OnSelchangeResourceList();
    void OnItemchangedStringList();
    void OnChangeText();
    void OnChangeDescription();
    void OnBasicMode();
    void OnUseLanguages();
    void OnUseDescriptions();
    void OnSetForAll();
    // "Copy the US English text and description of 3 strings into every other language?", and
    // the second question when every selected string is empty in that language.
    [[nodiscard]] static QString SetForAllQuestion(int slot, size_t count);
    [[nodiscard]] static QString SetForAllEmptyQuestion(int slot);
    // Edit > Add String: appends an empty entry, selects it and puts the caret in its text.
    void OnAddString();
    // Selects the rows that exist of rows (ascending; whole rows), the first one current and
    // shown.
    void SelectRows(const std::vector<int>& rows);
    // The language whose texts the string list shows beside the chosen one's (slot; US English
    // at first): a "Source" column when the two differ, rows still to translate muted, and a
    // summary of the progress.
    void SetSourceLanguage(int slot);
    [[nodiscard]] int GetSourceLanguage() const { return m_nSourceSlot; }
    // "12 of 40 translated" for the resource and the chosen language while a source is shown;
    // empty otherwise.
    [[nodiscard]] QString TranslationSummary() const;
    // Edit > Undo and Redo: one step of the document's history, shown where it took place.
    void OnEditUndo();
    void OnEditRedo();
    // Edit > Find (replace false) and Replace: the dialog, its find or replace field focused.
    void OnEditFind(bool replace);
    // Edit > Find Next / Find Previous: the next match through every text resource in list
    // order (and round again), shown selected in its edit; false when there is none.
    bool OnEditFindNext(bool backwards);
    // The dialog's Replace: the match shown is replaced (an edit like typing), then the next one
    // is found. Replace All: every match, one step; the result line says how many.
    void OnReplace();
    void OnReplaceAll();
    [[nodiscard]] CFindDialog* GetFindDialog() const { return m_pFindDialog; }
    // Go > Next Untranslated and Previous Untranslated: the next string (before the selected one
    // when backwards) whose text in the chosen language awaits its translation from the source
    // language, through the resources with languages in list order and round again; selected,
    // with the caret in its text. False (the status bar says why) when there is none.
    bool OnGoUntranslated(bool backwards);

    // The language slot of a language-box index, and back; -1 for none.
    [[nodiscard]] static int SlotOfLanguageIndex(int index);
    [[nodiscard]] static int LanguageIndexOfSlot(int slot);
    // The name the language box shows for an index; empty for none.
    [[nodiscard]] static QString LanguageName(int index);

    // The resource list's label for a chunk id and its raw name: "#id: name" for STR#, "CTSS
    // #id: name" and "TTAs #id: name" for the others, at most 127 characters, the name shown
    // through the Western code page.
    [[nodiscard]] static QString FormatResourceLabel(uint16_t id, const std::string& name,
                                                     ChunkType type = kTypeStrings);

    // The controls.
    [[nodiscard]] CResourceList* GetResourceList() const { return m_pResourceList; }
    [[nodiscard]] QTableView* GetStringList() const { return m_pStringList; }
    [[nodiscard]] CStringListModel* GetStringListModel() const { return m_pStringModel; }
    [[nodiscard]] QComboBox* GetLanguageBox() const { return m_pLanguage; }
    [[nodiscard]] QCheckBox* GetBasicModeBox() const { return m_pBasicMode; }
    [[nodiscard]] QCheckBox* GetUseLanguagesBox() const { return m_pUseLanguages; }
    [[nodiscard]] QCheckBox* GetUseDescriptionsBox() const { return m_pUseDescriptions; }
    [[nodiscard]] QPushButton* GetSetForAllButton() const { return m_pSetForAll; }
    [[nodiscard]] QPlainTextEdit* GetTextEdit() const { return m_pText; }
    [[nodiscard]] QPlainTextEdit* GetDescriptionEdit() const { return m_pDescription; }
    // The selected string's source text, read-only, and its label naming the source language.
    [[nodiscard]] QPlainTextEdit* GetSourceEdit() const { return m_pSource; }
    [[nodiscard]] QLabel* GetSourceLabel() const { return m_pSourceLabel; }
    // Under each edit: the bytes its text takes in the slot's code page ("142 bytes"; in the
    // Basic layout "142 / 255 bytes"); empty while the edit holds no string.
    [[nodiscard]] QLabel* GetTextBytesLabel() const { return m_pTextBytes; }
    [[nodiscard]] QLabel* GetDescriptionBytesLabel() const { return m_pDescriptionBytes; }
    // The line in the "Editing" group that says why a typed character was refused.
    [[nodiscard]] QLabel* GetStatusLabel() const { return m_pStatus; }

    // The working copy (of the document's editing model; an empty set without a document), and
    // whether it holds a resource and differs from its chunk.
    [[nodiscard]] const CStringSet& Strings() const;
    [[nodiscard]] bool IsLoaded() const;
    [[nodiscard]] bool IsChanged() const;

    bool m_bRefreshing = false;
    bool m_bColumnsReady = false;
    bool m_bSized = false;

    // Values bound to controls.
    QString m_strText;
    QString m_strDescription;
    int m_nLanguage = -1;
    // The language last chosen in a layout with languages: shown again in the next one.
    int m_nChosenLanguage = 0;
    bool m_bBasicMode = false;
    bool m_bUseLanguages = false;
    bool m_bUseDescriptions = false;

    // For the translation-memory suggestions: the selected string's text in the source language
    // as the edit would show it (empty unless one string of a resource with languages is
    // selected), and the slot of the language shown (-1 without languages).
    [[nodiscard]] QString SelectedSourceText() const;
    [[nodiscard]] int GetShownSlot() const;
    // Puts a suggested translation into the selected string in the language shown, as one step
    // of the history ("Use Suggestion"); a text the language's code page cannot hold is refused
    // and the status line says why.
    EditResult UseSuggestion(const QString& text);

    // "Multilingual · 42 strings · windows-1250": the loaded resource's layout, its entry count
    // and the code page of the language shown; "This file has no text resources." for a file
    // without any; empty otherwise.
    [[nodiscard]] QString ResourceStatus() const;

signals:
    // The translation summary changed (it may have become empty).
    void SummaryChanged(const QString& summary);
    // ResourceStatus() changed.
    void ResourceStatusChanged(const QString& status);
    // A passing message for the status bar ("Passed the end; continued from the beginning.").
    void StatusMessage(const QString& text);
    // The panel has been brought up to date: the selection, the language or a text may have
    // changed.
    void SelectionShown();

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void CreateControls();
    void ConnectControls();
    // Rows as high as one line of the current font.
    void SetRowHeight();

    // Step 5 of the refresh (enabled states by the working copy's flags) and step 6 (the edits'
    // values for the selection).
    void EnableByFlags();
    void ShowSelection();
    // The source text above the edits and the byte counters under them, for the selection.
    void ShowSourceAndCounters(int row);
    // The first selected row (-1 for none) and whether another row is selected too.
    [[nodiscard]] int FirstSelectedRow(bool* multiple = nullptr) const;
    // Every selected row in ascending order.
    [[nodiscard]] std::vector<int> SelectedRows() const;

    // The slot m_nLanguage stands for (0xFFFF, which no operation accepts, for none), and the
    // code page its texts are held in.
    [[nodiscard]] uint16_t CurrentSlot() const;
    [[nodiscard]] const CTextCodec& CurrentCodec() const;
    // An entry's text (part 0) or description (part 1) in the current slot as the edit shows it;
    // value stays as it was when the entry has none.
    void ReadEntry(int row, int part, QString& value) const;

    // OnChangeText and OnChangeDescription: part 0 or 1.
    void OnChangeEdit(int part);
    // Puts back the text an edit had before a refused change, caret and scroll kept.
    void RevertEdit(QPlainTextEdit& edit, const QString& good);
    // Sets the working copy's layout flags; a refused switch out of the UTF-8 layout is told to
    // the user and puts the check boxes back.
    void SwitchLayout(bool basic, bool languages, bool descriptions);
    // Copies the working copy's flags into the check values, keeps the chosen language when the
    // layout has languages (USEnglish otherwise), transfers.
    void ShowLoadedFlags();
    // The check values of the layout a store would write.
    void ShowLayoutFlags();
    // The document's editing model; null without a document.
    [[nodiscard]] CResourceEditor* Editor() const;
    // Shows the resource, language and entry where an undone or redone step took place.
    void ShowPlace(const EditPlace& place);
    // Selects, without notification, the resource-list entry of the loaded chunk.
    void SelectLoadedResource();

    QCheckBox* m_pBasicMode = nullptr;
    QCheckBox* m_pUseLanguages = nullptr;
    QCheckBox* m_pUseDescriptions = nullptr;
    QComboBox* m_pLanguage = nullptr;
    QPushButton* m_pSetForAll = nullptr;
    QTableView* m_pStringList = nullptr;
    CStringListModel* m_pStringModel = nullptr;
    QPlainTextEdit* m_pText = nullptr;
    QPlainTextEdit* m_pDescription = nullptr;
    QPlainTextEdit* m_pSource = nullptr;
    QLabel* m_pSourceLabel = nullptr;
    QLabel* m_pTextBytes = nullptr;
    QLabel* m_pDescriptionBytes = nullptr;
    QLabel* m_pStatus = nullptr;
    CResourceList* m_pResourceList = nullptr;
    // Marks the languages of the language box that hold no text in the resource.
    void MarkEmptyLanguages();
    // The summary anew, told when it changed.
    void UpdateSummary();

    // The resources in the order the list shows them.
    [[nodiscard]] std::vector<CResourceEditor::Key> ResourceOrder() const;
    // The search the dialog describes; false (and the dialog says why) when it is not valid.
    bool PrepareSearch(CTextSearch& search, SearchScope& scope);
    // Selects the resource, language and row of a match and selects the match in its edit.
    void ShowHit(const SearchHit& hit);

    CFindDialog* m_pFindDialog = nullptr;
    SearchHit m_lastHit;
    bool m_bHasHit = false;
    int m_nSourceSlot = 0;
    int m_nTranslated = 0;  // entries translated in the shown slot, while a source is shown
    // What m_nTranslated was counted for; a load, an undo or a change of many rows recounts.
    int m_nCountedSlot = -2;
    int m_nCountedSource = -2;
    bool m_bRecount = true;
    QString m_strSummary;
    QString m_strResourceStatus;
    // Set by FillStringList when it rebuilt the rows (the selection is then gone).
    bool m_bRowsRebuilt = false;
    // The resource-list row under the mouse before a press, to tell a click on the entry that is
    // already selected (which loads it again) from one that changes the selection.
    int m_nRowBeforePress = -1;
};
