// Delete, Save ALL and Quit.
#include <QString>

#include <cstring>
#include <filesystem>
#include <system_error>

#include "album/compact_store.h"
#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/compact_view.h"
#include "compact/mac_prompt.h"
#include "device/process_flash.h"

namespace fotolume::compact {

namespace fs = std::filesystem;

namespace {

void RemoveFile(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
}

}  // namespace

void MyDelButtonHandler() {
    if (gmyIsTransferData) return;
    if (gmyDeleteAll) {
        // Used once: the next Delete takes one picture again.
        gmyDeleteAll = 0;
        if (gmyView) gmyView->ClearDeleteAll();
        if (gmyTotalePictureNum == 0) return;
        for (FileData* node = gmyPictureData->sentinel.next.get(); node; node = node->next.get()) {
            RemoveFile(node->file);
        }
        if (FrameConnected()) TotolFlashSizeForPic = static_cast<int>(G_DeviceInfo.capacity);
        FreeList(gmyPictureData);
        gmyPictureData = CreateList();
        gmyTotalePictureNum = gmyTotalePicture = 0;
        gmyCurrentSelectItem = 0;
        RebuildAlbumList(AlbumListAfter::kNothing);
        std::memset(G_PictureList + album::kEntriesOffset, 0, album::kListSize - album::kEntriesOffset);
    } else {
        if (gmyTotalePictureNum == 0) return;
        --gmyTotalePictureNum;
        int k = gmyCurrentSelectItem;
        gmyCurrentSelectItem = 0;
        if (k < 1 || k > gmyTotalePictureNum + 1) k = gmyTotalePictureNum + 1;
        // Slot k - 1 is picture k; the pictures after it move up one slot.
        G_PictureList[album::kEntriesOffset + album::kEntrySize * static_cast<uint32_t>(k - 1)] = 0;
        if (k != gmyTotalePictureNum + 1) album::compact::MovePicAddressInPicList(G_PictureList, gmyTotalePictureNum);
        FileData* node = GetNode(*gmyPictureData, k);
        RemoveFile(node->file);
        TotolFlashSizeForPic += node->size;
        DelNode(*gmyPictureData, k);
        RebuildAlbumList(AlbumListAfter::kSelectLast);
        if (gmyView) gmyView->RedrawViews();
    }
    UpdateInfo();
    SetNotes(TextWithNumber(LookupText("THE_SEQUENCE_TIPS", "The sequence number"), gmyTotalePictureNum));
    if (gmyView) gmyView->RedrawViews();
}

bool SavePicture(const std::string& folder, std::string* failed) {
    int n = 1;
    for (FileData* node = gmyPictureData->sentinel.next.get(); node; node = node->next.get(), ++n) {
        const std::string target = folder + "/" + std::to_string(n) + ".bmp";
        std::error_code ec;
        fs::copy_file(DataPath(node->name), target, fs::copy_options::overwrite_existing, ec);
        if (ec) {
            if (failed) *failed = target;
            return false;
        }
    }
    return true;
}

void MyUpLoadButtonHandler() {
    if (!FrameConnected() || gmyIsTransferData) return;
    if (gmyTotalePictureNum == 0) {
        SetNotes(LookupText("NO_PIC_TIPS", "No Pictures"));
        return;
    }
    if (!gmyPrompt) return;
    const int session = gmyFrameSession;
    const QString folder =
        gmyPrompt->AskFolder(QString::fromStdString(LookupText("SELECT_FOLDER_TIPS", "Select File Location")),
                             QString::fromStdString(LookupText("SAVE_BUTTON", "Save")));
    if (folder.isEmpty()) return;
    // The frame left while the folder was chosen: its album went with it.
    if (session != gmyFrameSession || gmyIsTransferData) return;
    std::string failed;
    if (!SavePicture(folder.toStdString(), &failed)) {
        const QString text = QString::fromStdString(LookupText("SAVE_ALL_FAILED_TIPS", "Could not write %1"));
        SetNotes(text.arg(QString::fromStdString(failed)).toStdString());
        return;
    }
    const QString text =
        QString::fromStdString(LookupText("SAVE_ALL_FINISHED_TIPS", "%1 picture(s) saved in %2"));
    SetNotes(text.arg(QString::number(gmyTotalePictureNum), folder).toStdString());
}

bool QuitApplication() {
    if (gmyIsTransferData) {
        SetNotes(LookupText("CANNOT_QUIT_TIPS", "Can not quit application,during transfering data!"));
        return false;
    }
    if (!gmyPrompt) return false;
    // The quit question alone falls back to an unnamed section when the file names none.
    const QString title = QString::fromStdString(LookupText("WINDOW_TITLE", "MacFotolume", ""));
    const QString question = QString::fromStdString(LookupText("EXIT_APPLICATION_TIPS", "Really want to quit?", ""));
    const QString ok = QString::fromStdString(LookupText("OK_BUTTON", "OK", ""));
    const QString cancel = QString::fromStdString(LookupText("CANCLE_BUTTON", "Canle", ""));
    const int session = gmyFrameSession;
    if (!gmyPrompt->AskOkCancel(title, question, ok, cancel)) return false;
    // A frame that arrived while the question was open is being read now, or was read meanwhile: the
    // answer was given about another state of the window.
    if (gmyIsTransferData || session != gmyFrameSession) {
        SetNotes(LookupText("CANNOT_QUIT_TIPS", "Can not quit application,during transfering data!"));
        return false;
    }
    JoinWorker();
    m_PtrPF.reset();
    ReleaseAllFiles();
    // The device link is closed by the window, which stops watching its notifications first.
    return true;
}

}  // namespace fotolume::compact
