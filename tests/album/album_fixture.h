// An album store bound to one in-process emulated frame, and helpers shared by the album tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

#include "album/album_store.h"
#include "tests/support/emulated_frame.h"
#include "tests/support/pictures.h"

namespace fotolume::album::testing {

using testsupport::SentCommand;

// The 1-based index of the last command that is, or of the nth that is; 0 when there is none.
uint64_t LastCommand(const std::vector<SentCommand>& sent, bool (SentCommand::*is)() const);
uint64_t NthCommand(const std::vector<SentCommand>& sent, bool (SentCommand::*is)() const, int n);

// 0 when action returns (true), -1 when it returns false, else the code of the album error it throws.
template <typename Action>
int CodeOf(Action&& action) {
    try {
        if constexpr (std::is_void_v<std::invoke_result_t<Action>>) {
            action();
        } else if (!action()) {
            return -1;
        }
    } catch (const CAlbumError& e) {
        return e.Code();
    }
    return 0;
}
inline int CommitCode(CAlbumStore& store) { return CodeOf([&] { return store.CommitAlbum(); }); }

struct ProgressCall {
    int picture, done, total;
    bool operator==(const ProgressCall&) const = default;
};

using testsupport::PicturesInMemory;
using testsupport::ReadAlbum;

// A store bound to its own backend over `emulator`.
struct BoundStore {
    explicit BoundStore(sim::CFlashEmulator& emulator, bool fastPolls = false);
    std::vector<SentCommand> Sent() const { return testsupport::VendorCommands(backend->SentCommands()); }
    void ClearSent() { backend->ClearSent(); }

    sim::CEmulatorBackend* backend = nullptr;
    std::vector<ProgressCall> progress;
    std::function<void(const ProgressCall&)> onProgress;  // called after each progress call is kept
    CAlbumStore store;
};

struct AlbumFrame {
    explicit AlbumFrame(const sim::NewFrame& frame = {}) : layout(frame), emulator(frame) {}

    // A store that has read the header, the list and every picture.
    std::unique_ptr<BoundStore> Open();
    // The album as a fresh read of the frame sees it: every listed picture's bytes, in list order.
    std::vector<std::vector<uint8_t>> ReadBack() { return testsupport::ReadBackAlbum(emulator); }

    sim::NewFrame layout;
    testsupport::NewFrameEmulator emulator;
};

inline std::vector<uint8_t> Picture(uint32_t size, uint32_t seed) { return testsupport::PictureBytes(size, seed); }

// A frame of 512 KB, small enough to fill.
inline sim::NewFrame SmallFrame() { return {.flashSize = 512 * 1024}; }

// The list's colours as the store holds them: font, then background.
inline std::pair<uint16_t, uint16_t> Colours(const CAlbumStore& store) {
    std::pair<uint16_t, uint16_t> colours{0xDEAD, 0xBEEF};  // neither is a colour any test sets
    store.GetColors(colours.first, colours.second);
    return colours;
}

}  // namespace fotolume::album::testing
