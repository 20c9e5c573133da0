// A link and flash access bound to one in-process emulator.
#pragma once

#include <memory>

#include "device/comm_usb.h"
#include "device/process_flash.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"

namespace fotolume::device::testing {

struct EmulatedFrame {
    explicit EmulatedFrame(Variant variant = Variant::Full, sim::CFlashEmulator::Options options = {})
        : emulator(options) {
        auto owned = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator});
        backend = owned.get();
        link = std::make_unique<CCommUSB>(std::move(owned), variant);
        link->SetSettleDelay(std::chrono::milliseconds(0));
        link->IniUSBDevice();
        flash = std::make_unique<CProcessFlash>(*link, variant);
    }
    // The vendor commands sent, as command blocks.
    std::vector<std::array<uint8_t, 16>> Sent() const {
        std::vector<std::array<uint8_t, 16>> out;
        for (const auto& s : backend->SentCommands()) out.push_back(s.cdb);
        return out;
    }

    sim::CFlashEmulator emulator;
    sim::CEmulatorBackend* backend;
    std::unique_ptr<CCommUSB> link;
    std::unique_ptr<CProcessFlash> flash;
};

}  // namespace fotolume::device::testing
