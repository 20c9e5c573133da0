#include "app/sync_worker.h"

#include "album/album_error.h"
#include "album/album_store.h"

namespace fotolume::app {

int RunSynchronize(album::CAlbumStore& store, const QString& warnText, IWorkerReport& report) {
    report.ShowTotalsText(warnText);
    try {
        if (store.CommitAlbum()) return 0;
        // A stop request rolls the frame back to its album; else no album was ever read, so none of it
        // can be on the frame.
        return store.StopRequested() ? kSyncStopped : album::ErrTransfer;
    } catch (const album::CAlbumError& error) {
        return error.Code();
    } catch (const std::exception&) {
        return album::ErrTransfer;
    }
}

QString SendingStatus(const QString& sending, int pictureNumber, int pictureTotal) {
    return QStringLiteral("%1.......%2/%3").arg(sending).arg(pictureNumber).arg(pictureTotal);
}

int SendingPercent(int done, int total) {
    if (total <= 0) return 0;
    return static_cast<int>(static_cast<long long>(done) * 100 / total);
}

}  // namespace fotolume::app
