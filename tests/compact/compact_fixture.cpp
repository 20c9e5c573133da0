#include "compact_fixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QTreeWidget>

#include <cstring>
#include <fstream>

#include "codec/bmp_file.h"
#include "codec/kv318_encoder.h"
#include "device/comm_usb.h"
#include "folders.h"
#include "start_up.h"

namespace fotolume::compact::testing {

std::vector<uint8_t> EncodedPicture(int width, int height, QColor colour) {
    QTemporaryDir dir;
    QImage image(width, height, QImage::Format_BGR888);
    image.fill(colour);
    const std::string bmp = dir.filePath(QStringLiteral("in.bmp")).toStdString();
    const std::string stream = dir.filePath(QStringLiteral("out.bin")).toStdString();
    if (!codec::SaveBmpFile(bmp, image.constBits(), static_cast<size_t>(image.bytesPerLine()), width, height, 0)) {
        return {};
    }
    if (codec::CKv318Encoder::EnCode(bmp, stream, width, height, 90, 3, false) == 0) return {};
    QFile file(QString::fromStdString(stream));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.readAll();
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::vector<uint8_t> Bytes(uint32_t size, uint32_t seed) {
    std::vector<uint8_t> out(size);
    uint32_t x = seed * 2654435761u + 1;
    for (uint8_t& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return out;
}

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
    sim::CFlashEmulator::Options options;
    options.flashSize = layout.flashSize;
    m_emulator = std::make_unique<sim::CFlashEmulator>(options);
    m_emulator->Flash() = sim::BuildFrameImage(layout);
    return m_emulator->Flash();
}

void CompactTest::PutAlbum(const std::vector<Slot>& slots, const std::vector<std::vector<uint8_t>>& streams) {
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
    std::ofstream(EdataPath(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
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
    auto backend = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{m_emulator.get()});
    m_backend = backend.get();
    m_window = std::make_unique<CMacWindow>(&m_prompt);
    m_window->SetQuitAction([this] { ++m_quits; });
    StartOptions options;
    options.backend = std::move(backend);
    options.volumes = volumes;
    options.resourceFolder = config::ExecutableFolder();
    options.settleDelay = std::chrono::milliseconds(0);
    std::string error, warning;
    ASSERT_TRUE(StartCompact(*m_window, std::move(options), error, warning)) << error;
    ASSERT_TRUE(warning.empty()) << warning;
    Settle();
}

void CompactTest::Settle() {
    for (int round = 0; round < 3; ++round) {
        JoinWorker();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

void CompactTest::Plug(bool attached) {
    m_backend->SetAttached(0, attached);
    if (attached) m_emulator->PowerCycle();
    device->HandleNotification();
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

std::vector<uint8_t> CompactTest::FlashList() const {
    const std::vector<uint8_t>& flash = m_emulator->Flash();
    return std::vector<uint8_t>(flash.begin() + m_layout.listAddress,
                                flash.begin() + m_layout.listAddress + album::kListSize);
}

}  // namespace fotolume::compact::testing
