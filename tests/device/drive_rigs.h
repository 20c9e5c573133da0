// Test rigs that present emulated frames through each drive back-end: in-process emulators, a fake
// sysfs tree with a fake SG_IO, and a frames folder with real sockets served by the frame server.
// The presence tests run unchanged on all three.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include <scsi/sg.h>

#include "device/drive_backend.h"
#include "device/sg_backend.h"
#include "sim/flash_emulator.h"
#include "tests/support/temp_folder.h"

namespace fotolume::device::testing {

class DriveRig {
public:
    virtual ~DriveRig() = default;
    // A drive with that identity serving its own emulator; present now unless told otherwise.
    virtual size_t AddDrive(const std::string& vendor, const std::string& product, bool present = true) = 0;
    // The back-end over the drives added so far (called once).
    virtual std::unique_ptr<IDriveBackend> MakeBackend() = 0;
    // The drive leaves or comes back; the back-end's notification follows.
    virtual void Unplug(size_t drive) = 0;
    virtual void Plug(size_t drive) = 0;
    // A change notification about some other device.
    virtual void ForeignChange() = 0;
    virtual sim::CFlashEmulator& Emulator(size_t drive) = 0;
    virtual size_t Opens(size_t drive) = 0;     // times the drive was opened
    virtual size_t OpenNow(size_t drive) = 0;   // handles open now (waits briefly for servers to notice)
    virtual std::string DriveName(size_t drive) = 0;
};

// The SG_IO rig also offers raw SCSI generic nodes and the last pass-through header.
class SgDriveRig : public DriveRig {
public:
    // A node outside the rig's drives: any device type, on USB or not, with that vendor text.
    virtual void AddRawDevice(const std::string& name, const std::string& type, bool usb,
                              const std::string& vendor) = 0;
    virtual size_t RawOpens(const std::string& name) = 0;
    virtual uint64_t RawCommands(const std::string& name) = 0;
    virtual sg_io_hdr_t LastHeader() = 0;
    // The next pass-through calls report this host status (0 = none).
    virtual void SetHostStatus(unsigned short status) = 0;
};

std::unique_ptr<DriveRig> MakeEmulatorRig();
std::unique_ptr<SgDriveRig> MakeSgRig();
std::unique_ptr<DriveRig> MakeFramesRig();

// A SCSI generic node in the sysfs tree at root: its device folder at deviceDir with that type and identity,
// listed as class/scsi_generic/<name>.
void AddSgNode(const std::string& root, const std::string& name, const std::string& deviceDir, const std::string& type,
               const std::string& vendor, const std::string& model);
// Adds sg3 to the sysfs tree at root, a frame's CD-ROM on USB, and returns the options of a back-end over that
// tree whose device nodes live under root/dev.
SgOptions OneFrameNode(const std::string& root);

// Waits up to timeoutMs for fd to become readable.
bool WaitReadable(int fd, int timeoutMs);

using TempDir = testsupport::TempFolder;

}  // namespace fotolume::device::testing
