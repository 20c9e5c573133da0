// An album edit (two pictures appended, one deleted) committed with a recovery folder, interrupted by a
// power cut after any command, and what a recovery must bring back from the flash the cut left.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "album/recovery.h"
#include "tests/album/album_fixture.h"
#include "tests/support/temp_folder.h"

namespace fotolume::album::testing {

using Album = std::vector<std::vector<uint8_t>>;

// A private folder for recovery records, in memory where it can be: records are flushed to the disk
// before every write, and the thousands of writes of the matrices do not wait for it there.
struct TempFolder : testsupport::TempFolder {
    TempFolder() : testsupport::TempFolder(true) {}
    std::vector<std::filesystem::path> Records() const { return ListRecordFiles(Path()); }
};

// A picture as meant: where the list puts it and its bytes.
struct MeantPicture {
    uint32_t address;
    std::vector<uint8_t> bytes;
};

struct RecoveryScenario {
    static constexpr uint32_t kL = 0x10000;
    static constexpr uint32_t kOld[3] = {30000, 50000, 20000};

    RecoveryScenario();

    static sim::NewFrame Layout();
    // Fast status polls and the scenario's recovery folder.
    std::unique_ptr<BoundStore> Store();
    // A store that has read the frame (list only) with records on.
    std::unique_ptr<BoundStore> Reader();
    // The frame as before the edit, and a store that has read it and made the edit in memory.
    std::unique_ptr<BoundStore> Edited();
    // The album as a fresh read of the frame (records off) sees it.
    Album ReadBack();
    // The album as it was before the edit.
    Album OldAlbum() const;
    // Edited, committed with the power going after command k; 0 when the commit completed, else the code.
    int CutAfter(uint64_t k);

    AlbumFrame frame;
    TempFolder folder;
    std::vector<uint8_t> initial;
    std::vector<MeantPicture> oldPictures, newPictures;
    std::vector<SentCommand> commitCommands;  // of an undisturbed commit of the edit
};

// A frame held in memory, reached only as a FrameAccess: the recovery records without a store. Its list
// at kL names two pictures of its picture area.
struct MemoryFrame {
    static constexpr uint32_t kL = 0x10000;
    static constexpr uint32_t kSizes[2] = {30000, 20000};

    MemoryFrame();
    FrameAccess Access();
    std::vector<uint8_t> ListBlock() const;  // the 64 KB block at kL

    DeviceInfo info;
    std::vector<uint8_t> flash;
};

}  // namespace fotolume::album::testing
