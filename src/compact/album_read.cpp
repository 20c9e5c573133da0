// Reading every picture the frame lists into the data folders. A picture that cannot be read or decoded
// is left out and named once; only a frame that stops answering ends the reading.
#include <QString>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "album/compact_store.h"
#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/compact_view.h"
#include "device/process_flash.h"

namespace fotolume::compact {

namespace fs = std::filesystem;

namespace {

enum class PictureRead { kRead, kLeftOut, kFrameSilent };

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

void RemoveFiles(const std::string& name) {
    std::error_code ec;
    fs::remove(EdataPath(name), ec);
    fs::remove(DataPath(name), ec);
}

// After a failed read: whether the frame still answers at all (two tries, so that one lost command on a
// loose cable does not end the whole reading).
bool FrameAnswers() {
    bool ready = false;
    return m_PtrPF->GetFlashStatus(ready) || m_PtrPF->GetFlashStatus(ready);
}

// The stream is written only once it has been read whole, and decoded next to it; nothing is left of
// a picture that did not make it.
PictureRead ReadOnePicture(const album::PicEntry& entry, const std::string& name, int width, int height) {
    std::vector<uint8_t> stream;
    if (!album::compact::ReadPictureStream(*m_PtrPF, G_DeviceInfo, entry.address, entry.length, stream)) {
        return FrameAnswers() ? PictureRead::kLeftOut : PictureRead::kFrameSilent;
    }
    {
        std::ofstream out(EdataPath(name), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
        out.close();
        if (!out) {
            RemoveFiles(name);
            return PictureRead::kLeftOut;
        }
    }
    if (!MyJPG->DeCode(EdataPath(name), DataPath(name), width, height)) {
        RemoveFiles(name);
        return PictureRead::kLeftOut;
    }
    return PictureRead::kRead;
}

// "3, 5": the frame's own numbers of the pictures left out.
std::string NumberList(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
    return text;
}

}  // namespace

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
    // A new album: nothing in it is current yet.
    gmyCurrentSelectItem = 0;
    const int width = static_cast<int>(gmyLcdWidth), height = static_cast<int>(gmyLcdHeight);
    int count = 0;
    int listed = 0;  // the frame's own number of the slot's picture
    std::vector<int> leftOut;
    for (int slot = 0; slot < album::kMaxSlots; ++slot) {
        const album::PicEntry entry = album::ReadEntry(G_PictureList, slot);
        if (entry.flag == 1) ++listed;
        bool keep = false;
        if (album::compact::IsEntryUsable(entry, G_DeviceInfo)) {
            const int k = count + 1;
            const std::string name = "DPFPicture" + std::to_string(k) + ".bmp";
            const PictureRead read = ReadOnePicture(entry, name, width, height);
            if (read == PictureRead::kFrameSilent) {
                SetDownLoadPrcess(0);
                return false;
            }
            if (read == PictureRead::kRead) {
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
            } else {
                leftOut.push_back(listed);
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
    // Said last, so that it stays in view: the next download leaves these pictures off the frame.
    if (!leftOut.empty()) {
        const QString text = QString::fromStdString(
            LookupText("READ_PIC_LEFT_OUT_TIPS", "Could not read from the DPF, left out: picture(s) %1"));
        SetNotes(text.arg(QString::fromStdString(NumberList(leftOut))).toStdString());
    }
    RebuildAlbumList(AlbumListAfter::kScrollToLast);
    gmyIsTransferData = 0;
    return true;
}

}  // namespace fotolume::compact
