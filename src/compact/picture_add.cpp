// Adding pictures: the picture view's composed picture, or a batch of selected files on the worker,
// each under the album's limits and with the quality search for frames that cap the picture count.
#include <QFile>
#include <QRectF>

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "album/budget_fit.h"
#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/compact_view.h"
#include "compose/panel_bitmap.h"
#include "compose/picture_loader.h"

namespace fotolume::compact {

namespace fs = std::filesystem;

namespace {

constexpr int kAlbumLimit = 509;       // entries the picture list holds
constexpr int kCountedAlbumLimit = 513;

void RemoveFiles(const std::string& bmp, const std::string& stream) {
    std::error_code ec;
    fs::remove(bmp, ec);
    fs::remove(stream, ec);
}

QRectF NormalizedDrawRect() {
    return QRectF(gmyDrawrect.x, gmyDrawrect.y, gmyDrawrect.width, gmyDrawrect.height).normalized();
}

}  // namespace

bool AddComposedPicture(const QImage& composed, bool batch) {
    ++gmyTotalePictureNum;
    ++gmyTotalePicture;
    auto undoCounters = [] {
        --gmyTotalePictureNum;
        --gmyTotalePicture;
    };
    const int count = gmyTotalePictureNum;
    SetNotes(TextWithNumber(LookupText("THE_SEQUENCE_TIPS", "The sequence number:"), count));
    const std::string name = "Picture" + std::to_string(gmyTotalePicture) + ".bmp";
    const std::string bmp = DataPath(name);
    const std::string stream = EdataPath(name);
    const int width = static_cast<int>(gmyLcdWidth), height = static_cast<int>(gmyLcdHeight);
    const std::string full = LookupText("CANOT_ADD_ANY_MORE_TIPS", "Can't add anymore pictures!");

    if (count > kAlbumLimit) {
        SetNotes(full);
        undoCounters();
        RemoveFiles(bmp, stream);
        return false;
    }
    if (!compose::SavePanelBmp(composed, QFile::decodeName(QByteArray::fromStdString(bmp)))) {
        SetNotes(LookupText("CANOT_PROCESS_PICS_TIPS", "Couldn't Process the picture!"));
        undoCounters();
        RemoveFiles(bmp, stream);
        return false;
    }
    int size = 0;
    if (G_TotalPicNum != 0) {
        if (G_TotalPicNum < count || count >= kCountedAlbumLimit) {
            SetNotes(full);
            undoCounters();
            RemoveFiles(bmp, stream);
            return false;
        }
        // An equal share of the free space for each picture the frame still takes.
        const int budget = G_TotalPicNum > count ? TotolFlashSizeForPic / (G_TotalPicNum - count)
                                                 : TotolFlashSizeForPic;
        const auto encode = [&](int quality) {
            const int bytes = MyJPG->EnCode(bmp, stream, width, height, quality, G_YValue);
            return static_cast<std::size_t>(std::max(bytes, 0));
        };
        const album::BudgetFit fit =
            album::FitToBudget(static_cast<std::size_t>(std::max(budget, 0)), G_PicQuality, encode);
        G_CurQuanlity = fit.quality;
        size = static_cast<int>(fit.bytes);
        if (size > budget) {
            SetNotes(LookupText("CANOT_PROCESS_PICS_TIPS", "Couldn't Process the Picture!"));
            undoCounters();
            RemoveFiles(bmp, stream);
            return false;
        }
    } else {
        size = MyJPG->EnCode(bmp, stream, width, height, G_CurQuanlity, G_YValue);
        if (size > TotolFlashSizeForPic) {
            undoCounters();
            RemoveFiles(bmp, stream);
            SetNotes(FrameConnected() ? full : LookupText("DEVICE_NOT_ONLINE_TIPS", "Device Not Online!"));
            return false;
        }
    }
    if (size < 1) {
        SetNotes(LookupText("CANOT_PROCESS_PICS_TIPS", "Couldn't Process the picture!"));
        undoCounters();
        RemoveFiles(bmp, stream);
        return false;
    }
    FileData node;
    node.file = bmp;
    node.name = name;
    node.onFrame = false;
    node.sequence = count + 1000;
    node.size = size;
    AddNode(*gmyPictureData, node);
    TotolFlashSizeForPic -= size;
    UpdateInfo();
    if (batch && gmyView) gmyView->AdvanceBrowser();
    return true;
}

void MyAddButtonHandler() {
    if (gmyIsTransferData || !FrameConnected() || !gmyView) return;
    const QRectF rect = NormalizedDrawRect();
    if (rect.width() == 0 || rect.height() == 0) return;
    SelPicArrayRef = gmyView->SelectedPictureItems();
    if (SelPicArrayRef.size() > 1) {
        std::vector<std::string> paths;
        for (int index : SelPicArrayRef) paths.push_back(gmyView->BrowserItemPath(index));
        compose::CCompactTransform transform = gmyView->Transform();
        transform.SetDrawRect(rect);
        gmyView->ReleasePreviewImages();
        SetControlPanlEnable(false);
        gmyIsTransferData = 1;
        StartWorker([transform, paths = std::move(paths), indexes = SelPicArrayRef] {
            ProcessMorePic(transform, paths, indexes);
        });
        return;
    }
    SelPicArrayRef.clear();
    const QImage composed = gmyView->ComposedPicture();
    if (composed.isNull()) return;
    AddComposedPicture(composed, false);
    RebuildAlbumList(AlbumListAfter::kScrollToLast);
}

void ProcessMorePic(compose::CCompactTransform transform, std::vector<std::string> paths,
                    std::vector<int> browserIndexes) {
    gmyIsTransferData = 1;
    SetControlPanlEnable(false);
    // The crop frame of the first picture is kept for all of them.
    const QRectF frame = transform.NormalizedDrawRect();
    for (size_t i = 0; i < paths.size(); ++i) {
        if (!FrameConnected()) break;
        const QImage picture = compose::LoadSourcePicture(QString::fromStdString(paths[i]));
        if (picture.isNull()) {
            if (gmyView) gmyView->MarkNotPicture(browserIndexes[i]);
            continue;
        }
        transform.SelectPicture(picture.size());
        transform.SetDrawRect(frame);
        if (gmyView) gmyView->ShowPicture(picture, browserIndexes[i]);
        if (!AddComposedPicture(transform.GetPicDataFromView(picture), true)) break;
    }
    SelPicArrayRef.clear();
    if (gmyView) gmyView->RedrawViews();
    RebuildAlbumList(AlbumListAfter::kScrollToLast);
    SetDownLoadPrcess(0);
    gmyIsTransferData = 0;
    InvalidateMyWindow();
}

}  // namespace fotolume::compact
