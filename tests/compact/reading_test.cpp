// Reading the frame's album when it comes online, and letting go of it when the frame goes.
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "album/compact_store.h"
#include "compact/compact_controller.h"
#include "device/comm_usb.h"
#include "tests/compact/compact_fixture.h"

namespace fotolume::compact::testing {
namespace {

namespace fs = std::filesystem;

class ReadingTest : public CompactTest {};

album::PicEntry Entry(int slot) { return album::ReadEntry(G_PictureList, slot); }

TEST_F(ReadingTest, SlotsOneZeroOneReadAsTwoPicturesNumberedInReadingOrder) {
    NewFlash();
    const uint32_t area = m_layout.listAddress + album::kListSize;
    std::vector<uint8_t> a = EncodedPicture(128, 128, Qt::red), b = EncodedPicture(128, 128, Qt::blue);
    const uint32_t bAt = area + 8192;
    PutAlbum({{1, area, uint32_t(a.size())}, {0, area + 4096, 100}, {1, bAt, uint32_t(b.size())}}, {a, {}, b});
    Start();

    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("DPFPicture1.bmp"), QStringLiteral("DPFPicture2.bmp")}));
    EXPECT_EQ(gmyTotalePictureNum, 2);
    EXPECT_EQ(gmyTotalePicture, 2);
    EXPECT_EQ(ReadBytes(EdataPath("DPFPicture1.bmp")), a);
    EXPECT_EQ(ReadBytes(EdataPath("DPFPicture2.bmp")), b);
    EXPECT_TRUE(fs::exists(DataPath("DPFPicture2.bmp")));
    // The list in memory is packed: slot n is picture n + 1.
    EXPECT_EQ(Entry(0).address, area);
    EXPECT_EQ(Entry(1).address, bAt);
    EXPECT_EQ(Entry(2).flag, 0);
    EXPECT_EQ(TotolFlashSizeForPic, int(m_layout.flashSize - area - a.size() - b.size()));
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Picture(s) In Fotolume"));
    EXPECT_TRUE(CommandsEnabled());
}

TEST_F(ReadingTest, SlotsThatCannotBePicturesAreZeroedAndSkipped) {
    NewFlash();
    const uint32_t area = m_layout.listAddress + album::kListSize;
    std::vector<uint8_t> a = EncodedPicture(128, 128, Qt::green), b = EncodedPicture(128, 128, Qt::yellow);
    ASSERT_LT(a.size(), 4096u);
    const uint32_t bAt = area + 8192;
    PutAlbum({{1, area, uint32_t(a.size())},
              {1, m_layout.flashSize - 100, 200},  // ends past the flash
              {7, area, 50},                       // not a picture flag
              {1, area + 4096, 300},               // does not decode
              {1, bAt, uint32_t(b.size())}},
             {a, {}, {}, Bytes(300, 1), b});
    Start();

    EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("DPFPicture1.bmp"), QStringLiteral("DPFPicture2.bmp")}));
    EXPECT_EQ(ReadBytes(EdataPath("DPFPicture2.bmp")), b);
    // Packing keeps the list in step with the album: the second slot is the second picture.
    EXPECT_EQ(Entry(0).address, area);
    EXPECT_EQ(Entry(1).address, bAt);
    EXPECT_EQ(Entry(1).length, b.size());
    for (int slot = 2; slot < 6; ++slot) EXPECT_EQ(Entry(slot).flag, 0) << slot;
}

TEST_F(ReadingTest, AnEmptyFrameSaysSoAndAnEarlierRunsFilesAreGone) {
    fs::create_directories(fs::path(std::getenv("XDG_CACHE_HOME")) / "macfotolume" / "data");
    const fs::path stale = fs::path(std::getenv("XDG_CACHE_HOME")) / "macfotolume" / "data" / "Picture9.bmp";
    { std::ofstream(stale) << "old"; }
    Start();
    EXPECT_TRUE(AlbumNames().isEmpty());
    EXPECT_EQ(Text("devl", 0), QStringLiteral("No Picture"));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(Text("CUPI", 0), QStringLiteral("000"));
    EXPECT_TRUE(CommandsEnabled());
    // Nothing to save: said so, and no folder asked for.
    MyUpLoadButtonHandler();
    EXPECT_EQ(Text("devl", 0), QStringLiteral("No Pictures"));
    EXPECT_TRUE(m_prompt.Asked().isEmpty());
}

