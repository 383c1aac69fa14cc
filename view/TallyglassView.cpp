#include "view/TallyglassView.h"

#include "document/TallyglassDoc.h"
#include "document/TextSearch.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/ui/DataExchange.h"
#include "framework/ui/UrlDropFilter.h"
#include "iff/ChunkStore.h"
#include "strings/Languages.h"
#include "strings/TextCodec.h"
#include "strings/TextResources.h"
#include "view/FindDialog.h"
#include "view/ResourceList.h"
#include "view/StringListModel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScopeGuard>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTableView>
#include <QTextCursor>

#include <algorithm>
#include <tuple>

namespace {

// Template 101's size in dialog units: the least room the form needs. At the usual desktop fonts
// the window fits on an 800 x 600 screen with its panels; a larger window gives the room to the
// lists and the edits.
constexpr QSize kTemplateSize(380, 256);

// Column widths of the string list in pixels.
constexpr int kColumnWidths[] = {70, 205, 105};

// A resource-list entry, sorted by its label in case-insensitive order ("#1000:" before "#128:"
// before "#99:"). QString's case-insensitive compare folds case without asking the locale.
QString FromAscii(const char* text) {
    return QString::fromLatin1(text);
}

qulonglong ResourceKey(ChunkType type, uint16_t id) {
    return CResourceList::ResourceKey(type, id);
}

// Scales the string list's text columns (all but the id) by after / before, none narrower than
// 20 pixels.
void ScaleTextColumns(QHeaderView& header, int before, int after) {
    for (int column = CStringListModel::colText; column < header.count(); ++column)
        header.resizeSection(
            column,
            std::max(20, static_cast<int>(static_cast<long long>(header.sectionSize(column)) *
                                          after / before)));
}

}  // namespace

CTallyglassView::CTallyglassView(QWidget* parent) : CFormView(IDD, kTemplateSize, parent) {
    CreateControls();
    ConnectControls();
}

CTallyglassView::~CTallyglassView() = default;

CTallyglassDoc* CTallyglassView::GetDocument() const {
    return dynamic_cast<CTallyglassDoc*>(CView::GetDocument());
}

