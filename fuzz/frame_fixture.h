// A store bound to an in-process emulated frame whose flash a fuzz input fills; shared by the header and
// list targets. Reading goes through the same verified transfers as with a real frame.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "album/album_error.h"
#include "album/album_store.h"
#include "device/comm_usb.h"
#include "device/process_flash.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"

namespace fotolume::fuzzing {

struct FuzzFrame {
    explicit FuzzFrame(std::vector<uint8_t> flash) : emulator(Options(flash.size())) {
        emulator.Flash() = std::move(flash);
        auto backend = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator});
        store.Bind(std::move(backend), "zentaris", nullptr);
        store.Link().SetSettleDelay(std::chrono::milliseconds(0));
        store.Flash().SetPollInterval(std::chrono::milliseconds(0));  // the emulated flash is never busy
    }
    static sim::CFlashEmulator::Options Options(size_t size) {
        sim::CFlashEmulator::Options o;
        o.flashSize = static_cast<uint32_t>(size);
        return o;
    }

    // Header, list and every listed picture, as the programs read an attached frame. An album error is
    // an answer, not a fault.
    bool ReadAlbum() {
        try {
            store.GetInformation();
            store.ReadPictureList();
            for (int i = 0; i < store.GetPictureCount(); ++i) store.LoadPicture(i);
            return true;
        } catch (const album::CAlbumError&) {
            return false;
        }
    }

    sim::CFlashEmulator emulator;
    album::CAlbumStore store;
};

}  // namespace fotolume::fuzzing
