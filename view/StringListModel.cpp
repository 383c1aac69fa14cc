#include "view/StringListModel.h"

#include "strings/StringSet.h"
#include "strings/TextCodec.h"

#include <QColor>

CStringListModel::CStringListModel(const CStringSet& strings, QObject* parent)
    : QAbstractTableModel(parent), m_pStrings(&strings), m_pCodec(&CTextCodec::Western()) {}

void CStringListModel::CreateColumns() {
    if (m_bHasColumns)
        return;
    beginInsertColumns(QModelIndex(), 0, columnCount_ - 1);
    m_bHasColumns = true;
    endInsertColumns();
}

void CStringListModel::SetSlot(int slot, const CTextCodec& codec) {
    m_nSlot = slot;
    m_pCodec = &codec;
}

void CStringListModel::SetSource(int slot, const CTextCodec& codec) {
    m_pSourceCodec = &codec;
    if (slot == m_nSourceSlot)
        return;
    const bool had = m_nSourceSlot >= 0;
    const bool has = slot >= 0;
    if (m_bHasColumns && had && !has) {
        beginRemoveColumns(QModelIndex(), colSource, colSource);
        m_nSourceSlot = slot;
        endRemoveColumns();
    } else if (m_bHasColumns && !had && has) {
        beginInsertColumns(QModelIndex(), colSource, colSource);
        m_nSourceSlot = slot;
        endInsertColumns();
    } else {
        m_nSourceSlot = slot;
        if (m_bHasColumns && m_nRows > 0)
            emit headerDataChanged(Qt::Horizontal, colSource, colSource);
    }
}

QString CStringListModel::Decoded(int row, int slot, const CTextCodec& codec, bool text) const {
    const StringSlot value =
        m_pStrings->GetSlot(static_cast<size_t>(row), static_cast<size_t>(slot));
    return QString::fromStdU16String(
        CTextCodec::ToDisplay(codec.Decode(text ? value.text : value.description)));
}

bool CStringListModel::IsUntranslated(int row) const {
    const StringSlot value =
        m_pStrings->GetSlot(static_cast<size_t>(row), static_cast<size_t>(m_nSlot));
    // Without a source text there is nothing it translates (a row added in this language).
    if (value.text.empty() ||
        (m_nSourceSlot >= 0 &&
         m_pStrings->GetSlot(static_cast<size_t>(row), static_cast<size_t>(m_nSourceSlot))
             .text.empty()))
        return true;
    // The same characters, whatever bytes each language's code page gives them.
    return Decoded(row, m_nSlot, *m_pCodec, true) ==
           Decoded(row, m_nSourceSlot, *m_pSourceCodec, true);
}

int CStringListModel::CountTranslated() const {
    if (m_nSourceSlot < 0)
        return 0;
    int translated = 0;
    const int rows = static_cast<int>(m_pStrings->GetCount());
    for (int row = 0; row < rows; ++row)
        translated += IsUntranslated(row) ? 0 : 1;
    return translated;
}

void CStringListModel::Rebuild() {
    beginResetModel();
    // A set holds at most 65,536 entries, so the count fits an int.
    m_nRows = static_cast<int>(m_pStrings->GetCount());
    endResetModel();
}

void CStringListModel::RefreshTexts() {
    if (m_nRows == 0 || !m_bHasColumns)
        return;
    emit dataChanged(index(0, colText), index(m_nRows - 1, columnCount() - 1),
                     {Qt::DisplayRole, Qt::ForegroundRole});
}

void CStringListModel::RefreshCell(int row, int column) {
    if (row < 0 || row >= m_nRows || !m_bHasColumns)
        return;
    // With a source shown, a changed text may mute or unmute the whole row.
    const QModelIndex first = index(row, m_nSourceSlot >= 0 ? colId : column);
    const QModelIndex last = index(row, m_nSourceSlot >= 0 ? columnCount() - 1 : column);
    emit dataChanged(first, last, {Qt::DisplayRole, Qt::ForegroundRole});
}

int CStringListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nRows;
}

int CStringListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid() || !m_bHasColumns)
        return 0;
    return m_nSourceSlot >= 0 ? columnCount_ + 1 : columnCount_;
}

QVariant CStringListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    const int row = index.row();
    if (role == Qt::ForegroundRole) {
        // Rows past the entries (until the next rebuild) have no text to compare.
        if (m_nSourceSlot < 0 || row >= static_cast<int>(m_pStrings->GetCount()) ||
            !IsUntranslated(row))
            return {};
        return QVariant::fromValue(QColor(0x80, 0x80, 0x80));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};

    if (index.column() == colId) {
        // What the game makes of a row: a catalog's first two are its name and description.
        QString mark;
        QString meaning;
        if (m_nType == kTypeCatalogStrings && row < 2) {
            mark = row == 0 ? QStringLiteral(" name") : QStringLiteral(" desc.");
            meaning = row == 0 ? QStringLiteral("The catalog name")
                               : QStringLiteral("The catalog description");
        } else if (m_nType == kTypePieMenuStrings) {
            mark = QStringLiteral(" menu");
            meaning = QStringLiteral("A pie-menu entry");
        }
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("#%1").arg(row) + mark)
               : meaning.isEmpty()     ? QVariant()
                                       : QVariant(meaning);
    }

    // Rows outlive a load until the next rebuild; a row past the entries shows nothing.
    const QString display = index.column() == colSource
                                ? Decoded(row, m_nSourceSlot, *m_pSourceCodec, true)
                                : Decoded(row, m_nSlot, *m_pCodec, index.column() == colText);
    return role == Qt::ToolTipRole ? display : ToCellText(display);
}

QVariant CStringListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole)
        return {};
    switch (section) {
        case colId:
            return QStringLiteral("ID");
        case colText:
            return QStringLiteral("Text");
        case colDescription:
            return QStringLiteral("Description");
        case colSource:
            return m_nSourceSlot >= 0 ? QStringLiteral("Source") : QVariant();
        default:
            return {};
    }
}

Qt::ItemFlags CStringListModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

QString CStringListModel::ToCellText(const QString& display) {
    QString cell = display;
    cell.replace(QLatin1Char('\n'), QChar(0x21B5));
    return cell;
}
