#include "app/read_worker.h"

#include <QFile>
#include <cstdio>
#include <string>
#include <vector>

#include "album/album_error.h"
#include "album/album_store.h"
#include "app/app_folders.h"
#include "codec/picture_files.h"
#include "config/settings.h"
#include "device/process_flash.h"

namespace fotolume::app {

namespace {

bool WriteStreamFile(const QString& path, const std::vector<uint8_t>& buffer, uint32_t length) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const auto size = static_cast<qint64>(length);
    return file.write(reinterpret_cast<const char*>(buffer.data()), size) == size;
}

bool Cancelled(const ReadJob& job) { return job.cancel && job.cancel->load(); }

// Problems with recovery records are no reason to stop a read: one line each on the standard error.
void PrintRecoveryWarnings(album::CAlbumStore& store) {
    for (const std::string& warning : store.Recovery().TakeWarnings())
        std::fprintf(stderr, "Fotolume: %s\n", warning.c_str());
}

// The header, the list and what an interrupted write left; true when the restore question comes first.
bool OpenAlbum(const ReadJob& job, ReadOutcome& outcome) {
    album::CAlbumStore& store = *job.store;
    store.GetInformation();
    store.ReadPictureList();
    PrintRecoveryWarnings(store);
    outcome.listRead = true;
    outcome.pictureCount = store.GetPictureCount();
    if (!store.Recovery().Pending() || Cancelled(job)) return false;
    outcome.found = store.Recovery().Find();
    PrintRecoveryWarnings(store);
    // Nothing to bring back: the frame reads as it is, and an edit asks before it writes over the record.
    if (outcome.found.kind == album::RecoveryKind::None) return false;
    outcome.askRestore = true;
    return true;
}

void RestoreFound(const ReadJob& job, ReadOutcome& outcome) {
    album::CAlbumStore& store = *job.store;
    outcome.listRead = true;
    outcome.restore = ReadOutcome::Restore::Failed;
    bool restored = false;
    try {
        restored = store.ApplyRecovery(job.found);
    } catch (const album::CAlbumError&) {
        PrintRecoveryWarnings(store);
        throw;
    }
    PrintRecoveryWarnings(store);
    if (restored) outcome.restore = ReadOutcome::Restore::Restored;
    outcome.pictureCount = store.GetPictureCount();
}

QColor FontOrBlack(uint16_t font, uint16_t background) {
    return font == background ? QColor(0, 0, 0) : ColourFrom565(font);
}

QColor BackgroundOrWhite(uint16_t font, uint16_t background) {
    return font == background ? QColor(255, 255, 255) : ColourFrom565(background);
}

// Every picture in list order. A picture that does not decode keeps its place and its bytes, so that a
// synchronize writes it back unchanged; album errors go to the caller with picturesRead where it stopped.
void ReadPictures(const ReadJob& job, const ConnectInfo& connect, IWorkerReport& report, ReadOutcome& outcome) {
    album::CAlbumStore& store = *job.store;
    const int n = store.GetPictureCount();
    outcome.pictureCount = n;
    const auto bufferSize = static_cast<uint32_t>(connect.panelWidth) * static_cast<uint32_t>(connect.panelHeight) * 3U;
    for (int i = 0; i < n && !Cancelled(job); ++i) {
        report.SetProgress((i + 1) * 80 / n + 20);
        report.ShowStatus(QStringLiteral("%1:%2 / %3").arg(job.texts.reading).arg(i + 1).arg(n));
        const QString caption = QString::asprintf("%04d.bmp", i + 1);

        std::vector<uint8_t> buffer(bufferSize, 0);
        uint32_t length = store.ReadPicture(i, buffer.data(), bufferSize);
        // A stream longer than a raw panel bitmap is no picture of this frame; its bytes still come in.
        if (length == 0) store.LoadPicture(i);
        QString path;
        bool decoded = false;
        if (length > 0 && WriteStreamFile(job.streamFile, buffer, length)) {
            path = NextCachePath(job.cacheFolder);
            decoded = codec::CKv318Encoder::DeCode(job.streamFile.toStdString(), path.toStdString(), connect.panelWidth,
                                                   connect.panelHeight);
        }
        const QImage bitmap = decoded ? QImage(path) : QImage();
        if (decoded && !bitmap.isNull()) {
            report.AppendPicture(path, bitmap, caption);
        } else {
            if (!path.isEmpty()) QFile::remove(path);
            report.AppendUnreadable(caption);
            outcome.unreadable.append(i);
        }
        outcome.picturesRead = i + 1;
    }
}

void ReadRest(const ReadJob& job, IWorkerReport& report, ReadOutcome& outcome) {
    album::CAlbumStore& store = *job.store;
    const ConnectInfo connect = RunConnectChecks(store, job.settings);
    outcome.clockFailed = connect.clockFailed;
    report.ConnectChecked(connect);
    uint16_t font = 0;
    uint16_t background = 0;
    store.GetColors(font, background);
    report.AlbumHeaderRead(FontOrBlack(font, background), BackgroundOrWhite(font, background),
                           static_cast<int>(store.GetFlashTotalSize() / 1024));
    // Without a panel size there is nothing to decode into: the pictures stay unread.
    if (!connect.ok) {
        outcome.panelZero = true;
        return;
    }
    report.SetProgress(20);
    ReadPictures(job, connect, report, outcome);
}

}  // namespace

