#include "view/SuggestionsPanel.h"

#include "exchange/Locales.h"
#include "strings/Languages.h"

#include <QHeaderView>
#include <QLabel>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// Catalogs and memories hold line breaks as '\n', as the edits show them.
QString ShownText(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace

CSuggestionsPanel::CSuggestionsPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("suggestionsPanel"));
    m_pCaption = new QLabel;
    m_pCaption->setObjectName(QStringLiteral("suggestionsCaption"));
    m_pTable = new QTableWidget(0, 3);
    m_pTable->setObjectName(QStringLiteral("suggestions"));
    m_pTable->setHorizontalHeaderLabels(
        {QStringLiteral("Score"), QStringLiteral("Source"), QStringLiteral("Translation")});
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setWordWrap(false);
    m_pTable->verticalHeader()->hide();  // the score column names each row's key
    m_pTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_pTable->verticalHeader()->setDefaultSectionSize(m_pTable->fontMetrics().height() + 4);
    // At the least, the best suggestion shows: the window then still fits a small screen.
    m_pTable->setMinimumHeight(m_pTable->horizontalHeader()->sizeHint().height() +
                               m_pTable->verticalHeader()->defaultSectionSize() +
                               2 * m_pTable->frameWidth());
    m_pTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_pTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_pTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    m_pCaption->setBuddy(m_pTable);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_pCaption);
    layout->addWidget(m_pTable);
    connect(m_pTable, &QTableWidget::cellDoubleClicked, this, [this](int row) { Choose(row); });
    // Ctrl+1 to Ctrl+3 anywhere in the window, while the panel is shown.
    const Qt::Key keys[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3};
    for (int row = 0; row < 3; ++row) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | keys[row]), this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, row] { Choose(row); });
    }
    Refill();
}

void CSuggestionsPanel::SetMemories(std::shared_ptr<const CMemorySet> memories) {
    m_memories = std::move(memories);
    m_bAsked = false;
    ShowFor(m_strSource, m_nSlot);
}

void CSuggestionsPanel::ShowFor(const QString& sourceText, int slot) {
    if (m_bAsked && sourceText == m_strSource && slot == m_nSlot) {
        return;
    }
    m_strSource = sourceText;
    m_nSlot = slot;
    m_bAsked = true;
    m_suggestions.clear();
    const char* locale = LocaleOfSlot(slot);
    if (m_memories && !m_memories->IsEmpty() && locale != nullptr && !sourceText.isEmpty()) {
        const QByteArray utf8 = sourceText.toUtf8();
        m_suggestions = m_memories->Suggest(std::string_view(utf8.constData(), utf8.size()), locale,
                                            kMinScore, kRows);
    }
    Refill();
}

QString CSuggestionsPanel::TranslationAt(int row) const {
    return row >= 0 && static_cast<size_t>(row) < m_suggestions.size()
               ? ShownText(m_suggestions[static_cast<size_t>(row)].target)
               : QString();
}

void CSuggestionsPanel::Choose(int row) {
    if (row >= 0 && static_cast<size_t>(row) < m_suggestions.size()) {
        emit SuggestionChosen(TranslationAt(row));
    }
}

void CSuggestionsPanel::Refill() {
    m_pTable->setRowCount(static_cast<int>(m_suggestions.size()));
    for (int row = 0; row < static_cast<int>(m_suggestions.size()); ++row) {
        const Suggestion& suggestion = m_suggestions[static_cast<size_t>(row)];
        const QString score = suggestion.score == 100 && ShownText(suggestion.source) == m_strSource
                                  ? QStringLiteral("exact")
                                  : QStringLiteral("%1%").arg(suggestion.score);
        const QString cells[] = {
            row < 3 ? QStringLiteral("%1  Ctrl+%2").arg(score).arg(row + 1) : score,
            ShownText(suggestion.source), ShownText(suggestion.target)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setToolTip(cells[column]);
            m_pTable->setItem(row, column, item);
        }
    }
    QString caption;
    if (!m_memories || m_memories->IsEmpty()) {
        caption = QStringLiteral("No translation memory in use (Tools > Translation Memories).");
    } else if (m_strSource.isEmpty() || LocaleOfSlot(m_nSlot) == nullptr) {
        caption = QStringLiteral("Select a string with a source text to see suggestions.");
    } else if (m_suggestions.empty()) {
        caption = QStringLiteral("&Suggestions: none for this string in %1.")
                      .arg(QString::fromStdString(ReadableLanguageName(m_nSlot)));
    } else {
        caption = QStringLiteral("&Suggestions in %1 (double-click or Ctrl+1 to Ctrl+3 to use):")
                      .arg(QString::fromStdString(ReadableLanguageName(m_nSlot)));
    }
    m_pCaption->setText(caption);
}
