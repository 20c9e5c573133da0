#include "tests/compact/compact_fixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLabel>
#include <QTreeWidget>

#include <atomic>
#include <cstring>

#include "compact/file_browser.h"
#include "compact/start_up.h"
#include "config/folders.h"
#include "device/bytes.h"
#include "device/comm_usb.h"
#include "device/flash_cdb.h"

namespace fotolume::compact::testing {

namespace {

// The emulated drives, with reads of one flash address damaged on the way back.
class CDamagingBackend : public device::IDriveBackend {
public:
    CDamagingBackend(std::unique_ptr<sim::CEmulatorBackend> inner, uint32_t damaged, bool silentAfter)
        : m_inner(std::move(inner)), m_damaged(damaged), m_silentAfter(silentAfter) {}

    bool StartMonitor() override { return m_inner->StartMonitor(); }
    int NotificationFd() const override { return m_inner->NotificationFd(); }
    void ConsumeNotification() override { m_inner->ConsumeNotification(); }
    std::vector<std::string> ListDrives() override { return m_inner->ListDrives(); }
    std::unique_ptr<device::IDriveHandle> OpenDrive(const std::string& name) override {
        std::unique_ptr<device::IDriveHandle> handle = m_inner->OpenDrive(name);
        if (!handle) return nullptr;
        return std::make_unique<Handle>(std::move(handle), *this);
    }

private:
    class Handle : public device::IDriveHandle {
    public:
        Handle(std::unique_ptr<device::IDriveHandle> inner, CDamagingBackend& owner)
            : m_inner(std::move(inner)), m_owner(owner) {}
        device::CommandOutcome Execute(const uint8_t* cdb, uint8_t cdbLength, int direction, uint8_t* data,
                                       uint32_t length, uint32_t timeoutMs) override {
            if (m_owner.m_silent) return {true, 2, 0};
            device::CommandOutcome outcome = m_inner->Execute(cdb, cdbLength, direction, data, length, timeoutMs);
            const bool read = cdb[0] == device::kGroupFlashIn && cdb[10] == device::kOpRead;
            if (read && m_owner.m_damaged != 0 && device::ReadBe24(cdb + 11) == m_owner.m_damaged && length > 0) {
                data[0] ^= 0xA5;
                if (m_owner.m_silentAfter) m_owner.m_silent = true;
            }
            return outcome;
        }
        bool QueryIdentity(device::DriveIdentity& identity) override {
            return !m_owner.m_silent && m_inner->QueryIdentity(identity);
        }

    private:
        std::unique_ptr<device::IDriveHandle> m_inner;
        CDamagingBackend& m_owner;
    };

    std::unique_ptr<sim::CEmulatorBackend> m_inner;
    uint32_t m_damaged;
    bool m_silentAfter;
    std::atomic<bool> m_silent{false};
};

}  // namespace

void CompactTest::TearDown() {
    m_window.reset();
    // Records left by one test must not meet the same frame in the next.
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(gmyRecoveryFolder, ec)) {
        if (entry.path().filename().string().starts_with("recovery-")) std::filesystem::remove(entry.path(), ec);
    }
    ResetGlobals();
}

std::vector<uint8_t>& CompactTest::NewFlash(const sim::NewFrame& layout) {
    m_layout = layout;
    m_emulator = std::make_unique<sim::CFlashEmulator>(testsupport::OptionsFor(layout));
    m_emulator->Flash() = sim::BuildFrameImage(layout);
    return m_emulator->Flash();
}

void CompactTest::PutAlbum(const std::vector<Slot>& slots, const std::vector<std::vector<uint8_t>>& streams) {
    if (!m_emulator) NewFlash();
    std::vector<uint8_t>& flash = m_emulator->Flash();
    uint8_t list[album::kListSize];
    album::InitEmptyList(list, album::kDefaultBackground, album::kDefaultFont);
    for (size_t i = 0; i < slots.size(); ++i) {
        album::WriteEntry(list, static_cast<int>(i), {slots[i].flag, slots[i].address, slots[i].length});
        if (i < streams.size() && !streams[i].empty() && slots[i].address + streams[i].size() <= flash.size()) {
            std::memcpy(flash.data() + slots[i].address, streams[i].data(), streams[i].size());
        }
    }
    std::memcpy(flash.data() + m_layout.listAddress, list, sizeof list);
}

