// An in-process emulated frame bound to a store or to a link, and the vendor commands it received.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "album/album_store.h"
#include "device/comm_usb.h"
#include "device/command_trace.h"
#include "device/process_flash.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"
#include "sim/frame_image.h"

namespace fotolume::testsupport {

// An emulator sized for the layout; its flash still all 0xFF.
sim::CFlashEmulator::Options OptionsFor(const sim::NewFrame& layout);

// An emulator holding a new frame of that layout.
struct NewFrameEmulator : sim::CFlashEmulator {
    explicit NewFrameEmulator(const sim::NewFrame& layout = {});
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

// The vendor commands (groups CA, CB and CD) among those sent, in order.
std::vector<SentCommand> VendorCommands(const std::vector<sim::CEmulatorBackend::Sent>& sent);

// Binds store to a back-end of its own over emulator, without the settle wait; fastPolls also drops the
// pause between status polls. Returns the back-end, which the store owns.
sim::CEmulatorBackend* BindStore(album::CAlbumStore& store, sim::CFlashEmulator& emulator,
                                 album::ProgressCallback progress = nullptr, bool fastPolls = false);

using Album = std::vector<std::vector<uint8_t>>;

// Reads the header and the list, and with pictures every listed picture too, as the programs read a frame.
void ReadAlbum(album::CAlbumStore& store, bool pictures = true);
// Every listed picture's bytes as the store holds them, in list order.
Album PicturesInMemory(const album::CAlbumStore& store);
// The album on the frame as a fresh store reads it.
Album ReadBackAlbum(sim::CFlashEmulator& emulator);

// A link and flash access of one program variant over emulator, connected, without the settle wait.
struct FrameLink {
    // trace: every command the link sends goes into it as well.
    explicit FrameLink(sim::CFlashEmulator& emulator, device::Variant variant = device::Variant::Full,
                       std::shared_ptr<device::CCommandTrace> trace = nullptr);
    // Every command block sent, vendor or not.
    std::vector<std::array<uint8_t, 16>> Cdbs() const;

    sim::CEmulatorBackend* backend = nullptr;
    std::unique_ptr<device::CCommUSB> link;
    std::unique_ptr<device::CProcessFlash> flash;
};

// The same with an emulator of its own.
struct OwnEmulator {
    explicit OwnEmulator(const sim::CFlashEmulator::Options& options) : emulator(options) {}
    sim::CFlashEmulator emulator;
};
struct LinkedFrame : OwnEmulator, FrameLink {
    explicit LinkedFrame(device::Variant variant = device::Variant::Full, sim::CFlashEmulator::Options options = {},
                         std::shared_ptr<device::CCommandTrace> trace = nullptr)
        : OwnEmulator(options), FrameLink(emulator, variant, std::move(trace)) {}
};

}  // namespace fotolume::testsupport
