#include "read_worker.h"

#include "app_folders.h"
#include "app_messages.h"

#include "album/album_error.h"
#include "album/album_store.h"
#include "codec/kv318_encoder.h"
#include "config/settings.h"
#include "device/process_flash.h"

#include <QFile>

#include <cstdio>

#include <string>
#include <vector>

namespace fotolume::app {

namespace {

bool WriteStreamFile(const QString& path, const std::vector<uint8_t>& buffer, uint32_t length)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto size = static_cast<qint64>(length);
    return file.write(reinterpret_cast<const char*>(buffer.data()), size) == size;
}

bool Cancelled(const ReadJob& job)
{
    return job.cancel && job.cancel->load();
}

// Problems with recovery records are no reason to stop a read: one line each
// on the standard error.
void PrintRecoveryWarnings(album::CAlbumStore& store)
{
    for (const std::string& warning : store.TakeRecoveryWarnings())
        std::fprintf(stderr, "Fotolume: %s\n", warning.c_str());
}

} // namespace

QColor ColourFrom565(unsigned value)
{
    return QColor(static_cast<int>(((value >> 11) & 0x1F) << 3), static_cast<int>(((value >> 5) & 0x3F) << 2),
                  static_cast<int>((value & 0x1F) << 3));
}

ConnectInfo RunConnectChecks(album::CAlbumStore& store, const config::CSettings* settings, const ReadTexts& texts,
                             IWorkerReport& report)
{
    ConnectInfo info;
    if (store.Flash().SynchronizeDPFtime() != 0) {
        report.ShowMessage(texts.clockFailed);
        return info;
    }
    std::string version;
    std::string scratch;
    if (store.Flash().GetFirmwareVersion(version, scratch)) {
        info.hasFirmware = true;
        info.firmwareVersion = QString::fromStdString(version);
    }
    uint32_t width = 0;
    uint32_t height = 0;
    store.GetLcdSize(width, height);
    if (width == 0) {
        report.ShowMessage(texts.panelZero);
        return info;
    }
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

void OfferRecovery(const ReadJob& job, IWorkerReport& report)
{
    album::CAlbumStore& store = *job.store;
    const album::RecoveryResult found = store.FindRecovery();
    PrintRecoveryWarnings(store);
    if (found.kind == album::RecoveryKind::None || Cancelled(job))
        return;
    QString question = job.texts.recoverAsk;
    if (found.kind == album::RecoveryKind::IntactPictures)
        question += QLatin1Char('\n') + job.texts.recoverDamaged;
    // No leaves the record, so the question comes again at the next read.
    if (!report.AskYesNo(question) || Cancelled(job))
        return;
    bool restored = false;
    try {
        restored = store.ApplyRecovery(found);
    } catch (const album::CAlbumError&) {
        PrintRecoveryWarnings(store);
        report.ShowMessage(job.texts.notRecovered);
        throw;
    }
    PrintRecoveryWarnings(store);
    report.ShowMessage(restored ? job.texts.recovered : job.texts.notRecovered);
}

// The picture list and every picture; album errors go to the caller.
static int ReadPictures(const ReadJob& job, const ConnectInfo& connect, IWorkerReport& report, int& initialCount);

int RunReadAlbum(const ReadJob& job, IWorkerReport& report)
{
    album::CAlbumStore& store = *job.store;
    report.ShowTotalsText(job.texts.warn);
    store.FreeDataImage();
    report.ClearAlbumView();

    int result = 0;
    int initialCount = 0;
    try {
        store.GetInformation();
        const ConnectInfo connect = RunConnectChecks(store, job.settings, job.texts, report);
        report.ConnectChecked(connect);
        // Without a panel size there is nothing to decode into: the read ends
        // here as an empty album, and nothing is dropped from the frame's list.
        if (connect.ok && connect.panelHeight > 0)
            result = ReadPictures(job, connect, report, initialCount);
    } catch (const album::CAlbumError& error) {
        result = error.Code();
    } catch (const std::exception&) {
        result = album::ErrTransfer;
    }
    report.ShowStatus(initialCount != 0 ? job.texts.finished : job.texts.noPictures);
    return result;
}

static int ReadPictures(const ReadJob& job, const ConnectInfo& connect, IWorkerReport& report, int& initialCount)
{
    album::CAlbumStore& store = *job.store;
    int result = 0;
    {
        store.ReadPictureList();
        PrintRecoveryWarnings(store);
        if (store.RecoveryPending() && !Cancelled(job))
            OfferRecovery(job, report);

        uint16_t font = 0;
        uint16_t background = 0;
        store.GetColors(font, background);
        QColor fontColour = ColourFrom565(font);
        QColor backColour = ColourFrom565(background);
        if (font == background) {
            fontColour = QColor(0, 0, 0);
            backColour = QColor(255, 255, 255);
        }
        report.AlbumHeaderRead(fontColour, backColour, static_cast<int>(store.GetFlashTotalSize() / 1024));
        report.SetProgress(20);

        int n = store.GetPictureCount();
        initialCount = n;
        const auto bufferSize = static_cast<uint32_t>(connect.panelWidth) *
                                static_cast<uint32_t>(connect.panelHeight) * 3U;
        int i = 0;
        while (i < n && !Cancelled(job)) {
            report.SetProgress((i + 1) * 80 / n + 20);
            report.ShowStatus(QStringLiteral("%1:%2 / %3").arg(job.texts.reading).arg(i + 1).arg(n));

            // A stream longer than a raw panel bitmap is no picture of this
            // frame: ReadPicture refuses it (length 0), and it counts as one
            // that does not decode.
            std::vector<uint8_t> buffer(bufferSize, 0);
            const uint32_t length = store.ReadPicture(i, buffer.data(), bufferSize);
            bool decoded = false;
            QString path;
            if (length > 0 && WriteStreamFile(job.streamFile, buffer, length)) {
                path = NextCachePath(job.cacheFolder);
                decoded = codec::CKv318Encoder::DeCode(job.streamFile.toStdString(), path.toStdString(),
                                                       connect.panelWidth, connect.panelHeight);
            }
            const QImage bitmap = decoded ? QImage(path) : QImage();
            if (decoded && !bitmap.isNull()) {
                report.AppendPicture(path, bitmap, QString::asprintf("%04d.bmp", i + 1));
                ++i;
            } else {
                if (!path.isEmpty())
                    QFile::remove(path);
                store.DeletePicture(i);
                --n;
                report.AlbumModified();
                result = kReadPictureDropped;
            }
        }
    }
    return result;
}

} // namespace fotolume::app
