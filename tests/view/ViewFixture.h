#pragma once

#include "document/TallyglassDoc.h"
#include "framework/ui/DataExchange.h"
#include "tests/support/IffBytes.h"
#include "tests/support/RecordingMessageBox.h"
#include "tests/support/TempFolder.h"
#include "view/StringListModel.h"
#include "view/TallyglassView.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

// Payloads of the four STR# layouts.
struct Record {
    uint8_t code;
    std::string text;
    std::string description;
};

inline void PutCount(std::vector<uint8_t>& out, size_t count) {
    out.push_back(static_cast<uint8_t>(count));
    out.push_back(static_cast<uint8_t>(count >> 8));
}

inline void PutZ(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

inline std::vector<uint8_t> MultilingualPayload(const std::vector<Record>& records) {
    std::vector<uint8_t> out = {0xFD, 0xFF};
    PutCount(out, records.size());
    for (const Record& record : records) {
        out.push_back(record.code);
        PutZ(out, record.text);
        PutZ(out, record.description);
    }
    return out;
}

inline std::vector<uint8_t> DescribedPayload(const std::vector<Record>& records) {
    std::vector<uint8_t> out = {0xFE, 0xFF};
    PutCount(out, records.size());
    for (const Record& record : records) {
        PutZ(out, record.text);
        PutZ(out, record.description);
    }
    return out;
}

inline std::vector<uint8_t> BasicPayload(const std::vector<std::string>& texts) {
    std::vector<uint8_t> out = {static_cast<uint8_t>(texts.size() >> 8),
                                static_cast<uint8_t>(texts.size())};
    for (const std::string& text : texts) {
        out.push_back(static_cast<uint8_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
    }
    return out;
}

inline TestChunk StrChunk(uint16_t id, std::string name, std::vector<uint8_t> payload) {
    TestChunk chunk;
    chunk.id = id;
    chunk.name = std::move(name);
    chunk.payload = std::move(payload);
    return chunk;
}

// A document with its view, opened from IFF bytes written to a temporary file, with scripted
// message boxes.
class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_doc.SetMessageBoxService(&m_messages);
        m_doc.AddView(&m_view);
        m_view.show();
    }

    // Opens a file made of chunks as the framework does: open, take the path, initial update.
    void Open(const std::vector<TestChunk>& chunks, const std::string& name = "test.iff") {
        m_strPath = m_folder / name;
        WriteBytes(m_strPath, MakeIffFile(chunks));
        ASSERT_TRUE(m_doc.OnOpenDocument(m_strPath));
        m_doc.SetPathName(m_strPath);
        m_doc.InitialUpdateAllViews();
    }

    void SelectRows(std::initializer_list<int> rows) {
        QItemSelection selection;
        for (const int row : rows) {
            selection.select(Model()->index(row, 0),
                             Model()->index(row, Model()->columnCount() - 1));
        }
        m_view.GetStringList()->selectionModel()->select(selection,
                                                         QItemSelectionModel::ClearAndSelect);
    }

    void SelectResource(int row) { m_view.GetResourceList()->setCurrentRow(row); }
    void ChooseLanguage(int index) { m_view.GetLanguageBox()->setCurrentIndex(index); }

    [[nodiscard]] QAbstractItemModel* Model() const { return m_view.GetStringList()->model(); }
    [[nodiscard]] QString Cell(int row, int column) const {
        return Model()->index(row, column).data().toString();
    }
    [[nodiscard]] std::string Stored(int index, int slot, int part = 0) const {
        std::string out = "<none>";
        static_cast<void>(m_view.Strings().GetString(static_cast<uint16_t>(index),
                                                     static_cast<uint16_t>(slot), part, out));
        return out;
    }
    [[nodiscard]] QString EditText(const QPlainTextEdit* edit) const {
        return CDataExchange::GetEditText(*edit);
    }
    // Types text key by key (QTest::keyClicks knows ASCII only).
    static void Type(QWidget* widget, const QString& text) {
        for (const QChar ch : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(widget, &press);
            QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(widget, &release);
        }
    }
    void PlaceCaret(QPlainTextEdit* edit, int position) {
        QTextCursor cursor = edit->textCursor();
        cursor.setPosition(position);
        edit->setTextCursor(cursor);
    }

    TempFolder m_folder;
    RecordingMessageBox m_messages;
    CTallyglassDoc m_doc;
    CTallyglassView m_view;
    std::string m_strPath;
};
