// Emulated frames and stores for the benchmarks that write or read an album, and the closing "record:"
// lines that bench/run-all.sh puts into its table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "album/album_store.h"
#include "device/drive_backend.h"
#include "sim/flash_emulator.h"

namespace fotolume::bench {

// A new frame of that flash size and panel whose header names eraseOpcode, its album empty.
std::unique_ptr<sim::CFlashEmulator> MakeFrame(uint32_t flashSize, uint16_t width, uint16_t height,
                                               uint8_t eraseOpcode = 0xD8);

// A store that has read the frame's album, as the programs do when a frame arrives. With a recovery
// folder, records are kept there as the programs keep them.
std::unique_ptr<album::CAlbumStore> OpenStore(std::unique_ptr<device::IDriveBackend> drives,
                                              const std::string& recoveryFolder = {});
std::unique_ptr<album::CAlbumStore> OpenStore(sim::CFlashEmulator& emulator, const std::string& recoveryFolder = {});

// Deterministic picture bytes; different seeds give different bytes.
std::vector<uint8_t> Bytes(uint32_t size, uint32_t seed);

// A fresh private folder under the temporary folder, removed with the object.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// Keeps one value for the closing "record: key: value" lines, printed with that printf format.
void Record(const std::string& key, double value, const char* format);
void RecordText(const std::string& key, const std::string& text);
void PrintRecords();

}  // namespace fotolume::bench
