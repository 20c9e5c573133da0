// The compact window's own views: the 580 x 400 picture view with its crop frame overlay, the small
// preview of the selected album picture, and the little arrows with a number field.
#pragma once

#include <QImage>
#include <QSpinBox>
#include <QWidget>

#include "compose/compact_transform.h"

namespace fotolume::compact {

// 'mVue' 130: the transformed picture; nothing while a transfer runs.
class CPictureView : public QWidget {
    Q_OBJECT
public:
    explicit CPictureView(QWidget* parent = nullptr);

    compose::CCompactTransform& Transform() { return m_transform; }
    const compose::CCompactTransform& Transform() const { return m_transform; }
    const QImage& Picture() const { return m_picture; }
    // A newly selected picture: controls reset and the cover fit (the frame recentred).
    void SetPicture(const QImage& picture);
    void ClearPicture();
    // The panel-size bitmap under the frame; null without a picture.
    QImage ComposedPicture() const;

Q_SIGNALS:
    // The crop frame moved or changed size.
    void FrameChanged();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    compose::CCompactTransform m_transform;
    QImage m_picture;
};

// 'rect' 130: greys what lies outside the crop frame and lets the mouse drag or stretch the frame.
class CFrameOverlay : public QWidget {
    Q_OBJECT
public:
    explicit CFrameOverlay(CPictureView* view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CPictureView* m_view;
};

// 'prev' 0: the album picture selected in the album list, with the panel's aspect, centred.
class CSmallPreview : public QWidget {
    Q_OBJECT
public:
    explicit CSmallPreview(QWidget* parent = nullptr);
    void SetPanel(QSize panel) { m_panel = panel; }
    // Loads the picture's BMP, replacing the one shown; an empty path lets go of it.
    void SetPicturePath(const QString& path);
    const QString& PicturePath() const { return m_path; }
    const QImage& Picture() const { return m_picture; }
    // Where the picture is drawn in the view.
    QRect PictureRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QSize m_panel{128, 128};
    QString m_path;
    QImage m_picture;
};

// Little arrows: each step moves the value by the increment and wraps at the ends.
class CLittleArrows : public QSpinBox {
    Q_OBJECT
public:
    using QSpinBox::QSpinBox;
    void stepBy(int steps) override;
    // Sets the value without reporting it as a change.
    void SetValueQuietly(int value);
    void SetRangeQuietly(int minimum, int maximum);
};

}  // namespace fotolume::compact
