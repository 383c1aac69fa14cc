#include "view/ResourceList.h"

#include "strings/TextResources.h"

#include <QApplication>

#include <iterator>

namespace {

// Orders by type rank, then id, then label (two chunks may share type and id).
class CResourceItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;

    bool operator<(const QListWidgetItem& other) const override {
        const qulonglong mine = data(CResourceList::kSortRole).toULongLong();
        const qulonglong theirs = other.data(CResourceList::kSortRole).toULongLong();
        if (mine != theirs)
            return mine < theirs;
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

qulonglong TypeRank(ChunkType type) {
    const auto* found =
        std::find(std::begin(kTextResourceTypes), std::end(kTextResourceTypes), type);
    return static_cast<qulonglong>(found - std::begin(kTextResourceTypes));
}

}  // namespace

qulonglong CResourceList::ResourceKey(ChunkType type, uint16_t id) {
    return (static_cast<qulonglong>(type) << 16) | id;
}

void CResourceList::AddResource(ChunkType type, uint16_t id, const QString& label) {
    auto* item = new CResourceItem(label);
    item->setData(kKeyRole, ResourceKey(type, id));
    item->setData(kSortRole, (TypeRank(type) << 16) | id);
    addItem(item);
}

int CResourceList::FindId(uint16_t id) const {
    for (int row = 0; row < count(); ++row) {
        if ((item(row)->data(kKeyRole).toULongLong() & 0xFFFF) == id)
            return row;
    }
    return -1;
}

void CResourceList::keyboardSearch(const QString& search) {
    bool digits = !search.isEmpty();
    for (const QChar c : search)
        digits = digits && c.isDigit() && c.unicode() < 0x80;
    if (!digits) {
        m_strDigits.clear();
        QListWidget::keyboardSearch(search);
        return;
    }
    if (!m_lastDigit.isValid() || m_lastDigit.elapsed() > QApplication::keyboardInputInterval())
        m_strDigits.clear();
    m_lastDigit.start();
    m_strDigits += search;
    bool ok = false;
    const uint id = m_strDigits.toUInt(&ok);
    if (!ok || id > 0xFFFF)
        return;
    const int row = FindId(static_cast<uint16_t>(id));
    if (row >= 0)
        setCurrentRow(row);
}
