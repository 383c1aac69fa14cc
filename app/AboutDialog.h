#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About box (dialog template 100): the application icon, the version line, one more line and a
// default OK button. OK, Escape and the close box close it; it has no state of its own.
class CAboutDialog : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDialog(QWidget* parent = nullptr);

    [[nodiscard]] QLabel* IconLabel() const { return m_pIcon; }
    [[nodiscard]] QLabel* VersionLabel() const { return m_pVersion; }
    [[nodiscard]] QLabel* NoticeLabel() const { return m_pNotice; }
    [[nodiscard]] QPushButton* OkButton() const { return m_pOk; }

private:
    QLabel* m_pIcon;
    QLabel* m_pVersion;
    QLabel* m_pNotice;
    QPushButton* m_pOk;
};
