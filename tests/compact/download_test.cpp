// Writing the album to the frame, saving it to a folder, and leaving while a transfer runs.
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

#include "album/compact_store.h"
#include "compact/compact_controller.h"
#include "compact/compact_widgets.h"
#include "device/bytes.h"
#include "device/comm_usb.h"
#include "device/flash_cdb.h"
#include "tests/compact/compact_fixture.h"

namespace fotolume::compact::testing {
namespace {

class DownloadTest : public CompactTest {
protected:
    QProgressBar* Progress() const { return m_window->findChild<QProgressBar*>(ControlName("dnpr", 0)); }
    // A stream whose file is a pipe: the download waits until the test writes the bytes into it.
    void AddPipedStream(const std::string& name, const std::vector<uint8_t>& bytes) {
        AddStream(name, bytes);
        std::remove(EdataPath(name).c_str());
        ASSERT_EQ(::mkfifo(EdataPath(name).c_str(), 0600), 0);
    }
};

struct Program {
    uint32_t address, length;
    bool operator==(const Program&) const = default;
};

TEST_F(DownloadTest, TwoHundredThousandBytesAfterTheListGoInFourBlocksAndTheListLast) {
    Start();
    const uint32_t L = m_layout.listAddress;
    const std::vector<uint8_t> a = Bytes(120000, 1), b = Bytes(80000, 2);
    AddStream("Picture1.bmp", a);
    AddStream("Picture2.bmp", b);
    QSignalSpy progress(Progress(), &QProgressBar::valueChanged);
    m_backend->ClearSent();

    MyDownLoadButtonHandler();
    EXPECT_FALSE(CommandsEnabled());
    Settle();

    std::vector<Program> programs;
    for (const testsupport::SentCommand& command : testsupport::VendorCommands(m_backend->SentCommands())) {
        if (command.IsProgram()) programs.push_back({command.Address(), command.length});
    }
    // The list emptied, three data blocks (7488 bytes rounded up to 8192), then the list block with
    // the first 61440 bytes.
    EXPECT_EQ(programs, std::vector<Program>({{L, 65536},
                                              {L + 65536, 65536},
                                              {L + 131072, 65536},
                                              {L + 196608, 8192},
                                              {L, 65536}}));
    std::vector<int> values;
    for (const QList<QVariant>& change : progress) values.push_back(change.at(0).toInt());
    EXPECT_EQ(values, std::vector<int>({10, 20, 50, 70, 90, 99, 100, 0}));

    // The frame holds exactly the album.
    const std::vector<uint8_t> list = FlashList();
    ASSERT_TRUE(album::IsListValid(list.data()));
    const album::PicEntry first = album::ReadEntry(list.data(), 0), second = album::ReadEntry(list.data(), 1);
    EXPECT_EQ(first.flag, 1);
    EXPECT_EQ(first.address, L + 4096);
    EXPECT_EQ(first.length, a.size());
    EXPECT_EQ(second.address, L + 4096 + a.size());
    EXPECT_EQ(second.length, b.size());
    EXPECT_EQ(album::ReadEntry(list.data(), 2).flag, 0);
    EXPECT_EQ(FlashBytes(first.address, first.length), a);
    EXPECT_EQ(FlashBytes(second.address, second.length), b);

    EXPECT_TRUE(GetNode(*gmyPictureData, 1)->onFrame);
    EXPECT_TRUE(GetNode(*gmyPictureData, 2)->onFrame);
    EXPECT_EQ(Text("devl", 0), QStringLiteral("DownLoad Finished!"));
    EXPECT_TRUE(CommandsEnabled());
    EXPECT_EQ(Progress()->value(), 0);
}

TEST_F(DownloadTest, AddedPicturesSurviveDownloadRemovalAndSaveAll) {
    PutPictures({Qt::red});
    Start();
    m_window->PictureView()->SetPicture(testsupport::SolidPicture(320, 240, Qt::darkCyan));
    MyAddButtonHandler();
    MyAddButtonHandler();
    Settle();
    ASSERT_EQ(AlbumNames().size(), 3);
    MyDownLoadButtonHandler();
    Settle();
    ASSERT_EQ(Text("devl", 0), QStringLiteral("DownLoad Finished!"));

    Plug(false);
    Plug(true);
    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("DPFPicture1.bmp"), QStringLiteral("DPFPicture2.bmp"),
                                         QStringLiteral("DPFPicture3.bmp")}));
    // The added pictures come back as the colour they were composed from.
    const QImage back(QString::fromStdString(DataPath("DPFPicture3.bmp")));
    ASSERT_FALSE(back.isNull());
    const QColor centre = back.pixelColor(64, 64);
    EXPECT_NEAR(centre.red(), 0, 12);
    EXPECT_NEAR(centre.green(), 128, 12);
    EXPECT_NEAR(centre.blue(), 128, 12);

    QTemporaryDir out;
    QFile::copy(QString::fromStdString(DataPath("DPFPicture1.bmp")), out.filePath(QStringLiteral("2.bmp")));
    m_prompt.QueueFolder(out.path());
    MyUpLoadButtonHandler();
    EXPECT_EQ(m_prompt.Asked().constLast(), QStringLiteral("folder:Select File Location|Save"));
    for (int n = 1; n <= 3; ++n) {
        const std::vector<uint8_t> saved = ReadBytes(out.filePath(QStringLiteral("%1.bmp").arg(n)).toStdString());
        ASSERT_FALSE(saved.empty()) << n;
        // Replaced where it existed.
        EXPECT_EQ(saved, ReadBytes(DataPath("DPFPicture" + std::to_string(n) + ".bmp"))) << n;
    }
}

