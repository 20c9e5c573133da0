#include "compact/compact_widgets.h"

#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>

#include "compact/compact_globals.h"

namespace fotolume::compact {

using compose::CCompactTransform;

CPictureView::CPictureView(QWidget* parent) : QWidget(parent) {
    setFixedSize(CCompactTransform::kViewWidth, CCompactTransform::kViewHeight);
    setAutoFillBackground(false);
}

void CPictureView::SetPicture(const QImage& picture) {
    m_picture = picture;
    m_transform.SelectPicture(picture.size());
    update();
    Q_EMIT FrameChanged();
}

void CPictureView::ClearPicture() {
    m_picture = QImage();
    m_transform.ClearPicture();
    update();
}

QImage CPictureView::ComposedPicture() const { return m_transform.GetPicDataFromView(m_picture); }

void CPictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (gmyIsTransferData) return;
    // Inside the crop frame the view shows what the frame gets: black where the picture does not reach.
    if (m_transform.HasPicture()) painter.fillRect(m_transform.NormalizedDrawRect(), Qt::black);
    m_transform.DrawPicture(painter, m_picture);
}

CFrameOverlay::CFrameOverlay(CPictureView* view) : QWidget(view), m_view(view) {
    setGeometry(view->rect());
    setAttribute(Qt::WA_TranslucentBackground);
    connect(view, &CPictureView::FrameChanged, this, qOverload<>(&QWidget::update));
}

void CFrameOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const CCompactTransform& transform = m_view->Transform();
    transform.PaintFrameOverlay(painter);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(transform.NormalizedDrawRect());
}

void CFrameOverlay::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_view->Transform().FramePress(event->position());
    Q_EMIT m_view->FrameChanged();
}

void CFrameOverlay::mouseMoveEvent(QMouseEvent* event) {
    if (!m_view->Transform().FrameDragging()) return;
    m_view->Transform().FrameMove(event->position());
    Q_EMIT m_view->FrameChanged();
}

void CFrameOverlay::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_view->Transform().FrameDragging()) return;
    m_view->Transform().FrameRelease(event->position());
    Q_EMIT m_view->FrameChanged();
    m_view->update();
}

CSmallPreview::CSmallPreview(QWidget* parent) : QWidget(parent) {}

void CSmallPreview::SetPicturePath(const QString& path) {
    m_path = path;
    m_picture = path.isEmpty() ? QImage() : QImage(path);
    update();
}

QRect CSmallPreview::PictureRect() const { return compose::PreviewRectForPanel(size(), m_panel); }

void CSmallPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    if (gmyIsTransferData || m_picture.isNull()) return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(PictureRect(), m_picture);
}

void CLittleArrows::stepBy(int steps) {
    int value = this->value();
    for (int i = 0; i < std::abs(steps); ++i) {
        value = compose::StepLittleArrows(value, singleStep(), minimum(), maximum(), steps > 0);
    }
    setValue(value);
}

void CLittleArrows::SetValueQuietly(int value) {
    const QSignalBlocker blocker(this);
    setValue(value);
}

void CLittleArrows::SetRangeQuietly(int minimum, int maximum) {
    const QSignalBlocker blocker(this);
    setRange(minimum, maximum);
}

}  // namespace fotolume::compact
