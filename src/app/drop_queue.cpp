#include "app/drop_queue.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace fotolume::app {

bool HasDropExtension(const QString& name) {
    const QString lower = name.toLower();
    for (const char* extension : {".jpg", ".bmp", ".jpeg", ".gif"}) {
        if (lower.contains(QLatin1String(extension))) return true;
    }
    return false;
}

QStringList CollectDroppedFiles(const QStringList& dropped) {
    QStringList queued;
    const int items = std::min<int>(static_cast<int>(dropped.size()), kMaxDroppedItems);
    for (int k = 0; k < items; ++k) {
        const QString& path = dropped.at(k);
        const QFileInfo info(path);
        if (info.isDir()) {
            QDir folder(path);
            const QStringList names = folder.entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase);
            for (const QString& name : names) {
                if (HasDropExtension(name)) queued.append(folder.filePath(name));
            }
        } else if (HasDropExtension(path.right(5))) {
            queued.append(path);
        }
    }
    return queued;
}

QStringList DroppedPaths(const QMimeData* mime) {
    QStringList paths;
    if (!mime || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) paths.append(url.toLocalFile());
    }
    return paths;
}

}  // namespace fotolume::app
