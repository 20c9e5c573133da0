// Vendor command blocks, built as pure functions so that every byte can be checked without a frame.
#pragma once

#include <array>
#include <cstdint>

namespace fotolume::device {

using Cdb = std::array<uint8_t, 16>;

// Byte 0: command group.
inline constexpr uint8_t kGroupFlashOut = 0xCB;  // serial-flash command, no data or data to the frame
inline constexpr uint8_t kGroupFlashIn = 0xCD;   // command whose data comes from the frame
inline constexpr uint8_t kGroupClock = 0xCA;     // set the frame's clock
// Byte 5 within group 0xCD.
inline constexpr uint8_t kFuncFlash = 0, kFuncVersion = 1, kFuncChecksum = 5;

// Serial-flash opcodes.
inline constexpr uint8_t kOpWriteStatus = 0x01;
inline constexpr uint8_t kOpProgram = 0x02;
inline constexpr uint8_t kOpRead = 0x03;
inline constexpr uint8_t kOpReadStatus = 0x05;
inline constexpr uint8_t kOpWriteEnable = 0x06;
inline constexpr uint8_t kOpErase4K = 0x20;
inline constexpr uint8_t kOpErase64K = 0xD8;
inline constexpr uint8_t kOpWakeUp = 0xAB;

inline constexpr uint8_t kProgramFlagByte = 0x02;  // byte 15 of a program command when the header asks
inline constexpr uint32_t kStatusLength = 64;      // data phase of the status read
inline constexpr uint32_t kVersionLength = 64;     // data phase of the version query
inline constexpr uint32_t kMaxCdbLength = 0xFFFFFF; // 24-bit length field

Cdb WriteEnableCdb();
Cdb WriteStatusCdb(uint8_t value);
Cdb WakeUpCdb();
Cdb EraseCdb(uint8_t opcode, uint32_t address);
Cdb ProgramCdb(uint8_t opcode, uint32_t length, uint32_t address, bool programFlag);
Cdb ReadCdb(uint8_t opcode, uint32_t length, uint32_t address);
Cdb ReadStatusCdb();
// length 1..65536; 65536 is carried as 00 00.
Cdb ChecksumCdb(uint32_t address, uint32_t length);
Cdb VersionCdb();

}  // namespace fotolume::device
