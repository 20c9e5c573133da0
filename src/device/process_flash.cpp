#include "device/process_flash.h"

#include <cstring>
#include <thread>

namespace fotolume::device {

namespace {

constexpr uint32_t kReadPiece = 4096;

uint32_t RoundUp64(uint32_t n) { return (n + 63u) & ~63u; }

}  // namespace

CProcessFlash::CProcessFlash(CCommUSB& link, Variant variant, const IClock* clock)
    : m_link(link),
      m_variant(variant),
      m_clock(clock ? clock : &m_systemClock),
      m_eraseOpcode(variant == Variant::Full ? kOpErase64K : kOpErase4K) {}

int CProcessFlash::Send(const Cdb& cdb, uint8_t* buffer, uint32_t length, int direction) {
    m_lastSend = m_link.SendCmdToDPF(cdb.data(), buffer, length, direction);
    return m_lastSend;
}

bool CProcessFlash::FlashWREN() { return Send(WriteEnableCdb(), nullptr, 0, kDirNone) == kSendDone; }

bool CProcessFlash::FlashWRSR(uint8_t value) {
    return Send(WriteStatusCdb(value), nullptr, 0, kDirNone) == kSendDone;
}

int CProcessFlash::FlashWakeUp() { return Send(WakeUpCdb(), nullptr, 0, kDirNone); }

void CProcessFlash::PrepareWrite() {
    // Status register 0 clears the block-protect bits; each write needs the enable latch set again.
    FlashWREN();
    FlashWRSR(0);
    FlashWREN();
}

int CProcessFlash::Erase4KFlash(uint32_t address) {
    if (!m_link.GetUSBDeviceStatus()) return kFlashFailed;
    PrepareWrite();
    bool ok = Send(EraseCdb(m_eraseOpcode, address), nullptr, 0, kDirNone) == kSendDone;
    if (Compact()) return ok ? kFlashOk : kFlashFailed;
    if (!ok) return kFlashEraseFailed;
    return m_link.GetUSBDeviceStatus() ? kFlashOk : kFlashFailed;
}

bool CProcessFlash::Flash_WR_Page(const uint8_t* buffer, uint32_t length, uint32_t address) {
    PrepareWrite();
    // The frame splits a long program command into flash pages itself.
    return Send(ProgramCdb(m_programOpcode, length, address, m_programFlag), const_cast<uint8_t*>(buffer), length,
                kDirToFrame) == kSendDone;
}

int CProcessFlash::WriteToFlash(const uint8_t* buffer, uint32_t length, uint32_t address) {
    if (!m_link.GetUSBDeviceStatus()) return kFlashFailed;
    if (length > kMaxCdbLength || (length > 0 && buffer == nullptr)) return kFlashFailed;
    if (!Flash_WR_Page(buffer, length, address)) return kFlashFailed;
    return m_link.GetUSBDeviceStatus() ? kFlashOk : kFlashFailed;
}

int CProcessFlash::ReadFromFlash(uint8_t* buffer, uint32_t length, uint32_t address) {
    if (!m_link.GetUSBDeviceStatus()) return kFlashFailed;
    if (length > kMaxCdbLength || (length > 0 && buffer == nullptr)) return kFlashFailed;
    if (Compact()) {
        if (length == 0) return kFlashFailed;
        if (Send(ReadCdb(m_readOpcode, length, address), buffer, length, kDirFromFrame) != kSendDone)
            return kFlashFailed;
        return WaitFlashReady();
    }
    std::memset(buffer, 0, length);
    for (uint32_t offset = 0; offset < length; offset += kReadPiece) {
        // The last piece is rounded up to a multiple of 64 bytes.
        uint32_t piece = length - offset >= kReadPiece ? kReadPiece : RoundUp64(length - offset);
        if (Send(ReadCdb(m_readOpcode, piece, address + offset), buffer + offset, piece, kDirFromFrame) != kSendDone)
            return kFlashFailed;
    }
    if (WaitFlashReady() != kFlashOk) return kFlashFailed;
    return m_link.GetUSBDeviceStatus() ? kFlashOk : kFlashFailed;
}

bool CProcessFlash::GetFlashStatus(bool& ready) {
    uint8_t status[kStatusLength] = {};
    ready = false;
    if (Send(ReadStatusCdb(), status, kStatusLength, kDirFromFrame) != kSendDone) return false;
    ready = (status[0] & 0x01) == 0;
    return true;
}

int CProcessFlash::WaitFlashReady() {
    // The status is asked first, so an idle flash costs one poll and no pause; the full variant pauses
    // only while the frame reports busy. A removed frame fails every status command and would keep this
    // loop going until presence had cleared the connected flag; the open drive is retested after each
    // failure instead, and a flash that stays busy beyond the limit counts as failed.
    const auto deadline = std::chrono::steady_clock::now() + m_busyLimit;
    for (;;) {
        bool ready = false;
        bool answered = GetFlashStatus(ready);
        if (answered && ready) return kFlashOk;
        if (!m_link.GetUSBDeviceStatus()) return kFlashFailed;
        if (!answered && !m_link.RetestDevice()) return kFlashFailed;
        if (std::chrono::steady_clock::now() > deadline) return kFlashFailed;
        PauseWhileBusy();
    }
}

void CProcessFlash::PauseWhileBusy() {
    if (Compact()) std::this_thread::yield();
    else if (m_pause) m_pause(m_pollInterval);
    else std::this_thread::sleep_for(m_pollInterval);
}

bool CProcessFlash::GetVerifyValue(uint8_t& high, uint8_t& low, uint32_t address, uint32_t length) {
    high = low = 0;
    if (length == 0 || length > 65536) return false;  // the length field carries 1..65536 only
    uint8_t answer[64] = {};
    uint32_t size = Compact() ? 64 : 2;
    if (Send(ChecksumCdb(address, length), answer, size, kDirFromFrame) != kSendDone) return false;
    high = answer[0];
    low = answer[1];
    return true;
}

void CProcessFlash::SetFlashCommand(uint8_t eraseOpcode, int programFlag) {
    m_eraseOpcode = eraseOpcode;
    // The flag follows each header read, so a frame without it never inherits it from an earlier one.
    m_programFlag = programFlag != 0;
    if (!Compact()) {
        m_programOpcode = kOpProgram;
        m_readOpcode = kOpRead;
    }
}

int CProcessFlash::SynchronizeDPFtime() {
    m_lastClock = ClockCdb(m_clock->Now(), m_variant);
    return Send(m_lastClock, nullptr, 0, kDirNone);
}

bool ParseFirmwareVersion(const uint8_t answer[64], std::string& version) {
    version.clear();
    if (answer[0] == 0xFF) return false;
    uint8_t text[33] = {};
    std::memcpy(text, answer, 32);
    for (int i = 0; i < 32; ++i) {
        if (text[i] == 0xFF) {
            text[i] = 0;
            break;
        }
        // A zero byte inside the text stands for the digit 0.
        if (i <= 30 && text[i] == 0 && text[i + 1] != 0) text[i] = '0';
    }
    // The text lives in the first 32 bytes only; text[32] stays zero.
    version.assign(reinterpret_cast<const char*>(text));
    return true;
}

bool CProcessFlash::GetFirmwareVersion(std::string& version, std::string& scratch) {
    uint8_t answer[kVersionLength] = {};
    if (Send(VersionCdb(), answer, kVersionLength, kDirFromFrame) != kSendDone) {
        version.clear();
        scratch.clear();
        return false;
    }
    return ParseFirmwareVersion(answer, version);
}

}  // namespace fotolume::device
