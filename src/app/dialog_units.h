// CDialogUnits: dialog units of a small dialog turned into pixels of its font.
#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QSize>

namespace fotolume::app {

// Dialog units of a small dialog: a quarter of the font's average character
// width across, an eighth of its height down.
class CDialogUnits {
public:
    explicit CDialogUnits(const QFontMetrics& metrics)
        : m_baseX(qMax(
              1,
              (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 +
               1) /
                  2)),
          m_baseY(qMax(1, metrics.height())) {}

    int X(int units) const { return units * m_baseX / 4; }
    int Y(int units) const { return units * m_baseY / 8; }
    QRect Rect(int x, int y, int width, int height) const { return {X(x), Y(y), X(width), Y(height)}; }
    QSize Size(int width, int height) const { return {X(width), Y(height)}; }

private:
    int m_baseX;
    int m_baseY;
};

}  // namespace fotolume::app
