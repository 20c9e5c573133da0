#include "compose/compact_transform.h"

#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "compose/geometry.h"

namespace fotolume::compose {

namespace {

int ControlValueOf(double scale) {
    const double value = std::floor(scale * 100.0 + 1.0);
    return value >= CCompactTransform::kScaleValueCap ? CCompactTransform::kScaleValueCap
                                                      : static_cast<int>(value);
}

}  // namespace

void CCompactTransform::SetPanelSize(int width, int height) {
    m_panelUsable = PanelComposable(width, height);
    if (!m_panelUsable) {
        return;
    }
    m_panel = QSize(width, height);
    CenterFrame();
}

void CCompactTransform::CenterFrame() {
    m_frame = QRectF((kViewWidth - m_panel.width()) / 2.0, (kViewHeight - m_panel.height()) / 2.0,
                     m_panel.width(), m_panel.height());
}

void CCompactTransform::SelectPicture(QSize pictureSize) {
    m_picture = pictureSize.isEmpty() ? QSize() : pictureSize;
    m_rotation = 0;
    m_translateX = 0;
    m_translateY = 0;
    m_lastAccepted = 0;
    CenterFrame();
    if (!HasPicture()) {
        return;
    }
    const double cover = std::max(static_cast<double>(m_panel.width()) / m_picture.width(),
                                  static_cast<double>(m_panel.height()) / m_picture.height());
    m_smallestValue = ControlValueOf(cover);
    SetFitSizeForLcd(true);
}

void CCompactTransform::ClearPicture() {
    m_picture = QSize();
    m_rotation = 0;
    m_translateX = 0;
    m_translateY = 0;
    m_rangeX = 0;
    m_rangeY = 0;
    m_lastAccepted = 0;
}

int CCompactTransform::SetFitSizeForLcd(bool on) {
    m_fit = on;
    if (!HasPicture()) {
        return m_scaleValue;
    }
    const double w = m_picture.width();
    const double h = m_picture.height();
    const double scale = on ? std::max(m_panel.width() / w, m_panel.height() / h) : kViewWidth / w;
    AcceptScale(scale);
    m_scaleValue = ControlValueOf(scale);
    return m_scaleValue;
}

int CCompactTransform::SetScaleValue(int value) {
    if (!HasPicture()) {
        m_scaleValue = value;
        return value;
    }
    value = std::max(value, m_smallestValue);
    const double scale = value / 100.0;
    if (value > kMaxScaleValue || m_picture.width() * scale > kMaxScaledSide ||
        m_picture.height() * scale > kMaxScaledSide) {
        // Back to the last accepted value; before any, to the value shown at selection, which is what
        // the picture is still drawn at.
        m_scaleValue = m_lastAccepted != 0 ? m_lastAccepted : m_smallestValue;
        return m_scaleValue;
    }
    AcceptScale(scale);
    m_scaleValue = value;
    m_lastAccepted = value;
    return value;
}

void CCompactTransform::AcceptScale(double scale) {
    m_scale = scale;
    m_rangeX = static_cast<int>(m_picture.width() * scale);
    m_rangeY = static_cast<int>(m_picture.height() * scale);
    SetTranslateX(m_translateX);
    SetTranslateY(m_translateY);
}

void CCompactTransform::SetTranslateX(int x) {
    m_translateX = std::clamp(x, -m_rangeX, m_rangeX);
}

void CCompactTransform::SetTranslateY(int y) {
    m_translateY = std::clamp(y, -m_rangeY, m_rangeY);
}

QTransform CCompactTransform::PictureToView() const {
    QTransform t;
    // Read bottom up: centre the picture on the origin, scale, turn, then put it at the view's centre
    // moved by the controls (the vertical control counts upwards, the view's y downwards).
    t.translate(kViewWidth / 2.0 + m_translateX, kViewHeight / 2.0 - m_translateY);
    t.rotate(m_rotation);
    t.scale(m_scale, m_scale);
    t.translate(-m_picture.width() / 2.0, -m_picture.height() / 2.0);
    return t;
}

void CCompactTransform::DrawPicture(QPainter& painter, const QImage& picture) const {
    if (!HasPicture() || picture.isNull()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(PictureToView(), true);
    painter.drawImage(QRectF(0, 0, m_picture.width(), m_picture.height()), picture);
    painter.restore();
}

QImage CCompactTransform::GetPicDataFromView(const QImage& picture) const {
    if (!HasPicture() || picture.isNull() || !m_panelUsable) {
        return {};
    }
    QImage out(m_panel, QImage::Format_RGB32);
    if (out.isNull()) {
        return {};
    }
    out.fill(Qt::black);
    QPainter painter(&out);
    const QRectF frame = NormalizedDrawRect();
    painter.translate(-frame.x(), -frame.y());
    DrawPicture(painter, picture);
    painter.end();
    return out;
}

void CCompactTransform::PaintFrameOverlay(QPainter& painter) const {
    QPainterPath outside;
    outside.addRect(QRectF(0, 0, kViewWidth, kViewHeight));
    QPainterPath inside;
    inside.addRect(NormalizedDrawRect());
    painter.fillPath(outside.subtracted(inside), QColor::fromRgbF(0.3f, 0.3f, 0.3f, 0.5f));
}

QPointF CCompactTransform::ClampToView(QPointF p) const {
    return {std::clamp(p.x(), 0.0, static_cast<double>(kViewWidth)),
            std::clamp(p.y(), 0.0, static_cast<double>(kViewHeight))};
}

QRectF CCompactTransform::KeepInView(QRectF frame) const {
    const double x = std::max(0.0, std::min(frame.x(), kViewWidth - frame.width()));
    const double y = std::max(0.0, std::min(frame.y(), kViewHeight - frame.height()));
    frame.moveTo(x, y);
    return frame;
}

void CCompactTransform::FramePress(QPointF p) {
    if (m_frame.contains(p)) {
        m_mode = FrameMode::kMoving;
        m_anchor = p - m_frame.topLeft();
        return;
    }
    m_mode = FrameMode::kStretching;
    m_anchor = ClampToView(p);
    m_frame = QRectF(m_anchor, QSizeF(0, 0));
}

void CCompactTransform::FrameMove(QPointF p) {
    if (m_mode == FrameMode::kMoving) {
        m_frame = KeepInView(QRectF(p - m_anchor, m_frame.size()));
    } else if (m_mode == FrameMode::kStretching) {
        const QPointF q = ClampToView(p);
        // Width and height go negative when the pointer is left of or above the corner.
        m_frame = QRectF(m_anchor.x(), m_anchor.y(), q.x() - m_anchor.x(), q.y() - m_anchor.y());
    }
}

void CCompactTransform::FrameRelease(QPointF p) {
    if (m_mode == FrameMode::kStretching) {
        const QPointF q = ClampToView(p);
        const double x = q.x() >= m_anchor.x() ? m_anchor.x() : m_anchor.x() - m_panel.width();
        const double y = q.y() >= m_anchor.y() ? m_anchor.y() : m_anchor.y() - m_panel.height();
        m_frame = KeepInView(QRectF(x, y, m_panel.width(), m_panel.height()));
    } else if (m_mode == FrameMode::kMoving) {
        FrameMove(p);
    }
    m_mode = FrameMode::kIdle;
}

int StepLittleArrows(int value, int increment, int minimum, int maximum, bool up) {
    const long long next = static_cast<long long>(value) + (up ? increment : -increment);
    if (next > maximum) {
        return minimum;
    }
    if (next < minimum) {
        return maximum;
    }
    return static_cast<int>(next);
}

QRect PreviewRectForPanel(QSize view, QSize panel) {
    if (view.isEmpty() || panel.isEmpty()) {
        return {};
    }
    const long long vw = view.width();
    const long long vh = view.height();
    // view width / panel width > view height / panel height, compared without division.
    if (vw * panel.height() > vh * panel.width()) {
        const int w = static_cast<int>(vh * panel.width() / panel.height());
        return {(view.width() - w) / 2, 0, w, view.height()};
    }
    const int h = static_cast<int>(vw * panel.height() / panel.width());
    return {0, (view.height() - h) / 2, view.width(), h};
}

}  // namespace fotolume::compose
