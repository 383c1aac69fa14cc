#include "app/AppIcon.h"

QIcon AppIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/tallyglass/icons/tallyglass-16.png"), QSize(16, 16));
    icon.addFile(QStringLiteral(":/tallyglass/icons/tallyglass-32.png"), QSize(32, 32));
    return icon;
}
