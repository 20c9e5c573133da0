// Standard INQUIRY: the identity of a drive that answers SCSI directly (frames folder, emulator).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "device/drive_backend.h"

namespace fotolume::device {

inline constexpr uint8_t kInquiryOpcode = 0x12;
inline constexpr uint8_t kInquiryLength = 36;
inline constexpr uint8_t kPeripheralCdRom = 0x05;

std::array<uint8_t, 6> InquiryCdb(uint8_t allocationLength = kInquiryLength);

// Standard inquiry data for a CD/DVD drive with the given texts (space padded, cut to size).
std::array<uint8_t, kInquiryLength> BuildInquiryData(const std::string& vendor, const std::string& product,
                                                     const std::string& revision);

// Vendor (bytes 8-15) and product (16-31) of inquiry data, each up to its first zero byte and without
// trailing spaces. False when the data is too short or not from a CD/DVD drive.
bool ParseInquiry(const uint8_t* data, uint32_t length, DriveIdentity& identity);

// Runs INQUIRY on an open drive and parses it.
bool InquireIdentity(IDriveHandle& handle, DriveIdentity& identity, uint32_t timeoutMs);

}  // namespace fotolume::device
