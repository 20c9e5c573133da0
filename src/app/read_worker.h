#pragma once

#include "worker_report.h"

#include <QString>

#include <atomic>

namespace fotolume::album {
class CAlbumStore;
}
namespace fotolume::config {
class CSettings;
}

namespace fotolume::app {

// Texts the read shows, looked up on the window thread before it starts.
struct ReadTexts {
    QString warn;
    QString reading;
    QString finished;
    QString noPictures;
    QString clockFailed;
    QString panelZero;
    QString recoverAsk;     // restore the album of an interrupted synchronize?
    QString recoverDamaged; // added when only the whole pictures come back
    QString recovered;
    QString notRecovered;
};

struct ReadJob {
    album::CAlbumStore* store = nullptr;
    const config::CSettings* settings = nullptr; // thumbnail settings; null: defaults
    QString cacheFolder;
    QString streamFile; // scratch file for one picture's stream
    ReadTexts texts;
    const std::atomic<bool>* cancel = nullptr; // set when the frame went away
};

// Result codes of a read beyond the album errors.
inline constexpr int kReadPictureDropped = 4;

// The colour of a stored RGB565 value: the low bits of each channel are 0.
QColor ColourFrom565(unsigned value);

// Sets the frame's clock, asks its firmware version, checks the panel size
// and reads the thumbnail settings.
ConnectInfo RunConnectChecks(album::CAlbumStore& store, const config::CSettings* settings, const ReadTexts& texts,
                             IWorkerReport& report);

// After a list read that found no valid list but a recovery record of this
// frame: checks the record against the flash, asks whether to restore what
// it found and on Yes writes that list, so the pictures read as usual.
// Album errors go to the caller.
void OfferRecovery(const ReadJob& job, IWorkerReport& report);

// Reads the header, the picture list and every picture into the cache,
// reporting each picture as it is decoded. A picture that does not decode
// is dropped from the album in memory. Returns the code "FinishThread"
// carries: 0, kReadPictureDropped, or an album error code. Does not post
// "FinishThread" itself.
int RunReadAlbum(const ReadJob& job, IWorkerReport& report);

} // namespace fotolume::app
