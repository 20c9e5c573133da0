#include "add_worker.h"

#include "album_add.h"
#include "app_folders.h"

#include "album/album_store.h"
#include "composition.h"

#include <QFile>

namespace fotolume::app {

int RunAddFiles(const AddJob& job, IWorkerReport& report)
{
    album::CAlbumStore& store = *job.store;
    // The worker's own composition: the preview widget belongs to the window thread.
    compose::CComposition composition(job.previewClient.isEmpty()
                                          ? QSize(compose::CComposition::kClientWidth,
                                                  compose::CComposition::kClientHeight)
                                          : job.previewClient);
    composition.SetRectSize(job.panelWidth, job.panelHeight);
    composition.SetRectMode(job.rectMode);

    for (const QString& file : job.files) {
        if (!store.GetUSBDeviceStatus()) {
            report.ClearAlbumView();
            return 0;
        }
        if (!composition.SetPicture(file)) {
            report.ShowMessage(job.destroyedText);
            continue;
        }
        report.PreviewFileChosen(file);
        const QString cachePath = NextCachePath(job.cacheFolder);
        const QImage crop = composition.GetCropBitmap();
        if (crop.isNull())
            continue;
        const AddPictureOutcome added = AddPanelToAlbum(store, crop, cachePath, job.streamFile, job.jpgQuality);
        if (added.result != 0) {
            QFile::remove(cachePath);
            return 1;
        }
        report.AppendPicture(cachePath, QImage(cachePath),
                             QString::asprintf("%04d.bmp", store.GetPictureCount()));
        report.AlbumModified();
    }
    return 0;
}

} // namespace fotolume::app
