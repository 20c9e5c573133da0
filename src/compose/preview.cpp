#include "compose/preview.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

namespace fotolume::compose {

CPreview::CPreview(QWidget* parent)
    : QWidget(parent), m_composition({CComposition::kClientWidth, CComposition::kClientHeight}) {
    resize(CComposition::kClientWidth, CComposition::kClientHeight);
    setMouseTracking(true);  // the move cursor follows the pointer without a button held
    // Every pixel is painted from one ready image, so Qt need not erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CPreview::SetRectSize(int width, int height) {
    m_composition.SetRectSize(width, height);
    update();
}

bool CPreview::SetPicture(const QString& path) {
    const bool loaded = m_composition.SetPicture(path);
    m_dragging = false;
    update();
    return loaded;
}

void CPreview::ClearPicture() {
    m_composition.ClearPicture();
    m_dragging = false;
    unsetCursor();
    update();
}

bool CPreview::ZoomIn() {
    const bool done = m_composition.Zoom(1);
    if (done) {
        update();
    }
    return done;
}

bool CPreview::ZoomOut() {
    const bool done = m_composition.Zoom(-1);
    if (done) {
        update();
    }
    return done;
}

bool CPreview::RotateLeft() {
    const bool done = m_composition.Rotate(true);
    if (done) {
        update();
    }
    return done;
}

bool CPreview::RotateRight() {
    const bool done = m_composition.Rotate(false);
    if (done) {
        update();
    }
    return done;
}

void CPreview::SetRectMode(bool on) {
    m_composition.SetRectMode(on);
    m_dragging = false;
    update();
}

void CPreview::paintEvent(QPaintEvent*) {
    // Double-buffered: the whole view is composed off-screen first, so a dragged rectangle never flickers.
    const QImage frame = m_composition.RenderView(palette().color(QPalette::Window));
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), frame);
}

void CPreview::resizeEvent(QResizeEvent* event) {
    m_composition.SetClientSize(event->size());
    QWidget::resizeEvent(event);
}

bool CPreview::InsideMovableRect(QPoint p) const {
    return m_composition.HasPicture() && m_composition.RectMode() &&
           m_composition.CropRect().Contains(p.x(), p.y());
}

void CPreview::UpdateCursor(QPoint p) {
    if (InsideMovableRect(p) || m_dragging) {
        setCursor(Qt::SizeAllCursor);
    } else {
        unsetCursor();
    }
}

void CPreview::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        Q_EMIT RightButtonDown(p);
        return;
    }
    // Qt keeps delivering the pointer to this view while the button is held, so the drag goes on outside.
    if (event->button() == Qt::LeftButton && InsideMovableRect(p)) {
        const Rect& crop = m_composition.CropRect();
        m_dragging = true;
        m_dragOffset = QPoint(p.x() - crop.left, p.y() - crop.top);
    }
}

void CPreview::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (m_dragging) {
        m_composition.MoveRect(p.x() - m_dragOffset.x(), p.y() - m_dragOffset.y());
        update();
    }
    UpdateCursor(p);
}

void CPreview::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragging = false;
        UpdateCursor(event->position().toPoint());
    }
}

void CPreview::mouseDoubleClickEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        Q_EMIT RightButtonDown(p);
        return;
    }
    if (event->button() == Qt::LeftButton && InsideMovableRect(p)) {
        Q_EMIT doublecliked();
    }
}

}  // namespace fotolume::compose
