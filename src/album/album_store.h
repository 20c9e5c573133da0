// CAlbumStore: the frame's album in memory (header values, picture list, picture-data image) and every
// transfer between it and the flash. Not thread-safe: one caller at a time, except RequestStop.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "album/album_error.h"
#include "album/flash_layout.h"
#include "album/picture_list.h"
#include "album/recovery.h"
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
    // Writes the image from `address` with per-picture progress; honours the stop request between blocks.
    void WritePictureData(uint32_t address, uint32_t length, const uint8_t* source);
    // Invalidates the list on the frame, writes the new picture data, writes the list last. True when
    // committed; false when no album is loaded; throws CAlbumError (the album in memory stays as it was).
    bool CommitAlbum();
    // Safe from any thread: the data write stops after the block in progress.
    void RequestStop() { m_stopRequested.store(true); }
    bool StopRequested() const { return m_stopRequested.load(); }

    // --- Recovery records (recovery.h) -------------------------------------------------------------
    // The private folder the records live in; empty (the default) turns them off.
    void SetRecoveryFolder(const std::filesystem::path& folder);
    const std::filesystem::path& GetRecoveryFolder() const { return m_recovery.folder; }
    // After ReadPictureList: the frame has no valid list and a record of it names pictures the flash
    // still holds. The album in memory is then empty, as before; FindRecovery says what can come back.
    // While it is, CommitAlbum and SetColors refuse with ErrRecoveryPending: restore first, or discard.
    bool RecoveryPending() const { return m_recovery.pending; }
    // Sets this frame's records aside (renamed "*.discarded"), so that the next edit may write over the
    // interrupted one. Returns how many were set aside.
    int DiscardRecovery();
    // Whether the last ReadPictureList found a valid list on the frame (false: it read as empty).
    bool ListValidOnFrame() const { return m_recovery.frameListValid; }
    // Checks every picture of the frame's records against the flash (checksum, then a verified read) and
    // returns the best album found; kind None when there is none. Throws CAlbumError.
    RecoveryResult FindRecovery();
    // Writes the found album's list through the verified list write (no picture data is written), removes
    // the record and reads the list again, so the album reads as usual (load its pictures next). False,
    // with nothing written, when the result does not fit this frame or its pictures changed since.
    // Throws CAlbumError.
    bool ApplyRecovery(const RecoveryResult& result);
    // Problems met with records (a damaged record, a folder that cannot be written); one line each.
    std::vector<std::string> TakeRecoveryWarnings();

private:
    // What the commit adds to a range write: progress before each block, a stop check after some.
    struct RangeHooks {
        std::function<void(uint32_t low, uint32_t high, uint32_t done)> beforeBlock;
        std::function<bool(uint32_t frontier)> stopAfter;  // frontier: flash address written up to
    };
    bool PlacePicture(uint32_t size, const std::function<bool(uint8_t*, uint32_t)>& fill);
    void WriteRange(uint32_t address, uint32_t length, const uint8_t* source, RangeHooks* hooks);
    void MergeIntoBlock(uint32_t block, uint32_t offset, const uint8_t* source, uint32_t length);
    void LoadBlockForMerge(uint32_t block, uint8_t* out);
    void BuildBlockFromImage(uint32_t block, uint8_t* out) const;
    void KeepIntendedBlock(uint32_t block, const uint8_t* content);
    bool IsDamaged(uint32_t block) const;
    void ForgetDamage(uint32_t block);
    void RequireWritableLayout() const;
    void CompactImage();
    void ResetAlbum();
    void Report(int pictureNumber, int done, int total);
    void StopDataWrite(uint32_t frontier);
    // recovery.cpp
    FrameIdentity CurrentIdentity();
    uint16_t FrameRangeSum(uint32_t address, uint32_t length);
    RecordedPicture IntendedPicture(const PicEntry& entry);
    FrameAccess Access();
    void CheckRecoveryOnLoad(const uint8_t* frameList);
    void WriteRecoveryRecord(const uint8_t* frameList, const uint8_t* newList, bool newFromFrame);
    void FinishRecoveryRecord();
    void Warn(std::string text);

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
    // Blocks whose write failed after their erase: the flash holds unknown bytes there, so their next
    // write takes everything from the image, which keeps what those blocks are meant to hold.
    std::vector<uint32_t> m_damagedBlocks;
    std::vector<uint8_t> m_mergeBuffer;  // one 64 KB staging block for read-merges
    std::vector<uint8_t> m_tailBuffer;   // reads of a length that is not a multiple of 64 land here first
    std::unique_ptr<device::CCommUSB> m_link;
    std::unique_ptr<device::CProcessFlash> m_flash;
    RecoveryState m_recovery;
};

}  // namespace fotolume::album
