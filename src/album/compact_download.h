// The compact application's download: its album (a list it holds, pictures partly on the frame and partly
// in stream files) written to the frame as a plan, with the same record, journal, retries and recovery as
// the full application's commit.
//
// The order on the frame: the list block loses its entries and trailer (kept magic, colours and reserved
// bytes), the data from the first picture not yet on the frame goes out in whole blocks (the last one in
// whole kilobytes), and the list block is written last with the new list and the data that falls into it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "album/compact_store.h"

namespace fotolume::device {
class CProcessFlash;
}

namespace fotolume::album::compact {

enum class DownloadFailure {
    None,
    NotWritable,          // the layout or erase opcode forbids any write; nothing was sent
    StreamOrFirstBlock,   // a stream could not be read, or the block the data starts in could not be read
    EmptyListUnreadable,  // with nothing to write, the list block could not be read
    LastBlock,            // the last data block could not be written
    Other,
};

struct DownloadResult {
    DownloadFailure failure = DownloadFailure::None;
    DownloadPlan plan;
    // The frame was written to: after a failure it may hold neither album until the record is used.
    bool frameTouched = false;
    std::vector<std::string> warnings;  // one line each (a record that could not be kept, ...)
    uint64_t blocksWritten = 0;
};

struct DownloadRequest {
    std::vector<PictureState> pictures;  // album order
    // Reads the stream of picture index (0-based) into `into`, exactly size bytes; false when it cannot.
    std::function<bool(int index, uint8_t* into, uint32_t size)> readStream;
    // Where the record is kept; empty: none (the download goes on without one).
    std::filesystem::path recoveryFolder;
    std::function<void(int percent)> progress;  // 10, 20, 30 + 60 (i + 1) / n after data block i, 99
};

// Writes the album. list is the program's picture list: on success the slots of the pictures written get
// their addresses and it is the list on the frame; on failure it is as it was.
DownloadResult DownloadAlbum(device::CProcessFlash& flash, const DeviceInfo& info, uint8_t list[kListSize],
                             const DownloadRequest& request);

}  // namespace fotolume::album::compact