TEST_F(ReadingTest, AFrameLeavingDuringItsHeaderOrListReadKeepsTheCommandsOff) {
    Start();
    // Header: a read and its checksum; then the clock and the list.
    const std::pair<uint64_t, QString> cases[] = {{1, QStringLiteral("Read Initializtion Information false!")},
                                                  {3, QStringLiteral("Read Picture List false!")}};
    for (const auto& [vanishAfter, text] : cases) {
        Plug(false);
        QSignalSpy notes(m_window.get(), &CMacWindow::NotesShown);
        m_backend->SetAttached(0, true);
        m_emulator->PowerCycle();
        sim::FlashFaults faults;
        faults.vanishAfter = vanishAfter;
        m_emulator->SetFaults(faults);
        compact::device->HandleNotification();
        Settle();
        QStringList shown;
        for (const QList<QVariant>& note : notes) shown << note.at(0).toString();
        EXPECT_TRUE(shown.contains(text)) << shown.join(u'|').toStdString();
        EXPECT_FALSE(CommandsEnabled());
        EXPECT_EQ(gmyIsTransferData, 0);
        m_emulator->SetFaults({});
    }
}

TEST_F(ReadingTest, RemovalReleasesTheAlbumAndArrivalReadsItAgain) {
    PutPictures({Qt::red, Qt::blue, Qt::green});
    Start();
    ASSERT_EQ(AlbumNames().size(), 3);

    Plug(false);
    EXPECT_TRUE(AlbumNames().isEmpty());
    EXPECT_EQ(gmyTotalePictureNum, 0);
    EXPECT_EQ(m_PtrPF, nullptr);
    EXPECT_FALSE(fs::exists(EdataPath("DPFPicture1.bmp")));
    EXPECT_EQ(Text("devl", 0), QStringLiteral("Device Not Online!"));
    EXPECT_FALSE(CommandsEnabled());

    Plug(true);
    EXPECT_EQ(AlbumNames().size(), 3);
    EXPECT_TRUE(CommandsEnabled());
}

TEST_F(ReadingTest, TheStatusTextsComeFromTheLanguageFile) {
    // The shipped file's chosen language is English; the window title and captions follow it.
    Start();
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("MacFotolume"));
    EXPECT_EQ(Text("upld", 0), QStringLiteral("Save ALL"));
    EXPECT_EQ(Text("trax", 0), QStringLiteral("Translate: X:"));
    EXPECT_EQ(Text("TOTA", 0), QStringLiteral("Total Pictures"));
}

TEST_F(ReadingTest, APictureThatCannotBeReadIsLeftOutNamedAndTheWindowStaysUsable) {
    struct Case {
        const char* name;
        bool garbage;       // the second picture's bytes do not decode
        bool damagedReads;  // the second picture's reads come back damaged every time
        bool silentAfter;   // after that the frame answers nothing
    };
    for (const Case& c : {Case{"reads damaged", false, true, false}, Case{"does not decode", true, false, false},
                          Case{"the frame falls silent", false, true, true}}) {
        SCOPED_TRACE(c.name);
        NewFlash();
        const uint32_t area = m_layout.listAddress + album::kListSize;
        const std::vector<uint8_t> red = EncodedPicture(128, 128, Qt::red), blue = EncodedPicture(128, 128, Qt::blue);
        const std::vector<uint8_t> second = c.garbage ? Bytes(3000, 7) : EncodedPicture(128, 128, Qt::green);
        const uint32_t secondAt = area + 8192, blueAt = area + 16384;
        PutAlbum({{1, area, uint32_t(red.size())},
                  {1, secondAt, uint32_t(second.size())},
                  {1, blueAt, uint32_t(blue.size())}},
                 {red, second, blue});
        m_damagedReads = c.damagedReads ? secondAt : 0;
        m_silentAfterDamage = c.silentAfter;
        Start();

        if (c.silentAfter) {
            EXPECT_EQ(Text("devl", 0), QStringLiteral("Read picture(s) false"));
            EXPECT_FALSE(CommandsEnabled());
        } else {
            EXPECT_EQ(AlbumNames(), QStringList({QStringLiteral("DPFPicture1.bmp"), QStringLiteral("DPFPicture2.bmp")}));
            EXPECT_EQ(ReadBytes(EdataPath("DPFPicture2.bmp")), blue);
            EXPECT_EQ(Text("devl", 0), QStringLiteral("Could not read from the DPF, left out: picture(s) 2"));
            EXPECT_TRUE(CommandsEnabled());
            EXPECT_EQ(gmyIsTransferData, 0);
        }
        // Nothing is left of the picture that did not make it: no empty file, no third picture.
        for (const char* folder : {"data", "Edata"}) {
            for (const auto& entry : fs::directory_iterator(fs::path(gmyWorkpath) / folder)) {
                EXPECT_GT(fs::file_size(entry.path()), 0u) << entry.path();
                EXPECT_NE(entry.path().filename(), "DPFPicture3.bmp") << entry.path();
            }
        }
        TearDown();
        m_damagedReads = 0;
        m_silentAfterDamage = false;
    }
}

}  // namespace
}  // namespace fotolume::compact::testing
