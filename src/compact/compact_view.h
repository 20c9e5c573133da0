// What the controller asks of the window. Every call may come from a worker; the window carries the
// calls out on its own thread in the order they were made and never lets a worker touch a widget.
#pragma once

#include <QImage>

#include <functional>
#include <string>
#include <vector>

#include "compose/compact_transform.h"

namespace fotolume::compact {

enum class AlbumListAfter { kNothing, kScrollToLast, kSelectLast };

// What the album list shows: one item per picture, and the current one (1-based; 0 = none), which
// stays highlighted and in the small preview so that Delete removes what the window shows.
struct AlbumListing {
    std::vector<std::string> names;
    std::vector<std::string> files;  // each picture's decoded BMP
    int current = 0;
};

class ICompactView {
public:
    virtual ~ICompactView() = default;

    // The information text (UTF-8).
    virtual void SetNotes(const std::string& text) = 0;
    // The progress bar, clamped to 0..100, then the controls redrawn.
    virtual void SetDownLoadPrcess(int percent) = 0;
    // The totals and the current position fields.
    virtual void SetPicNumInfo(const std::string& totals, const std::string& current) = 0;
    // The command controls as one group.
    virtual void SetControlPanlEnable(bool on) = 0;
    // Posts the 'draw' event: controls on, progress 0, redraw.
    virtual void InvalidateMyWindow() = 0;
    // Rebuilds the album list as items 1..n with the current one highlighted (kSelectLast makes the
    // last one current).
    virtual void ShowAlbumList(AlbumListing listing, AlbumListAfter after) = 0;
    // Lets go of the small preview's picture and the picture view's picture.
    virtual void ReleasePreviewImages() = 0;
    // A frame came online with this panel: the crop frame takes its size, centred in the picture view,
    // and the file still selected in the browser is shown again for it.
    virtual void SetPanelFrame(int width, int height) = 0;
    // DownLoad stays off while reason is not empty, and says why in its tooltip.
    virtual void SetDownloadBlocked(const std::string& reason) = 0;
    // Unticks "Delete All" once it has been used.
    virtual void ClearDeleteAll() = 0;
    // Redraws the picture view, the crop frame and the small preview.
    virtual void RedrawViews() = 0;
    // The batch add loaded this picture into the picture view.
    virtual void ShowPicture(const QImage& picture, int browserIndex) = 0;
    // A browser item turned out not to be a picture.
    virtual void MarkNotPicture(int browserIndex) = 0;
    // After a batch add's picture: select the next file after the current browser item that can be
    // opened as an image, scroll to it and load it.
    virtual void AdvanceBrowser() = 0;

    // Runs question on the window thread after every call made before it; a question may open a dialog.
    virtual void Ask(std::function<void()> question) = 0;

    // Window thread only: carries out now what workers handed over and is still waiting, so that what
    // the window thread does next comes after it.
    virtual void CarryOutPending() = 0;

    // Window thread only: the composed panel-size bitmap of the picture view (null without a picture),
    // and the state the batch add starts from.
    virtual QImage ComposedPicture() const = 0;
    virtual compose::CCompactTransform Transform() const = 0;
    // Window thread only: browser items for the add, in browser order.
    virtual std::vector<int> SelectedPictureItems() const = 0;
    virtual std::string BrowserItemPath(int browserIndex) const = 0;
};

}  // namespace fotolume::compact
