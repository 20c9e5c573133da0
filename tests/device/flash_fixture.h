// A link and flash access bound to one in-process emulator.
#pragma once

#include <memory>

#include "device/comm_usb.h"
#include "device/command_trace.h"
#include "device/process_flash.h"
#include "device/traced_backend.h"
#include "sim/emulator_backend.h"
#include "sim/flash_emulator.h"

namespace fotolume::device::testing {

struct EmulatedFrame {
    // trace: every command the link sends goes into it as well.
    explicit EmulatedFrame(Variant variant = Variant::Full, sim::CFlashEmulator::Options options = {},
                           std::shared_ptr<CCommandTrace> trace = nullptr)
        : emulator(options) {
        auto owned = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator});
        backend = owned.get();
        std::unique_ptr<IDriveBackend> drives = std::move(owned);
        if (trace) drives = std::make_unique<CTracedBackend>(std::move(drives), std::move(trace));
        link = std::make_unique<CCommUSB>(std::move(drives), variant);
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
