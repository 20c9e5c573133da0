#include "app/add_worker.h"

#include <QFile>

#include "album/album_store.h"
#include "app/album_add.h"
#include "app/app_folders.h"
#include "compose/composition.h"

namespace fotolume::app {

AddOutcome RunAddFiles(const AddJob& job, IWorkerReport& report) {
    album::CAlbumStore& store = *job.store;
    AddOutcome outcome;
    // The worker's own composition: the preview widget belongs to the window thread.
    compose::CComposition composition(
        job.previewClient.isEmpty() ? QSize(compose::CComposition::kClientWidth, compose::CComposition::kClientHeight)
                                    : job.previewClient);
    composition.SetRectSize(job.panelWidth, job.panelHeight);
    composition.SetRectMode(job.rectMode);

    for (const QString& file : job.files) {
        if (job.cancel && job.cancel->load()) break;
        if (!store.GetUSBDeviceStatus()) {
            report.ClearAlbumView();
            outcome.frameGone = true;
            break;
        }
        if (!composition.SetPicture(file)) {
            outcome.unreadable.append(file);
            continue;
        }
        report.PreviewFileChosen(file);
        const QString cachePath = NextCachePath(job.cacheFolder);
        const QImage crop = composition.GetCropBitmap();
        if (crop.isNull()) continue;
        const AddPictureOutcome added = AddPanelToAlbum(store, crop, cachePath, job.streamFile, job.jpgQuality);
        if (added.result != 0) {
            QFile::remove(cachePath);
            outcome.full = true;
            break;
        }
        report.AppendPicture(cachePath, QImage(cachePath), QString::asprintf("%04d.bmp", store.GetPictureCount()));
        report.AlbumModified();
        ++outcome.added;
    }
    return outcome;
}

}  // namespace fotolume::app
