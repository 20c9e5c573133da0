#pragma once

#include "worker_report.h"

#include <QString>

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

// Writes the album in memory to the frame. Returns the code
// "DownloadFinished" carries: 0 committed, else the album error code.
int RunSynchronize(album::CAlbumStore& store, const QString& warnText, IWorkerReport& report);

// The status text while sending: "Sending.......3/7".
QString SendingStatus(const QString& sending, int pictureNumber, int pictureTotal);

// Percent of the bar for done of total; 0 for a total of 0.
int SendingPercent(int done, int total);

} // namespace fotolume::app
