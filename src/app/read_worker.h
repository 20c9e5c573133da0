// The read-album worker: the frame's header and picture list, the restore question's material, the
// connect checks and every picture decoded into the picture cache.
#pragma once

#include <QList>
#include <QString>
#include <atomic>

#include "album/recovery.h"
#include "app/worker_report.h"

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
};

struct ReadJob {
    album::CAlbumStore* store = nullptr;
    const config::CSettings* settings = nullptr;  // thumbnail settings; null: defaults
    QString cacheFolder;
    QString streamFile;  // scratch file for one picture's stream
    ReadTexts texts;
    const std::atomic<bool>* cancel = nullptr;  // set when the frame went away
    // A read goes on from where the restore question stopped it: the header and the list are in the
    // store already, and `restore` says whether to write the found album first.
    bool resumed = false;
    bool restore = false;
    album::RecoveryResult found;
};

// The code of a read whose every picture was read, but some do not decode (they stay in the album).
inline constexpr int kReadPictureUnreadable = 4;

// How a read ended. The window shows one message from it, after its own state is settled.
struct ReadOutcome {
    int code = 0;            // 0, kReadPictureUnreadable, or the album error that stopped the read
    int pictureCount = 0;    // pictures in the frame's list
    int picturesRead = 0;    // of them read from the frame, in order; the rest were not reached
    bool listRead = false;   // the header and the list came in
    bool panelZero = false;  // the header gives no panel to decode into
    bool clockFailed = false;
    QList<int> unreadable;    // positions whose stream does not decode
    bool askRestore = false;  // stopped for the restore question: `found` is what can come back
    album::RecoveryResult found;
    enum class Restore { NotAsked, Restored, Failed } restore = Restore::NotAsked;

    // Every picture's bytes are in memory: the album may be edited and written back.
    bool Complete() const {
        return listRead && !panelZero && picturesRead == pictureCount && (code == 0 || code == kReadPictureUnreadable);
    }
};

// The colour of a stored RGB565 value: the low bits of each channel are 0.
QColor ColourFrom565(unsigned value);

// Sets the frame's clock (a failure is noted and the read goes on), asks its firmware version, takes the
// panel size from the header and reads the thumbnail settings.
ConnectInfo RunConnectChecks(album::CAlbumStore& store, const config::CSettings* settings);

// Reads the header and the picture list; when the frame's last write was interrupted and something can
// come back, stops there with askRestore set, before anything else is read or written. Resumed, it writes
// the found album if asked to, runs the connect checks and reads every picture into the cache, reporting
// each as it is decoded. A picture that does not decode keeps its place. Album errors end the read; the
// outcome says where.
ReadOutcome RunReadAlbum(const ReadJob& job, IWorkerReport& report);

}  // namespace fotolume::app
