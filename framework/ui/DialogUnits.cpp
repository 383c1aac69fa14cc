#include "framework/ui/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>

#include <algorithm>

namespace {

// value * numerator / denominator rounded to the nearest integer, halves away from zero.
int MulDivRound(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

CDialogUnits::CDialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    // The average of the 52 Latin letters, rounded, as the dialog manager measures it.
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    m_nBaseWidth = std::max(1, (letters / 26 + 1) / 2);
    m_nBaseHeight = std::max(1, metrics.height());
}

CDialogUnits::CDialogUnits(int baseWidth, int baseHeight)
    : m_nBaseWidth(std::max(1, baseWidth)), m_nBaseHeight(std::max(1, baseHeight)) {}

int CDialogUnits::MapX(int x) const {
    return MulDivRound(x, m_nBaseWidth, 4);
}

int CDialogUnits::MapY(int y) const {
    return MulDivRound(y, m_nBaseHeight, 8);
}

QRect CDialogUnits::MapRect(const QRect& units) const {
    const int left = MapX(units.x());
    const int top = MapY(units.y());
    const int right = MapX(units.x() + units.width());
    const int bottom = MapY(units.y() + units.height());
    return QRect(left, top, right - left, bottom - top);
}

QSize CDialogUnits::MapSize(const QSize& units) const {
    return QSize(MapX(units.width()), MapY(units.height()));
}