void CTallyglassView::CreateControls() {
    // In template order, which is also the tab order. Every control has a label with a mnemonic
    // (none of the menu bar's letters F, E, V, G, H) and an accessible name.
    m_pBasicMode = AddControl(new QCheckBox(QStringLiteral("&Basic mode")), IDC_BASIC_MODE,
                              QRect(123, 14, 53, 10), QStringLiteral("basicMode"));
    m_pUseLanguages =
        AddControl(new QCheckBox(QStringLiteral("&Use different languages")), IDC_USE_LANGUAGES,
                   QRect(184, 14, 91, 10), QStringLiteral("useLanguages"));
    m_pUseDescriptions =
        AddControl(new QCheckBox(QStringLiteral("Use des&criptions")), IDC_USE_DESCRIPTIONS,
                   QRect(284, 14, 68, 10), QStringLiteral("useDescriptions"));

    const auto label = [this](const QString& text, QWidget* buddy, const QRect& units,
                              const QString& name) {
        auto* caption = AddControl(new QLabel(text), 0, units, name);
        caption->setBuddy(buddy);
        QString plain = text;
        buddy->setAccessibleName(plain.remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        return caption;
    };

    m_pLanguage = new QComboBox;
    for (int index = 0; index < kLanguageCount; ++index)
        m_pLanguage->addItem(LanguageName(index));
    m_pLanguage->setCurrentIndex(-1);
    AddDropDown(m_pLanguage, IDC_LANGUAGE, QRect(165, 47, 100, 94), QStringLiteral("language"));
    label(QStringLiteral("&Language:"), m_pLanguage, QRect(123, 49, 40, 8),
          QStringLiteral("languageLabel"));

    m_pSetForAll = AddControl(new QPushButton(QStringLiteral("Set for &all")), IDC_SET_FOR_ALL,
                              QRect(271, 46, 50, 14), QStringLiteral("setForAll"));

    m_pStringModel = new CStringListModel(Strings(), this);
    m_pStringList = AddControl(new QTableView, IDC_STRING_LIST, QRect(123, 70, 240, 46),
                               QStringLiteral("stringList"));
    label(QStringLiteral("&Strings:"), m_pStringList, QRect(123, 61, 60, 8),
          QStringLiteral("stringListLabel"));
    m_pStringList->setModel(m_pStringModel);
    m_pStringList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pStringList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pStringList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pStringList->setTabKeyNavigation(false);
    m_pStringList->setShowGrid(false);
    m_pStringList->setWordWrap(false);
    m_pStringList->setCornerButtonEnabled(false);
    m_pStringList->verticalHeader()->hide();
    m_pStringList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SetRowHeight();
    QHeaderView* header = m_pStringList->horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Fixed widths: sizing columns to their contents would measure every row at each keystroke.
    header->setSectionResizeMode(QHeaderView::Interactive);
    m_pStringList->viewport()->installEventFilter(this);
    {
        // The selection stays visible while another control has the focus.
        QPalette palette = m_pStringList->palette();
        for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
            palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
        m_pStringList->setPalette(palette);
    }

    // The source text of the selected string, read-only, above its translation: never off
    // screen while the translation is typed.
    m_pSource =
        AddControl(new QPlainTextEdit, 0, QRect(123, 142, 240, 18), QStringLiteral("sourceText"));
    m_pSource->setReadOnly(true);
    m_pSource->setTabChangesFocus(true);
    m_pSourceLabel = label(QStringLiteral("Source te&xt (USEnglish):"), m_pSource,
                           QRect(123, 133, 240, 8), QStringLiteral("sourceLabel"));
    m_pText =
        AddControl(new QPlainTextEdit, IDC_TEXT, QRect(123, 172, 240, 24), QStringLiteral("text"));
    QLabel* textLabel = label(QStringLiteral("&Text:"), m_pText, QRect(123, 163, 60, 8),
                              QStringLiteral("textLabel"));
    m_pTextBytes = AddControl(new QLabel, 0, QRect(243, 197, 120, 8), QStringLiteral("textBytes"));
    m_pDescription = AddControl(new QPlainTextEdit, IDC_DESCRIPTION, QRect(123, 206, 240, 24),
                                QStringLiteral("description"));
    QLabel* descriptionLabel = label(QStringLiteral("&Description:"), m_pDescription,
                                     QRect(123, 197, 80, 8), QStringLiteral("descriptionLabel"));
    m_pDescriptionBytes =
        AddControl(new QLabel, 0, QRect(123, 231, 240, 8), QStringLiteral("descriptionBytes"));
    // The text's counter shares its row with the description's label: the form stays low enough
    // for small screens.
    for (QLabel* bytes : {m_pTextBytes, m_pDescriptionBytes}) {
        bytes->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        bytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    for (QPlainTextEdit* edit : {m_pText, m_pDescription}) {
        // The document's history undoes typing, across resources and saves; the edit's own
        // would fight it.
        edit->setUndoRedoEnabled(false);
        edit->installEventFilter(this);
        edit->setTabChangesFocus(true);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        CUrlDropFilter::Install(edit);
    }
    CUrlDropFilter::Install(m_pSource);

    QGroupBox* groups[] = {
        AddControl(new QGroupBox(QStringLiteral("Strings")), 0, QRect(113, 33, 260, 87),
                   QStringLiteral("stringsGroup")),
        AddControl(new QGroupBox(QStringLiteral("Properties")), 0, QRect(113, 2, 260, 28),
                   QStringLiteral("propertiesGroup")),
        AddControl(new QGroupBox(QStringLiteral("Editing")), 0, QRect(113, 123, 260, 129),
                   QStringLiteral("editingGroup")),
    };

    m_pResourceList = AddControl(new CResourceList, IDC_RESOURCE_LIST, QRect(7, 16, 96, 236),
                                 QStringLiteral("resourceList"));
    m_pResourceList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pResourceList->setUniformItemSizes(true);
    m_pResourceList->setSortingEnabled(true);
    m_pResourceList->viewport()->installEventFilter(this);

    QLabel* caption = label(QStringLiteral("Text &resources:"), m_pResourceList,
                            QRect(10, 6, 76, 8), QStringLiteral("resourceListLabel"));

    m_pStatus = new QLabel;
    // Its messages come and go; the line keeps the width of the group it belongs to.
    m_pStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_pStatus->setTextFormat(Qt::PlainText);
    AddControl(m_pStatus, 0, QRect(123, 240, 240, 9), QStringLiteral("statusLabel"));
    {
        QPalette palette = m_pStatus->palette();
        palette.setColor(QPalette::WindowText, QColor(0xA0, 0x10, 0x10));
        m_pStatus->setPalette(palette);
    }

    // Room beyond the template's size goes to the lists and the edits: half the height to the
    // string list, the other half shared by the three edits of the editing panel below it.
    SetAnchor(m_pResourceList, growHeight);
    SetAnchor(groups[0], growWidth);
    SetAnchor(groups[1], growWidth);
    SetAnchor(groups[2], growWidth);
    SetAnchor(m_pStringList, growWidth);
    SetHeightShare(groups[0], 0, 3);
    SetHeightShare(m_pStringList, 0, 3);
    SetHeightShare(groups[2], 3, 3);
    SetHeightShare(m_pSourceLabel, 3, 0);
    struct Share {
        QWidget* control;
        int move;
        int grow;
    };
    for (const Share& share :
         {Share{m_pSource, 3, 1}, Share{m_pText, 4, 1}, Share{m_pTextBytes, 5, 0},
          Share{m_pDescription, 5, 1}, Share{m_pDescriptionBytes, 6, 0}, Share{m_pStatus, 6, 0}}) {
        SetAnchor(share.control, growWidth);
        SetHeightShare(share.control, share.move, share.grow);
    }
    SetHeightShare(textLabel, 4, 0);
    SetHeightShare(descriptionLabel, 5, 0);

    // Group boxes are frames drawn behind the controls they surround, not their parents.
    for (QGroupBox* group : groups)
        group->lower();
    caption->lower();

    QWidget* const tabOrder[] = {m_pBasicMode,   m_pUseLanguages, m_pUseDescriptions, m_pLanguage,
                                 m_pSetForAll,   m_pStringList,   m_pSource,          m_pText,
                                 m_pDescription, m_pResourceList};
    for (size_t i = 1; i < std::size(tabOrder); ++i)
        QWidget::setTabOrder(tabOrder[i - 1], tabOrder[i]);
}

void CTallyglassView::ConnectControls() {
    connect(m_pLanguage, &QComboBox::currentIndexChanged, this, [this] { FillStringList(); });
    connect(m_pText, &QPlainTextEdit::textChanged, this, &CTallyglassView::OnChangeText);
    connect(m_pDescription, &QPlainTextEdit::textChanged, this,
            &CTallyglassView::OnChangeDescription);
    connect(m_pUseLanguages, &QCheckBox::clicked, this, &CTallyglassView::OnUseLanguages);
    connect(m_pSetForAll, &QPushButton::clicked, this, &CTallyglassView::OnSetForAll);
    // Every change the string list reports leads to a refresh: selection changes, and the row
    // texts the view sets itself (those arrive during a refresh and do nothing).
    connect(m_pStringList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTallyglassView::OnItemchangedStringList);
    connect(m_pStringModel, &QAbstractItemModel::dataChanged, this,
            &CTallyglassView::OnItemchangedStringList);
    connect(m_pUseDescriptions, &QCheckBox::clicked, this, &CTallyglassView::OnUseDescriptions);
    connect(m_pBasicMode, &QCheckBox::clicked, this, &CTallyglassView::OnBasicMode);
    // Insert adds a string while the string list has the focus (Edit > Add String elsewhere).
    auto* addString = new QShortcut(QKeySequence(Qt::Key_Insert), m_pStringList);
    addString->setContext(Qt::WidgetShortcut);
    connect(addString, &QShortcut::activated, this, &CTallyglassView::OnAddString);
    connect(m_pResourceList, &QListWidget::currentRowChanged, this,
            &CTallyglassView::OnSelchangeResourceList);
    // A click on the entry that is already selected reloads it, as a change of selection does.
    connect(m_pResourceList, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        const int row = m_pResourceList->row(item);
        if (row == m_nRowBeforePress && row == m_pResourceList->currentRow())
            OnSelchangeResourceList();
    });
}

void CTallyglassView::SetRowHeight() {
    m_pStringList->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

void CTallyglassView::changeEvent(QEvent* event) {
    CFormView::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        SetRowHeight();
}

bool CTallyglassView::eventFilter(QObject* watched, QEvent* event) {
    // Events reach the filter while the form is still being built.
    if (m_pResourceList != nullptr && watched == m_pResourceList->viewport() &&
        event->type() == QEvent::MouseButtonPress)
        m_nRowBeforePress = m_pResourceList->currentRow();
    // The text columns share the room a wider list gets, in the proportions they have.
    if (m_pStringList != nullptr && watched == m_pStringList->viewport() &&
        event->type() == QEvent::Resize && m_bColumnsReady) {
        const auto* resize = static_cast<QResizeEvent*>(event);
        const int before = resize->oldSize().width();
        const int after = resize->size().width();
        QHeaderView* header = m_pStringList->horizontalHeader();
        if (before > 0 && after > 0 && after != before)
            ScaleTextColumns(*header, before, after);
    }
    // An edit with the focus would take Ctrl+Z and Ctrl+Y as its own keys; left unclaimed, they
    // reach Edit > Undo and Redo.
    if ((watched == m_pText || watched == m_pDescription) &&
        event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
            key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y)) {
            event->ignore();
            return true;
        }
    }
    return CFormView::eventFilter(watched, event);
}

