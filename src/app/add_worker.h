// The add worker: dropped picture files composed, encoded and appended to the album one by one.
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <atomic>

#include "app/worker_report.h"

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

struct AddJob {
    album::CAlbumStore* store = nullptr;
    QStringList files;
    QString cacheFolder;
    QString streamFile;
    QSize previewClient;  // the preview's size: pictures are composed as it would show them
    bool rectMode = true;
    int panelWidth = 0;
    int panelHeight = 0;
    int jpgQuality = 90;
    const std::atomic<bool>* cancel = nullptr;  // set when the program ends
};

struct AddOutcome {
    bool full = false;       // the album filled up; the rest of the queue was dropped
    bool frameGone = false;  // the frame went away before the queue was done
    int added = 0;
    QStringList unreadable;  // files that could not be read as pictures
};

// Adds the queued files one by one, each composed as the preview shows a picture it has just loaded.
AddOutcome RunAddFiles(const AddJob& job, IWorkerReport& report);

}  // namespace fotolume::app
