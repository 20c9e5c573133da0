// Client-pixel geometry shared by the preview, both programs and the command line.
#pragma once

#include <QRect>
#include <QSize>

namespace fotolume::compose {

// A rectangle in the preview's client pixels: left and top lie inside it, right and bottom just outside.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    QSize Size() const { return {Width(), Height()}; }
    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    QRect ToQRect() const { return {left, top, Width(), Height()}; }
    static Rect FromOrigin(int left, int top, int width, int height) {
        return {left, top, left + width, top + height};
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The widest and tallest panel composed for. A frame's header that names more is refused when it is
// read; composing for it would take gigabytes.
inline constexpr int kMaxPanelSide = 2048;

// Whether pictures are composed for a panel of this size: neither side below 1 nor above kMaxPanelSide.
// Nothing is allocated by a panel's size before this holds.
constexpr bool PanelComposable(int width, int height) {
    return width >= 1 && height >= 1 && width <= kMaxPanelSide && height <= kMaxPanelSide;
}

// Cover fit: the picture scaled so that its relatively shorter side just fills the box and the other side
// overflows it. Never smaller than the box; (0, 0) for an empty picture or box.
QSize FitSize(int pictureWidth, int pictureHeight, const Rect& box);

// The size a picture is worked at: at most 2000 pixels on its longer side.
QSize WorkingSize(QSize natural);

// A rectangle of the given size centred in the client (integer division, may start left of or above 0).
Rect CenteredRect(QSize client, QSize size);

}  // namespace fotolume::compose
