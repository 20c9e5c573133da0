// The synchronize worker: the album in memory written to the frame, and the texts of its progress.
#pragma once

#include <QString>

#include "app/worker_report.h"

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

// The code of a synchronize that a stop request ended before it wrote the new album: the frame keeps the
// album it had.
inline constexpr int kSyncStopped = -1;

// Writes the album in memory to the frame. Returns 0 when the frame holds it, kSyncStopped, or the album
// error code.
int RunSynchronize(album::CAlbumStore& store, const QString& warnText, IWorkerReport& report);

// The status text while sending: "Sending.......3/7".
QString SendingStatus(const QString& sending, int pictureNumber, int pictureTotal);

// Percent of the bar for done of total; 0 for a total of 0.
int SendingPercent(int done, int total);

}  // namespace fotolume::app
