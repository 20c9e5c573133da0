// A store bound to an in-process emulated frame whose flash a fuzz input fills; shared by the header and
// list targets. Reading goes through the same verified transfers as with a real frame.
#pragma once

#include <cstdint>
#include <vector>

#include "album/album_error.h"
#include "album/album_store.h"
#include "tests/support/emulated_frame.h"

namespace fotolume::fuzzing {

struct FuzzFrame {
    explicit FuzzFrame(std::vector<uint8_t> flash)
        : emulator(sim::CFlashEmulator::Options{.flashSize = static_cast<uint32_t>(flash.size())}) {
        emulator.Flash() = std::move(flash);
        testsupport::BindStore(store, emulator, nullptr, true);  // the emulated flash is never busy
    }

    // Header, list and every listed picture, as the programs read an attached frame. An album error is
    // an answer, not a fault.
    bool ReadAlbum() {
        try {
            testsupport::ReadAlbum(store);
            return true;
        } catch (const album::CAlbumError&) {
            return false;
        }
    }

    sim::CFlashEmulator emulator;
    album::CAlbumStore store;
};

}  // namespace fotolume::fuzzing