TEST_F(DownloadTest, AFailedDownloadLeavesAReadableFrameAndTheCommandsOn) {
    const std::vector<Slot> slots = PutPictures({Qt::red});
    Start();
    AddStream("Picture2.bmp", Bytes(5000, 3));
    AddStream("Picture3.bmp", Bytes(5000, 4));
    std::remove(EdataPath("Picture3.bmp").c_str());  // its stream is lost
    const std::vector<uint8_t> listBefore(G_PictureList, G_PictureList + album::kListSize);
    m_backend->ClearSent();

    MyDownLoadButtonHandler();
    Settle();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Fail To Download Picture!"));
    EXPECT_TRUE(CommandsEnabled());
    // Every stream is read before the frame is touched: nothing was erased or written, and the album
    // in memory is as it was.
    for (const sim::CEmulatorBackend::Sent& sent : m_backend->SentCommands()) {
        EXPECT_FALSE(sent.cdb[0] == 0xCB && sent.cdb[10] != 0x06 && sent.cdb[10] != 0x01) << int(sent.cdb[10]);
    }
    EXPECT_EQ(std::vector<uint8_t>(G_PictureList, G_PictureList + album::kListSize), listBefore);
    // The frame's list is whole and lists the picture that was there.
    std::vector<uint8_t> list = FlashList();
    ASSERT_TRUE(album::IsListValid(list.data()));
    EXPECT_EQ(album::ReadEntry(list.data(), 0).address, slots[0].address);
    EXPECT_EQ(album::ReadEntry(list.data(), 1).flag, 0);
    EXPECT_FALSE(GetNode(*gmyPictureData, 2)->onFrame);

    // Without the lost picture the download goes through.
    gmyCurrentSelectItem = 3;
    MyDelButtonHandler();
    MyDownLoadButtonHandler();
    Settle();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("DownLoad Finished!"));
    list = FlashList();
    EXPECT_EQ(album::ReadEntry(list.data(), 1).address, slots[0].address + slots[0].length);
    Plug(false);
    Plug(true);
    EXPECT_EQ(AlbumNames().size(), 1);  // the random bytes do not decode; the red picture does
}

TEST_F(DownloadTest, QuittingDuringADownloadIsRefusedAndTheWindowStays) {
    Start();
    m_window->show();
    // A stream file that is a pipe holds the download until the test writes into it.
    const std::vector<uint8_t> bytes = Bytes(3000, 5);
    AddPipedStream("Picture1.bmp", bytes);

    MyDownLoadButtonHandler();
    m_window->close();
    QCoreApplication::processEvents();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Can not quit application,during transfering data!"));
    EXPECT_TRUE(m_window->isVisible());
    m_window->OnQuit();
    EXPECT_TRUE(m_prompt.Asked().isEmpty());
    EXPECT_EQ(m_quits, 0);

    testsupport::WriteBytes(EdataPath("Picture1.bmp"), bytes);
    Settle();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("DownLoad Finished!"));

    // Idle: the question, "Canle" keeps the program, OK leaves it.
    m_window->OnQuit();
    EXPECT_EQ(m_prompt.Asked().constLast(), QStringLiteral("MacFotolume|Really want to quit?|OK|Canle"));
    EXPECT_EQ(m_quits, 0);
    // OK given while a frame arrived under the question: its reading has begun, so the program stays.
    Plug(false);
    m_prompt.WhileAsking([this] {
        Announce(true);
    });
    m_prompt.QueueOk(true);
    m_window->OnQuit();
    EXPECT_EQ(m_quits, 0);
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Can not quit application,during transfering data!"));
    Settle();
    m_prompt.QueueOk(true);
    m_window->OnQuit();
    EXPECT_EQ(m_quits, 1);
    EXPECT_EQ(compact::device, nullptr);
}

