// The composition of one picture for the frame: the picture at its working size, where it is shown in the
// preview, and the panel-size crop rectangle over it. All geometry is in the preview's client pixels, and
// the crop is taken 1:1 from what the preview shows. Plain QtGui: workers and the command line use it
// without a window.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

#include "compose/geometry.h"

namespace fotolume::compose {

class CComposition {
public:
    static constexpr int kClientWidth = 505;  // the full window's preview
    static constexpr int kClientHeight = 355;
    static constexpr int kZoomStep = 15;      // half the change of the display's shorter side per step

    explicit CComposition(QSize client = {kClientWidth, kClientHeight});

    // A client in which a panel of this size always lies on the picture: the preview's own size, grown
    // for a panel larger than it (as far as the largest usable panel). For composing without a window
    // (command line, workers).
    static QSize ClientSizeFor(QSize panel);

    // The preview's client size; recentres the rectangle and re-places a picture already shown.
    void SetClientSize(QSize client);
    QSize ClientSize() const { return m_client; }

    // The panel size. Recentres the rectangle; a picture already shown is placed again for it, so the
    // rectangle never reaches past the picture. A size no frame has (PanelComposable) clears the
    // picture and refuses every picture until a usable size comes: nothing is composed for it.
    void SetRectSize(int width, int height);
    bool PanelUsable() const { return m_panelUsable; }

    // Loads and shows a picture; on failure the composition is cleared and false returned.
    bool SetPicture(const QString& path);
    // The same for a picture already in memory; path is only remembered.
    bool SetPictureImage(const QImage& picture, const QString& path = {});
    void ClearPicture();
    bool HasPicture() const { return !m_work.isNull(); }
    const QString& PicturePath() const { return m_path; }

    // On: the picture covers the rectangle, which the user moves. Off: the whole picture is stretched into
    // the rectangle.
    void SetRectMode(bool on);
    bool RectMode() const { return m_rectMode; }

    // One zoom step, +1 in or -1 out, in rectangle mode only. A step that would make the picture larger
    // than the client or smaller than the rectangle is refused and changes nothing.
    bool Zoom(int direction);
    // A quarter turn of the work bitmap, left (counter-clockwise) or right.
    bool Rotate(bool left);

    void CenterRect();
    // Moves the rectangle's top-left corner towards (left, top), keeping it on the picture. The
    // bottom/right clamp comes last, so it wins when the picture is smaller than the rectangle.
    void MoveRect(int left, int top);

    // The panel-size bitmap under the rectangle (Format_RGB32): exactly what the preview shows inside it.
    // Parts of the rectangle off the picture come out black. Null without a picture.
    QImage GetCropBitmap() const;

    // The preview as it is painted: the face colour, the picture, and in rectangle mode the dotted outline.
    QImage RenderView(const QColor& face) const;

    const Rect& DisplayRect() const { return m_display; }
    const Rect& CropRect() const { return m_crop; }
    QSize CropSize() const { return {m_cropWidth, m_cropHeight}; }
    QSize WorkSize() const { return m_work.size(); }
    const QImage& WorkBitmap() const { return m_work; }
    // The picture scaled to the display size.
    const QImage& DisplaySurface() const { return m_surface; }

private:
    bool ShowWork(QImage work, const QString& path);
    void PlaceDisplay();
    void Rescale();

    QSize m_client;
    QString m_path;
    QImage m_work;
    QImage m_surface;
    Rect m_display{0, 0, 30, 30};
    int m_cropWidth = 128;
    int m_cropHeight = 128;
    bool m_panelUsable = true;
    Rect m_crop{0, 0, 128, 128};
    bool m_rectMode = true;
};

}  // namespace fotolume::compose
