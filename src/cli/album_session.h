// The album as the album commands use it: the store bound to the frame the options name, with header
// and list read, a progress bar on standard error, and the commit.
#pragma once

#include <memory>
#include <string>

#include "album/album_store.h"
#include "commands.h"

namespace fotolume::cli {

// One line per album failure, with the album's error code named; returns kExitFailed.
int AlbumFailure(const std::string& what, const album::CAlbumError& e);

// A progress bar on standard error, drawn only when that is a terminal.
class ProgressBar {
public:
    explicit ProgressBar(const char* label);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;
    void Set(int percent);

private:
    const char* m_label;
    bool m_shown;
    bool m_drawn = false;
    int m_last = -1;
};

// The store bound to the frame the options name, with header and list read.
struct OpenAlbum {
    std::unique_ptr<album::CAlbumStore> store = std::make_unique<album::CAlbumStore>();
    ProgressBar* bar = nullptr;

    // kExitOk, or the exit code after one error line.
    int Open(const GlobalOptions& options);
    // Reads every picture into the image (needed before an add may compact it). kExitOk or kExitFailed.
    int ReadAllPictures();
    // Writes the album to the frame with a progress bar. kExitOk or kExitFailed.
    int Commit();
};

}  // namespace fotolume::cli
