// The preview view driven with mouse events on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "compose/preview.h"
#include "tests/support/qt_pictures.h"

namespace fotolume::compose {
namespace {

class Preview : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.filePath(QStringLiteral("grey.png"));
        ASSERT_TRUE(testsupport::SolidPicture(640, 480, qRgb(128, 128, 128)).save(m_path));
        m_view.SetRectSize(128, 128);
    }

    // A move with no button held; QTest would route it through the platform cursor.
    void Hover(QPoint pos) {
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), QPointF(m_view.mapToGlobal(pos)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&m_view, &move);
    }
    void Drag(QPoint from, QPoint to) {
        QTest::mousePress(&m_view, Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(&m_view, to);
    }
    QImage Shown() { return m_view.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    QPoint CropCentre() const { return m_view.Composition().CropRect().ToQRect().center(); }

    QTemporaryDir m_dir;
    QString m_path;
    CPreview m_view;
};

TEST_F(Preview, DraggingIsClampedToThePicture) {
    ASSERT_TRUE(m_view.SetPicture(m_path));
    EXPECT_EQ(m_view.size(), QSize(505, 355));
    const Rect display = m_view.Composition().DisplayRect();

    Drag(CropCentre(), {-3000, -3000});
    EXPECT_TRUE(m_view.IsDragging());
    EXPECT_EQ(m_view.Composition().CropRect().left, display.left);
    EXPECT_EQ(m_view.Composition().CropRect().top, display.top);
    QTest::mouseMove(&m_view, {3000, 3000});
    EXPECT_EQ(m_view.Composition().CropRect().right, display.right);
    EXPECT_EQ(m_view.Composition().CropRect().bottom, display.bottom);
    // A small move follows the pointer by the offset taken at the press.
    QTest::mouseMove(&m_view, {CropCentre().x() - 10, 177});
    EXPECT_EQ(m_view.Composition().CropRect().left, display.right - 128 - 10);
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, {CropCentre().x(), 177});
    EXPECT_FALSE(m_view.IsDragging());

    // After the release, moving does not drag.
    const Rect after = m_view.Composition().CropRect();
    Hover({0, 0});
    EXPECT_EQ(m_view.Composition().CropRect(), after);
}

TEST_F(Preview, PressOutsideTheRectangleDoesNothing) {
    ASSERT_TRUE(m_view.SetPicture(m_path));
    const Rect before = m_view.Composition().CropRect();
    const QPoint outside(before.left - 5, before.top + 10);
    Drag(outside, {outside.x() + 40, outside.y()});
    EXPECT_FALSE(m_view.IsDragging());
    EXPECT_EQ(m_view.Composition().CropRect(), before);
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, outside);

    // The move cursor only over the rectangle; the right and bottom edges are outside it.
    Hover(outside);
    EXPECT_NE(m_view.cursor().shape(), Qt::SizeAllCursor);
    Hover({before.left, before.top});
    EXPECT_EQ(m_view.cursor().shape(), Qt::SizeAllCursor);
    Hover({before.right, before.top});
    EXPECT_NE(m_view.cursor().shape(), Qt::SizeAllCursor);

    QSignalSpy added(&m_view, &CPreview::doublecliked);
    QTest::mouseDClick(&m_view, Qt::LeftButton, Qt::NoModifier, outside);
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, outside);
    EXPECT_EQ(added.count(), 0);
    QTest::mouseDClick(&m_view, Qt::LeftButton, Qt::NoModifier, CropCentre());
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, CropCentre());
    EXPECT_EQ(added.count(), 1);
}

