// CAlbumStore: the frame's album in memory (header values, picture list, picture-data image) and every
// transfer between it and the flash. Not thread-safe: one caller at a time, except RequestStop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "album/album_error.h"
#include "album/flash_layout.h"
#include "album/picture_list.h"
#include "album/recovery_keeper.h"
#include "album/restore_plan.h"
#include "album/write_plan.h"
#include "device/frame_claim.h"

namespace fotolume::device {
class CCommUSB;
class CProcessFlash;
class IDriveBackend;
}  // namespace fotolume::device

namespace fotolume::album {

// Called during a commit as (picture number, done, total).
using ProgressCallback = std::function<void(int pictureNumber, int done, int total)>;

class CAlbumStore {
public:
    CAlbumStore();
    virtual ~CAlbumStore();
    CAlbumStore(const CAlbumStore&) = delete;
    CAlbumStore& operator=(const CAlbumStore&) = delete;

    // --- Device link and flash access ---------------------------------------------------------------
    // Creates the link over `backend`, starts presence (which scans at once) and the flash access bound
    // to it. Always true; whether a frame was found is GetUSBDeviceStatus.
    bool Bind(std::unique_ptr<device::IDriveBackend> backend, const std::string& vendorMatch,
              ProgressCallback progress = nullptr);
    bool GetUSBDeviceStatus() const;
    device::CCommUSB& Link();
    device::CProcessFlash& Flash();

    // --- One writer per frame ---------------------------------------------------------------------------
    // Claims the frame for this process: shared while the album is read, exclusive while it is written.
    // CommitAlbum, SetColors and ApplyRecovery take the exclusive claim themselves and ReadPictureList a
    // shared one; a caller that reads the album and then edits it holds a claim over the whole run, so
    // that no other program writes in between. Throws CFrameBusyError when another program keeps the
    // frame longer than the claim wait (device::kClaimWait unless set).
    device::CFrameClaim ClaimFrame(device::ClaimMode mode);
    void SetClaimWait(std::chrono::milliseconds wait) { m_claimWait = wait; }

    // --- Header ----------------------------------------------------------------------------------------
    // Reads the header (and the layout record it points to). Throws CAlbumError; on failure the values
    // stay as before. Drops the album in memory: ReadPictureList comes next.
    void GetInformation();
    const DeviceInfo& Info() const { return m_info; }
    void GetLcdSize(uint32_t& width, uint32_t& height) const;
    uint32_t GetFlashTotalSize() const { return m_info.flashTotalSize; }
    uint32_t GetTotalPicNum() const { return m_info.maxPictures; }
    uint32_t GetListAddress() const { return m_info.listAddress; }
    uint32_t GetCapacity() const { return m_info.capacity; }
    uint32_t GetFreeBytes() const { return m_freeBytes; }
    // L + 4096 + the bytes of all listed pictures: where they would end if stored back to back.
    uint32_t GetUsedEndAddress() const;
    // Whether a commit or a colour write may touch this frame's layout, and in one line why not.
    bool IsLayoutWritable() const;
    std::string LayoutProblemText() const;

    // --- Picture list and image ------------------------------------------------------------------------
    // Reads the list at L into a fresh zero-filled image. Entries that are not pictures (a flag other
    // than 0 and 1, length 0), that point outside the picture area, or whose lengths together would
    // exceed it are dropped, and ListChangedOnLoad reports it. Throws CAlbumError.
    void ReadPictureList();
    bool IsAlbumLoaded() const { return m_listLoaded; }
    bool ListChangedOnLoad() const { return m_changedOnLoad; }
    int GetPictureCount() const { return m_pictureCount; }
    bool GetPictureEntry(int index, PicEntry& entry) const;
    // Reads picture `index` from the frame into the image and copies it to buffer. Returns its length;
    // 0 for an index out of range or a buffer smaller than the picture (nothing is copied then).
    uint32_t ReadPicture(int index, uint8_t* buffer, uint32_t bufferSize);
    // Reads picture `index` from the frame into its place in the image only; returns its length.
    uint32_t LoadPicture(int index);
    // The picture's bytes in the image (valid once read or added); nullptr for an index out of range.
    const uint8_t* PictureData(int index) const;
    // The most bytes one new picture may take.
    uint32_t GetFreeSpaceForPicture() const;
    // Appends a frame picture stream file as the last picture; false when refused (nothing changes).
    bool AddPicture(const std::string& path);
    bool AddPictureData(const uint8_t* data, uint32_t size);
    bool DeletePicture(int index);
    void GetColors(uint16_t& font, uint16_t& background) const;
    // Writes both colours to the list in memory and at once to the frame. Throws CAlbumError.
    void SetColors(uint16_t font, uint16_t background);
    void FreeDataImage();
    // Bytes of the image already on the frame, and the end of the furthest picture.
    uint32_t GetCommittedLength() const { return m_committedLength; }
    uint32_t GetUsedLength() const { return m_usedLength; }
    const uint8_t* PictureListBytes() const { return m_pictureList.data(); }

    // --- Verified block transfer (throws CAlbumError) -------------------------------------------------
    uint32_t ReadFlashData(uint32_t address, uint32_t length, uint8_t* destination);
    void WriteDataToFlash(uint32_t blockAddress, const uint8_t* source);
    void WriteFlashRange(uint32_t address, uint32_t length, const uint8_t* source);

