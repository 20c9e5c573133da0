// MacFotolume's process-wide state, all in one place, under the names the controller uses. The window
// thread and one worker at a time share it; the command controls are off while a worker runs, which is
// what keeps the two apart (gmyIsTransferData says a worker runs).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "album/flash_layout.h"
#include "album/picture_list.h"
#include "compact/file_data_list.h"
#include "config/compact_language.h"

namespace fotolume::device {
class CCommUSB;
class CProcessFlash;
}  // namespace fotolume::device

namespace fotolume::compact {

class ICompactView;
class IMacPrompt;

// The frame picture converter; tests put a recording one in its place.
class CPictureConverter {
public:
    virtual ~CPictureConverter() = default;
    // Composed BMP to frame picture stream; the bytes written, 0 on failure. yValue is the header's
    // Y value, the encoder's mode plus one.
    virtual int EnCode(const std::string& bmp, const std::string& stream, int width, int height, int quality,
                       int yValue);
    virtual bool DeCode(const std::string& stream, const std::string& bmp, int width, int height);
};

struct DrawRect {
    float x = 0, y = 0, width = 0, height = 0;
};

extern std::string gmyApppath;       // folder of the executable
extern std::string gmyResousepath;   // read-only resources (Language.ini)
extern std::string gmyWorkpath;      // writable: holds "data" and "Edata"
extern std::unique_ptr<config::CCompactLanguage> iniFile;
extern std::unique_ptr<device::CCommUSB> device;
extern std::unique_ptr<device::CProcessFlash> m_PtrPF;
extern std::unique_ptr<CPictureConverter> MyJPG;
extern std::unique_ptr<FileDataHead> gmyPictureData;
extern int gmyTotalePictureNum;
extern int gmyTotalePicture;
extern int gmyCurrentSelectItem;
extern std::atomic<uint8_t> gmyIsTransferData;
extern uint8_t gmyDeleteAll;
extern float gmyLcdWidth, gmyLcdHeight;
extern DrawRect gmyDrawrect;
extern uint8_t G_PictureList[album::kListSize];
extern int G_PicListAddress, G_FlashTotalSize, G_TotalPicNum, G_YValue, G_PicQuality;
extern album::DeviceInfo G_DeviceInfo;  // the header as read, for the store operations
extern int G_CurQuanlity;
extern int TotolFlashSizeForPic;
extern std::vector<int> SelPicArrayRef;
// Where downloads keep their recovery records (the folder Fotolume's programs share); empty: none kept.
extern std::filesystem::path gmyRecoveryFolder;
// The user answered No to restoring the album of an interrupted download (or the restore failed): the
// frame's records still hold that album, and a download must ask before it writes over it.
extern std::atomic<bool> gmyRecoveryDeclined;
// Counts the frame's arrivals and removals (changed on the window thread only), so that an answer to a
// question about one frame is never carried out on the next.
extern std::atomic<int> gmyFrameSession;

// The window and its questions; set at start-up.
extern ICompactView* gmyView;
extern IMacPrompt* gmyPrompt;

// Back to the state of a program that has just started (no frame, empty album). Joins a worker first.
void ResetGlobals();

// The text of key in the language file's chosen section, or def.
std::string LookupText(std::string_view key, std::string_view def, std::string_view sectionDefault = "English");
// printf-style "%s: %d".
std::string TextWithNumber(const std::string& text, int number);

// "<work>/data/<name>" and "<work>/Edata/<name>".
std::string DataPath(const std::string& name);
std::string EdataPath(const std::string& name);

bool FrameConnected();

// One line on standard error: a problem the user cannot act on in the window (the program goes on).
void ReportProblem(const std::string& problem);

// The one worker: online handling, download or batch add. Window thread only. Starting one first
// waits for the last; the frame's removal waits for it before the album is released.
void StartWorker(std::function<void()> work);
void JoinWorker();

}  // namespace fotolume::compact