std::vector<Slot> CompactTest::PutPictures(const std::vector<QColor>& colours) {
    std::vector<Slot> slots;
    std::vector<std::vector<uint8_t>> streams;
    uint32_t address = m_layout.listAddress + album::kListSize;
    for (const QColor& colour : colours) {
        streams.push_back(EncodedPicture(m_layout.width, m_layout.height, colour));
        slots.push_back({1, address, static_cast<uint32_t>(streams.back().size())});
        address += static_cast<uint32_t>(streams.back().size());
    }
    PutAlbum(slots, streams);
    return slots;
}

void CompactTest::AddStream(const std::string& name, const std::vector<uint8_t>& bytes) {
    testsupport::WriteBytes(EdataPath(name), bytes);
    FileData node;
    node.file = DataPath(name);
    node.name = name;
    node.size = static_cast<int>(bytes.size());
    node.sequence = gmyTotalePictureNum + 1000;
    AddNode(*gmyPictureData, node);
    ++gmyTotalePictureNum;
    ++gmyTotalePicture;
    TotolFlashSizeForPic -= node.size;
}

std::vector<std::filesystem::path> CompactTest::Records() const {
    std::vector<std::filesystem::path> records;
    std::error_code ec;
    if (gmyRecoveryFolder.empty()) return records;
    for (const auto& entry : std::filesystem::directory_iterator(gmyRecoveryFolder, ec)) {
        if (entry.path().extension() == ".rec") records.push_back(entry.path());
    }
    return records;
}

void CompactTest::Start(QStringList volumes) {
    if (!m_emulator) NewFlash();
    auto emulated = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{m_emulator.get()});
    m_backend = emulated.get();
    auto backend = std::make_unique<CDamagingBackend>(std::move(emulated), m_damagedReads, m_silentAfterDamage);
    m_window = std::make_unique<CMacWindow>(&m_prompt);
    m_window->SetQuitAction([this] { ++m_quits; });
    StartOptions options;
    options.backend = std::move(backend);
    options.volumes = volumes;
    options.resourceFolder = m_resources.empty() ? config::ExecutableFolder() : m_resources;
    options.settleDelay = std::chrono::milliseconds(0);
    std::string error, warning;
    ASSERT_TRUE(StartCompact(*m_window, std::move(options), error, warning)) << error;
    ASSERT_TRUE(warning.empty()) << warning;
    Settle();
}

int CompactTest::IndexOfName(const QString& name) const {
    CFileBrowser* browser = m_window->Browser();
    for (int i = browser->ItemCount() - 1; i >= 0; --i) {
        if (!browser->Item(i).released && browser->Item(i).name == name) return i;
    }
    return -1;
}

void CompactTest::Click(int index) {
    m_window->Browser()->setCurrentItem(m_window->Browser()->Item(index).node);
}

void CompactTest::Settle() {
    for (int round = 0; round < 3; ++round) {
        JoinWorker();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void CompactTest::Announce(bool attached) {
    m_backend->SetAttached(0, attached);
    if (attached) m_emulator->PowerCycle();
    device->HandleNotification();
}

void CompactTest::Plug(bool attached) {
    Announce(attached);
    Settle();
}

QString CompactTest::Text(const char* signature, int number) const {
    QWidget* control = m_window->findChild<QWidget*>(ControlName(signature, number));
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
    return QStringLiteral("<missing>");
}

QStringList CompactTest::AlbumNames() const {
    QStringList names;
    QTreeWidget* album = m_window->AlbumList();
    for (int i = 0; i < album->topLevelItemCount(); ++i) names << album->topLevelItem(i)->text(0);
    return names;
}

bool CompactTest::CommandsEnabled() const {
    return m_window->findChild<QWidget*>(ControlName("load", 0))->isEnabled() &&
           m_window->findChild<QWidget*>(ControlName("CLVW", 0))->isEnabled();
}

std::vector<uint8_t> CompactTest::FlashBytes(uint32_t address, uint32_t length) const {
    const std::vector<uint8_t>& flash = m_emulator->Flash();
    return std::vector<uint8_t>(flash.begin() + address, flash.begin() + address + length);
}

}  // namespace fotolume::compact::testing
