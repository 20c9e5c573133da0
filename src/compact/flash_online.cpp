// Status operations, the frame's arrival and removal, and reading every picture from the frame.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "album/compact_store.h"
#include "compact_globals.h"
#include "compact_view.h"
#include "controller.h"
#include "device/comm_usb.h"
#include "device/process_flash.h"

namespace fotolume::compact {

namespace fs = std::filesystem;

void SetNotes(const std::string& text) {
    if (gmyView) gmyView->SetNotes(text);
}

void SetDownLoadPrcess(int percent) {
    if (gmyView) gmyView->SetDownLoadPrcess(percent);
}

void SetControlPanlEnable(bool on) {
    if (gmyView) gmyView->SetControlPanlEnable(on);
}

void InvalidateMyWindow() {
    if (gmyView) gmyView->InvalidateMyWindow();
}

void UpdateInfo() {
    char totals[32];
    if (G_TotalPicNum == 0) {
        std::snprintf(totals, sizeof totals, "%dK/%dK", (G_FlashTotalSize - TotolFlashSizeForPic) / 1024,
                      G_FlashTotalSize / 1024);
    } else {
        std::snprintf(totals, sizeof totals, "%03d/%03d", gmyTotalePictureNum, G_TotalPicNum);
    }
    if (gmyTotalePictureNum == 0) gmyCurrentSelectItem = 0;
    char current[32];
    std::snprintf(current, sizeof current, "%03d", gmyCurrentSelectItem);
    if (gmyView) gmyView->SetPicNumInfo(totals, current);
}

namespace {

// Files of an earlier run: every BMP-named file in the two writable folders.
void DeleteCachedPictures() {
    for (const char* folder : {"data", "Edata"}) {
        std::error_code ec;
        const fs::path dir = fs::path(gmyWorkpath) / folder;
        fs::create_directories(dir, ec);
        for (const fs::directory_entry& entry : fs::directory_iterator(dir, ec)) {
            if (entry.is_regular_file(ec) && entry.path().extension() == ".bmp") fs::remove(entry.path(), ec);
        }
    }
}

void TakeHeader(const album::DeviceInfo& info) {
    G_DeviceInfo = info;
    gmyLcdWidth = static_cast<float>(info.lcdWidth);
    gmyLcdHeight = static_cast<float>(info.lcdHeight);
    G_PicListAddress = static_cast<int>(info.listAddress);
    G_FlashTotalSize = static_cast<int>(info.flashTotalSize);
    G_TotalPicNum = static_cast<int>(info.maxPictures);
    G_YValue = info.yValue;
    G_PicQuality = info.picQuality;
}

}  // namespace

void StartFlashOnline() {
    if (gmyIsTransferData) return;
    ++gmyFrameSession;
    // Set before the worker starts, so that Add and Quit see the reading at once.
    gmyIsTransferData = 1;
    StartWorker(SetFlashOnline);
}

void SetFlashOnline() {
    if (gmyView) gmyView->ReleasePreviewImages();
    SetNotes(LookupText("DEVICE_ONLINE_TIPS", "Device Online"));
    m_PtrPF = std::make_unique<device::CProcessFlash>(*device, device::Variant::Compact);
    gmyIsTransferData = 1;
    album::DeviceInfo info;
    if (!album::compact::GetInformation(*m_PtrPF, info)) {
        SetNotes(LookupText("READ_INITIAL_INFO_FALSE_TIPS", "Read Initializtion Information false!"));
        gmyIsTransferData = 0;
        return;
    }
    TakeHeader(info);
    if (gmyView) gmyView->SetPanelFrame(static_cast<int>(info.lcdWidth), static_cast<int>(info.lcdHeight));
    m_PtrPF->SynchronizeDPFtime();
    if (!album::compact::ReadPictureList(*m_PtrPF, G_DeviceInfo, G_PictureList)) {
        SetNotes(LookupText("READ_PICS_LIST_FALSE_TIPS", "Read Picture List false!"));
        gmyIsTransferData = 0;
        return;
    }
    // A list erased by an interrupted download reads as an empty album; the records may still find it.
    album::RecoveryResult found = FindAlbumToRestore();
    if (!ReadListedAlbum()) {
        gmyIsTransferData = 0;
        return;
    }
    // The commands stay off until the question is answered.
    if (found.kind != album::RecoveryKind::None && AskToRestore(std::move(found))) return;
    InvalidateMyWindow();
    gmyIsTransferData = 0;
}

bool ReadListedAlbum() {
    // T - L - 4096, and nothing when the list itself lies past the flash end.
    TotolFlashSizeForPic = static_cast<int>(G_DeviceInfo.capacity);
    DeleteCachedPictures();
    if (ReadPicFromFlash()) return true;
    SetNotes(LookupText("READ_PICS_FALSE_TIPS", "Read picture(s) false"));
    SetDownLoadPrcess(0);
    return false;
}

bool ReadPicFromFlash() {
    SetNotes(LookupText("READ_PICTURES_TIPS", "Read Picture(s)"));
    FreeList(gmyPictureData);
    gmyPictureData = CreateList();
    const int width = static_cast<int>(gmyLcdWidth), height = static_cast<int>(gmyLcdHeight);
    int count = 0;
    std::vector<uint8_t> stream;
    for (int slot = 0; slot < album::kMaxSlots; ++slot) {
        const album::PicEntry entry = album::ReadEntry(G_PictureList, slot);
        bool keep = false;
        if (album::compact::IsEntryUsable(entry, G_DeviceInfo)) {
            const int k = count + 1;
            const std::string name = "DPFPicture" + std::to_string(k) + ".bmp";
            std::ofstream out(EdataPath(name), std::ios::binary | std::ios::trunc);
            if (!out || !album::compact::ReadPictureStream(*m_PtrPF, G_DeviceInfo, entry.address, entry.length,
                                                           stream)) {
                SetDownLoadPrcess(0);
                return false;
            }
            out.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
            out.close();
            if (!out) {
                SetDownLoadPrcess(0);
                return false;
            }
            if (MyJPG->DeCode(EdataPath(name), DataPath(name), width, height)) {
                FileData node;
                node.file = DataPath(name);
                node.name = name;
                node.onFrame = true;
                node.sequence = count;
                node.size = static_cast<int>(entry.length);
                AddNode(*gmyPictureData, node);
                TotolFlashSizeForPic -= node.size;
                SetNotes(TextWithNumber(LookupText("READ_PICTURES_TIPS", "Read Picture:"), count));
                count = k;
                keep = true;
            }
        }
        // Anything but a readable picture leaves the list, so that packing keeps the list in step with
        // the album: slot n of the packed list is picture n.
        if (!keep) album::ClearEntry(G_PictureList, slot);
    }
    if (count > 0) {
        SetNotes(LookupText("PICTURES_IN_FOTOLUME_TIPS", "Picture(s) In Fotolume"));
        gmyTotalePictureNum = gmyTotalePicture = count;
        UpdateInfo();
        album::compact::MovePicAddressInPicList(G_PictureList, count);
    } else {
        SetNotes(LookupText("NO_PICTURES_TIPS", "No Picture"));
        gmyTotalePictureNum = gmyTotalePicture = 0;
        UpdateInfo();
    }
    if (gmyView) gmyView->ShowAlbumList(AlbumNames(), AlbumListAfter::kScrollToLast);
    gmyIsTransferData = 0;
    return true;
}

void ReleaseAllFiles() {
    if (gmyView) gmyView->ReleasePreviewImages();
    if (gmyPictureData) {
        for (FileData* node = gmyPictureData->sentinel.next.get(); node; node = node->next.get()) {
            std::error_code ec;
            fs::remove(EdataPath(node->name), ec);
        }
    }
    FreeList(gmyPictureData);
    gmyPictureData = CreateList();
    gmyTotalePictureNum = 0;
    if (gmyView) gmyView->ShowAlbumList({}, AlbumListAfter::kNothing);
}

void SetFlashOffline() {
    // A worker still talking to the frame fails at its next command; the album is released only after
    // it has ended, never under its feet.
    JoinWorker();
    // A question about the frame that left is no longer asked, nor its answer carried out.
    ++gmyFrameSession;
    if (gmyView) gmyView->CarryOutPending();
    gmyIsTransferData = 0;
    if (gmyView) gmyView->RedrawViews();
    ReleaseAllFiles();
    gmyTotalePictureNum = gmyTotalePicture = 0;
    UpdateInfo();
    SetControlPanlEnable(false);
    SetNotes(LookupText("DEVICE_NOT_ONLINE_TIPS", "Device Not Online!"));
    m_PtrPF.reset();
}

}  // namespace fotolume::compact
