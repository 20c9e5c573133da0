#include "sim/flash_emulator.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "device/bytes.h"
#include "device/checksum.h"
#include "device/device_types.h"
#include "device/flash_cdb.h"
#include "device/inquiry.h"

namespace fotolume::sim {

namespace dev = fotolume::device;

namespace {

constexpr uint8_t kGood = 0x00;
constexpr uint8_t kCheckCondition = 0x02;

// Status register bits of the usual serial flashes.
constexpr uint8_t kBusy = 0x01;
constexpr uint8_t kWriteEnableLatch = 0x02;
constexpr uint8_t kBlockProtect = 0x1C;
constexpr uint8_t kWritableBits = 0x9C;  // block protect and the status-register protect bit

constexpr uint8_t kOpWriteDisable = 0x04;
constexpr uint8_t kOpFastRead = 0x0B;
constexpr uint8_t kOpErase32K = 0x52;
constexpr uint8_t kOpChipErase = 0xC7;
constexpr uint8_t kOpChipErase2 = 0x60;

bool IsVendorGroup(uint8_t group) {
    return group == dev::kGroupFlashOut || group == dev::kGroupFlashIn || group == dev::kGroupClock;
}

}  // namespace

CFlashEmulator::CFlashEmulator(Options options)
    : m_options(std::move(options)), m_flash(m_options.flashSize, 0xFF), m_status(kBlockProtect) {}

CFlashEmulator::~CFlashEmulator() {
    if (m_fd >= 0) ::close(m_fd);
}

std::unique_ptr<CFlashEmulator> CFlashEmulator::OpenImage(const std::string& path, Options options) {
    std::string error;
    return OpenImage(path, std::move(options), error);
}

std::unique_ptr<CFlashEmulator> CFlashEmulator::OpenImage(const std::string& path, Options options,
                                                          std::string& error) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return nullptr;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_size <= 0 || st.st_size > 0x1000000) {
        error = path + ": not a flash image (empty or larger than 16 MB)";
        ::close(fd);
        return nullptr;
    }
    options.flashSize = static_cast<uint32_t>(st.st_size);
    auto emu = std::make_unique<CFlashEmulator>(std::move(options));
    size_t done = 0;
    while (done < emu->m_flash.size()) {
        ssize_t n = ::pread(fd, emu->m_flash.data() + done, emu->m_flash.size() - done, static_cast<off_t>(done));
        if (n <= 0) {
            error = path + ": cannot read the image";
            ::close(fd);
            return nullptr;
        }
        done += static_cast<size_t>(n);
    }
    emu->m_fd = fd;
    return emu;
}

std::vector<uint8_t>& CFlashEmulator::Flash() { return m_flash; }

void CFlashEmulator::PowerCycle() {
    m_status = kBlockProtect;
    m_commandCount = 0;
    m_busyLeft = 0;
    m_lastWasStatus = false;
    m_vanished = false;
}

void CFlashEmulator::WriteThrough(uint32_t address, uint32_t length) {
    if (m_fd < 0 || length == 0) return;
    size_t done = 0;
    while (done < length) {
        ssize_t n = ::pwrite(m_fd, m_flash.data() + address + done, length - done, static_cast<off_t>(address + done));
        if (n <= 0) return;  // the in-memory flash stays right; the next change writes again
        done += static_cast<size_t>(n);
    }
}

uint8_t CFlashEmulator::Execute(const uint8_t cdb[16], int direction, uint8_t* data, uint32_t length,
                                uint32_t& transferred) {
    transferred = 0;
    if (m_vanished) return kCheckCondition;
    if (cdb[0] == dev::kInquiryOpcode) {
        if (direction != dev::kDirFromFrame) return kCheckCondition;
        auto inquiry = dev::BuildInquiryData(m_options.vendor, m_options.product, "1.0");
        transferred = std::min<uint32_t>({length, cdb[4], static_cast<uint32_t>(inquiry.size())});
        std::copy_n(inquiry.begin(), transferred, data);
        return kGood;
    }
    if (cdb[0] == 0x00) return kGood;  // TEST UNIT READY
    if (!IsVendorGroup(cdb[0])) return kCheckCondition;

    const auto received = std::chrono::steady_clock::now();
    const double modelledBefore = m_stats.modelledSeconds;
    const uint64_t index = ++m_commandCount;
    ++m_stats.commands;
    Model(0.001);
    uint8_t status = kCheckCondition;
    const bool failed = m_faults.failCommand == index || (m_faults.failFrom != 0 && index >= m_faults.failFrom);
    if (!failed) status = ExecuteVendor(cdb, direction, data, length, transferred);
    if (direction == dev::kDirToFrame) m_stats.bytesIn += length;
    m_stats.bytesOut += transferred;
    Model(static_cast<double>(direction == dev::kDirToFrame ? length : transferred) / 1e6);
    if (m_faults.vanishAfter != 0 && index >= m_faults.vanishAfter) m_vanished = true;
    if (m_realTime) TakeModelledTime(received, m_stats.modelledSeconds - modelledBefore);
    return status;
}

