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

// Cover fit: the picture scaled so that its relatively shorter side just fills the box and the other side
// overflows it. Never smaller than the box; (0, 0) for an empty picture or box.
QSize FitSize(int pictureWidth, int pictureHeight, const Rect& box);

// The size a picture is worked at: at most 2000 pixels on its longer side.
QSize WorkingSize(QSize natural);

// A rectangle of the given size centred in the client (integer division, may start left of or above 0).
Rect CenteredRect(QSize client, QSize size);

}  // namespace fotolume::compose
