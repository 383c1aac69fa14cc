#include "framework/ui/DataExchange.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QTextDocument>

#include <tuple>

void CDataExchange::Text(QPlainTextEdit* edit, QString& value) {
    if (m_bFailed || edit == nullptr) {
        m_bFailed = true;
        return;
    }
    if (m_bSaveAndValidate)
        value = GetEditText(*edit);
    else
        std::ignore = SetEditText(*edit, value);
}

void CDataExchange::Check(QAbstractButton* box, bool& value) {
    if (m_bFailed || box == nullptr) {
        m_bFailed = true;
        return;
    }
    if (m_bSaveAndValidate) {
        value = box->isChecked();
    } else if (box->isChecked() != value) {
        const QSignalBlocker blocker(box);
        box->setChecked(value);
    }
}

void CDataExchange::CBIndex(QComboBox* box, int& value) {
    if (m_bFailed || box == nullptr) {
        m_bFailed = true;
        return;
    }
    if (m_bSaveAndValidate) {
        value = box->currentIndex();
    } else if (box->currentIndex() != value) {
        const QSignalBlocker blocker(box);
        // An index out of range selects nothing, as -1 does.
        box->setCurrentIndex(value >= 0 && value < box->count() ? value : -1);
    }
}

QString CDataExchange::GetEditText(const QPlainTextEdit& edit) {
    QString text = edit.document()->toRawText();
    for (QChar& ch : text) {
        if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
            ch = QLatin1Char('\n');
    }
    return text;
}

bool CDataExchange::SetEditText(QPlainTextEdit& edit, const QString& text) {
    if (GetEditText(edit) == text)
        return false;
    const QSignalBlocker blocker(&edit);
    edit.setPlainText(text);
    return true;
}
