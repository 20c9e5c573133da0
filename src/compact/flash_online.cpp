// Status operations, and the frame's arrival and removal.
#include <QString>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "album/compact_store.h"
#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/compact_view.h"
#include "compact/mac_prompt.h"
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

std::string LayoutProblemText(const std::string& problem) {
    const QString text = QString::fromStdString(LookupText("CANNOT_WRITE_DPF_TIPS", "This DPF cannot be written: %1"));
    return text.arg(QString::fromStdString(problem)).toStdString();
}

void RebuildAlbumList(AlbumListAfter after) {
    if (!gmyView) return;
    AlbumListing listing;
    if (gmyPictureData) {
        for (FileData* node = gmyPictureData->sentinel.next.get(); node; node = node->next.get()) {
            listing.names.push_back(node->name);
            listing.files.push_back(node->file);
        }
    }
    if (gmyCurrentSelectItem > static_cast<int>(listing.names.size())) gmyCurrentSelectItem = 0;
    listing.current = gmyCurrentSelectItem;
    gmyView->ShowAlbumList(std::move(listing), after);
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

// Said once per reading, after the reading's own messages, on the window thread.
void TellLayoutProblem(const std::string& text) {
    if (!gmyView) return;
    const int session = gmyFrameSession;
    gmyView->Ask([text, session] {
        if (session != gmyFrameSession || !gmyPrompt) return;
        gmyPrompt->Tell(QString::fromStdString(LookupText("WINDOW_TITLE", "MacFotolume")),
                        QString::fromStdString(text));
    });
}

}  // namespace

void StartFlashOnline() {
    if (gmyIsTransferData) return;
    ++gmyFrameSession;
    gmyRecoveryDeclined = false;
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
    // No other program writes the frame while it is read.
    const device::CFrameClaim claim = ClaimFrameFor(device::ClaimMode::Shared);
    if (!claim.Held()) {
        gmyIsTransferData = 0;
        return;
    }
    // A frame that may not be written keeps DownLoad off for as long as it is attached.
    const std::string problem = album::LayoutProblem(info);
    const std::string problemText = problem.empty() ? std::string() : LayoutProblemText(problem);
    if (gmyView) {
        gmyView->SetDownloadBlocked(problemText);
        gmyView->SetPanelFrame(static_cast<int>(info.lcdWidth), static_cast<int>(info.lcdHeight));
    }
    m_PtrPF->SynchronizeDPFtime();
    if (!album::compact::ReadPictureList(*m_PtrPF, G_DeviceInfo, G_PictureList)) {
        SetNotes(LookupText("READ_PICS_LIST_FALSE_TIPS", "Read Picture List false!"));
        gmyIsTransferData = 0;
        return;
    }
    // A list erased by an interrupted download reads as an empty album; the records may still find it.
    // Restoring writes the list, which a frame that may not be written does not get.
    album::RecoveryResult found = problem.empty() ? FindAlbumToRestore() : album::RecoveryResult();
    if (!ReadListedAlbum()) {
        gmyIsTransferData = 0;
        return;
    }
    // The question comes first, and the commands stay off until it is answered.
    if (found.kind != album::RecoveryKind::None && AskToRestore(std::move(found))) return;
    if (!problemText.empty()) TellLayoutProblem(problemText);
    InvalidateMyWindow();
    gmyIsTransferData = 0;
}

device::CFrameClaim ClaimFrameFor(device::ClaimMode mode) {
    if (!device) return {};
    device::CFrameClaim claim = device->ClaimFrame(mode);
    if (!claim.Held()) {
        ReportProblem(claim.RefusalText());
        SetNotes(LookupText("DPF_BUSY_TIPS", "Another program is using the DPF; try again when it has finished."));
    }
    return claim;
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
    gmyCurrentSelectItem = 0;
    RebuildAlbumList(AlbumListAfter::kNothing);
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
    gmyRecoveryDeclined = false;
    // The totals of no frame, not those of the frame that left.
    G_DeviceInfo = {};
    G_PicListAddress = G_FlashTotalSize = G_TotalPicNum = 0;
    TotolFlashSizeForPic = 0;
    UpdateInfo();
    if (gmyView) gmyView->SetDownloadBlocked({});
    SetControlPanlEnable(false);
    SetNotes(LookupText("DEVICE_NOT_ONLINE_TIPS", "Device Not Online!"));
    m_PtrPF.reset();
}

}  // namespace fotolume::compact
