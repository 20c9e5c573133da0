// An album store bound to one in-process emulated frame, and helpers shared by the album tests.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "album/album_store.h"
#include "tests/support/emulated_frame.h"
#include "tests/support/pictures.h"

namespace fotolume::album::testing {

using testsupport::SentCommand;

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

}  // namespace fotolume::album::testing
