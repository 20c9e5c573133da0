// Writing the album to the frame: the list on flash is emptied first, the new picture data follows in
// whole blocks, and the list goes last, so that the frame never lists data that is not there.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "album/compact_store.h"
#include "album/recovery_compact.h"
#include "compact_globals.h"
#include "compact_view.h"
#include "controller.h"
#include "device/bytes.h"
#include "device/process_flash.h"

namespace fotolume::compact {

namespace {

constexpr uint32_t kBlock = album::kBlockSize;
constexpr uint32_t kList = album::kListSize;

// Why a download stopped; each has its own default text.
enum class Failure { kNone, kEmptyListUnreadable, kStreamOrFirstBlock, kLastBlock, kOther };

std::string FailureText(Failure failure) {
    const char* def = "Fail To Download Picture!";
    if (failure == Failure::kEmptyListUnreadable) def = "Fail To Dowload Picture!";
    if (failure == Failure::kStreamOrFirstBlock) def = "Fail To Download Picture";
    if (failure == Failure::kLastBlock) def = "Fail To Download Pictures!";
    return LookupText("FAILE_TO_DOWNLOAD_PICS_TIPS", def);
}

void PutTrailer(uint8_t* block) {
    block[kList - 2] = 0x55;
    block[kList - 1] = 0xAA;
}

void WriteSlot(int n, uint32_t address, uint32_t size) {
    uint8_t* slot = G_PictureList + album::kEntriesOffset + album::kEntrySize * static_cast<uint32_t>(n - 1);
    slot[0] = 1;
    device::WriteLe24(slot + 1, address);
    slot[4] = 0;
    device::WriteLe24(slot + 5, size);
}

bool ReadStream(const std::string& name, uint32_t size, uint8_t* out) {
    std::ifstream in(EdataPath(name), std::ios::binary);
    if (!in) return false;
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
    return static_cast<uint32_t>(in.gcount()) == size;
}

// After a failure past the point where the frame's list was emptied: give the frame back a valid list
// of the pictures whose data the download did not touch, and make the album in memory say the same,
// so that the album can be read again and the download tried again.
// original is the list block as it was before the download.
void RestoreListAfterFailure(const album::compact::DownloadPlan& plan, std::vector<uint8_t> original) {
    const int keep = plan.rewriteAll ? 0 : plan.first - 1;
    for (int slot = keep; slot < album::kMaxSlots; ++slot) album::ClearEntry(G_PictureList, slot);
    if (plan.rewriteAll) {
        for (FileData* node = gmyPictureData->sentinel.next.get(); node; node = node->next.get()) {
            node->onFrame = false;
        }
    }
    if (!FrameConnected()) return;  // read as an empty album when it comes back
    std::memcpy(original.data(), G_PictureList, kList);
    PutTrailer(original.data());
    album::compact::WriteDataToFlash(*m_PtrPF, G_DeviceInfo, original.data(), kBlock, G_DeviceInfo.listAddress);
}

// Keeps the record of what the download is about to do, so that the album can be found again when the
// download is cut off while the frame holds no valid list. The bytes of the pictures it writes are
// taken from data, where they lie one after another from plan.start. Empty when none could be kept
// (said on standard error; the download goes on).
std::filesystem::path KeepRecoveryRecord(const album::compact::DownloadPlan& plan, const uint8_t* oldList,
                                         const uint8_t* newList, const std::vector<uint8_t>& data) {
    if (gmyRecoveryFolder.empty()) return {};
    std::vector<const uint8_t*> newBytes;
    for (const album::PicEntry& entry :
         album::UsablePictures(newList, G_DeviceInfo.listAddress, G_DeviceInfo.flashTotalSize)) {
        const uint8_t* bytes = nullptr;
        uint32_t offset = 0;
        for (int n = plan.first; n <= gmyTotalePictureNum; ++n) {
            const uint32_t size = static_cast<uint32_t>(GetNode(*gmyPictureData, n)->size);
            if (entry.address == plan.start + offset && entry.length == size) {
                bytes = data.data() + offset;
                break;
            }
            offset += size;
        }
        newBytes.push_back(bytes);
    }
    std::string warning;
    std::filesystem::path record = album::compact::WriteRecoveryRecord(
        *m_PtrPF, G_DeviceInfo, gmyRecoveryFolder, oldList, newList, newBytes, warning);
    if (record.empty() && !warning.empty()) ReportProblem(warning);
    return record;
}

// original receives the list block as read before it is emptied; it stays empty when the download
// failed before touching the frame. record receives the recovery record kept meanwhile.
Failure WriteAlbum(const album::compact::DownloadPlan& plan, std::vector<uint8_t>& original,
                   std::filesystem::path& record) {
    device::CProcessFlash& flash = *m_PtrPF;
    const uint32_t L = G_DeviceInfo.listAddress;
    std::vector<uint8_t> block(kBlock, 0);

    // A chip-erase opcode would take the frame's own region with the list; such a frame is not written.
    if (!album::LayoutWritable(L, G_DeviceInfo.flashTotalSize) || !album::EraseOpcodeUsable(flash.EraseOpcode())) {
        return Failure::kOther;
    }

    // Gather the streams in album order; their list entries follow one another from start. This comes
    // before the frame is touched: the record needs the new list and its bytes.
    std::vector<uint8_t> data(plan.total + 1024, 0);
    uint32_t gathered = 0;
    for (int n = plan.first; n <= gmyTotalePictureNum; ++n) {
        FileData* node = GetNode(*gmyPictureData, n);
        const uint32_t size = static_cast<uint32_t>(node->size);
        if (gathered + size > plan.total || !ReadStream(node->name, size, data.data() + gathered)) {
            return Failure::kStreamOrFirstBlock;
        }
        WriteSlot(n, plan.start + gathered, size);
        gathered += size;
    }
    // The list the download ends with.
    uint8_t newList[kList];
    std::memcpy(newList, G_PictureList, kList);
    if (plan.total == 0 || newList[1] != 0) PutTrailer(newList);

    // The frame's list loses its entries and trailer until the list block is written at the end.
    if (!album::compact::ReadFlashData(flash, block.data(), kBlock, L)) return Failure::kOther;
    original = block;
    record = KeepRecoveryRecord(plan, original.data(), newList, data);
    std::memset(block.data() + 15, 0, 4094 - 15 + 1);
    if (flash.Erase4KFlash(L) != 0) return Failure::kOther;
    if (flash.WriteToFlash(block.data(), kBlock, L) != 0) return Failure::kOther;

    if (plan.total == 0) {
        if (!album::compact::ReadFlashData(flash, block.data(), kBlock, L)) return Failure::kEmptyListUnreadable;
        std::memcpy(block.data(), newList, kList);
        if (!album::compact::WriteDataToFlash(flash, G_DeviceInfo, block.data(), kBlock, L)) return Failure::kOther;
        return Failure::kNone;
    }
    SetDownLoadPrcess(10);

    uint32_t position = plan.start;
    uint32_t done = 0;
    std::fill(block.begin(), block.end(), 0);
    if (plan.start == L + kList) {
        done = std::min(plan.total, kBlock - kList);
        std::memcpy(block.data() + kList, data.data(), done);
    } else {
        if (!album::compact::ReadFlashData(flash, block.data(), kBlock, L)) return Failure::kStreamOrFirstBlock;
        if (plan.start < L + kBlock) {
            done = std::min(L + kBlock - plan.start, plan.total);
            std::memcpy(block.data() + (plan.start - L), data.data(), done);
        }
    }
    position += done;
    SetDownLoadPrcess(20);
    std::memcpy(block.data(), newList, kList);

    if (position % kBlock != 0 && done < plan.total) {
        const uint32_t piece = std::min(kBlock - position % kBlock, plan.total - done);
        if (!album::compact::WriteDataToFlash(flash, G_DeviceInfo, data.data() + done, piece, position)) {
            return Failure::kStreamOrFirstBlock;
        }
        done += piece;
        position += piece;
    }

    const uint32_t remaining = plan.total - done;
    const uint32_t blocks = (remaining + kBlock - 1) / kBlock;
    for (uint32_t i = 0; i < blocks; ++i) {
        const bool last = i + 1 == blocks;
        // The last block goes out in whole kilobytes; the gather buffer's spare bytes cover that.
        const uint32_t length = last ? (remaining - i * kBlock + 1023) / 1024 * 1024 : kBlock;
        if (!album::compact::WriteDataToFlash(flash, G_DeviceInfo, data.data() + done, length, position)) {
            return last ? Failure::kLastBlock : Failure::kOther;
        }
        done += kBlock;
        position += kBlock;
        SetDownLoadPrcess(static_cast<int>(30 + 60 * (i + 1) / blocks));
    }

    if (!album::compact::WriteDataToFlash(flash, G_DeviceInfo, block.data(), kBlock, L)) return Failure::kOther;
    SetDownLoadPrcess(99);
    return Failure::kNone;
}

}  // namespace

void MyDownLoadButtonHandler() {
    if (!FrameConnected() || !m_PtrPF || gmyIsTransferData) return;
    const std::string problem = album::LayoutProblem(G_DeviceInfo);
    if (!problem.empty()) {
        SetNotes(LayoutProblemText(problem));
        return;
    }
    const int session = gmyFrameSession;
    if (!ConfirmGivingUpRestore()) return;
    // While the question was open the frame may have left, or a reading begun.
    if (session != gmyFrameSession || gmyIsTransferData || !FrameConnected() || !m_PtrPF) return;
    const bool setAside = gmyRecoveryDeclined;
    SetControlPanlEnable(false);
    gmyIsTransferData = 1;
    SetNotes(LookupText("DOWNLOAD_PICS_TIPS", "Download Pictures(s)"));
    SetDownLoadPrcess(0);
    StartWorker([setAside] {
        if (setAside && !SetRecordsAside()) {
            // The album the records hold is not written over while they still offer it.
            SetNotes(FailureText(Failure::kOther));
            SetDownLoadPrcess(0);
            gmyIsTransferData = 0;
            InvalidateMyWindow();
            return;
        }
        TranspotPic();
    });
}

bool TranspotPic() {
    std::vector<album::compact::PictureState> pictures;
    for (FileData* node = gmyPictureData->sentinel.next.get(); node; node = node->next.get()) {
        pictures.push_back({node->onFrame, static_cast<uint32_t>(node->size)});
    }
    const album::compact::DownloadPlan plan =
        album::compact::GetStartAddAndTotalDownSize(pictures, G_PictureList, G_DeviceInfo);
    std::vector<uint8_t> original;
    std::filesystem::path record;
    uint8_t listBefore[kList];
    std::memcpy(listBefore, G_PictureList, kList);
    const Failure failure = WriteAlbum(plan, original, record);
    if (failure != Failure::kNone) {
        // The record stays: should the frame's list be left erased, it finds the album again.
        if (!original.empty()) {
            RestoreListAfterFailure(plan, std::move(original));
        } else {
            std::memcpy(G_PictureList, listBefore, kList);  // the frame was not touched
        }
        SetNotes(FailureText(failure));
        SetDownLoadPrcess(0);
        gmyIsTransferData = 0;
        // The album can be written again: the controls come back (while the frame is there).
        InvalidateMyWindow();
        return false;
    }
    album::compact::RemoveRecoveryRecord(record);
    for (int n = plan.first; n <= gmyTotalePictureNum; ++n) GetNode(*gmyPictureData, n)->onFrame = true;
    SetDownLoadPrcess(100);
    SetNotes(LookupText("DOWNLOAD_FINISHED_TIPS", "DownLoad Finished!"));
    gmyIsTransferData = 0;
    InvalidateMyWindow();
    return true;
}

}  // namespace fotolume::compact
