// Which dropped files and folders the add worker takes, and in what order.
#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

namespace fotolume::app {

// At most this many dropped items (files or folders) are taken per drop.
inline constexpr int kMaxDroppedItems = 125;

// Whether a file name is one the add worker takes: ".jpg", ".bmp", ".jpeg"
// or ".gif" anywhere in it, in any case.
bool HasDropExtension(const QString& name);

// The files a drop queues for the add worker, in order: of the first 125
// items, a folder gives the picture files directly inside it (not those of
// its subfolders), a file is taken when its last five characters hold a
// picture extension. Paths keep the case the file system reports, so they
// open on a case-sensitive file system.
QStringList CollectDroppedFiles(const QStringList& dropped);

// The local files and folders a drag carries (other URLs are not ours to add).
QStringList DroppedPaths(const QMimeData* mime);

}  // namespace fotolume::app
