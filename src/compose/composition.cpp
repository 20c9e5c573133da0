#include "compose/composition.h"

#include <QPainter>
#include <QPen>
#include <algorithm>
#include <utility>

#include "compose/picture_loader.h"
#include "compose/quarter_turn.h"

namespace fotolume::compose {

CComposition::CComposition(QSize client) : m_client(client) {
    m_display = Rect::FromOrigin(0, 0, client.width(), client.height());
    CenterRect();
}

QSize CComposition::ClientSizeFor(QSize panel) {
    // A squeezed picture ends 10 pixels short of the client's right edge, and the centred rectangle
    // must still end on it: client width - 10 >= (client width + panel width) / 2.
    const int side = kMaxPanelSide;
    return {std::max(kClientWidth, std::min(panel.width(), side) + 20),
            std::max(kClientHeight, std::min(panel.height(), side))};
}

void CComposition::SetClientSize(QSize client) {
    m_client = client;
    CenterRect();
    if (HasPicture()) {
        PlaceDisplay();
        Rescale();
    }
}

void CComposition::SetRectSize(int width, int height) {
    m_panelUsable = PanelComposable(width, height);
    if (!m_panelUsable) {
        ClearPicture();
        return;
    }
    m_cropWidth = width;
    m_cropHeight = height;
    CenterRect();
    if (HasPicture()) {
        PlaceDisplay();
        Rescale();
    }
}

void CComposition::CenterRect() {
    m_crop = CenteredRect(m_client, {m_cropWidth, m_cropHeight});
}

bool CComposition::SetPicture(const QString& path) {
    // The old picture goes first: only one work bitmap is held at a time.
    m_work = QImage();
    m_surface = QImage();
    return ShowWork(m_panelUsable ? LoadWorkBitmap(path) : QImage(), path);
}

bool CComposition::SetPictureImage(const QImage& picture, const QString& path) {
    return ShowWork(MakeWorkBitmap(picture), path);
}

bool CComposition::ShowWork(QImage work, const QString& path) {
    if (!m_panelUsable) {
        ClearPicture();
        return false;
    }
    m_work = std::move(work);
    m_path = path;
    if (m_work.isNull()) {
        ClearPicture();
        return false;
    }
    CenterRect();
    PlaceDisplay();
    Rescale();
    if (m_surface.isNull()) {
        ClearPicture();
        return false;
    }
    return true;
}

void CComposition::ClearPicture() {
    m_work = QImage();
    m_surface = QImage();
    m_path.clear();
}

// Cover fit of the work bitmap to the rectangle, centred in the client. A picture too long for the client
// is squeezed: to the client width less 10 from the left edge, or to the client height from the top.
// With the rectangle off, the picture simply takes the rectangle.
void CComposition::PlaceDisplay() {
    if (!m_rectMode) {
        CenterRect();
        m_display = m_crop;
        return;
    }
    const QSize fit = FitSize(m_work.width(), m_work.height(), m_crop);
    Rect display = Rect::FromOrigin((m_client.width() - fit.width()) / 2,
                                    (m_client.height() - fit.height()) / 2, fit.width(), fit.height());
    if (display.left < 0) {
        display.left = 0;
        display.right = m_client.width() - 10;
    }
    if (display.top < 0) {
        display.top = 0;
        display.bottom = m_client.height();
    }
    m_display = display;
}

void CComposition::Rescale() {
    const QSize size = m_display.Size();
    if (m_work.isNull() || size.isEmpty()) {
        m_surface = QImage();
        return;
    }
    // Averaging resampler: Qt's smooth scaling averages over the source area when shrinking.
    m_surface = m_work.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

void CComposition::SetRectMode(bool on) {
    m_rectMode = on;
    // Recentred in both directions: the display is derived afresh, so a rectangle moved over a zoomed
    // picture could otherwise end up off it.
    CenterRect();
    if (HasPicture()) {
        PlaceDisplay();
        Rescale();
    }
}

bool CComposition::Zoom(int direction) {
    if (!HasPicture() || !m_rectMode || (direction != 1 && direction != -1)) {
        return false;
    }
    const int side = std::min(m_display.Width(), m_display.Height()) + 2 * kZoomStep * direction;
    const QSize next = FitSize(m_work.width(), m_work.height(), Rect::FromOrigin(0, 0, side, side));
    if (next.width() > m_client.width() || next.height() > m_client.height() ||
        next.width() < m_cropWidth || next.height() < m_cropHeight) {
        return false;
    }
    CenterRect();
    m_display = Rect::FromOrigin((m_client.width() - next.width()) / 2,
                                 (m_client.height() - next.height()) / 2, next.width(), next.height());
    Rescale();
    return true;
}

bool CComposition::Rotate(bool left) {
    if (!HasPicture()) {
        return false;
    }
    QImage turned = TurnQuarter(m_work, left);
    if (turned.isNull()) {
        return false;
    }
    m_work = std::move(turned);
    CenterRect();
    PlaceDisplay();
    Rescale();
    return true;
}

void CComposition::MoveRect(int left, int top) {
    if (m_display.top >= top) {
        top = m_display.top;
    }
    if (top + m_cropHeight >= m_display.bottom) {
        top = m_display.bottom - m_cropHeight;
    }
    if (m_display.left >= left) {
        left = m_display.left;
    }
    if (left + m_cropWidth >= m_display.right) {
        left = m_display.right - m_cropWidth;
    }
    m_crop = Rect::FromOrigin(left, top, m_cropWidth, m_cropHeight);
}

QImage CComposition::GetCropBitmap() const {
    if (!HasPicture() || m_surface.isNull()) {
        return {};
    }
    QImage crop(m_cropWidth, m_cropHeight, QImage::Format_RGB32);
    if (crop.isNull()) {
        return {};
    }
    crop.fill(Qt::black);
    QPainter painter(&crop);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(m_display.left - m_crop.left, m_display.top - m_crop.top), m_surface);
    painter.end();
    return crop;
}

QImage CComposition::RenderView(const QColor& face) const {
    QImage view(m_client, QImage::Format_RGB32);
    if (view.isNull()) {
        return view;
    }
    view.fill(face);
    if (!HasPicture() || m_surface.isNull()) {
        return view;
    }
    QPainter painter(&view);
    // In both modes the surface holds the picture at the display size, which with the rectangle off is
    // the rectangle's own size and place.
    painter.drawImage(QPoint(m_display.left, m_display.top), m_surface);
    if (m_rectMode) {
        QPen pen(Qt::black, 1, Qt::DotLine);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        // A 1-pixel outline on the rectangle's own pixels: its last column and row lie at right - 1
        // and bottom - 1.
        painter.drawRect(m_crop.left, m_crop.top, m_cropWidth - 1, m_cropHeight - 1);
    }
    painter.end();
    return view;
}

}  // namespace fotolume::compose
