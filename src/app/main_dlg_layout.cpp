#include "app/main_dlg_layout.h"

#include <algorithm>

namespace fotolume::app {

namespace {

// Scales by screen width / 920 and screen height / 660, truncating. Integer
// arithmetic keeps values such as 528 x 600 / 660 = 480 exact.
struct Scale {
    int width = kFullWidth;
    int height = kDesignHeight;

    int X(int v) const { return static_cast<int>(static_cast<long long>(v) * width / kFullWidth); }
    int Y(int v) const { return static_cast<int>(static_cast<long long>(v) * height / kDesignHeight); }
    QRect Rect(int x, int y, int w, int h) const { return {X(x), Y(y), X(w), Y(h)}; }
};

QMap<int, QRect> ComputeControls(const QSize& screen, int textHeight) {
    const int t = textHeight;
    QMap<int, QRect> c;

    if (screen.width() >= kWideScreenWidth) {
        c[ids::kPreview] = {17, 180, 505, 355};
        c[ids::kPreviewGroup] = {2, 155, 537, 400};
        c[ids::kFolderTree] = {2, 11, 535, 138};
        c[ids::kAlbumGroup] = {645, 11, 254, 543};
        c[ids::kAlbumList] = {647, 98, 246, 430 - t};
        c[ids::kTotals] = {650, 528 - t, 243, t};
        c[ids::kProgress] = {647, 528, 248, 23};
        c[ids::kStatusIcon] = {542, 14, 100, 45};
        c[ids::kZoomIn] = {540, 202, 105, 23};
        c[ids::kZoomOut] = {540, 225, 105, 23};
        c[ids::kRect] = {540, 247, 105, 23};
        c[ids::kRotateLeft] = {540, 270, 105, 23};
        c[ids::kRotateRight] = {540, 292, 105, 23};
        c[ids::kAdd] = {540, 315, 105, 23};
        c[ids::kSetting] = {540, 338, 105, 23};
        c[ids::kSave] = {647, 27, 123, 23};
        c[ids::kSaveAll] = {771, 27, 123, 23};
        c[ids::kSelectAll] = {647, 50, 123, 23};
        c[ids::kDelete] = {771, 50, 123, 23};
        c[ids::kSynchronize] = {647, 74, 123, 23};
        c[ids::kExit] = {771, 74, 123, 23};
        return c;
    }

    const Scale s{screen.width(), screen.height()};
    c[ids::kPreview] = s.Rect(17, 180, 505, 355);
    c[ids::kPreviewGroup] = s.Rect(2, 156, 537, 399);
    c[ids::kFolderTree] = s.Rect(2, 11, 535, 138);
    c[ids::kAlbumGroup] = s.Rect(645, 11, 254, 543);
    c[ids::kAlbumList] = {s.X(645), s.Y(98), s.X(246), s.Y(528 - 98) - t};
    c[ids::kTotals] = {s.X(650), s.Y(528) - t, s.X(243), t};
    c[ids::kProgress] = s.Rect(647, 528, 248, 23);
    c[ids::kStatusIcon] = {s.X(542), s.Y(14), s.X(100), s.X(45)};
    c[ids::kZoomIn] = s.Rect(540, 99, 105, 23);
    c[ids::kZoomOut] = s.Rect(540, 122, 105, 23);
    c[ids::kRect] = s.Rect(540, 144, 105, 23);
    c[ids::kRotateLeft] = s.Rect(540, 167, 105, 23);
    c[ids::kRotateRight] = s.Rect(540, 189, 105, 23);
    c[ids::kAdd] = s.Rect(540, 212, 105, 23);
    c[ids::kSetting] = s.Rect(540, 264, 105, 23);
    c[ids::kSave] = s.Rect(647, 27, 123, 23);
    c[ids::kSaveAll] = s.Rect(771, 27, 123, 23);
    c[ids::kSelectAll] = s.Rect(647, 50, 123, 23);
    c[ids::kDelete] = s.Rect(771, 50, 123, 23);
    c[ids::kSynchronize] = s.Rect(647, 74, 123, 23);
    c[ids::kExit] = s.Rect(771, 74, 123, 23);
    return c;
}

// The window's size once its controls are placed.
QSize FittedWindow(const QSize& screen, const QMap<int, QRect>& controls, int statusBarHeight) {
    int bottom = 0;
    for (const QRect& rect : controls) bottom = std::max(bottom, rect.y() + rect.height());
    const int width = screen.width() >= kWideScreenWidth ? kFullWidth : screen.width();
    return {width, bottom + kStatusGap + statusBarHeight};
}

}  // namespace

MainLayout ComputeMainLayout(const QSize& screen, int textHeight, int statusBarHeight) {
    MainLayout layout;
    layout.controls = ComputeControls(screen, textHeight);
    layout.window = FittedWindow(screen, layout.controls, statusBarHeight);
    return layout;
}

QPoint ComputeLayoutPosition(const QSize& desktop, const QSize& before, bool narrowScreen) {
    if (narrowScreen && desktop.width() < before.width()) return {0, 0};
    return {(desktop.width() - before.width()) / 2, (desktop.height() - before.height()) / 2};
}

}  // namespace fotolume::app
