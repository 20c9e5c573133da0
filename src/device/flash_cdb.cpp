#include "device/flash_cdb.h"

#include "device/bytes.h"

namespace fotolume::device {

namespace {

// A serial-flash command: group, number of flash command bytes, data length, opcode, address.
Cdb FlashCdb(uint8_t group, uint8_t commandBytes, uint32_t length, uint8_t opcode, uint32_t address) {
    Cdb c{};
    c[0] = group;
    c[6] = commandBytes;
    WriteBe24(&c[7], length);
    c[10] = opcode;
    WriteBe24(&c[11], address);
    return c;
}

}  // namespace

Cdb WriteEnableCdb() { return FlashCdb(kGroupFlashOut, 1, 0, kOpWriteEnable, 0); }

Cdb WriteStatusCdb(uint8_t value) {
    Cdb c = FlashCdb(kGroupFlashOut, 2, 0, kOpWriteStatus, 0);
    c[11] = value;
    return c;
}

Cdb WakeUpCdb() { return FlashCdb(kGroupFlashOut, 1, 0, kOpWakeUp, 0); }

Cdb EraseCdb(uint8_t opcode, uint32_t address) { return FlashCdb(kGroupFlashOut, 4, 0, opcode, address); }

Cdb ProgramCdb(uint8_t opcode, uint32_t length, uint32_t address, bool programFlag) {
    Cdb c = FlashCdb(kGroupFlashOut, 4, length, opcode, address);
    if (programFlag) c[15] = kProgramFlagByte;
    return c;
}

Cdb ReadCdb(uint8_t opcode, uint32_t length, uint32_t address) {
    return FlashCdb(kGroupFlashIn, 4, length, opcode, address);
}

Cdb ReadStatusCdb() { return FlashCdb(kGroupFlashIn, 1, kStatusLength, kOpReadStatus, 0); }

Cdb ChecksumCdb(uint32_t address, uint32_t length) {
    Cdb c{};
    c[0] = kGroupFlashIn;
    c[5] = kFuncChecksum;
    c[6] = 5;
    WriteBe16(&c[7], static_cast<uint16_t>(length & 0xFFFF));
    WriteBe24(&c[11], address);
    return c;
}

Cdb VersionCdb() {
    Cdb c{};
    c[0] = kGroupFlashIn;
    c[5] = kFuncVersion;
    c[6] = 1;
    c[10] = 1;
    return c;
}

}  // namespace fotolume::device
