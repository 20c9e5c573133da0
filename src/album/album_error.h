// The album store's error codes, thrown as one small exception type.
#pragma once

#include <exception>
#include <string>
#include <utility>

namespace fotolume::album {

// The codes the workers hand to the window as the outcome of a read or a commit.
inline constexpr int ErrChecksumQuery = 1;     // the frame did not answer a checksum query
inline constexpr int ErrChecksumMismatch = 2;  // three attempts, three wrong sums
inline constexpr int ErrTransfer = 3;          // a read, erase or program failed, or the frame is gone
// The header describes a layout that cannot be written without touching the frame's own region.
// Not 4: the read worker reports 4 for a picture that does not decode.
inline constexpr int ErrLayout = 5;
// The frame's last write was interrupted and its album can still be restored: an edit now would write
// over what the restore needs.
inline constexpr int ErrRecoveryPending = 6;
// No recovery record could be written before the write: without it an interruption could cost pictures.
inline constexpr int ErrNoRecord = 7;
// The frame's list is not the one this store read: another program wrote the frame since.
inline constexpr int ErrFrameChanged = 8;

// Another program holds the frame (it is writing, or reading while this one would write).
inline constexpr int ErrFrameBusy = 9;

// "checksum query failed", "checksum mismatch", "transfer failed", "layout not writable",
// "an interrupted write waits to be recovered", ..., "the frame is in use by another program".
const char* AlbumErrorName(int code);

class CAlbumError : public std::exception {
public:
    explicit CAlbumError(int code) : m_code(code) {}
    int Code() const { return m_code; }
    const char* what() const noexcept override { return AlbumErrorName(m_code); }

private:
    int m_code;
};

// ErrFrameBusy, with the one line that names the program holding the frame.
class CFrameBusyError : public CAlbumError {
public:
    explicit CFrameBusyError(std::string text) : CAlbumError(ErrFrameBusy), m_text(std::move(text)) {}
    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

}  // namespace fotolume::album
