// Control ids of the main window and where the window and its controls go on a given screen.
#pragma once

#include <QMap>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace fotolume::app {

// Control ids of the main window; each control carries its id as its object name.
namespace ids {
constexpr int kExit = 2;
constexpr int kPreview = 123;
constexpr int kSynchronize = 1001;
constexpr int kZoomIn = 1004;
constexpr int kAlbumList = 1005;
constexpr int kDelete = 1006;
constexpr int kZoomOut = 1008;
constexpr int kSelectAll = 1009;
constexpr int kRotateRight = 1011;
constexpr int kRect = 1012;
constexpr int kStatusBar = 1013;
constexpr int kTotals = 1017;
constexpr int kAdd = 1019;
constexpr int kPreviewGroup = 1020;
constexpr int kRotateLeft = 1023;
constexpr int kFolderTree = 1025;
constexpr int kProgress = 1027;
constexpr int kSave = 1033;
constexpr int kSaveAll = 1034;
constexpr int kStatusIcon = 1039;
constexpr int kAlbumGroup = 1042;
constexpr int kSetting = 1048;
}  // namespace ids

// Where the window and every control go once the opening animation ends.
struct MainLayout {
    QSize window;
    QMap<int, QRect> controls;
};

// Screens at least this wide take the layout in plain pixels; narrower ones
// scale it to their size.
constexpr int kWideScreenWidth = 1024;
constexpr int kFullWidth = 920;
constexpr int kFullHeight = 630;
// The screen height the narrow-screen layout was drawn for.
constexpr int kDesignHeight = 660;
// Between the lowest control and the status bar.
constexpr int kStatusGap = 4;

// textHeight is three times the height of the letter "f" in the window's
// font. The window is as wide as the table says and ends just below its
// lowest control with the status bar (statusBarHeight high): the table's
// heights counted a title bar and borders that a Linux window manager draws
// outside the window.
MainLayout ComputeMainLayout(const QSize& screen, int textHeight, int statusBarHeight);

// The window's position after the layout: centred by the size it had before
// the layout; on a narrow screen a desktop narrower than that size puts it at
// the top-left corner.
QPoint ComputeLayoutPosition(const QSize& desktop, const QSize& before, bool narrowScreen);

}  // namespace fotolume::app
