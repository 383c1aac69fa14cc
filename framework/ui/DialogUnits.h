#pragma once

#include <QRect>
#include <QSize>

class QFont;

// Converts dialog-template units into pixels for a font, the way the classic dialog manager does:
// one horizontal unit is a quarter of the font's average character width, one vertical unit an
// eighth of its height. Controls placed this way keep their template's arrangement at any font.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFont& font);
    CDialogUnits(int baseWidth, int baseHeight);

    [[nodiscard]] int GetBaseWidth() const { return m_nBaseWidth; }
    [[nodiscard]] int GetBaseHeight() const { return m_nBaseHeight; }

    [[nodiscard]] int MapX(int x) const;
    [[nodiscard]] int MapY(int y) const;
    // Maps a rectangle given as x, y, width, height; its edges are mapped, so controls that touch
    // in the template still touch.
    [[nodiscard]] QRect MapRect(const QRect& units) const;
    [[nodiscard]] QSize MapSize(const QSize& units) const;

private:
    int m_nBaseWidth;
    int m_nBaseHeight;
};
