// The compact window's composition: instead of cover-fit steps, the picture is centred on a 580 x 400 view,
// scaled and rotated about the view's centre, then moved; a panel-size frame over the view marks the part
// that goes to the frame.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QSize>
#include <QTransform>

namespace fotolume::compose {

class CCompactTransform {
public:
    static constexpr int kViewWidth = 580;
    static constexpr int kViewHeight = 400;
    static constexpr int kMaxScaledSide = 800;  // the scaled picture never gets wider or taller
    static constexpr int kMaxScaleValue = 999;  // the scale control's largest accepted value, in percent
    static constexpr int kScaleValueCap = 1000;

    // The panel size; recentres the frame. A size no frame has (PanelComposable) is kept out:
    // the frame stays as it was and PanelUsable turns false, so no panel bitmap is made for it.
    void SetPanelSize(int width, int height);
    QSize PanelSize() const { return m_panel; }
    bool PanelUsable() const { return m_panelUsable; }
    void CenterFrame();
    // The frame (gmyDrawrect): x, y, width, height in view coordinates. While it is being stretched its
    // width or height may be negative; NormalizedDrawRect moves x or y back by them.
    const QRectF& DrawRect() const { return m_frame; }
    QRectF NormalizedDrawRect() const { return m_frame.normalized(); }
    void SetDrawRect(const QRectF& rect) { m_frame = rect; }

    // A newly selected picture: rotation and translation back to 0, "Fit size for LCD" on, the frame
    // recentred, the scale the cover fit of the picture to the panel.
    void SelectPicture(QSize pictureSize);
    void ClearPicture();
    bool HasPicture() const { return !m_picture.isEmpty(); }
    QSize PictureSize() const { return m_picture; }

    // On: the cover fit. Off: the picture fills the view's width. Returns the value the scale control
    // shows afterwards.
    int SetFitSizeForLcd(bool on);
    bool FitSizeForLcd() const { return m_fit; }

    // The user set the scale control to value (percent). Returns the value the control shows afterwards:
    // a value below TheSmallestValue snaps up to it; one above 999, or one that would scale the picture
    // past 800 pixels, returns to the last value accepted.
    int SetScaleValue(int value);
    int ScaleValue() const { return m_scaleValue; }
    int TheSmallestValue() const { return m_smallestValue; }
    double Scale() const { return m_scale; }

    void SetRotation(int degrees) { m_rotation = degrees; }
    int Rotation() const { return m_rotation; }
    // Translation in view pixels, kept within plus and minus the scaled picture's width and height. The
    // vertical control counts upwards.
    void SetTranslateX(int x);
    void SetTranslateY(int y);
    int TranslateX() const { return m_translateX; }
    int TranslateY() const { return m_translateY; }
    int TranslateRangeX() const { return m_rangeX; }
    int TranslateRangeY() const { return m_rangeY; }

    // Maps picture pixels to view pixels. Positive degrees turn the picture clockwise on screen.
    QTransform PictureToView() const;
    // Draws the transformed picture (stretched to the selected picture size) with the painter as it is.
    void DrawPicture(QPainter& painter, const QImage& picture) const;
    // The panel-size bitmap under the frame (Format_RGB32): the frame's top-left corner at the origin,
    // parts the picture does not cover black. Null without a picture or a usable panel.
    QImage GetPicDataFromView(const QImage& picture) const;

    // Greys everything of the view outside the frame (grey 0.3 at half opacity), as the overlay shows it.
    void PaintFrameOverlay(QPainter& painter) const;

    // Frame handling with the mouse in the view. A press inside the frame drags it; a press outside puts
    // the frame's corner there and stretches the frame to the pointer until the release, which gives it
    // the panel size again, extending from that corner in the direction of the drag. The frame is kept
    // inside the view.
    void FramePress(QPointF p);
    void FrameMove(QPointF p);
    void FrameRelease(QPointF p);
    bool FrameDragging() const { return m_mode != FrameMode::kIdle; }

private:
    enum class FrameMode { kIdle, kMoving, kStretching };

    void AcceptScale(double scale);
    QRectF KeepInView(QRectF frame) const;
    QPointF ClampToView(QPointF p) const;

    QSize m_panel{128, 128};
    bool m_panelUsable = true;
    QRectF m_frame{(kViewWidth - 128) / 2.0, (kViewHeight - 128) / 2.0, 128, 128};
    QSize m_picture;
    bool m_fit = true;
    double m_scale = 1.0;
    int m_scaleValue = 100;
    int m_smallestValue = 1;
    int m_lastAccepted = 0;  // 0: none since the picture was selected
    int m_rotation = 0;
    int m_translateX = 0;
    int m_translateY = 0;
    int m_rangeX = 0;
    int m_rangeY = 0;
    FrameMode m_mode = FrameMode::kIdle;
    QPointF m_anchor;  // drag offset while moving, the fixed corner while stretching
};

// One press of a little-arrows control: the value moves by increment and wraps from the maximum to the
// minimum and back.
int StepLittleArrows(int value, int increment, int minimum, int maximum, bool up);

// Where an album picture is drawn in a small preview: the panel's aspect fitted into the view, centred.
QRect PreviewRectForPanel(QSize view, QSize panel);

}  // namespace fotolume::compose
