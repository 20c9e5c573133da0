// The compact window's continuous transform: cover fit, the scale control's limits, the render into the
// panel bitmap, and the frame handling.
#include <gtest/gtest.h>

#include "compose/compact_transform.h"
#include "tests/support/qt_pictures.h"

namespace fotolume::compose {
namespace {

using testsupport::Near;

const auto Solid = testsupport::SolidPicture;

CCompactTransform Selected(QSize panel, QSize picture) {
    CCompactTransform t;
    t.SetPanelSize(panel.width(), panel.height());
    t.SelectPicture(picture);
    return t;
}

TEST(CompactTransform, SelectingCoverFitsAndResets) {
    CCompactTransform t;
    t.SetPanelSize(128, 128);
    EXPECT_EQ(t.DrawRect(), QRectF(226, 136, 128, 128));
    t.SelectPicture({640, 480});
    t.SetRotation(30);
    t.SetTranslateX(40);
    t.SetFitSizeForLcd(false);
    t.SetDrawRect(QRectF(0, 0, 128, 128));

    t.SelectPicture({640, 480});
    EXPECT_EQ(t.Rotation(), 0);
    EXPECT_EQ(t.TranslateX(), 0);
    EXPECT_EQ(t.TranslateY(), 0);
    EXPECT_TRUE(t.FitSizeForLcd());
    EXPECT_EQ(t.DrawRect(), QRectF(226, 136, 128, 128));
    EXPECT_DOUBLE_EQ(t.Scale(), 128.0 / 480.0);
    EXPECT_EQ(t.TheSmallestValue(), 27);  // floor(26.67 + 1)
    EXPECT_EQ(t.ScaleValue(), 27);
    EXPECT_EQ(t.TranslateRangeX(), 170);
    EXPECT_NEAR(t.TranslateRangeY(), 128, 1);

    // A panel of odd size centres on half pixels.
    t.SetPanelSize(175, 121);
    EXPECT_EQ(t.DrawRect(), QRectF(202.5, 139.5, 175, 121));

    // A very small picture: the control is capped at 1000.
    EXPECT_EQ(Selected({128, 128}, {10, 10}).TheSmallestValue(), 1000);
}

TEST(CompactTransform, APanelNoFrameHasMakesNoPanelBitmap) {
    for (const QSize panel : {QSize(0, 128), QSize(3000, 10), QSize(65535, 65535)}) {
        CCompactTransform t = Selected({128, 128}, {640, 480});
        t.SetPanelSize(panel.width(), panel.height());
        EXPECT_FALSE(t.PanelUsable());
        EXPECT_EQ(t.PanelSize(), QSize(128, 128));
        EXPECT_TRUE(t.GetPicDataFromView(Solid(640, 480, qRgb(9, 9, 9))).isNull());
        t.SetPanelSize(160, 120);
        EXPECT_TRUE(t.PanelUsable());
        EXPECT_EQ(t.GetPicDataFromView(Solid(640, 480, qRgb(9, 9, 9))).size(), QSize(160, 120));
    }
}

TEST(CompactTransform, ScaleControlLimits) {
    CCompactTransform t = Selected({128, 128}, {640, 480});
    // Before any value was accepted, a refused one returns to the value shown at selection.
    EXPECT_EQ(t.SetScaleValue(200), 27);
    EXPECT_DOUBLE_EQ(t.Scale(), 128.0 / 480.0);
    // Below the smallest value snaps up to it.
    EXPECT_EQ(t.SetScaleValue(5), 27);
    EXPECT_DOUBLE_EQ(t.Scale(), 0.27);
    // 640 x 1.25 = 800 is still allowed; 806 is not.
    EXPECT_EQ(t.SetScaleValue(125), 125);
    EXPECT_DOUBLE_EQ(t.Scale(), 1.25);
    EXPECT_EQ(t.TranslateRangeX(), 800);
    EXPECT_EQ(t.TranslateRangeY(), 600);
    EXPECT_EQ(t.SetScaleValue(126), 125);
    EXPECT_DOUBLE_EQ(t.Scale(), 1.25);
    // The translation follows a narrower range.
    t.SetTranslateX(700);
    EXPECT_EQ(t.TranslateX(), 700);
    t.SetTranslateY(-5000);
    EXPECT_EQ(t.TranslateY(), -600);
    EXPECT_EQ(t.SetScaleValue(50), 50);
    EXPECT_EQ(t.TranslateX(), 320);
    EXPECT_EQ(t.TranslateY(), -240);

    // A small picture reaches the 999 limit before the 800-pixel one.
    CCompactTransform small = Selected({128, 128}, {50, 40});
    EXPECT_EQ(small.TheSmallestValue(), 321);
    EXPECT_EQ(small.SetScaleValue(999), 999);
    EXPECT_EQ(small.SetScaleValue(1000), 999);
    EXPECT_DOUBLE_EQ(small.Scale(), 9.99);

    // Fit off: the picture fills the view's width.
    t.SetFitSizeForLcd(false);
    EXPECT_DOUBLE_EQ(t.Scale(), 580.0 / 640.0);
    t.SetFitSizeForLcd(true);
    EXPECT_DOUBLE_EQ(t.Scale(), 128.0 / 480.0);
}

TEST(CompactTransform, PanelBitmapComesFromUnderTheFrame) {
    CCompactTransform t = Selected({128, 128}, {640, 480});
    const QImage green = Solid(640, 480, qRgb(0, 180, 0));
    QImage panel = t.GetPicDataFromView(green);
    ASSERT_EQ(panel.size(), QSize(128, 128));
    // The cover fit leaves no uncovered pixel.
    for (int y = 0; y < 128; y += 3) {
        for (int x = 0; x < 128; x += 3) {
            ASSERT_TRUE(Near(panel.pixel(x, y), qRgb(0, 180, 0), 12)) << x << "," << y;
        }
    }

    // Moved right by 100: the picture's left edge is at 304.7 in the view, 78.7 in the frame.
    t.SetTranslateX(100);
    panel = t.GetPicDataFromView(green);
    EXPECT_EQ(panel.pixel(10, 64), qRgb(0, 0, 0));
    EXPECT_EQ(panel.pixel(76, 64), qRgb(0, 0, 0));
    EXPECT_TRUE(Near(panel.pixel(82, 64), qRgb(0, 180, 0), 12));

    // The vertical control counts upwards: +50 lifts the picture, uncovering the frame's bottom.
    t.SetTranslateX(0);
    t.SetTranslateY(50);
    panel = t.GetPicDataFromView(green);
    EXPECT_TRUE(Near(panel.pixel(64, 10), qRgb(0, 180, 0), 12));
    EXPECT_EQ(panel.pixel(64, 120), qRgb(0, 0, 0));

    // The frame's corner is the bitmap's origin.
    t.SetTranslateY(0);
    // The picture covers x 204.7 to 375.3 and y 136 to 264 of the view.
    t.SetDrawRect(QRectF(150, 100, 128, 128));
    panel = t.GetPicDataFromView(green);
    EXPECT_EQ(panel.pixel(50, 30), qRgb(0, 0, 0));
    EXPECT_TRUE(Near(panel.pixel(60, 40), qRgb(0, 180, 0), 12));
    EXPECT_TRUE(Near(panel.pixel(127, 127), qRgb(0, 180, 0), 12));

    // While the frame is stretched up and left, its normalised corner is the origin.
    t.SetDrawRect(QRectF(300, 200, -128, -128));
    panel = t.GetPicDataFromView(green);
    EXPECT_EQ(panel.pixel(0, 0), qRgb(0, 0, 0));
    EXPECT_TRUE(Near(panel.pixel(127, 127), qRgb(0, 180, 0), 12));

    EXPECT_TRUE(CCompactTransform().GetPicDataFromView(green).isNull());
}

TEST(CompactTransform, PositiveRotationTurnsClockwise) {
    CCompactTransform t = Selected({128, 128}, {640, 480});
    t.SetRotation(90);
    // Red on the left turns to the top.
    const QImage panel = t.GetPicDataFromView(testsupport::SplitPicture(640, 480));
    EXPECT_TRUE(Near(panel.pixel(64, 5), qRgb(255, 0, 0), 12));
    EXPECT_TRUE(Near(panel.pixel(64, 122), qRgb(0, 0, 255), 12));
    const QPointF centre = t.PictureToView().map(QPointF(320, 240));
    EXPECT_NEAR(centre.x(), 290, 1e-9);
    EXPECT_NEAR(centre.y(), 200, 1e-9);
}

TEST(CompactTransform, FrameDragAndStretch) {
    CCompactTransform t;
    t.SetPanelSize(128, 128);
    // Dragged from inside, far past the view: stays inside it.
    t.FramePress({290, 200});
    EXPECT_TRUE(t.FrameDragging());
    t.FrameMove({5000, -5000});
    EXPECT_EQ(t.DrawRect(), QRectF(452, 0, 128, 128));
    t.FrameRelease({5000, -5000});
    EXPECT_FALSE(t.FrameDragging());

    // Pressed outside, stretched up and to the left: on release the panel size extends that way.
    t.FramePress({300, 350});
    t.FrameMove({250, 300});
    EXPECT_EQ(t.DrawRect(), QRectF(300, 350, -50, -50));
    EXPECT_EQ(t.NormalizedDrawRect(), QRectF(250, 300, 50, 50));
    t.FrameRelease({250, 300});
    EXPECT_EQ(t.DrawRect(), QRectF(172, 222, 128, 128));

    // The overlay greys the view outside the frame only.
    QImage view = Solid(580, 400, Qt::white);
    QPainter painter(&view);
    t.PaintFrameOverlay(painter);
    painter.end();
    EXPECT_EQ(view.pixel(236, 280), qRgb(255, 255, 255));
    EXPECT_TRUE(Near(view.pixel(10, 10), qRgb(166, 166, 166), 2));
    EXPECT_TRUE(Near(view.pixel(171, 280), qRgb(166, 166, 166), 2));

    // Stretched down and right near the corner: pushed back inside.
    t.FramePress({10, 390});
    t.FrameRelease({20, 399});
    EXPECT_EQ(t.DrawRect(), QRectF(10, 272, 128, 128));
}

TEST(CompactControls, LittleArrowsWrapAndPreviewKeepsThePanelAspect) {
    EXPECT_EQ(StepLittleArrows(5, 1, 1, 999, true), 6);
    EXPECT_EQ(StepLittleArrows(999, 1, 1, 999, true), 1);
    EXPECT_EQ(StepLittleArrows(1, 1, 1, 999, false), 999);
    EXPECT_EQ(StepLittleArrows(-180, 5, -180, 180, false), 180);

    EXPECT_EQ(PreviewRectForPanel({200, 100}, {128, 128}), QRect(50, 0, 100, 100));
    EXPECT_EQ(PreviewRectForPanel({100, 200}, {160, 128}), QRect(0, 60, 100, 80));
    EXPECT_EQ(PreviewRectForPanel({160, 128}, {160, 128}), QRect(0, 0, 160, 128));
    EXPECT_TRUE(PreviewRectForPanel({100, 100}, {0, 128}).isNull());
}

}  // namespace
}  // namespace fotolume::compose