void CTallyglassView::DoDataExchange(CDataExchange& dx) {
    dx.Text(m_pDescription, m_strDescription);
    dx.Check(m_pUseLanguages, m_bUseLanguages);
    dx.Text(m_pText, m_strText);
    dx.CBIndex(m_pLanguage, m_nLanguage);
    dx.Check(m_pBasicMode, m_bBasicMode);
    dx.Check(m_pUseDescriptions, m_bUseDescriptions);
}

void CTallyglassView::OnInitialUpdate() {
    UpdateData(false);
    CView::OnInitialUpdate();

    // The window fits the form when it first shows; later opens may enlarge it to the form,
    // never take away room the user gave it.
    ResizeParentToFit(!m_bSized);
    m_bSized = true;

    if (!m_bColumnsReady) {
        m_pStringModel->CreateColumns();
        for (int column = 0; column < static_cast<int>(std::size(kColumnWidths)); ++column)
            m_pStringList->horizontalHeader()->resizeSection(column, kColumnWidths[column]);
        m_bColumnsReady = true;
    }

    {
        // Filling the list is not a selection by the user.
        const QSignalBlocker blocker(m_pResourceList);
        m_pResourceList->clear();
        if (CTallyglassDoc* doc = GetDocument()) {
            const CChunkStore& store = CChunkStore::Instance();
            for (const ChunkType type : kTextResourceTypes) {
                POSITION pos = doc->m_iff.FindFirstOfType(type);
                while (pos != 0) {
                    const CChunkRecord* record = store.Resolve(doc->m_iff.GetNextOfType(pos));
                    if (record == nullptr)
                        continue;
                    m_pResourceList->AddResource(
                        type, record->id, FormatResourceLabel(record->id, record->name, type));
                }
            }
        }
    }

    m_pStringModel->SetStrings(Strings());
    if (CResourceEditor* editor = Editor()) {
        editor->SetShowHandler([this](const EditPlace& place) { ShowPlace(place); });
    }
    if (LoadResourceAt(0).Ok()) {
        {
            const QSignalBlocker blocker(m_pResourceList);
            m_pResourceList->setCurrentRow(0);
        }
        ShowLoadedFlags();
    }

    m_bRefreshing = false;
    RefreshPanel();
}

void CTallyglassView::OnUpdate(CView* /*sender*/, long /*hint*/, void* /*obj*/) {
    m_bRefreshing = false;
    RefreshPanel();
}

void CTallyglassView::OnDocumentReplaced() {
    m_pStatus->clear();
}

CResourceEditor* CTallyglassView::Editor() const {
    CTallyglassDoc* doc = GetDocument();
    return doc != nullptr ? &doc->m_editor : nullptr;
}

const CStringSet& CTallyglassView::Strings() const {
    static const CStringSet s_none;
    const CResourceEditor* editor = Editor();
    return editor != nullptr ? editor->Strings() : s_none;
}

bool CTallyglassView::IsLoaded() const {
    const CResourceEditor* editor = Editor();
    return editor != nullptr && editor->IsLoaded();
}

bool CTallyglassView::IsChanged() const {
    const CResourceEditor* editor = Editor();
    return editor != nullptr && editor->IsChanged();
}

EditResult CTallyglassView::LoadResourceAt(int index) {
    CResourceEditor* editor = Editor();
    if (editor == nullptr || index < 0 || index >= m_pResourceList->count())
        return {EditStatus::noResource, std::string()};
    const qulonglong key = m_pResourceList->item(index)->data(Qt::UserRole).toULongLong();
    return editor->Select(static_cast<ChunkType>(key >> 16), static_cast<uint16_t>(key & 0xFFFF));
}

void CTallyglassView::OnSelchangeResourceList() {
    const std::vector<int> rows = SelectedRows();
    const EditResult selected = LoadResourceAt(m_pResourceList->currentRow());
    if (selected.status == EditStatus::tooLarge || selected.status == EditStatus::storeFailed) {
        // The changes stay where the user can still turn them into something storable.
        MessageBox(selected.reason, std::string(), MB_OK);
        SelectLoadedResource();
        return;
    }
    if (selected.Ok())
        ShowLoadedFlags();
    RefreshPanel();
    if (selected.Ok() && !rows.empty()) {
        // The rows of the same entries, where the resource has them.
        SelectRows(rows);
        RefreshPanel();
    }
}

