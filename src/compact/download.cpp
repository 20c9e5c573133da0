// Writing the album to the frame: the album library's download over the streams of the Edata folder,
// with its progress and outcome shown in the window.
#include <fstream>

#include "album/compact_download.h"
#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/compact_view.h"
#include "device/process_flash.h"

namespace fotolume::compact {

namespace {

using album::compact::DownloadFailure;

std::string FailureText(DownloadFailure failure) {
    const char* def = "Fail To Download Picture!";
    if (failure == DownloadFailure::StreamOrFirstBlock) def = "Fail To Download Picture";
    if (failure == DownloadFailure::LastBlock) def = "Fail To Download Pictures!";
    return LookupText("FAILE_TO_DOWNLOAD_PICS_TIPS", def);
}

bool ReadStream(const std::string& name, uint8_t* out, uint32_t size) {
    std::ifstream in(EdataPath(name), std::ios::binary);
    if (!in) return false;
    in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
    return static_cast<uint32_t>(in.gcount()) == size;
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
            SetNotes(FailureText(DownloadFailure::Other));
            SetDownLoadPrcess(0);
            gmyIsTransferData = 0;
            InvalidateMyWindow();
            return;
        }
        TranspotPic();
    });
}

bool TranspotPic() {
    const device::CFrameClaim claim = ClaimFrameFor(device::ClaimMode::Exclusive);
    if (!claim.Held()) {
        SetDownLoadPrcess(0);
        gmyIsTransferData = 0;
        InvalidateMyWindow();
        return false;
    }
    album::compact::DownloadRequest request;
    std::vector<std::string> names;
    for (FileData* node = gmyPictureData->sentinel.next.get(); node; node = node->next.get()) {
        request.pictures.push_back({node->onFrame, static_cast<uint32_t>(node->size)});
        names.push_back(node->name);
    }
    request.readStream = [&](int index, uint8_t* into, uint32_t size) {
        return ReadStream(names[static_cast<size_t>(index)], into, size);
    };
    request.recoveryFolder = gmyRecoveryFolder;
    request.progress = [](int percent) { SetDownLoadPrcess(percent); };
    const album::compact::DownloadResult result =
        album::compact::DownloadAlbum(*m_PtrPF, G_DeviceInfo, G_PictureList, request);
    for (const std::string& warning : result.warnings) ReportProblem(warning);
    if (result.failure != DownloadFailure::None) {
        SetNotes(FailureText(result.failure));
        SetDownLoadPrcess(0);
        gmyIsTransferData = 0;
        // Untouched, the frame still holds the album it had and the download can be tried again. Written
        // to, it may hold neither album: its record brings one back when the frame is read again, and
        // until then nothing may write over it, so the commands stay off.
        if (!result.frameTouched) InvalidateMyWindow();
        return false;
    }
    for (int n = result.plan.first; n <= gmyTotalePictureNum; ++n) GetNode(*gmyPictureData, n)->onFrame = true;
    SetDownLoadPrcess(100);
    SetNotes(LookupText("DOWNLOAD_FINISHED_TIPS", "DownLoad Finished!"));
    gmyIsTransferData = 0;
    InvalidateMyWindow();
    return true;
}

}  // namespace fotolume::compact
