// A write to the frame laid out in full before anything is erased, and the writer that carries it out.
//
// A plan names every block the write touches, in the order it writes them, with the bytes each is to
// hold, and keeps a journal: the bytes every erased block held before, for the blocks that held the album
// the frame had (the list block always). The bytes are absolute, so a plan can be run again from the start
// after any failure, and the journal can put the old album back exactly after any interruption. Both the
// full application's commit and the compact application's download are plans.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "album/album_error.h"
#include "album/block_io.h"

namespace fotolume::device {
class CProcessFlash;
}

namespace fotolume::album {

// One block of a plan: programmed from the block's start (the compact download programs less than a whole
// block at the end of its data).
struct BlockWrite {
    uint32_t address = 0;  // a multiple of 64 KB
    std::vector<uint8_t> bytes;
};

struct WritePlan {
    uint32_t listBlock = 0;
    // In writing order: the first empties the frame's list, the last writes the new one.
    std::vector<BlockWrite> steps;
    // Block address -> its 64 KB before the write, for every block the steps erase that held the album.
    std::map<uint32_t, std::vector<uint8_t>> journal;
    // An earlier write of the same album may have left journaled blocks changed: a stop puts back every
    // journaled block that differs, not only those this write touched.
    bool disturbed = false;
};

enum class WriteOutcome {
    Written,     // the plan is on the frame
    NotStarted,  // stopped before anything was erased
    RolledBack,  // stopped part-way: the journal's blocks are back, the frame holds the album it had
};

// How many times a plan is tried from the start before the write gives up.
inline constexpr int kWriteAttempts = 3;

// Whether an album error may go away when the write is tried again (a failed command, a wrong sum).
bool RetryableError(int code);

class CPlanWriter {
public:
    CPlanWriter(device::CProcessFlash& flash, FlashStyle style, WriteWindow window);

    // Writes the steps in order; a step whose block is known to hold its bytes already (written and
    // verified earlier by this writer) is left out. beforeStep is called with each step's index before it
    // is written. Between steps, a true stop() ends the write: at once when nothing was erased yet, by
    // finishing when only the list is left, else by putting the journal back. Throws CAlbumError when a
    // block cannot be written (the caller may run the plan again).
    WriteOutcome Run(const WritePlan& plan, const std::function<bool()>& stop = nullptr,
                     const std::function<void(size_t step)>& beforeStep = nullptr);

    // Puts back every journaled block whose bytes on the frame differ from the journal's, the list block
    // last, so that the old list is valid only once every block it names is whole again. Throws CAlbumError.
    void RestoreJournal(const std::map<uint32_t, std::vector<uint8_t>>& journal, uint32_t listBlock);

    // Puts list into the first 4 KB of the list block, keeping the rest of the block as it is on the frame.
    void WriteListBlock(uint32_t listBlock, const uint8_t* list);

    // A verified read of one whole block. Throws CAlbumError.
    std::vector<uint8_t> ReadBlock(uint32_t block);
    // Wakes the flash before a write is tried again.
    void WakeUp();

    // Blocks this writer has erased whose bytes it has not verified since: their content is unknown.
    std::set<uint32_t> UnknownBlocks() const { return m_unknown; }
    // The bytes a block is known to hold after this writer's work (nullptr when not known).
    const std::vector<uint8_t>* KnownBytes(uint32_t block) const;
    uint64_t BlocksWritten() const { return m_blocksWritten; }

private:
    bool Holds(uint32_t block, const std::vector<uint8_t>& bytes) const;
    // Whether the frame holds bytes at block: its checksum, then a verified read.
    bool FrameHolds(uint32_t block, const std::vector<uint8_t>& bytes);
    void WriteBlock(uint32_t block, const std::vector<uint8_t>& bytes);

    device::CProcessFlash& m_flash;
    FlashStyle m_style;
    WriteWindow m_window;
    std::map<uint32_t, std::vector<uint8_t>> m_known;  // verified since this writer wrote them
    std::set<uint32_t> m_unknown;
    uint64_t m_blocksWritten = 0;
};

// Runs write (which throws CAlbumError) up to kWriteAttempts times while it fails with an error that may
// go away; the writer's knowledge of what it wrote carries over, so a new run skips what is done.
template <class F>
void WithWriteAttempts(CPlanWriter& writer, F&& write) {
    for (int attempt = 1;; ++attempt) {
        try {
            write();
            return;
        } catch (const CAlbumError& e) {
            if (!RetryableError(e.Code()) || attempt >= kWriteAttempts) throw;
            writer.WakeUp();
        }
    }
}

}  // namespace fotolume::album