TEST_F(DownloadTest, RemovalDuringADownloadWaitsForItAndThenReleasesTheAlbum) {
    PutPictures({Qt::red});
    Start();
    const std::vector<uint8_t> bytes = Bytes(3000, 6);
    AddPipedStream("Picture2.bmp", bytes);
    MyDownLoadButtonHandler();

    // The stream arrives only after the frame has been pulled; the removal waits for the download.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        testsupport::WriteBytes(EdataPath("Picture2.bmp"), bytes);
    });
    Announce(false);
    late.join();
    Settle();
    EXPECT_EQ(gmyIsTransferData, 0);
    EXPECT_TRUE(AlbumNames().isEmpty());
    EXPECT_EQ(m_PtrPF, nullptr);
    // The window's last word is the removal's, and the commands stay off.
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Device Not Online!"));
    EXPECT_FALSE(CommandsEnabled());
}

TEST_F(DownloadTest, SaveAllSaysWhatItSavedAndWhichFileItCouldNotWrite) {
    PutPictures({Qt::red, Qt::blue});
    Start();
    QTemporaryDir out;
    m_prompt.QueueFolder(out.path());
    MyUpLoadButtonHandler();
    Settle();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("2 picture(s) saved in ") + out.path());
    EXPECT_TRUE(QFile::exists(out.filePath(QStringLiteral("2.bmp"))));

    // A folder nobody may write into, and a file chosen as the folder.
    QFile plain(out.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    for (const QString& folder : {QStringLiteral("/proc"), plain.fileName()}) {
        m_prompt.QueueFolder(folder);
        MyUpLoadButtonHandler();
        Settle();
        EXPECT_EQ(Text("devl", 0), QStringLiteral("Could not write ") + folder + QStringLiteral("/1.bmp"));
    }
}

TEST_F(DownloadTest, AFrameThatCannotBeWrittenSaysSoOnceAndKeepsDownLoadOff) {
    struct Case {
        const char* name;
        uint8_t eraseOpcode;
        uint32_t listAddress;
        QString reason;
    };
    const Case cases[] = {
        {"chip erase", 0xC7, 0x10000,
         QStringLiteral("the erase opcode 0xC7 is not one this program can use (0xD8 for 64 KB, 0x20 for 4 KB)")},
        {"list off a block boundary", 0xD8, 0x18000,
         QStringLiteral("the picture list at 0x018000 is not on a 64 KB boundary above the header")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::NewFrame layout;
        layout.eraseOpcode = c.eraseOpcode;
        std::vector<uint8_t>& flash = NewFlash(layout);
        device::WriteLe24(flash.data() + sim::kHeaderListAddress, c.listAddress);
        m_layout.listAddress = c.listAddress;
        PutPictures({Qt::red});
        Start();
        const QString said = QStringLiteral("This DPF cannot be written: ") + c.reason;
        EXPECT_EQ(m_prompt.Asked(), QStringList{QStringLiteral("tell:MacFotolume|") + said});
        auto* download = m_window->findChild<QPushButton*>(ControlName("load", 0));
        EXPECT_FALSE(download->isEnabled());
        EXPECT_EQ(download->toolTip(), said);
        EXPECT_TRUE(m_window->findChild<QPushButton*>(ControlName("slet", 0))->isEnabled());
        EXPECT_EQ(AlbumNames().size(), 1);

        // Pressed all the same: the reason again, and not one command to the frame.
        AddStream("Picture2.bmp", Bytes(3000, 9));
        m_backend->ClearSent();
        MyDownLoadButtonHandler();
        Settle();
        EXPECT_EQ(Text("devl", 0), said);
        EXPECT_TRUE(m_backend->SentCommands().empty());
        InvalidateMyWindow();
        Settle();
        EXPECT_FALSE(download->isEnabled());

        // Said once per reading; gone with the frame.
        Plug(false);
        EXPECT_TRUE(download->toolTip().isEmpty());
        Plug(true);
        EXPECT_EQ(m_prompt.Asked().size(), 2);
        TearDown();
        m_prompt = CScriptedMacPrompt();
    }
}

}  // namespace
}  // namespace fotolume::compact::testing