    // --- Commit ---------------------------------------------------------------------------------------
    // Writes the album in memory to the frame: the list on the frame is emptied first, the new picture data
    // follows, the list goes last, every block verified. Before anything is erased, a recovery record with
    // the journal of every block the commit erases that holds the frame's album is on disk, so that any
    // interruption can be brought back to exactly the old album or exactly the new one. A failed block is
    // tried again from memory, up to kWriteAttempts runs of the whole commit.
    // True when the new album is on the frame. False when no album is loaded, or when a stop request
    // ended the commit: the frame then holds the album it had (the commit rolled back what it had written,
    // or had not begun), and StopRequested() is true. Throws CAlbumError: ErrLayout and
    // ErrRecoveryPending before anything is written, ErrNoRecord when the record cannot be kept,
    // ErrFrameChanged when the frame's list is no longer the one this store read, and 1, 2 or 3 when the
    // frame is gone or keeps failing (the record then stays behind; the album in memory is unchanged and a
    // later commit carries on from it).
    bool CommitAlbum();
    // Safe from any thread and from a signal handler: the commit stops between two blocks.
    void RequestStop() { m_stopRequested.store(true); }
    bool StopRequested() const { return m_stopRequested.load(); }
    // Block writes of the last commit, colour write or restore (for measurements).
    uint64_t LastWriteBlocks() const { return m_lastWriteBlocks; }

    // --- Recovery records (recovery_keeper.h) ---------------------------------------------------------
    // The records' folder, whether a recovery is pending, finding what they give back, discarding them.
    CRecoveryKeeper& Recovery() { return m_recovery; }
    const CRecoveryKeeper& Recovery() const { return m_recovery; }
    // Writes the album Recovery().Find() found through the verified list write (no picture data is
    // written), removes the record and reads the list again, so the album reads as usual (load its pictures
    // next). False, with nothing written, when the result does not fit this frame or its pictures changed
    // since. Throws CAlbumError.
    bool ApplyRecovery(const RecoveryResult& result);

    // --- Restoring a backup (restore_plan.h) -------------------------------------------------------------
    // How a backup differs from this frame: the header's flash size, list address and panel, and the own
    // region below the list (the frame's sums, then a verified read where they agree). Throws CAlbumError.
    BackupMismatch CompareWithBackup(const BackupImage& backup);
    // Writes target (MakeRestoreTarget for this frame) as CommitAlbum writes an album: only the blocks that
    // differ, the list emptied first and written last, the record and journal kept before anything is erased,
    // a failed block tried again. True when the frame holds target (the album in memory is then dropped:
    // ReadPictureList comes next); false when no album is loaded or a stop request ended the write (the
    // frame holds the album it had). Throws CAlbumError as CommitAlbum does.
    bool RestoreAlbum(const RestoreTarget& target);

private:
    struct CommitPlan;
    bool PlacePicture(uint32_t size, const std::function<bool(uint8_t*, uint32_t)>& fill);
    // album_commit.cpp
    CommitPlan PlanCommit();
    CommitPlan PlanColors(uint16_t font, uint16_t background);
    // restore_plan.cpp
    CommitPlan PlanRestore(const RestoreTarget& target);
    // Plans, records and writes, up to kWriteAttempts runs; written receives the list the frame ends with.
    WriteOutcome RunPlan(const std::function<CommitPlan()>& make, bool stoppable, const std::function<void()>& recorded,
                         std::vector<uint8_t>* written);
    std::vector<uint8_t> BlockBase(uint32_t block);
    WriteWindow Window() const;
    void RequireWritableLayout() const;
    void CompactImage();
    void ResetAlbum();
    void Report(int pictureNumber, int done, int total);
    // block_transfer.cpp: the frame as the recovery records see it.
    uint16_t FrameRangeSum(uint32_t address, uint32_t length);
    FrameAccess Access();

    ProgressCallback m_progress;
    std::chrono::milliseconds m_claimWait = device::kClaimWait;
    DeviceInfo m_info;
    uint32_t m_committedLength = 0;
    uint32_t m_usedLength = 0;
    uint32_t m_freeBytes = 0;
    int m_pictureCount = 0;
    uint16_t m_background = kDefaultBackground;
    uint16_t m_font = kDefaultFont;
    bool m_listLoaded = false;
    bool m_changedOnLoad = false;
    std::atomic<bool> m_stopRequested{false};
    std::vector<uint8_t> m_pictureList;
    std::vector<uint8_t> m_dataImage;
    // The list as this store last read it from the frame or wrote it: a commit that finds another list
    // there knows that another program wrote the frame since.
    std::vector<uint8_t> m_frameList;
    // Blocks a write left unknown (erased, then the write broke off), with the bytes they were meant to
    // hold: a later commit builds on those, never on what the frame holds there now.
    std::map<uint32_t, std::vector<uint8_t>> m_unknownBlocks;
    std::vector<uint8_t> m_tailBuffer;  // reads of a length that is not a multiple of 64 land here first
    uint64_t m_lastWriteBlocks = 0;
    std::unique_ptr<device::CCommUSB> m_link;
    std::unique_ptr<device::CProcessFlash> m_flash;
    CRecoveryKeeper m_recovery;
};

}  // namespace fotolume::album
