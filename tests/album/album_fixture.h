// An album store bound to one in-process emulated frame, and helpers shared by the album tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "album/album_store.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"
#include "sim/frame_image.h"

namespace fotolume::album::testing {

struct ProgressCall {
    int picture, done, total;
    bool operator==(const ProgressCall&) const = default;
};

// One vendor command as the frame received it.
struct SentCommand {
    std::array<uint8_t, 16> cdb;
    uint32_t length;
    bool IsRead() const { return cdb[0] == 0xCD && cdb[5] == 0 && cdb[10] == 0x03; }
    bool IsProgram() const { return cdb[0] == 0xCB && cdb[10] == 0x02; }
    bool IsErase() const { return cdb[0] == 0xCB && (cdb[10] == 0xD8 || cdb[10] == 0x20 || cdb[10] == 0x52); }
    bool IsChecksum() const { return cdb[0] == 0xCD && cdb[5] == 5; }
    uint32_t Address() const { return uint32_t{cdb[11]} << 16 | uint32_t{cdb[12]} << 8 | cdb[13]; }
};

// A store bound to its own backend over `emulator`.
struct BoundStore {
    explicit BoundStore(sim::CFlashEmulator& emulator);
    std::vector<SentCommand> Sent() const;  // vendor commands since the last ClearSent
    void ClearSent() { backend->ClearSent(); }

    sim::CEmulatorBackend* backend = nullptr;
    std::vector<ProgressCall> progress;
    std::function<void(const ProgressCall&)> onProgress;  // called after each progress call is kept
    CAlbumStore store;
};

struct AlbumFrame {
    explicit AlbumFrame(const sim::NewFrame& frame = {});

    // A store that has read the header, the list and every picture.
    std::unique_ptr<BoundStore> Open();
    // The album as a fresh read of the frame sees it: every listed picture's bytes, in list order.
    std::vector<std::vector<uint8_t>> ReadBack();

    sim::NewFrame layout;
    sim::CFlashEmulator emulator;
};

// Deterministic bytes of a picture stream; different seeds give different bytes.
std::vector<uint8_t> Picture(uint32_t size, uint32_t seed);

// Every listed picture of the store, from its image.
std::vector<std::vector<uint8_t>> PicturesInMemory(const CAlbumStore& store);

}  // namespace fotolume::album::testing
