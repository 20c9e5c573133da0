// CPreview: the view in which the user composes the picture for the frame. It paints the composition,
// draws the dotted crop rectangle, lets the user drag it, and tells the window about a double-click inside
// it and about right-button presses. The window's buttons call the zoom, rotate and mode slots.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include "compose/composition.h"

namespace fotolume::compose {

class CPreview : public QWidget {
    Q_OBJECT

public:
    explicit CPreview(QWidget* parent = nullptr);

    CComposition& Composition() { return m_composition; }
    const CComposition& Composition() const { return m_composition; }

    // Called when a frame is connected, with its panel size.
    void SetRectSize(int width, int height);
    bool SetPicture(const QString& path);
    void ClearPicture();
    // The panel-size bitmap under the rectangle; null without a picture.
    QImage GetCropBitmap() const { return m_composition.GetCropBitmap(); }
    bool IsDragging() const { return m_dragging; }

public Q_SLOTS:
    bool ZoomIn();
    bool ZoomOut();
    bool RotateLeft();
    bool RotateRight();
    void SetRectMode(bool on);

Q_SIGNALS:
    // A double-click inside the rectangle: the window adds the composed picture. Emitted from the mouse
    // handler; the window connects it queued so the add runs after the click, as a posted message would.
    void doublecliked();
    // Any right-button press, at its position in the view.
    void RightButtonDown(QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool InsideMovableRect(QPoint p) const;
    void UpdateCursor(QPoint p);

    CComposition m_composition;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

}  // namespace fotolume::compose
