#pragma once

#include <QString>

class QAbstractButton;
class QComboBox;
class QPlainTextEdit;

// One transfer between a form's controls and the values bound to them, in one direction. A form's
// DoDataExchange calls one binding per value; each binding copies in the transfer's direction.
// Writing into a control blocks the control's signals, so the notifications a transfer raises
// never reach a handler, and leaves a control that already shows the value untouched.
class CDataExchange {
public:
    explicit CDataExchange(bool saveAndValidate) : m_bSaveAndValidate(saveAndValidate) {}

    // A multi-line edit and its text; a line break is '\n' on both sides.
    void Text(QPlainTextEdit* edit, QString& value);
    // A check box and whether it is checked.
    void Check(QAbstractButton* box, bool& value);
    // A drop-down list and its selected index; -1 is none.
    void CBIndex(QComboBox* box, int& value);

    // Whether a binding met a control that does not exist; the transfer then stops short.
    [[nodiscard]] bool Failed() const { return m_bFailed; }

    // The edit's text with every paragraph or line separator as '\n' and nothing else replaced
    // (QPlainTextEdit::toPlainText would also turn a no-break space into a space).
    [[nodiscard]] static QString GetEditText(const QPlainTextEdit& edit);
    // Replaces the edit's text unless it already equals text (caret, selection and scroll kept).
    // Signals of the edit are blocked meanwhile. Returns whether the text was replaced.
    static bool SetEditText(QPlainTextEdit& edit, const QString& text);

    // true: controls to values; false: values to controls.
    const bool m_bSaveAndValidate;

private:
    bool m_bFailed = false;
};