void CTallyglassView::FillStringList() {
    if (!UpdateData(true))
        return;
    m_pStringModel->SetStrings(Strings());
    if (m_nLanguage == -1) {
        m_nLanguage = 0;
        UpdateData(false);
    }
    if (Strings().HasLanguages())
        m_nChosenLanguage = m_nLanguage;
    m_pStringModel->SetSlot(CurrentSlot(), CurrentCodec());
    if (const CResourceEditor* editor = Editor())
        m_pStringModel->SetResourceType(editor->GetType());
    const bool languages = Strings().HasLanguages();
    const int source = languages && CurrentSlot() != m_nSourceSlot ? m_nSourceSlot : -1;
    const bool sourceAppears = source >= 0 && m_pStringModel->GetSourceSlot() < 0;
    m_pStringModel->SetSource(source, Strings().GetSlotCodec(m_nSourceSlot));
    if (sourceAppears && m_bColumnsReady) {
        // The source column is as wide as the text's, and the text columns share the list's
        // width in their proportions, so that none is pushed out of sight.
        QHeaderView* header = m_pStringList->horizontalHeader();
        header->resizeSection(CStringListModel::colSource,
                              header->sectionSize(CStringListModel::colText));
        const int room = m_pStringList->viewport()->width() - header->sectionSize(0);
        int used = 0;
        for (int column = CStringListModel::colText; column < header->count(); ++column)
            used += header->sectionSize(column);
        if (room > 0 && used > 0)
            ScaleTextColumns(*header, used, room);
        // Rows selected before the column came stay selected whole.
        QItemSelection rows;
        for (const int row : SelectedRows())
            rows.select(m_pStringModel->index(row, 0),
                        m_pStringModel->index(row, CStringListModel::colSource));
        const QSignalBlocker blocker(m_pStringList->selectionModel());
        m_pStringList->selectionModel()->select(rows, QItemSelectionModel::Select);
    }
    if (static_cast<size_t>(m_pStringModel->rowCount()) == Strings().GetCount()) {
        m_pStringModel->RefreshTexts();
    } else {
        m_pStringModel->Rebuild();
        m_bRowsRebuilt = true;
    }
    // Counting decodes every row: only when what is counted changed, not at each keystroke.
    if (m_bRecount || m_bRowsRebuilt || m_nCountedSlot != CurrentSlot() ||
        m_nCountedSource != source) {
        m_nTranslated = m_pStringModel->CountTranslated();
        m_nCountedSlot = CurrentSlot();
        m_nCountedSource = source;
        m_bRecount = false;
        MarkEmptyLanguages();
    }
    UpdateSummary();
    RefreshPanel();
}

void CTallyglassView::OnItemchangedStringList() {
    RefreshPanel();
}

void CTallyglassView::RefreshPanel() {
    if (m_bRefreshing)
        return;
    m_bRefreshing = true;
    const auto clearRefreshing = qScopeGuard([this] { m_bRefreshing = false; });
    const auto tell = qScopeGuard([this] { emit SelectionShown(); });

    if (!UpdateData(true))
        return;
    m_pStatus->clear();
    m_pResourceList->setEnabled(m_pResourceList->count() > 0);

    if (!IsLoaded()) {
        for (QWidget* control : std::initializer_list<QWidget*>{
                 m_pStringList, m_pBasicMode, m_pLanguage, m_pUseLanguages, m_pSetForAll,
                 m_pDescription, m_pUseDescriptions, m_pText}) {
            control->setEnabled(false);
        }
        if (m_pResourceList->count() == 0) {
            // A file without text resources: nothing of the previous file's stays, no rows,
            // boxes, language or texts.
            static const CStringSet s_none;
            m_pStringModel->SetStrings(s_none);
            m_pStringModel->Rebuild();
            m_strText.clear();
            m_strDescription.clear();
            m_bBasicMode = m_bUseLanguages = m_bUseDescriptions = false;
            m_nLanguage = -1;
            UpdateData(false);
        }
        ShowSourceAndCounters(-1);
        UpdateSummary();
        return;
    }
    m_pStringModel->SetStrings(Strings());

    EnableByFlags();
    ShowSelection();
    UpdateData(false);

    m_bRowsRebuilt = false;
    FillStringList();
    if (m_bRowsRebuilt) {
        // A rebuild drops the selection the edits were just filled for; show the panel for the
        // rows as they are now, or the edits would stay open with nowhere to put what is typed.
        EnableByFlags();
        ShowSelection();
        UpdateData(false);
        m_bRowsRebuilt = false;
    }
}

void CTallyglassView::EnableByFlags() {
    const CStringSet& strings = Strings();
    const bool basic = strings.m_bBasic;
    const bool descriptions = !basic && strings.m_bDescriptions;
    const bool languages = descriptions && strings.m_bLanguages;
    m_pStringList->setEnabled(true);
    m_pBasicMode->setEnabled(true);
    m_pUseDescriptions->setEnabled(!basic);
    m_pUseLanguages->setEnabled(descriptions);
    m_pLanguage->setEnabled(languages);
    m_pSetForAll->setEnabled(languages);
    m_pText->setEnabled(true);
    m_pDescription->setEnabled(descriptions);
}

void CTallyglassView::ShowSelection() {
    bool multiple = false;
    const int row = FirstSelectedRow(&multiple);
    if (row >= 0 && !multiple) {
        ReadEntry(row, 0, m_strText);
        ReadEntry(row, 1, m_strDescription);
        ShowSourceAndCounters(row);
        return;
    }
    m_pText->setEnabled(false);
    m_pDescription->setEnabled(false);
    m_strText = FromAscii(row < 0 ? kNoItemSelected : kMultipleItemsSelected);
    m_strDescription = m_strText;
    ShowSourceAndCounters(-1);
}

void CTallyglassView::ShowSourceAndCounters(int row) {
    m_pSourceLabel->setText(
        QStringLiteral("Source te&xt (%1):")
            .arg(LanguageName(std::max(0, LanguageIndexOfSlot(m_nSourceSlot)))));
    // The source beside itself, or in a layout whose one text stands for every language, says
    // nothing new.
    QString source;
    const bool shown = row >= 0 && Strings().HasLanguages() && CurrentSlot() != m_nSourceSlot;
    if (shown) {
        const std::string_view bytes =
            Strings().GetSlot(static_cast<size_t>(row), static_cast<size_t>(m_nSourceSlot)).text;
        source = QString::fromStdU16String(
            CTextCodec::ToDisplay(Strings().GetSlotCodec(m_nSourceSlot).Decode(bytes)));
    }
    m_pSource->setEnabled(shown);
    if (CDataExchange::GetEditText(*m_pSource) != source)
        m_pSource->setPlainText(source);

    const bool basic = Strings().GetLayout() == StringLayout::basic;
    for (int part = 0; part < 2; ++part) {
        QLabel* counter = part == 0 ? m_pTextBytes : m_pDescriptionBytes;
        std::string bytes;
        if (row < 0 || !(part == 0 ? m_pText : m_pDescription)->isEnabled() ||
            !Strings().GetString(static_cast<uint16_t>(row), CurrentSlot(), part, bytes)) {
            counter->clear();
            continue;
        }
        counter->setText(
            basic && part == 0
                ? QStringLiteral("%1 / %2 bytes").arg(bytes.size()).arg(CStringSet::kMaxBasicLength)
            : bytes.size() == 1 ? QStringLiteral("1 byte")
                                : QStringLiteral("%1 bytes").arg(bytes.size()));
    }
}

