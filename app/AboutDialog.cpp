#include "app/AboutDialog.h"

#include "app/AppIcon.h"
#include "framework/ui/DialogUnits.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

namespace {

// Template 100, in dialog units: x, y, width, height.
constexpr QRect kDialog{0, 0, 235, 55};
constexpr QRect kIcon{11, 17, 20, 20};
constexpr QRect kVersion{40, 10, 119, 8};
constexpr QRect kNotice{40, 23, 119, 8};
constexpr QRect kOk{178, 7, 50, 14};

}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      m_pIcon(new QLabel(this)),
      m_pVersion(new QLabel(QStringLiteral("Tallyglass Version 1.0"), this)),
      m_pNotice(new QLabel(QStringLiteral("Copyright \u00A9 2026, MIT License"), this)),
      m_pOk(new QPushButton(QStringLiteral("OK"), this)) {
    setWindowTitle(QStringLiteral("About Tallyglass"));
    setModal(true);
    const CDialogUnits units(font());
    setFixedSize(units.MapRect(kDialog).size());

    // An icon control shows the icon at its own size, anchored at the control's corner.
    const QRect iconRect = units.MapRect(kIcon);
    const int side = 32;
    m_pIcon->setPixmap(AppIcon().pixmap(side, side));
    m_pIcon->setGeometry(iconRect.x(), iconRect.y(), side, side);

    // The version line is plain text: no mnemonic, no markup.
    m_pVersion->setTextFormat(Qt::PlainText);
    m_pVersion->setGeometry(units.MapRect(kVersion));
    m_pNotice->setTextFormat(Qt::PlainText);
    m_pNotice->setGeometry(units.MapRect(kNotice));

    m_pOk->setGeometry(units.MapRect(kOk));
    m_pOk->setDefault(true);
    m_pOk->setAutoDefault(true);
    m_pOk->setFocus();
    connect(m_pOk, &QPushButton::clicked, this, &QDialog::accept);
}
