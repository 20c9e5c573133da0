// Fit, placement, zoom, rotation and crop of the full window's preview (505 x 355 client).
#include <gtest/gtest.h>

#include "compose/composition.h"
#include "tests/support/qt_pictures.h"

namespace fotolume::compose {
namespace {

using testsupport::PatternPicture;

const auto Solid = testsupport::SolidPicture;

// Four quadrants: red, green / blue, yellow.
QImage Quadrants(int w, int h) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool right = x >= w / 2;
            const bool bottom = y >= h / 2;
            image.setPixel(x, y, bottom ? (right ? qRgb(255, 255, 0) : qRgb(0, 0, 255))
                                        : (right ? qRgb(0, 255, 0) : qRgb(255, 0, 0)));
        }
    }
    return image;
}

TEST(FitSize, CoversTheBoxWithTheShorterSide) {
    EXPECT_EQ(FitSize(640, 480, Rect{0, 0, 128, 128}), QSize(170, 128));
    EXPECT_EQ(FitSize(100, 50, Rect{0, 0, 128, 128}), QSize(256, 128));
    // Exact ratios must not round below the box.
    EXPECT_EQ(FitSize(256, 256, Rect{10, 10, 138, 138}), QSize(128, 128));
    EXPECT_EQ(FitSize(1280, 960, Rect{0, 0, 320, 240}), QSize(320, 240));
    EXPECT_EQ(FitSize(0, 480, Rect{0, 0, 128, 128}), QSize(0, 0));
    EXPECT_EQ(FitSize(640, 480, Rect{0, 0, 0, 128}), QSize(0, 0));
    // Where plain division would land a hair below the box (209 / (209 / 90) = 89.999...).
    EXPECT_EQ(FitSize(28, 14, Rect{0, 0, 100, 100}).height(), 100);
    for (int bw = 100; bw < 400; bw += 37) {
        for (int bh = 90; bh < 300; bh += 41) {
            for (int h = 1; h < 3000; h += 71) {
                const QSize fit = FitSize(292, h, Rect{0, 0, bw, bh});
                ASSERT_GE(fit.width(), bw) << h << " in " << bw << "x" << bh;
                ASSERT_GE(fit.height(), bh) << h << " in " << bw << "x" << bh;
            }
        }
    }
    // A picture far smaller than the box still comes out covering it, not negative.
    const QSize tiny = FitSize(1, 1, Rect{0, 0, 60000, 60000});
    EXPECT_GE(tiny.width(), 60000);
    EXPECT_GE(tiny.height(), 60000);
}

TEST(WorkingSize, LongerSideAtMost2000) {
    EXPECT_EQ(WorkingSize({4000, 3000}), QSize(2000, 1500));
    EXPECT_EQ(WorkingSize({1000, 2500}), QSize(800, 2000));
    EXPECT_EQ(WorkingSize({3000, 3000}), QSize(2000, 2000));
    EXPECT_EQ(WorkingSize({2000, 1999}), QSize(2000, 1999));
    // A side that would come out 0 keeps its natural value.
    EXPECT_EQ(WorkingSize({5000, 1}), QSize(2000, 1));
    EXPECT_EQ(WorkingSize({1, 5000}), QSize(1, 2000));
}

TEST(Composition, WideVgaOnSquarePanelMovesOnlySideways) {
    CComposition c;
    c.SetRectSize(128, 128);
    ASSERT_TRUE(c.SetPictureImage(Solid(640, 480, qRgb(90, 90, 90))));
    EXPECT_EQ(c.DisplayRect(), (Rect{167, 113, 337, 241}));
    EXPECT_EQ(c.CropRect(), (Rect{188, 113, 316, 241}));

    c.MoveRect(-1000, -1000);
    const Rect leftmost = c.CropRect();
    c.MoveRect(1000, 1000);
    const Rect rightmost = c.CropRect();
    EXPECT_EQ(leftmost.left, 167);
    EXPECT_EQ(rightmost.left - leftmost.left, 42);
    EXPECT_EQ(leftmost.top, 113);
    EXPECT_EQ(rightmost.top, 113);

    // Near the edges, not only far past them.
    c.MoveRect(209 + 3, 113);
    EXPECT_EQ(c.CropRect().left, 209);
    c.MoveRect(209 - 3, 113);
    EXPECT_EQ(c.CropRect().left, 206);
    c.MoveRect(167 - 1, 113);
    EXPECT_EQ(c.CropRect().left, 167);
    c.MoveRect(167 + 1, 113);
    EXPECT_EQ(c.CropRect().left, 168);
    EXPECT_EQ(c.CropRect().Size(), QSize(128, 128));
}

