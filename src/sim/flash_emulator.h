// CFlashEmulator: a simulated frame. It interprets the vendor commands on a model of the usual SPI NOR
// flash (protect bits set at power-up, write-enable latch, 64 KB / 4 KB erase, AND-programming,
// checksum, status polls), answers INQUIRY and the version query, and can inject faults.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fotolume::sim {

// 0 = off. Counts are 1-based indices of the frame's vendor commands since power-up (or PowerCycle);
// standard SCSI commands such as INQUIRY are answered but not counted.
struct FlashFaults {
    uint64_t failCommand = 0;  // that command fails (status CHECK CONDITION, nothing done)
    uint64_t failFrom = 0;     // that command and every later one fail, the frame staying attached
    uint64_t corruptRead = 0;  // that command, if a flash read, returns damaged data (flash unchanged)
    uint64_t badChecksum = 0;  // that command, if a checksum query, answers a wrong sum
    uint64_t vanishAfter = 0;  // after that many commands the frame is gone: every later command fails
    uint32_t busyPolls = 0;    // each series of status polls reports busy this many times first
};

class CFlashEmulator {
public:
    struct Options {
        uint32_t flashSize = 2 * 1024 * 1024;
        std::string vendor = "zentaris";
        std::string product = "DPF";
        std::string firmwareVersion = "1.00";  // empty: the frame has no version text
    };

    // Memory-only flash, all 0xFF.
    explicit CFlashEmulator(Options options);
    ~CFlashEmulator();
    CFlashEmulator(const CFlashEmulator&) = delete;
    CFlashEmulator& operator=(const CFlashEmulator&) = delete;

    // The flash is the file's contents (its size wins over options.flashSize); every change is written
    // through at once, so ending the process at any moment is a power cut. nullptr when it cannot be
    // opened or is empty; error says why.
    static std::unique_ptr<CFlashEmulator> OpenImage(const std::string& path, Options options);
    static std::unique_ptr<CFlashEmulator> OpenImage(const std::string& path, Options options, std::string& error);

    // Executes one command (the same framing as the socket protocol). Returns the SCSI status (0 GOOD).
    uint8_t Execute(const uint8_t cdb[16], int direction, uint8_t* data, uint32_t length, uint32_t& transferred);

    std::vector<uint8_t>& Flash();  // raw flash, for tests to inspect or preset (not written through)
    const Options& GetOptions() const { return m_options; }

    void SetFaults(const FlashFaults& faults) {
        m_faults = faults;
        m_lastWasStatus = false;  // the next status poll starts a new series
    }
    uint64_t CommandCount() const { return m_commandCount; }
    // Power off and on: protect bits set, latch clear, command count and vanish state reset.
    void PowerCycle();
    bool Vanished() const { return m_vanished; }

    struct Stats {
        uint64_t commands = 0, bytesIn = 0, bytesOut = 0, erases = 0, programs = 0, reads = 0, checksums = 0;
        double modelledSeconds = 0;  // with the device model on: time a real frame would have taken
    };
    const Stats& GetStats() const { return m_stats; }
    // Models the time of a typical frame: 64 KB erase 150 ms, 4 KB erase 45 ms, program 0.7 ms per
    // 256 bytes, 1 ms per command, 1 MB/s on the bus.
    void SetDeviceModel(bool on) { m_deviceModel = on; }
    // Each command also takes that time before it is answered, as a real frame's would (the device
    // model turns on with it).
    void SetRealTime(bool on) {
        m_realTime = on;
        if (on) m_deviceModel = true;
    }

    uint8_t StatusRegister() const { return m_status; }
    // The last clock command's bytes (all zero before one came).
    const std::array<uint8_t, 16>& LastClock() const { return m_lastClock; }

private:
    uint8_t ExecuteVendor(const uint8_t cdb[16], int direction, uint8_t* data, uint32_t length, uint32_t& transferred);
    uint8_t FlashCommand(const uint8_t cdb[16], int direction, uint8_t* data, uint32_t length, uint32_t& transferred);
    uint8_t Erase(uint8_t opcode, uint32_t address);
    uint8_t Program(uint32_t address, const uint8_t* data, uint32_t length);
    void WriteThrough(uint32_t address, uint32_t length);
    template <class Visit>
    void ForWrapped(uint32_t address, uint32_t length, Visit visit) const;
    static void TakeModelledTime(std::chrono::steady_clock::time_point received, double seconds);
    void Model(double seconds) {
        if (m_deviceModel) m_stats.modelledSeconds += seconds;
    }

    Options m_options;
    std::vector<uint8_t> m_flash;
    int m_fd = -1;  // image file, or -1
    uint8_t m_status;
    FlashFaults m_faults;
    uint64_t m_commandCount = 0;
    uint32_t m_busyLeft = 0;
    bool m_lastWasStatus = false;
    bool m_vanished = false;
    bool m_deviceModel = false;
    bool m_realTime = false;
    Stats m_stats;
    std::array<uint8_t, 16> m_lastClock{};
};

}  // namespace fotolume::sim