int CTallyglassView::FirstSelectedRow(bool* multiple) const {
    int first = -1;
    bool more = false;
    for (const QItemSelectionRange& range : m_pStringList->selectionModel()->selection()) {
        if (!range.isValid())
            continue;
        if (range.bottom() > range.top())
            more = true;
        if (first < 0) {
            first = range.top();
        } else if (range.top() != first) {
            more = true;
            first = std::min(first, range.top());
        }
    }
    if (multiple != nullptr)
        *multiple = more;
    return first;
}

std::vector<int> CTallyglassView::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : m_pStringList->selectionModel()->selection()) {
        if (!range.isValid())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

uint16_t CTallyglassView::CurrentSlot() const {
    const int slot = SlotOfLanguageIndex(m_nLanguage);
    return slot < 0 ? 0xFFFF : static_cast<uint16_t>(slot);
}

const CTextCodec& CTallyglassView::CurrentCodec() const {
    return Strings().GetSlotCodec(CurrentSlot());
}

void CTallyglassView::ReadEntry(int row, int part, QString& value) const {
    std::string bytes;
    if (row < 0 || row > 0xFFFF ||
        !Strings().GetString(static_cast<uint16_t>(row), CurrentSlot(), part, bytes)) {
        return;
    }
    value = QString::fromStdU16String(CTextCodec::ToDisplay(CurrentCodec().Decode(bytes)));
}

void CTallyglassView::OnChangeText() {
    OnChangeEdit(0);
}

void CTallyglassView::OnChangeDescription() {
    OnChangeEdit(1);
}

void CTallyglassView::OnChangeEdit(int part) {
    QString& value = part == 0 ? m_strText : m_strDescription;
    QPlainTextEdit& edit = part == 0 ? *m_pText : *m_pDescription;
    const QString good = value;

    if (!UpdateData(true))
        return;
    // Only an edit open for exactly one row takes text: what a disabled edit shows is a status
    // text ("No item selected", "Multiple items selected"), never a string.
    bool multiple = false;
    const int row = FirstSelectedRow(&multiple);
    if (row < 0 || row > 0xFFFF || multiple || !edit.isEnabled())
        return;
    // A notification without a change of text (formatting only) is not an edit.
    if (value == good)
        return;

    CResourceEditor* editor = Editor();
    if (editor == nullptr)
        return;
    const bool counted = m_pStringModel->GetSourceSlot() >= 0 && part == 0;
    const bool wasTranslated = counted && !m_pStringModel->IsUntranslated(row);
    if (const EditResult set = editor->SetString(static_cast<uint16_t>(row), CurrentSlot(), part,
                                                 value.toStdU16String());
        !set.Ok()) {
        // What the edit shows is what the file will hold: a keystroke or paste the model refuses
        // is taken back at once, and the user is told why.
        value = good;
        RevertEdit(edit, good);
        m_pStatus->setText(QString::fromStdString(set.reason));
        return;
    }
    m_pStatus->clear();
    if (counted)
        m_nTranslated += (m_pStringModel->IsUntranslated(row) ? 0 : 1) - (wasTranslated ? 1 : 0);
    // The row's cell reports an item change, which refreshes the panel and the list.
    m_pStringModel->RefreshCell(
        row, part == 0 ? CStringListModel::colText : CStringListModel::colDescription);
    UpdateData(false);
}

void CTallyglassView::RevertEdit(QPlainTextEdit& edit, const QString& good) {
    const QString bad = CDataExchange::GetEditText(edit);
    // Replace only the part that differs, so the caret, the scroll position and the rest of the
    // undo history stay.
    const qsizetype shorter = std::min(good.size(), bad.size());
    qsizetype prefix = 0;
    while (prefix < shorter && good[prefix] == bad[prefix])
        ++prefix;
    if (prefix > 0 && good[prefix - 1].isHighSurrogate())
        --prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           good[good.size() - 1 - suffix] == bad[bad.size() - 1 - suffix]) {
        ++suffix;
    }
    if (suffix > 0 && good[good.size() - suffix].isLowSurrogate())
        --suffix;

    const QSignalBlocker blocker(&edit);
    QTextCursor cursor(edit.document());
    cursor.setPosition(static_cast<int>(prefix));
    cursor.setPosition(static_cast<int>(bad.size() - suffix), QTextCursor::KeepAnchor);
    cursor.insertText(good.mid(prefix, good.size() - suffix - prefix));
    edit.setTextCursor(cursor);
}

void CTallyglassView::OnBasicMode() {
    if (!UpdateData(true))
        return;
    SwitchLayout(m_bBasicMode, Strings().m_bLanguages, Strings().m_bDescriptions);
}

void CTallyglassView::OnUseLanguages() {
    if (!UpdateData(true))
        return;
    SwitchLayout(Strings().m_bBasic, m_bUseLanguages, Strings().m_bDescriptions);
}

void CTallyglassView::OnUseDescriptions() {
    if (!UpdateData(true))
        return;
    SwitchLayout(Strings().m_bBasic, Strings().m_bLanguages, m_bUseDescriptions);
}