TEST_F(Preview, RectangleOffShowsTheWholePictureAndIgnoresTheMouse) {
    ASSERT_TRUE(m_view.SetPicture(m_path));
    m_view.SetRectMode(false);
    const Rect crop = m_view.Composition().CropRect();
    EXPECT_EQ(m_view.Composition().DisplayRect(), crop);

    // No outline: the rectangle's edge shows the picture.
    const QImage shown = Shown();
    for (int x = crop.left; x < crop.right; ++x) {
        ASSERT_TRUE(testsupport::Near(shown.pixel(x, crop.top), qRgb(128, 128, 128), 2)) << x;
    }

    Drag(CropCentre(), {0, 0});
    EXPECT_FALSE(m_view.IsDragging());
    EXPECT_EQ(m_view.Composition().CropRect(), crop);
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, {0, 0});
    Hover(CropCentre());
    EXPECT_NE(m_view.cursor().shape(), Qt::SizeAllCursor);

    QSignalSpy added(&m_view, &CPreview::doublecliked);
    QTest::mouseDClick(&m_view, Qt::LeftButton, Qt::NoModifier, CropCentre());
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, CropCentre());
    EXPECT_EQ(added.count(), 0);
    EXPECT_FALSE(m_view.ZoomIn());
    EXPECT_FALSE(m_view.ZoomOut());
    EXPECT_EQ(m_view.Composition().DisplayRect(), crop);

    // Rotating with the rectangle off keeps the picture in the rectangle.
    EXPECT_TRUE(m_view.RotateLeft());
    EXPECT_EQ(m_view.Composition().DisplayRect(), crop);
}

TEST_F(Preview, PaintsTheComposedViewAndTheButtonsDriveIt) {
    ASSERT_TRUE(m_view.SetPicture(m_path));
    const QColor face = m_view.palette().color(QPalette::Window);
    EXPECT_EQ(Shown(), m_view.Composition().RenderView(face));

    const int before = m_view.Composition().DisplayRect().Height();
    EXPECT_TRUE(m_view.ZoomIn());
    EXPECT_EQ(m_view.Composition().DisplayRect().Height(), before + 30);
    EXPECT_TRUE(m_view.ZoomOut());
    EXPECT_FALSE(m_view.ZoomOut());
    EXPECT_TRUE(m_view.RotateRight());
    EXPECT_EQ(m_view.Composition().WorkSize(), QSize(480, 640));
    EXPECT_EQ(Shown(), m_view.Composition().RenderView(face));
}

TEST_F(Preview, RightButtonIsForwardedAnywhere) {
    QSignalSpy right(&m_view, &CPreview::RightButtonDown);
    QTest::mousePress(&m_view, Qt::RightButton, Qt::NoModifier, {7, 300});
    QTest::mouseRelease(&m_view, Qt::RightButton, Qt::NoModifier, {7, 300});
    ASSERT_EQ(right.count(), 1);
    EXPECT_EQ(right.at(0).at(0).toPoint(), QPoint(7, 300));

    ASSERT_TRUE(m_view.SetPicture(m_path));
    QTest::mousePress(&m_view, Qt::RightButton, Qt::NoModifier, CropCentre());
    QTest::mouseRelease(&m_view, Qt::RightButton, Qt::NoModifier, CropCentre());
    EXPECT_EQ(right.count(), 2);
    EXPECT_FALSE(m_view.IsDragging());
}

TEST_F(Preview, WithoutAPictureOnlyTheFaceShows) {
    ASSERT_TRUE(m_view.SetPicture(m_path));
    EXPECT_FALSE(m_view.SetPicture(m_dir.filePath(QStringLiteral("missing.jpg"))));
    QImage face(505, 355, QImage::Format_RGB32);
    face.fill(m_view.palette().color(QPalette::Window));
    EXPECT_EQ(Shown(), face);
    QSignalSpy added(&m_view, &CPreview::doublecliked);
    Drag(CropCentre(), {0, 0});
    EXPECT_FALSE(m_view.IsDragging());
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, {0, 0});
    QTest::mouseDClick(&m_view, Qt::LeftButton, Qt::NoModifier, CropCentre());
    QTest::mouseRelease(&m_view, Qt::LeftButton, Qt::NoModifier, CropCentre());
    EXPECT_EQ(added.count(), 0);
    EXPECT_FALSE(m_view.ZoomIn());
    EXPECT_FALSE(m_view.RotateLeft());
    EXPECT_TRUE(m_view.GetCropBitmap().isNull());
}

}  // namespace
}  // namespace fotolume::compose
