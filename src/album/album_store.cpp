// Construction, binding to the device, the header read and the values derived from it.
#include "album/album_store.h"

#include <algorithm>

#include "device/comm_usb.h"
#include "device/process_flash.h"

namespace fotolume::album {

const char* AlbumErrorName(int code) {
    switch (code) {
    case ErrChecksumQuery: return "checksum query failed";
    case ErrChecksumMismatch: return "checksum mismatch";
    case ErrTransfer: return "transfer failed";
    case ErrLayout: return "layout not writable";
    case ErrRecoveryPending: return "an interrupted write waits to be recovered";
    case ErrNoRecord: return "no recovery record could be kept";
    case ErrFrameChanged: return "the frame was changed by another program";
    case ErrFrameBusy: return "the frame is in use by another program";
    default: return "album error";
    }
}

CAlbumStore::CAlbumStore()
    : m_pictureList(kListSize, 0), m_tailBuffer(kBlockSize, 0), m_recovery([this] { return Access(); }) {}

// The flash access goes before the link it is bound to; the link ends presence monitoring.
CAlbumStore::~CAlbumStore() {
    m_flash.reset();
    m_link.reset();
}

bool CAlbumStore::Bind(std::unique_ptr<device::IDriveBackend> backend, const std::string& vendorMatch,
                       ProgressCallback progress) {
    m_flash.reset();
    m_link = std::make_unique<device::CCommUSB>(std::move(backend), device::Variant::Full);
    m_link->SetVendorMatch(vendorMatch);
    m_link->IniUSBDevice();
    m_flash = std::make_unique<device::CProcessFlash>(*m_link, device::Variant::Full);
    m_progress = progress ? std::move(progress) : ProgressCallback([](int, int, int) {});
    return true;
}

bool CAlbumStore::GetUSBDeviceStatus() const { return m_link && m_link->GetUSBDeviceStatus(); }

device::CCommUSB& CAlbumStore::Link() { return *m_link; }
device::CProcessFlash& CAlbumStore::Flash() { return *m_flash; }

device::CFrameClaim CAlbumStore::ClaimFrame(device::ClaimMode mode) {
    device::CFrameClaim claim =
        m_link ? m_link->ClaimFrame(mode, m_claimWait) : device::CFrameClaim::Take({}, mode, m_claimWait);
    if (!claim.Held()) throw CFrameBusyError(claim.RefusalText());
    return claim;
}

void CAlbumStore::GetInformation() {
    if (!m_flash) throw CAlbumError(ErrTransfer);
    uint8_t header[kHeaderSize];
    ReadFlashData(0, kHeaderSize, header);
    DeviceInfo info = ParseHeader(header);
    uint32_t recordAddress = 0;
    if (LayoutRecordAddress(header, recordAddress)) {
        // A plain read, as the frame keeps no checksum promise for its own region; a failed read is a
        // failed header read, never a list address of 0.
        uint8_t record[kLayoutRecordSize];
        if (m_flash->ReadFromFlash(record, kLayoutRecordSize, recordAddress) != 0) throw CAlbumError(ErrTransfer);
        info.listAddress = ListAddressFromLayoutRecord(record);
    }
    info.capacity = PictureAreaCapacity(info.listAddress, info.flashTotalSize);
    m_info = info;
    m_recovery.FrameChanged();
    ResetAlbum();
    m_freeBytes = info.capacity;
    m_flash->SetFlashCommand(info.eraseOpcode, info.programFlag ? 1 : 0);
}

void CAlbumStore::GetLcdSize(uint32_t& width, uint32_t& height) const {
    width = m_info.lcdWidth;
    height = m_info.lcdHeight;
}

uint32_t CAlbumStore::GetUsedEndAddress() const {
    return m_info.listAddress + kListSize + (m_info.capacity - m_freeBytes);
}

bool CAlbumStore::IsLayoutWritable() const { return LayoutProblem(m_info).empty(); }

std::string CAlbumStore::LayoutProblemText() const { return LayoutProblem(m_info); }

void CAlbumStore::RequireWritableLayout() const {
    if (!IsLayoutWritable()) throw CAlbumError(ErrLayout);
}

void CAlbumStore::ResetAlbum() {
    m_dataImage.clear();
    m_dataImage.shrink_to_fit();
    m_unknownBlocks.clear();
    m_frameList.clear();
    std::fill(m_pictureList.begin(), m_pictureList.end(), 0);
    m_pictureCount = 0;
    m_usedLength = 0;
    m_committedLength = 0;
    m_freeBytes = m_info.capacity;
    m_listLoaded = false;
    m_changedOnLoad = false;
    m_recovery.AlbumDropped();
    m_background = kDefaultBackground;
    m_font = kDefaultFont;
}

void CAlbumStore::Report(int pictureNumber, int done, int total) {
    if (m_progress) m_progress(pictureNumber, done, total);
}

}  // namespace fotolume::album