void CTallyglassView::SwitchLayout(bool basic, bool languages, bool descriptions) {
    CResourceEditor* editor = Editor();
    if (editor == nullptr)
        return;
    // A switch that would be refused is told as such, without asking first what it drops.
    if (LayoutSwitchError error;
        !Strings().CanSetLayoutFlags(basic, languages, descriptions, &error)) {
        MessageBox(DescribeLayoutSwitchError(error), std::string(), MB_OK);
        ShowLoadedFlags();
        return;
    }
    // Leaving UTF-8 changes how every kept text is stored: said before it happens, with what
    // the switch drops.
    const bool leavesUtf8 = Strings().m_bUtf8 && !(!basic && languages && descriptions);
    if (const LayoutLoss loss = Strings().LossOfLayout(basic, languages, descriptions);
        (loss.Any() || leavesUtf8) &&
        MessageBox(std::string(leavesUtf8 ? "The US English texts will be stored in "
                                            "windows-1252 instead of UTF-8. "
                                          : "") +
                       (loss.Any() ? DescribeLayoutLoss(loss) : "Continue?"),
                   std::string(), MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES) {
        ShowLoadedFlags();
        return;
    }
    if (const EditResult switched = editor->SetLayout(basic, languages, descriptions);
        !switched.Ok()) {
        // The texts stay as they are and the check box goes back to what the layout still is.
        MessageBox(switched.reason, std::string(), MB_OK);
        ShowLoadedFlags();
        return;
    }
    ShowLoadedFlags();
    RefreshPanel();
}

QString CTallyglassView::SetForAllQuestion(int slot, size_t count) {
    return QStringLiteral("Copy the %1 text and description of %2 into every other language?")
        .arg(QString::fromStdString(ReadableLanguageName(slot)),
             count == 1 ? QStringLiteral("1 string") : QStringLiteral("%1 strings").arg(count));
}

QString CTallyglassView::SetForAllEmptyQuestion(int slot) {
    return QStringLiteral(
               "The selected strings have no %1 text or description: this clears "
               "those strings in all languages. Continue?")
        .arg(QString::fromStdString(ReadableLanguageName(slot)));
}

void CTallyglassView::OnSetForAll() {
    CResourceEditor* editor = Editor();
    if (!UpdateData(true) || editor == nullptr)
        return;
    std::vector<uint16_t> entries;
    bool allEmpty = true;
    const uint16_t slot = CurrentSlot();
    for (const int row : SelectedRows()) {
        if (row > 0xFFFF)
            break;
        entries.push_back(static_cast<uint16_t>(row));
        allEmpty = allEmpty && Strings().GetSlot(static_cast<size_t>(row), slot).IsEmpty();
    }
    if (entries.empty())
        return;
    if (MessageBox(SetForAllQuestion(slot, entries.size()).toStdString(), std::string(),
                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    if (allEmpty && MessageBox(SetForAllEmptyQuestion(slot).toStdString(), std::string(),
                               MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
        return;
    std::vector<CopySkip> skipped;
    const EditResult copied = editor->CopyToAll(std::move(entries), slot, &skipped);
    m_bRecount = true;
    FillStringList();
    if (!copied.Ok())
        MessageBox(copied.reason, std::string(), MB_OK);
    else if (!skipped.empty())
        MessageBox(DescribeCopySkips(skipped), std::string(), MB_OK | MB_ICONINFORMATION);
}

void CTallyglassView::OnAddString() {
    CResourceEditor* editor = Editor();
    if (!UpdateData(true) || editor == nullptr || !IsLoaded())
        return;
    if (const EditResult added = editor->AddString(CurrentSlot()); !added.Ok()) {
        MessageBox(added.reason, std::string(), MB_OK);
        return;
    }
    m_bRecount = true;
    FillStringList();
    SelectRows({static_cast<int>(Strings().GetCount()) - 1});
    RefreshPanel();
    if (m_pText->isEnabled())
        m_pText->setFocus();
}

void CTallyglassView::SelectRows(const std::vector<int>& rows) {
    QItemSelection selection;
    const int count = m_pStringModel->rowCount();
    const int lastColumn = m_pStringModel->columnCount() - 1;
    // Runs of rows as one range each: a whole list selected is one range, not 65,535.
    for (size_t i = 0; i < rows.size();) {
        size_t end = i + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        const int first = std::max(rows[i], 0);
        const int last = std::min(rows[end - 1], count - 1);
        if (first <= last)
            selection.select(m_pStringModel->index(first, 0),
                             m_pStringModel->index(last, lastColumn));
        i = end;
    }
    m_pStringList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!selection.isEmpty()) {
        const QModelIndex first = selection.first().topLeft();
        m_pStringList->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        m_pStringList->scrollTo(first);
    }
}

void CTallyglassView::OnEditUndo() {
    if (CResourceEditor* editor = Editor()) {
        if (const EditResult undone = editor->Undo(); !undone.Ok())
            MessageBox(undone.reason, std::string(), MB_OK);
    }
}

void CTallyglassView::OnEditRedo() {
    if (CResourceEditor* editor = Editor()) {
        if (const EditResult redone = editor->Redo(); !redone.Ok())
            MessageBox(redone.reason, std::string(), MB_OK);
    }
}

void CTallyglassView::OnEditFind(bool replace) {
    if (m_pFindDialog == nullptr) {
        m_pFindDialog = new CFindDialog(this);
        m_pFindDialog->setWindowFlag(Qt::Window);
        connect(m_pFindDialog, &CFindDialog::FindRequested, this,
                [this](bool backwards) { std::ignore = OnEditFindNext(backwards); });
        connect(m_pFindDialog, &CFindDialog::ReplaceRequested, this, &CTallyglassView::OnReplace);
        connect(m_pFindDialog, &CFindDialog::ReplaceAllRequested, this,
                &CTallyglassView::OnReplaceAll);
    }
    m_pFindDialog->ShowFor(replace);
}

std::vector<CResourceEditor::Key> CTallyglassView::ResourceOrder() const {
    std::vector<CResourceEditor::Key> order;
    for (int row = 0; row < m_pResourceList->count(); ++row) {
        const qulonglong key = m_pResourceList->item(row)->data(Qt::UserRole).toULongLong();
        order.emplace_back(static_cast<ChunkType>(key >> 16), static_cast<uint16_t>(key & 0xFFFF));
    }
    return order;
}

bool CTallyglassView::PrepareSearch(CTextSearch& search, SearchScope& scope) {
    if (m_pFindDialog == nullptr)
        return false;
    std::string error;
    if (!search.Compile(m_pFindDialog->GetOptions(), error)) {
        m_pFindDialog->SetResult(QString::fromStdString(error));
        return false;
    }
    scope.slot = m_pFindDialog->InAllLanguages() ? -1 : CurrentSlot();
    scope.texts = true;
    scope.descriptions = m_pFindDialog->InDescriptions();
    return true;
}

bool CTallyglassView::OnEditFindNext(bool backwards) {
    CResourceEditor* editor = Editor();
    if (editor == nullptr)
        return false;
    if (m_pFindDialog == nullptr || m_pFindDialog->GetOptions().pattern.empty()) {
        OnEditFind(false);
        return false;
    }
    CTextSearch search;
    SearchScope scope;
    if (!PrepareSearch(search, scope))
        return false;
    // From the match shown last, or from the selected row of the resource shown.
    SearchHit from = m_lastHit;
    if (!m_bHasHit || !editor->IsLoaded() || from.type != editor->GetType() ||
        from.id != editor->GetId()) {
        const int row = std::max(FirstSelectedRow(), 0);
        from = SearchHit{editor->GetType(),
                         editor->GetId(),
                         backwards ? static_cast<size_t>(row) + 1 : static_cast<size_t>(row),
                         -1,
                         0,
                         0,
                         0};
    }
    SearchHit hit;
    const std::vector<CResourceEditor::Key> order = ResourceOrder();
    if (!editor->Find(search, scope, order, editor->IsLoaded() ? &from : nullptr, backwards, hit)) {
        m_pFindDialog->SetResult(QStringLiteral("Not found."));
        m_bHasHit = false;
        return false;
    }
    m_pFindDialog->SetResult(QString());
    if (editor->IsLoaded()) {
        // Past the last resource in list order (or before the first) the search went round.
        const auto place = [&order](const SearchHit& h) {
            const auto at =
                std::find(order.begin(), order.end(), CResourceEditor::Key(h.type, h.id));
            return std::make_tuple(at - order.begin(), h.entry, h.slot, h.part, h.start);
        };
        if (backwards ? place(hit) >= place(from) : place(hit) <= place(from))
            emit StatusMessage(
                backwards ? QStringLiteral("Passed the beginning; continued from the end.")
                          : QStringLiteral("Passed the end; continued from the beginning."));
    }
    ShowHit(hit);
    return true;
}

void CTallyglassView::ShowHit(const SearchHit& hit) {
    const qulonglong key = ResourceKey(hit.type, hit.id);
    for (int row = 0; row < m_pResourceList->count(); ++row) {
        if (m_pResourceList->item(row)->data(Qt::UserRole).toULongLong() == key &&
            m_pResourceList->currentRow() != row) {
            m_pResourceList->setCurrentRow(row);
            break;
        }
    }
    if (Strings().HasLanguages()) {
        const int language = LanguageIndexOfSlot(hit.slot);
        if (language >= 0 && language != m_nLanguage)
            m_pLanguage->setCurrentIndex(language);
    }
    const int row = static_cast<int>(hit.entry);
    m_pStringList->selectionModel()->select(
        QItemSelection(m_pStringModel->index(row, 0),
                       m_pStringModel->index(row, m_pStringModel->columnCount() - 1)),
        QItemSelectionModel::ClearAndSelect);
    m_pStringList->scrollTo(m_pStringModel->index(row, 0));
    QPlainTextEdit* edit = hit.part == 0 ? m_pText : m_pDescription;
    QTextCursor cursor(edit->document());
    cursor.setPosition(static_cast<int>(hit.start));
    cursor.setPosition(static_cast<int>(hit.start + hit.length), QTextCursor::KeepAnchor);
    edit->setTextCursor(cursor);
    m_lastHit = hit;
    m_bHasHit = true;
}

bool CTallyglassView::OnGoUntranslated(bool backwards) {
    CResourceEditor* editor = Editor();
    if (editor == nullptr || !IsLoaded() || !UpdateData(true))
        return false;
    const int slot =
        SlotOfLanguageIndex(Strings().HasLanguages() ? m_nLanguage : m_nChosenLanguage);
    const QString language = LanguageName(LanguageIndexOfSlot(slot));
    if (slot < 0 || slot == m_nSourceSlot) {
        emit StatusMessage(QStringLiteral("%1 is the source language: choose the language of the "
                                          "translation.")
                               .arg(language));
        return false;
    }
    CResourceEditor::Key key;
    size_t entry = 0;
    if (!editor->FindUntranslated(ResourceOrder(), {editor->GetType(), editor->GetId()},
                                  FirstSelectedRow(), slot, m_nSourceSlot, backwards, key, entry)) {
        emit StatusMessage(QStringLiteral("No string awaits its %1 translation.").arg(language));
        return false;
    }
    ShowHit(SearchHit{key.first, key.second, entry, slot, 0, 0, 0});
    m_bHasHit = false;
    if (m_pText->isEnabled())
        m_pText->setFocus();
    return true;
}

void CTallyglassView::OnReplace() {
    if (m_pFindDialog == nullptr)
        return;
    // The match shown, if it is still what the edit has selected, becomes the replacement.
    if (m_bHasHit) {
        QPlainTextEdit* edit = m_lastHit.part == 0 ? m_pText : m_pDescription;
        QTextCursor cursor = edit->textCursor();
        if (cursor.selectionStart() == static_cast<int>(m_lastHit.start) &&
            cursor.selectionEnd() == static_cast<int>(m_lastHit.start + m_lastHit.length) &&
            edit->isEnabled()) {
            m_pStatus->clear();
            cursor.insertText(QString::fromStdU16String(m_pFindDialog->GetReplacement()));
            if (!m_pStatus->text().isEmpty()) {
                // The model refused the replaced text: said where Replace All says it.
                m_pFindDialog->SetResult(QStringLiteral("Nothing was replaced. ") +
                                         m_pStatus->text());
                return;
            }
            m_lastHit.length = 0;
        }
    }
    std::ignore = OnEditFindNext(false);
}

void CTallyglassView::OnReplaceAll() {
    CResourceEditor* editor = Editor();
    CTextSearch search;
    SearchScope scope;
    if (editor == nullptr || !PrepareSearch(search, scope))
        return;
    size_t count = 0;
    const EditResult replaced =
        editor->ReplaceAll(search, m_pFindDialog->GetReplacement(), scope, ResourceOrder(), count);
    if (!replaced.Ok()) {
        m_pFindDialog->SetResult(QString::fromStdString(replaced.reason));
        return;
    }
    m_bHasHit = false;
    m_pFindDialog->SetResult(count == 1 ? QStringLiteral("1 replacement made.")
                                        : QStringLiteral("%1 replacements made.").arg(count));
    SelectLoadedResource();
    ShowLoadedFlags();
    FillStringList();
}

void CTallyglassView::ShowPlace(const EditPlace& place) {
    m_bRecount = true;
    // The step may have selected another resource: the list, the flags and the language follow.
    SelectLoadedResource();
    const int language = LanguageIndexOfSlot(place.slot);
    ShowLayoutFlags();
    m_nLanguage = Strings().HasLanguages() && language >= 0 ? language : 0;
    UpdateData(false);
    m_bRefreshing = false;
    FillStringList();
    if (place.entry < Strings().GetCount() && place.entry <= 0xFFFF)
        SelectRows({static_cast<int>(place.entry)});
    RefreshPanel();
}

void CTallyglassView::SetSourceLanguage(int slot) {
    if (slot < 0 || slot >= kSlotCount || slot == m_nSourceSlot)
        return;
    m_nSourceSlot = slot;
    if (IsLoaded())
        FillStringList();
}

QString CTallyglassView::TranslationSummary() const {
    if (!IsLoaded() || m_pStringModel->GetSourceSlot() < 0)
        return {};
    return QStringLiteral("%1 of %2 translated").arg(m_nTranslated).arg(Strings().GetCount());
}

void CTallyglassView::UpdateSummary() {
    const QString summary = TranslationSummary();
    if (summary != m_strSummary) {
        m_strSummary = summary;
        emit SummaryChanged(summary);
    }
    const QString status = ResourceStatus();
    if (status != m_strResourceStatus) {
        m_strResourceStatus = status;
        emit ResourceStatusChanged(status);
    }
}

QString CTallyglassView::ResourceStatus() const {
    if (!IsLoaded()) {
        const CTallyglassDoc* doc = GetDocument();
        return doc != nullptr && !doc->GetPathName().empty() && m_pResourceList->count() == 0
                   ? QStringLiteral("This file has no text resources.")
                   : QString();
    }
    QString layout;
    switch (Strings().GetLayout()) {
        case StringLayout::basic:
            layout = QStringLiteral("Basic");
            break;
        case StringLayout::plain:
            layout = QStringLiteral("Texts only");
            break;
        case StringLayout::described:
            layout = QStringLiteral("Texts and descriptions");
            break;
        case StringLayout::multilingual:
            layout = QStringLiteral("Multilingual");
            break;
        case StringLayout::utf8:
            layout = QStringLiteral("Multilingual, UTF-8");
            break;
    }
    const size_t count = Strings().GetCount();
    return QStringLiteral("%1 \u00B7 %2 \u00B7 %3")
        .arg(layout,
             count == 1 ? QStringLiteral("1 string") : QStringLiteral("%1 strings").arg(count),
             QString::fromLatin1(CurrentCodec().Name()));
}

void CTallyglassView::MarkEmptyLanguages() {
    uint32_t filled = 0;
    const CStringSet& strings = Strings();
    for (size_t entry = 0; entry < strings.GetCount(); ++entry) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            if (!strings.GetSlot(entry, static_cast<size_t>(slot)).text.empty())
                filled |= uint32_t{1} << slot;
        }
    }
    const QColor muted(0x80, 0x80, 0x80);
    for (int index = 0; index < m_pLanguage->count(); ++index) {
        const int slot = SlotOfLanguageIndex(index);
        const bool empty = slot >= 0 && (filled & (uint32_t{1} << slot)) == 0;
        m_pLanguage->setItemData(index, empty ? QVariant::fromValue(muted) : QVariant(),
                                 Qt::ForegroundRole);
        m_pLanguage->setItemData(index,
                                 empty ? QStringLiteral("No text in this resource") : QVariant(),
                                 Qt::ToolTipRole);
    }
}

void CTallyglassView::ShowLoadedFlags() {
    m_bRecount = true;
    ShowLayoutFlags();
    // A layout without languages shows US English (greyed); the language the user chose comes
    // back with the next layout that has languages.
    m_nLanguage = Strings().HasLanguages() ? m_nChosenLanguage : 0;
    UpdateData(false);
}

void CTallyglassView::ShowLayoutFlags() {
    // The boxes show the layout a store writes: Basic mode stores neither descriptions nor
    // languages, and a layout without descriptions stores no languages either.
    const CStringSet& strings = Strings();
    m_bBasicMode = strings.m_bBasic;
    m_bUseDescriptions = !strings.m_bBasic && strings.m_bDescriptions;
    m_bUseLanguages = m_bUseDescriptions && strings.m_bLanguages;
}

void CTallyglassView::SelectLoadedResource() {
    const CResourceEditor* editor = Editor();
    if (editor == nullptr || !editor->IsLoaded())
        return;
    const qulonglong key = ResourceKey(editor->GetType(), editor->GetId());
    for (int row = 0; row < m_pResourceList->count(); ++row) {
        if (m_pResourceList->item(row)->data(Qt::UserRole).toULongLong() == key) {
            const QSignalBlocker blocker(m_pResourceList);
            m_pResourceList->setCurrentRow(row);
            return;
        }
    }
}

int CTallyglassView::SlotOfLanguageIndex(int index) {
    return ::SlotOfLanguageIndex(index);
}

int CTallyglassView::LanguageIndexOfSlot(int slot) {
    return ::LanguageIndexOfSlot(slot);
}

QString CTallyglassView::LanguageName(int index) {
    const char* name = ::LanguageName(::SlotOfLanguageIndex(index));
    return name != nullptr ? QString::fromLatin1(name) : QString();
}

QString CTallyglassView::FormatResourceLabel(uint16_t id, const std::string& name, ChunkType type) {
    QString label = QString::fromLatin1(ResourceLabelPrefix(type, id)) +
                    QString::fromStdU16String(CTextCodec::Western().Decode(name));
    if (label.size() > kMaxLabelLength) {
        qsizetype cut = kMaxLabelLength;
        if (label[cut - 1].isHighSurrogate())
            --cut;
        label.truncate(cut);
    }
    return label;
}

QString CTallyglassView::SelectedSourceText() const {
    bool multiple = false;
    const int row = FirstSelectedRow(&multiple);
    if (!IsLoaded() || row < 0 || multiple || !Strings().HasLanguages())
        return {};
    const std::string_view bytes =
        Strings().GetSlot(static_cast<size_t>(row), static_cast<size_t>(m_nSourceSlot)).text;
    return QString::fromStdU16String(
        CTextCodec::ToDisplay(Strings().GetSlotCodec(m_nSourceSlot).Decode(bytes)));
}

int CTallyglassView::GetShownSlot() const {
    return IsLoaded() && Strings().HasLanguages() ? SlotOfLanguageIndex(m_nLanguage) : -1;
}

EditResult CTallyglassView::UseSuggestion(const QString& text) {
    bool multiple = false;
    const int row = FirstSelectedRow(&multiple);
    CResourceEditor* editor = Editor();
    const int slot = GetShownSlot();
    if (editor == nullptr || row < 0 || row > 0xFFFF || multiple || slot < 0 ||
        !m_pText->isEnabled())
        return {EditStatus::noResource, "Select one string to translate."};
    const EditResult result =
        editor->ApplyChanges({{editor->GetType(), editor->GetId(), static_cast<uint16_t>(row), slot,
                               0, text.toStdU16String()}},
                             "Use Suggestion");
    if (!result.Ok())
        m_pStatus->setText(QString::fromStdString(result.reason));
    return result;
}