TEST(Composition, RightAndBottomWinWhenThePictureIsSmallerThanTheRectangle) {
    CComposition c;
    c.SetRectSize(800, 600);
    ASSERT_TRUE(c.SetPictureImage(Solid(640, 480, qRgb(0, 0, 200))));
    EXPECT_EQ(c.DisplayRect(), (Rect{0, 0, 495, 355}));
    c.MoveRect(-1000, -1000);
    EXPECT_EQ(c.CropRect(), Rect::FromOrigin(495 - 800, 355 - 600, 800, 600));
}

TEST(Composition, LargePictureIsWorkedAt2000) {
    CComposition c;
    ASSERT_TRUE(c.SetPictureImage(Solid(4000, 3000, qRgb(10, 20, 30))));
    EXPECT_EQ(c.WorkSize(), QSize(2000, 1500));
}

TEST(Composition, LongStripIsSqueezedFromTheLeftEdge) {
    CComposition c;
    c.SetRectSize(128, 128);
    ASSERT_TRUE(c.SetPictureImage(Solid(1500, 50, qRgb(200, 10, 10))));
    EXPECT_EQ(c.DisplayRect(), (Rect{0, 113, 495, 241}));
    // The rectangle still lies on the picture, so the crop has no hole.
    const QImage crop = c.GetCropBitmap();
    ASSERT_EQ(crop.size(), QSize(128, 128));
    EXPECT_TRUE(testsupport::Near(crop.pixel(0, 0), qRgb(200, 10, 10), 2));
    EXPECT_TRUE(testsupport::Near(crop.pixel(127, 127), qRgb(200, 10, 10), 2));

    // A tall strip is squeezed to the client height instead.
    ASSERT_TRUE(c.SetPictureImage(Solid(50, 1500, qRgb(200, 10, 10))));
    EXPECT_EQ(c.DisplayRect(), (Rect{188, 0, 316, 355}));
}

TEST(Composition, ZoomStaysBetweenRectangleAndClient) {
    CComposition c;
    c.SetRectSize(128, 128);
    ASSERT_TRUE(c.SetPictureImage(PatternPicture(640, 480)));
    const Rect start = c.DisplayRect();

    // The shorter side already equals the rectangle: zooming out is refused and changes nothing.
    EXPECT_FALSE(c.Zoom(-1));
    EXPECT_EQ(c.DisplayRect(), start);

    int steps = 0;
    int lastShort = start.Height();
    while (c.Zoom(+1)) {
        ++steps;
        EXPECT_NEAR(c.DisplayRect().Height() - lastShort, 30, 1);
        lastShort = c.DisplayRect().Height();
        EXPECT_LE(c.DisplayRect().Width(), 505);
        EXPECT_LE(c.DisplayRect().Height(), 355);
        EXPECT_EQ(c.CropRect(), CenteredRect({505, 355}, {128, 128}));
        ASSERT_LT(steps, 20);
    }
    EXPECT_EQ(steps, 7);
    const Rect biggest = c.DisplayRect();
    EXPECT_EQ(biggest, (Rect{27, 8, 477, 346}));  // 450 x 338; the next step, 490 x 368, is too tall
    EXPECT_EQ(c.DisplaySurface().size(), biggest.Size());

    // A move of the rectangle is lost by a zoom step.
    c.MoveRect(0, 0);
    EXPECT_TRUE(c.Zoom(-1));
    EXPECT_EQ(c.CropRect(), CenteredRect({505, 355}, {128, 128}));
    // Setting the mode again goes back to the cover fit; a rectangle moved over the zoomed picture
    // comes back onto it.
    c.MoveRect(0, 0);
    c.SetRectMode(true);
    EXPECT_EQ(c.DisplayRect(), start);
    EXPECT_EQ(c.CropRect(), CenteredRect({505, 355}, {128, 128}));

    // A wide panel: zooming out is refused by the width, the height still being larger than the panel's.
    CComposition wide;
    wide.SetRectSize(200, 100);
    ASSERT_TRUE(wide.SetPictureImage(PatternPicture(400, 300)));
    EXPECT_EQ(wide.DisplayRect().Size(), QSize(200, 150));
    EXPECT_FALSE(wide.Zoom(-1));
    EXPECT_EQ(wide.DisplayRect().Size(), QSize(200, 150));

    c.SetRectMode(false);
    EXPECT_FALSE(c.Zoom(+1));
    EXPECT_FALSE(c.Zoom(-1));
}

