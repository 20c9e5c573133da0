#include "app/app_folders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace fotolume::app {

namespace {

QString WithSlash(const QString& path) { return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'); }

}  // namespace

QString PrivateTempFolder() {
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) return {};
    const QString folder = WithSlash(cache) + QStringLiteral("fotolume");
    if (!QDir().mkpath(folder)) return {};
    // Decoded album pictures are the user's own: nobody else may read them.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return WithSlash(folder);
}

QString PictureCacheFolder(const QString& tempFolder) {
    if (tempFolder.isEmpty()) return {};
    const QString folder = WithSlash(tempFolder) + QStringLiteral("PicsInDeziDAR");
    if (!QDir().mkpath(folder)) return {};
    return WithSlash(folder);
}

QString NextCachePath(const QString& cacheFolder) {
    const QString folder = WithSlash(cacheFolder);
    for (int n = 0;; ++n) {
        const QString path = folder + QString::asprintf("%04d.bmp", n);
        if (!QFileInfo::exists(path)) return path;
    }
}

int CleanPictureCache(const QString& cacheFolder) {
    if (cacheFolder.isEmpty()) return 0;
    QDir folder(cacheFolder);
    folder.setNameFilters({QStringLiteral("*.bmp")});
    folder.setFilter(QDir::Files | QDir::Hidden | QDir::System);
    int removed = 0;
    for (const QString& name : folder.entryList()) removed += folder.remove(name) ? 1 : 0;
    return removed;
}

void CleanTemporaryFiles(const QString& tempFolder) {
    if (tempFolder.isEmpty()) return;
    for (const char* name : {"ForCut.bmp", "ForShow.bmp", "ForShowBMP.bmp"})
        QFile::remove(WithSlash(tempFolder) + QString::fromLatin1(name));
}

}  // namespace fotolume::app
