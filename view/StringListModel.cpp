#include "view/StringListModel.h"

#include "strings/StringSet.h"
#include "strings/TextCodec.h"

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

void CStringListModel::Rebuild() {
    beginResetModel();
    // A set holds at most 65,536 entries, so the count fits an int.
    m_nRows = static_cast<int>(m_pStrings->GetCount());
    endResetModel();
}

void CStringListModel::RefreshTexts() {
    if (m_nRows == 0 || !m_bHasColumns)
        return;
    emit dataChanged(index(0, colText), index(m_nRows - 1, colDescription), {Qt::DisplayRole});
}

void CStringListModel::RefreshCell(int row, int column) {
    if (row < 0 || row >= m_nRows || !m_bHasColumns)
        return;
    const QModelIndex cell = index(row, column);
    emit dataChanged(cell, cell, {Qt::DisplayRole});
}

int CStringListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nRows;
}

int CStringListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_bHasColumns ? 0 : columnCount_;
}

QVariant CStringListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};

    const int row = index.row();
    if (index.column() == colId)
        return role == Qt::DisplayRole ? QVariant(QStringLiteral("#%1").arg(row)) : QVariant();

    // Rows outlive a load until the next rebuild; a row past the entries shows nothing.
    const StringSlot slot =
        m_pStrings->GetSlot(static_cast<size_t>(row), static_cast<size_t>(m_nSlot));
    const std::string_view bytes = index.column() == colText ? slot.text : slot.description;
    const QString display =
        QString::fromStdU16String(CTextCodec::ToDisplay(m_pCodec->Decode(bytes)));
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