TEST(Composition, RotationIsExact) {
    CComposition c;
    c.SetRectSize(128, 128);
    const QImage original = PatternPicture(640, 480);
    ASSERT_TRUE(c.SetPictureImage(original));

    ASSERT_TRUE(c.Rotate(true));
    ASSERT_EQ(c.WorkSize(), QSize(480, 640));
    // Left: (x, y) goes to (y, width - 1 - x).
    EXPECT_EQ(c.WorkBitmap().pixel(7, 639 - 300), original.pixel(300, 7));
    EXPECT_EQ(c.DisplayRect().Size(), QSize(128, 170));

    ASSERT_TRUE(c.Rotate(false));
    EXPECT_EQ(c.WorkBitmap(), original.convertToFormat(QImage::Format_RGB32));

    ASSERT_TRUE(c.Rotate(false));
    // Right: (x, y) goes to (height - 1 - y, x).
    EXPECT_EQ(c.WorkBitmap().pixel(479 - 7, 300), original.pixel(300, 7));
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(c.Rotate(false));
    }
    EXPECT_EQ(c.WorkBitmap(), original.convertToFormat(QImage::Format_RGB32));
}

TEST(Composition, CropIsWhatThePreviewShows) {
    CComposition c;
    c.SetRectSize(128, 128);
    ASSERT_TRUE(c.SetPictureImage(PatternPicture(640, 480)));
    ASSERT_TRUE(c.Zoom(+1));
    c.MoveRect(c.DisplayRect().left + 13, c.DisplayRect().top + 5);
    const Rect& crop = c.CropRect();
    const Rect& display = c.DisplayRect();
    const QImage expected =
        c.DisplaySurface().copy(crop.left - display.left, crop.top - display.top, 128, 128);
    EXPECT_EQ(c.GetCropBitmap(), expected);
    // And what the view paints under the rectangle, inside its outline.
    const QImage view = c.RenderView(Qt::lightGray);
    EXPECT_EQ(view.copy(crop.left + 1, crop.top + 1, 126, 126), expected.copy(1, 1, 126, 126));
}

TEST(Composition, RectangleOffStretchesTheWholePicture) {
    CComposition c;
    c.SetRectSize(128, 160);
    ASSERT_TRUE(c.SetPictureImage(Quadrants(640, 480)));
    c.SetRectMode(false);
    EXPECT_EQ(c.DisplayRect(), c.CropRect());
    const QImage crop = c.GetCropBitmap();
    ASSERT_EQ(crop.size(), QSize(128, 160));
    EXPECT_TRUE(testsupport::Near(crop.pixel(2, 2), qRgb(255, 0, 0), 2));
    EXPECT_TRUE(testsupport::Near(crop.pixel(125, 2), qRgb(0, 255, 0), 2));
    EXPECT_TRUE(testsupport::Near(crop.pixel(2, 157), qRgb(0, 0, 255), 2));
    EXPECT_TRUE(testsupport::Near(crop.pixel(125, 157), qRgb(255, 255, 0), 2));
    // Quadrant borders land at half the panel size: the picture is not cropped, only stretched.
    EXPECT_TRUE(testsupport::Near(crop.pixel(61, 77), qRgb(255, 0, 0), 2));
    EXPECT_TRUE(testsupport::Near(crop.pixel(66, 82), qRgb(255, 255, 0), 2));

    // Back on, the picture covers the rectangle again.
    c.SetRectMode(true);
    EXPECT_EQ(c.DisplayRect().Size(), FitSize(640, 480, c.CropRect()));
}

TEST(Composition, RectSizeRecentresAndKeepsThePictureUnderIt) {
    CComposition c;
    c.SetRectSize(320, 240);
    EXPECT_EQ(c.CropRect(), (Rect{92, 57, 412, 297}));

    CComposition shown;
    shown.SetRectSize(128, 128);
    ASSERT_TRUE(shown.SetPictureImage(Solid(640, 480, qRgb(0, 200, 0))));
    shown.SetRectSize(320, 240);
    EXPECT_EQ(shown.CropRect(), (Rect{92, 57, 412, 297}));
    const Rect& d = shown.DisplayRect();
    EXPECT_LE(d.left, 92);
    EXPECT_LE(d.top, 57);
    EXPECT_GE(d.right, 412);
    EXPECT_GE(d.bottom, 297);
    const QImage crop = shown.GetCropBitmap();
    EXPECT_TRUE(testsupport::Near(crop.pixel(0, 0), qRgb(0, 200, 0), 2));
    EXPECT_TRUE(testsupport::Near(crop.pixel(319, 239), qRgb(0, 200, 0), 2));
}

