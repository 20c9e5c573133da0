// CProcessFlash: the frame's serial flash driven through vendor commands, plus the version query and
// the clock. No cache and no retries; verification belongs to the album store.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "device/clock.h"
#include "device/comm_usb.h"
#include "device/device_types.h"
#include "device/flash_cdb.h"

namespace fotolume::device {

class CProcessFlash {
public:
    // clock: where local time comes from; nullptr = the system clock. Not owned.
    explicit CProcessFlash(CCommUSB& link, Variant variant = Variant::Full, const IClock* clock = nullptr);
    virtual ~CProcessFlash() = default;

    bool FlashWREN();
    bool FlashWRSR(uint8_t value);
    int FlashWakeUp();  // transport result

    // On the compact variant every int below is 0 for success and non-zero for failure.
    int Erase4KFlash(uint32_t address);                                          // 0 / 16 / 32
    int WriteToFlash(const uint8_t* buffer, uint32_t length, uint32_t address);  // 0 / 16
    // 0 / 16. The buffer must have room for length rounded up to a multiple of 64 (full variant).
    int ReadFromFlash(uint8_t* buffer, uint32_t length, uint32_t address);
    // False when the status command failed; ready tells whether the flash is idle.
    bool GetFlashStatus(bool& ready);
    // 0 once the flash reports ready; 16 once the frame is gone, or after a bounded time busy.
    int WaitFlashReady();
    // The frame's 16-bit byte sum of length bytes (1..65536) at address: high * 256 + low.
    bool GetVerifyValue(uint8_t& high, uint8_t& low, uint32_t address, uint32_t length);

    // Opcodes chosen by the frame's header.
    void SetFlashCommand(uint8_t eraseOpcode, int programFlag);
    uint8_t EraseOpcode() const { return m_eraseOpcode; }
    bool ProgramFlag() const { return m_programFlag; }

    // Sets the frame's clock from local time; the transport result.
    int SynchronizeDPFtime();
    // The command block the last SynchronizeDPFtime sent (all zero before).
    const Cdb& LastClockCdb() const { return m_lastClock; }
    // The frame's firmware version text; false (and empty texts) when it has none or the command failed.
    bool GetFirmwareVersion(std::string& version, std::string& scratch);

    // Result of the last command sent (0/1/2), to tell a failed command from a refused answer.
    int LastSendResult() const { return m_lastSend; }
    // Bounds of WaitFlashReady.
    void SetWaitLimit(std::chrono::milliseconds busyLimit) { m_busyLimit = busyLimit; }
    // Pause between status polls while the frame reports busy (full variant, 10 ms); tests of simulated
    // frames shorten it.
    void SetPollInterval(std::chrono::milliseconds interval) { m_pollInterval = interval; }
    // Takes the place of sleeping for that pause (tests count the pauses); empty: sleep.
    void SetPauseFunction(std::function<void(std::chrono::milliseconds)> pause) { m_pause = std::move(pause); }

private:
    int Send(const Cdb& cdb, uint8_t* buffer, uint32_t length, int direction);
    void PrepareWrite();  // write enable, status register 0, write enable
    bool Flash_WR_Page(const uint8_t* buffer, uint32_t length, uint32_t address);
    void PauseWhileBusy();
    bool Compact() const { return m_variant == Variant::Compact; }

    CCommUSB& m_link;
    const Variant m_variant;
    const IClock* m_clock;
    CSystemClock m_systemClock;
    uint8_t m_programOpcode = kOpProgram;
    uint8_t m_eraseOpcode;
    uint8_t m_readOpcode = kOpRead;
    bool m_programFlag = false;
    Cdb m_lastClock{};
    int m_lastSend = kSendDone;
    std::chrono::milliseconds m_busyLimit{30'000};
    std::chrono::milliseconds m_pollInterval{10};
    std::function<void(std::chrono::milliseconds)> m_pause;
};

// Reads the version text out of the frame's 64-byte answer; false when the frame has none.
bool ParseFirmwareVersion(const uint8_t answer[64], std::string& version);

}  // namespace fotolume::device
