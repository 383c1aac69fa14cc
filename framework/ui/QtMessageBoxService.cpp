#include "framework/ui/QtMessageBoxService.h"

#include <QWidget>

CQtMessageBoxService::CQtMessageBoxService(QWidget* parent, QString appTitle)
    : m_pParent(parent), m_strAppTitle(std::move(appTitle)) {}

int CQtMessageBoxService::Show(const std::string& text, const std::string& caption, unsigned type) {
    const std::unique_ptr<QMessageBox> box = CreateBox(text, caption, type);
    box->exec();
    return ToResult(box->standardButton(box->clickedButton()), type);
}

std::unique_ptr<QMessageBox> CQtMessageBoxService::CreateBox(const std::string& text,
                                                             const std::string& caption,
                                                             unsigned type) const {
    auto box = std::make_unique<QMessageBox>(m_pParent.data());
    box->setWindowTitle(caption.empty() ? m_strAppTitle : QString::fromStdString(caption));
    box->setText(QString::fromStdString(text));
    box->setTextFormat(Qt::PlainText);

    switch (type & MB_ICONMASK) {
        case MB_ICONSTOP:
            box->setIcon(QMessageBox::Critical);
            break;
        case MB_ICONEXCLAMATION:
            box->setIcon(QMessageBox::Warning);
            break;
        case MB_ICONQUESTION:
            box->setIcon(QMessageBox::Question);
            break;
        case MB_ICONINFORMATION:
            box->setIcon(QMessageBox::Information);
            break;
        default:
            box->setIcon(QMessageBox::NoIcon);
            break;
    }

    const unsigned defaultButton = type & MB_DEFMASK;
    switch (type & MB_BUTTONMASK) {
        case MB_YESNO:
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box->setDefaultButton(defaultButton == MB_DEFBUTTON2 ? QMessageBox::No
                                                                 : QMessageBox::Yes);
            box->setEscapeButton(QMessageBox::No);
            break;
        case MB_YESNOCANCEL:
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box->setDefaultButton(defaultButton == MB_DEFBUTTON2   ? QMessageBox::No
                                  : defaultButton == MB_DEFBUTTON3 ? QMessageBox::Cancel
                                                                   : QMessageBox::Yes);
            box->setEscapeButton(QMessageBox::Cancel);
            break;
        default:
            box->setStandardButtons(QMessageBox::Ok);
            box->setDefaultButton(QMessageBox::Ok);
            box->setEscapeButton(QMessageBox::Ok);
            break;
    }
    return box;
}

int CQtMessageBoxService::ToResult(int button, unsigned type) {
    switch (type & MB_BUTTONMASK) {
        case MB_YESNO:
            return button == QMessageBox::Yes ? IDYES : IDNO;
        case MB_YESNOCANCEL:
            if (button == QMessageBox::Yes)
                return IDYES;
            return button == QMessageBox::No ? IDNO : IDCANCEL;
        default:
            return IDOK;
    }
}
