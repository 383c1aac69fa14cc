#pragma once

#include "iff/ChunkTypes.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QString>

#include <cstdint>

// The list of text resources: sorted by type (STR#, CTSS, TTAs), then by number, so #99 comes
// before #128 and #1000; typing a number selects the resource of exactly that id.
class CResourceList : public QListWidget {
    Q_OBJECT

public:
    // Item data: the resource's key (type and id together, as two chunks of different types may
    // share an id) and the key the list sorts by.
    static constexpr int kKeyRole = Qt::UserRole;
    static constexpr int kSortRole = Qt::UserRole + 1;

    using QListWidget::QListWidget;

    // Adds the resource's item.
    void AddResource(ChunkType type, uint16_t id, const QString& label);
    // The key of an item's resource, as ResourceKey makes it.
    [[nodiscard]] static qulonglong ResourceKey(ChunkType type, uint16_t id);
    // The row of the first resource of that id in list order; -1 for none.
    [[nodiscard]] int FindId(uint16_t id) const;

    // Digits typed in a row (within the platform's type-ahead interval) select the first
    // resource whose id is that number; other keys search the labels as usual.
    void keyboardSearch(const QString& search) override;

private:
    QString m_strDigits;
    QElapsedTimer m_lastDigit;
};