void CFlashEmulator::TakeModelledTime(std::chrono::steady_clock::time_point received, double seconds) {
    // The usual 50 us timer slack would add up over hundreds of millisecond-long commands.
    thread_local bool slackSet = false;
    if (!slackSet) {
        ::prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
        slackSet = true;
    }
    std::this_thread::sleep_until(received + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                 std::chrono::duration<double>(seconds)));
}

uint8_t CFlashEmulator::ExecuteVendor(const uint8_t cdb[16], int direction, uint8_t* data, uint32_t length,
                                      uint32_t& transferred) {
    const bool statusPoll = cdb[0] == dev::kGroupFlashIn && cdb[5] == dev::kFuncFlash && cdb[10] == dev::kOpReadStatus;
    if (!statusPoll) m_lastWasStatus = false;
    switch (cdb[0]) {
        case dev::kGroupClock:
            if (direction == dev::kDirFromFrame || length != 0) return kCheckCondition;
            std::copy_n(cdb, 16, m_lastClock.begin());
            return kGood;
        case dev::kGroupFlashOut:
            if (direction == dev::kDirFromFrame || cdb[5] != 0) return kCheckCondition;
            return FlashCommand(cdb, direction, data, length, transferred);
        default:  // kGroupFlashIn
            if (direction != dev::kDirFromFrame) return kCheckCondition;
            break;
    }
    const uint32_t address = dev::ReadBe24(&cdb[11]);
    if (cdb[5] == dev::kFuncVersion) {
        uint8_t answer[dev::kVersionLength];
        std::memset(answer, 0, sizeof answer);
        if (m_options.firmwareVersion.empty()) std::memset(answer, 0xFF, sizeof answer);
        else std::copy_n(m_options.firmwareVersion.begin(), std::min<size_t>(32, m_options.firmwareVersion.size()), answer);
        transferred = std::min<uint32_t>(length, sizeof answer);
        std::copy_n(answer, transferred, data);
        return kGood;
    }
    if (cdb[5] == dev::kFuncChecksum) {
        uint32_t count = dev::ReadBe16(&cdb[7]);
        if (count == 0) count = 65536;
        if (length < 2) return kCheckCondition;
        uint32_t sum = 0;
        ForWrapped(address, count, [&](const uint8_t* from, uint32_t n, uint32_t) {
            for (uint32_t i = 0; i < n; ++i) sum += from[i];
        });
        if (m_faults.badChecksum == m_commandCount) sum += 0x101;
        ++m_stats.checksums;
        std::memset(data, 0, length);
        dev::WriteBe16(data, static_cast<uint16_t>(sum));
        transferred = length;
        return kGood;
    }
    if (cdb[5] != dev::kFuncFlash) return kCheckCondition;
    switch (cdb[10]) {
        case dev::kOpReadStatus: {
            if (!m_lastWasStatus) m_busyLeft = m_faults.busyPolls;  // a new series of polls
            m_lastWasStatus = true;
            uint8_t value = m_status;
            if (m_busyLeft > 0) {
                --m_busyLeft;
                value |= kBusy;
            }
            std::memset(data, value, length);
            transferred = length;
            return kGood;
        }
        case dev::kOpRead:
        case kOpFastRead: {
            if (dev::ReadBe24(&cdb[7]) != length) return kCheckCondition;
            // Reads wrap at the end of the flash, as the address counter of the chip does.
            ForWrapped(address, length, [&](const uint8_t* from, uint32_t n, uint32_t at) { std::copy_n(from, n, data + at); });
            if (m_faults.corruptRead == m_commandCount && length > 0) {
                data[0] ^= 0x5A;
                data[length / 2] ^= 0xA5;
            }
            ++m_stats.reads;
            transferred = length;
            return kGood;
        }
        default:
            return kCheckCondition;
    }
}

