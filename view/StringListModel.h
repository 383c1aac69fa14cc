#pragma once

#include <QAbstractTableModel>

#include "iff/ChunkTypes.h"

class CStringSet;
class CTextCodec;

// The string list's rows over the working copy of the document's editing model: column 0 the
// entry's number "#k", column 1 its text and column 2 its description in one language slot, decoded
// when a row is painted. The number of rows changes only through Rebuild, so refreshing every row's
// text is a single dataChanged whatever the number of entries.
class CStringListModel : public QAbstractTableModel {
public:
    // colSource exists only while a source language is shown.
    enum Column { colId = 0, colText = 1, colDescription = 2, columnCount_ = 3, colSource = 3 };

    explicit CStringListModel(const CStringSet& strings, QObject* parent = nullptr);

    // The set the rows show from now on; the caller rebuilds the rows.
    void SetStrings(const CStringSet& strings) { m_pStrings = &strings; }

    // The columns exist only once created (the view creates them once for its life).
    void CreateColumns();
    [[nodiscard]] bool HasColumns() const { return m_bHasColumns; }

    // The slot and codec the text columns show; nothing is repainted until RefreshTexts.
    void SetSlot(int slot, const CTextCodec& codec);
    [[nodiscard]] int GetSlot() const { return m_nSlot; }
    // The type of the resource shown: a catalog's rows 0 and 1 are marked as its name and
    // description, a pie menu's rows as its entries.
    void SetResourceType(ChunkType type) { m_nType = type; }
    // Shows the texts of a source language in a fourth column, and mutes the rows whose text is
    // empty or still the source's (work a translator has left); -1 hides the column. Inserts or
    // removes the column at once.
    void SetSource(int slot, const CTextCodec& codec);
    [[nodiscard]] int GetSourceSlot() const { return m_nSourceSlot; }
    // Entries whose text in the shown slot is filled and differs from the source's.
    [[nodiscard]] int CountTranslated() const;
    // Whether a row's text still awaits translation: empty, the source's very text, or a text
    // without a source to translate.
    [[nodiscard]] bool IsUntranslated(int row) const;

    // Rows anew, one per entry of the working copy, nothing selected.
    void Rebuild();
    // Every row's text and description again, as one dataChanged.
    void RefreshTexts();
    // One cell of a row again.
    void RefreshCell(int row, int column);

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index,
                                int role = Qt::DisplayRole) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation,
                                      int role = Qt::DisplayRole) const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A stored text as one line of the list: its line breaks shown as a return symbol.
    [[nodiscard]] static QString ToCellText(const QString& display);

private:
    const CStringSet* m_pStrings;
    ChunkType m_nType = 0;
    [[nodiscard]] QString Decoded(int row, int slot, const CTextCodec& codec, bool text) const;

    const CTextCodec* m_pCodec;
    const CTextCodec* m_pSourceCodec = nullptr;
    int m_nSourceSlot = -1;
    int m_nSlot = 0;
    int m_nRows = 0;
    bool m_bHasColumns = false;
};
