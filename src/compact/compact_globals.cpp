#include "compact/compact_globals.h"

#include <cstdio>
#include <cstring>

#include "codec/picture_files.h"
#include "device/comm_usb.h"
#include "device/process_flash.h"

namespace fotolume::compact {

std::string gmyApppath;
std::string gmyResousepath;
std::string gmyWorkpath;
std::unique_ptr<config::CCompactLanguage> iniFile;
std::unique_ptr<device::CCommUSB> device;
std::unique_ptr<device::CProcessFlash> m_PtrPF;
std::unique_ptr<CPictureConverter> MyJPG;
std::unique_ptr<FileDataHead> gmyPictureData;
int gmyTotalePictureNum = 0;
int gmyTotalePicture = 0;
int gmyCurrentSelectItem = 0;
std::atomic<uint8_t> gmyIsTransferData{0};
uint8_t gmyDeleteAll = 0;
float gmyLcdWidth = 0, gmyLcdHeight = 0;
DrawRect gmyDrawrect;
uint8_t G_PictureList[album::kListSize];
int G_PicListAddress = 0, G_FlashTotalSize = 0, G_TotalPicNum = 0, G_YValue = 4, G_PicQuality = 90;
album::DeviceInfo G_DeviceInfo;
int G_CurQuanlity = 90;
int TotolFlashSizeForPic = 0;
std::vector<int> SelPicArrayRef;
std::filesystem::path gmyRecoveryFolder;
std::atomic<int> gmyFrameSession{0};
std::atomic<bool> gmyRecoveryDeclined{false};
ICompactView* gmyView = nullptr;
IMacPrompt* gmyPrompt = nullptr;

namespace {
// Started and joined by the window thread only.
std::thread g_worker;
}  // namespace

int CPictureConverter::EnCode(const std::string& bmp, const std::string& stream, int width, int height,
                              int quality, int yValue) {
    return static_cast<int>(codec::CKv318Encoder::EnCode(bmp, stream, width, height, quality, yValue - 1, false));
}

bool CPictureConverter::DeCode(const std::string& stream, const std::string& bmp, int width, int height) {
    return codec::CKv318Encoder::DeCode(stream, bmp, width, height);
}

void ResetGlobals() {
    JoinWorker();
    m_PtrPF.reset();
    device.reset();
    FreeList(gmyPictureData);
    gmyPictureData = CreateList();
    gmyTotalePictureNum = gmyTotalePicture = gmyCurrentSelectItem = 0;
    gmyIsTransferData = 0;
    gmyDeleteAll = 0;
    gmyLcdWidth = gmyLcdHeight = 0;
    gmyDrawrect = {};
    std::memset(G_PictureList, 0, sizeof G_PictureList);
    G_PicListAddress = G_FlashTotalSize = G_TotalPicNum = 0;
    G_YValue = 4;
    G_PicQuality = 90;
    G_DeviceInfo = {};
    G_CurQuanlity = 90;
    TotolFlashSizeForPic = 0;
    SelPicArrayRef.clear();
    gmyRecoveryFolder.clear();
    gmyRecoveryDeclined = false;
}

std::string LookupText(std::string_view key, std::string_view def, std::string_view sectionDefault) {
    if (!iniFile) return std::string(def);
    return iniFile->LookupText(key, def, sectionDefault);
}

std::string TextWithNumber(const std::string& text, int number) {
    return text + ": " + std::to_string(number);
}

std::string DataPath(const std::string& name) { return gmyWorkpath + "/data/" + name; }
std::string EdataPath(const std::string& name) { return gmyWorkpath + "/Edata/" + name; }

bool FrameConnected() { return device && device->GetUSBDeviceStatus(); }

void ReportProblem(const std::string& problem) { std::fprintf(stderr, "MacFotolume: %s\n", problem.c_str()); }

void StartWorker(std::function<void()> work) {
    JoinWorker();
    g_worker = std::thread(std::move(work));
}

void JoinWorker() {
    if (g_worker.joinable()) g_worker.join();
}

}  // namespace fotolume::compact