// Calls visit(bytes, count, offset into the range) for the pieces of a range that wraps at the flash end.
template <class Visit>
void CFlashEmulator::ForWrapped(uint32_t address, uint32_t length, Visit visit) const {
    const uint32_t size = static_cast<uint32_t>(m_flash.size());
    for (uint32_t done = 0; done < length;) {
        const uint32_t at = (address + done) % size;
        const uint32_t n = std::min(length - done, size - at);
        visit(m_flash.data() + at, n, done);
        done += n;
    }
}

uint8_t CFlashEmulator::FlashCommand(const uint8_t cdb[16], int direction, uint8_t* data, uint32_t length,
                                     uint32_t& transferred) {
    const uint8_t opcode = cdb[10];
    const uint32_t address = dev::ReadBe24(&cdb[11]);
    if (opcode != dev::kOpProgram && length != 0) return kCheckCondition;
    switch (opcode) {
        case dev::kOpWriteEnable:
            m_status |= kWriteEnableLatch;
            return kGood;
        case kOpWriteDisable:
            m_status &= static_cast<uint8_t>(~kWriteEnableLatch);
            return kGood;
        case dev::kOpWakeUp:
            return kGood;
        case dev::kOpWriteStatus:
            if (m_status & kWriteEnableLatch) m_status = static_cast<uint8_t>(cdb[11] & kWritableBits);
            return kGood;
        case dev::kOpErase4K:
        case kOpErase32K:
        case dev::kOpErase64K:
        case kOpChipErase:
        case kOpChipErase2:
            return Erase(opcode, address);
        case dev::kOpProgram:
            if (direction != dev::kDirToFrame || dev::ReadBe24(&cdb[7]) != length) return kCheckCondition;
            transferred = 0;
            return Program(address, data, length);
        default:
            return kCheckCondition;
    }
}

uint8_t CFlashEmulator::Erase(uint8_t opcode, uint32_t address) {
    // Without the latch the chip ignores the command; the latch is used up either way.
    const bool enabled = m_status & kWriteEnableLatch;
    m_status &= static_cast<uint8_t>(~kWriteEnableLatch);
    uint32_t unit = opcode == dev::kOpErase4K ? 4096u : opcode == kOpErase32K ? 32768u : 65536u;
    uint32_t start = address & ~(unit - 1);
    uint32_t size = unit;
    if (opcode == kOpChipErase || opcode == kOpChipErase2) {
        start = 0;
        size = static_cast<uint32_t>(m_flash.size());
    } else if (address >= m_flash.size()) {
        return kCheckCondition;
    }
    size = std::min<uint32_t>(size, static_cast<uint32_t>(m_flash.size()) - start);
    if (!enabled || (m_status & kBlockProtect)) return kGood;
    std::fill_n(m_flash.begin() + start, size, 0xFF);
    WriteThrough(start, size);
    ++m_stats.erases;
    if (unit == 4096) Model(0.045);
    else if (unit == 32768) Model(0.100);
    else Model(0.150 * (size / 65536.0));
    return kGood;
}

uint8_t CFlashEmulator::Program(uint32_t address, const uint8_t* data, uint32_t length) {
    const bool enabled = m_status & kWriteEnableLatch;
    m_status &= static_cast<uint8_t>(~kWriteEnableLatch);
    if (static_cast<uint64_t>(address) + length > m_flash.size()) return kCheckCondition;
    if (!enabled || (m_status & kBlockProtect)) return kGood;
    // Programming only clears bits.
    for (uint32_t i = 0; i < length; ++i) m_flash[address + i] &= data[i];
    WriteThrough(address, length);
    ++m_stats.programs;
    Model(0.0007 * ((length + 255) / 256));
    return kGood;
}

}  // namespace fotolume::sim
