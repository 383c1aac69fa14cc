#pragma once

#include <QString>
#include <QWidget>

#include <memory>
#include <vector>

#include "memory/MemorySet.h"

class QLabel;
class QTableWidget;

// The matches of the translation memories for the string being translated: score, source and
// translation, best first (an exact match at the top). A double-click or Ctrl+1 to Ctrl+3 offers
// a row's translation through SuggestionChosen.
class CSuggestionsPanel : public QWidget {
    Q_OBJECT

public:
    // Rows shown at most, and the lowest score shown.
    static constexpr int kRows = 5;
    static constexpr int kMinScore = 50;

    explicit CSuggestionsPanel(QWidget* parent = nullptr);

    // The memories to ask; null or empty shows nothing.
    void SetMemories(std::shared_ptr<const CMemorySet> memories);
    [[nodiscard]] const CMemorySet* GetMemories() const { return m_memories.get(); }
    // Shows the suggestions for a source text (as the edit shows it) in the language of a slot;
    // nothing for an empty text or a slot of none. Asks the memories only when either changed.
    void ShowFor(const QString& sourceText, int slot);
    // The translation of a row; empty for a row not shown.
    [[nodiscard]] QString TranslationAt(int row) const;
    [[nodiscard]] QTableWidget* Table() const { return m_pTable; }
    [[nodiscard]] QLabel* Caption() const { return m_pCaption; }

    // Offers the translation of a row (none for a row not shown).
    void Choose(int row);

signals:
    void SuggestionChosen(const QString& translation);

private:
    void Refill();

    std::shared_ptr<const CMemorySet> m_memories;
    std::vector<Suggestion> m_suggestions;
    QString m_strSource;
    int m_nSlot = -1;
    bool m_bAsked = false;
    QLabel* m_pCaption;
    QTableWidget* m_pTable;
};