TEST(Composition, PanelLargerThanClientStillGivesPanelSize) {
    CComposition c;
    c.SetRectSize(800, 600);
    ASSERT_TRUE(c.SetPictureImage(Solid(640, 480, qRgb(0, 0, 200))));
    const QImage crop = c.GetCropBitmap();
    ASSERT_EQ(crop.size(), QSize(800, 600));
    // Where the view has no picture the crop is black, never stale memory.
    EXPECT_EQ(crop.pixel(799, 599), qRgb(0, 0, 0));
    EXPECT_TRUE(testsupport::Near(crop.pixel(400, 300), qRgb(0, 0, 200), 2));

    // Composed without a window, the client grows with the panel and the crop is all picture.
    EXPECT_EQ(CComposition::ClientSizeFor({128, 128}), QSize(505, 355));
    CComposition headless(CComposition::ClientSizeFor({800, 600}));
    headless.SetRectSize(800, 600);
    ASSERT_TRUE(headless.SetPictureImage(Solid(1500, 50, qRgb(0, 0, 200))));
    const QImage full = headless.GetCropBitmap();
    EXPECT_TRUE(testsupport::Near(full.pixel(0, 0), qRgb(0, 0, 200), 2));
    EXPECT_TRUE(testsupport::Near(full.pixel(799, 599), qRgb(0, 0, 200), 2));
}

TEST(Composition, NoPictureRefusesEverything) {
    CComposition c;
    EXPECT_FALSE(c.HasPicture());
    EXPECT_FALSE(c.Zoom(+1));
    EXPECT_FALSE(c.Rotate(true));
    EXPECT_TRUE(c.GetCropBitmap().isNull());

    ASSERT_TRUE(c.SetPictureImage(Solid(64, 64, qRgb(1, 2, 3)), QStringLiteral("a.png")));
    EXPECT_FALSE(c.SetPicture(QStringLiteral("/nonexistent/picture.jpg")));
    EXPECT_FALSE(c.HasPicture());
    EXPECT_TRUE(c.PicturePath().isEmpty());
    EXPECT_TRUE(c.GetCropBitmap().isNull());
}

TEST(Composition, APanelNoFrameHasComposesNothing) {
    for (const QSize panel : {QSize(0, 128), QSize(128, 0), QSize(2049, 100), QSize(65535, 65535)}) {
        CComposition c(CComposition::ClientSizeFor(panel));
        EXPECT_LE(c.ClientSize().width(), 2048 + 20) << "the client follows the panel only as far as the limit";
        EXPECT_LE(c.ClientSize().height(), 2048);
        ASSERT_TRUE(c.SetPictureImage(Solid(64, 64, qRgb(1, 2, 3))));
        c.SetRectSize(panel.width(), panel.height());
        EXPECT_FALSE(c.PanelUsable());
        EXPECT_FALSE(c.HasPicture()) << "the picture shown goes";
        EXPECT_FALSE(c.SetPictureImage(Solid(640, 480, qRgb(1, 2, 3))));
        EXPECT_FALSE(c.SetPicture(QStringLiteral("/nonexistent/picture.jpg")));
        EXPECT_TRUE(c.GetCropBitmap().isNull());
        c.SetRectSize(2048, 16);
        EXPECT_TRUE(c.PanelUsable());
        ASSERT_TRUE(c.SetPictureImage(Solid(640, 480, qRgb(1, 2, 3))));
        EXPECT_EQ(c.GetCropBitmap().size(), QSize(2048, 16));
    }
}

TEST(Composition, OutlineOnlyInRectangleMode) {
    CComposition c;
    c.SetRectSize(128, 128);
    ASSERT_TRUE(c.SetPictureImage(Solid(640, 480, qRgb(128, 128, 128))));
    const Rect crop = c.CropRect();
    QImage view = c.RenderView(Qt::white);
    int dots = 0;
    for (int x = crop.left; x < crop.right; ++x) {
        dots += view.pixel(x, crop.top) == qRgb(0, 0, 0) ? 1 : 0;
        EXPECT_NE(view.pixel(x, crop.top - 1), qRgb(0, 0, 0));
    }
    // A dotted line: some pixels black, not all.
    EXPECT_GT(dots, 20);
    EXPECT_LT(dots, 128);
    // The outline lies on the rectangle's own last row, not one below it.
    int lastRow = 0;
    for (int x = crop.left; x < crop.right; ++x) {
        lastRow += view.pixel(x, crop.bottom - 1) == qRgb(0, 0, 0) ? 1 : 0;
        EXPECT_NE(view.pixel(x, crop.bottom), qRgb(0, 0, 0));
    }
    EXPECT_GT(lastRow, 20);

    c.SetRectMode(false);
    view = c.RenderView(Qt::white);
    for (int x = crop.left; x < crop.right; ++x) {
        ASSERT_TRUE(testsupport::Near(view.pixel(x, crop.top), qRgb(128, 128, 128), 2)) << x;
    }
    EXPECT_EQ(view.pixel(crop.left - 1, crop.top), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace fotolume::compose
