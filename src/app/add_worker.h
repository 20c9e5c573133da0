#pragma once

#include "worker_report.h"

#include <QSize>
#include <QString>
#include <QStringList>

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

struct AddJob {
    album::CAlbumStore* store = nullptr;
    QStringList files;
    QString cacheFolder;
    QString streamFile;
    QSize previewClient; // the preview's size: pictures are composed as it would show them
    bool rectMode = true;
    int panelWidth = 0;
    int panelHeight = 0;
    int jpgQuality = 90;
    QString destroyedText; // for a file that cannot be read as a picture
};

// Adds the queued files one by one, each composed as the preview shows a
// picture it has just loaded. Returns 1 when the album filled up (the rest
// of the queue is dropped), else 0. Does not post "ProcessFinish" itself.
int RunAddFiles(const AddJob& job, IWorkerReport& report);

} // namespace fotolume::app