QColor ColourFrom565(unsigned value) {
    return QColor(static_cast<int>(((value >> 11) & 0x1F) << 3), static_cast<int>(((value >> 5) & 0x3F) << 2),
                  static_cast<int>((value & 0x1F) << 3));
}

ConnectInfo RunConnectChecks(album::CAlbumStore& store, const config::CSettings* settings) {
    ConnectInfo info;
    // The clock is a courtesy to the frame: its failure is told, and the album is read all the same.
    info.clockFailed = store.Flash().SynchronizeDPFtime() != 0;
    std::string version;
    std::string scratch;
    if (store.Flash().GetFirmwareVersion(version, scratch)) {
        info.hasFirmware = true;
        info.firmwareVersion = QString::fromStdString(version);
    }
    uint32_t width = 0;
    uint32_t height = 0;
    store.GetLcdSize(width, height);
    // A panel no frame has is no size to allocate pictures by either.
    if (!album::PanelComposable(width, height)) return info;
    info.panelWidth = static_cast<int>(width);
    info.panelHeight = static_cast<int>(height);
    if (settings) {
        const config::ThumbSettings thumbs = settings->RefreshThumbSettings();
        info.thumbWidth = thumbs.width;
        info.thumbColumn = thumbs.columns;
    }
    info.ok = true;
    return info;
}

ReadOutcome RunReadAlbum(const ReadJob& job, IWorkerReport& report) {
    album::CAlbumStore& store = *job.store;
    ReadOutcome outcome;
    report.ShowTotalsText(job.texts.warn);
    try {
        // No other program writes the frame while it is read.
        const device::CFrameClaim claim = store.ClaimFrame(device::ClaimMode::Shared);
        if (job.resumed) {
            if (job.restore) RestoreFound(job, outcome);
            outcome.listRead = true;
            outcome.pictureCount = store.GetPictureCount();
        } else {
            store.FreeDataImage();
            report.ClearAlbumView();
            if (OpenAlbum(job, outcome)) return outcome;
        }
        ReadRest(job, report, outcome);
    } catch (const album::CAlbumError& error) {
        outcome.code = error.Code();
    } catch (const std::exception&) {
        outcome.code = album::ErrTransfer;
    }
    if (outcome.code == 0 && !outcome.unreadable.isEmpty()) outcome.code = kReadPictureUnreadable;
    // A read that stopped leaves its last status: it says where.
    if (outcome.Complete()) report.ShowStatus(outcome.pictureCount != 0 ? job.texts.finished : job.texts.noPictures);
    return outcome;
}

}  // namespace fotolume::app
