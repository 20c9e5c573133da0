// The header read: list address (header field or DPFH layout record), capacity, and failures.
#include <gtest/gtest.h>

#include "album/picture_list.h"
#include "device/bytes.h"
#include "tests/album/album_fixture.h"

namespace fotolume::album::testing {
namespace {

// Its layout record names the list address.
const sim::NewFrame kDpfhFrame{.listAddress = 0x30000, .dpfh = true};

void SetRecordAddress(AlbumFrame& frame, uint32_t e) {
    device::WriteLe24(frame.emulator.Flash().data() + sim::kLayoutRecordAddress + 11, e);
}

TEST(HeaderTest, ListAddressComesFromTheLayoutRecordRoundedUpToABlock) {
    AlbumFrame frame(kDpfhFrame);
    // Offset 32 names another address so that the record is seen to win.
    device::WriteLe24(frame.emulator.Flash().data() + sim::kHeaderListAddress, 0x70000);
    BoundStore a(frame.emulator);
    SetRecordAddress(frame, 0x30000);
    a.store.GetInformation();
    EXPECT_EQ(a.store.GetListAddress(), 0x30000u);
    SetRecordAddress(frame, 0x30001);
    a.store.GetInformation();
    EXPECT_EQ(a.store.GetListAddress(), 0x40000u);

    // A check byte that does not make the record sum to 0: the record is ignored.
    frame.emulator.Flash()[260] = static_cast<uint8_t>(frame.emulator.Flash()[260] + 1);
    a.store.GetInformation();
    EXPECT_EQ(a.store.GetListAddress(), 0x70000u);
}

TEST(HeaderTest, HeaderFieldsAndCapacity) {
    AlbumFrame frame(
        {.flashSize = 2097152, .width = 160, .height = 128, .listAddress = 0x40000, .maxPictures = 12, .programFlag = true});
    BoundStore a(frame.emulator);
    a.store.GetInformation();
    EXPECT_EQ(a.store.GetCapacity(), 1830912u);
    EXPECT_EQ(a.store.GetFreeBytes(), 1830912u);
    EXPECT_EQ(a.store.GetUsedEndAddress(), 0x40000u + 4096);
    EXPECT_EQ(a.store.GetFlashTotalSize(), 2097152u);
    EXPECT_EQ(a.store.GetTotalPicNum(), 12u);
    uint32_t w = 0, h = 0;
    a.store.GetLcdSize(w, h);
    EXPECT_EQ(w, 160u);
    EXPECT_EQ(h, 128u);
    EXPECT_TRUE(a.store.Info().programFlag);
    EXPECT_TRUE(a.store.IsLayoutWritable());
}

TEST(HeaderTest, NewFrameReadsAsAnEmptyAlbumWithDefaultColours) {
    AlbumFrame frame;
    auto a = frame.Open();
    EXPECT_EQ(a->store.GetPictureCount(), 0);
    EXPECT_EQ(Colours(a->store), (std::pair<uint16_t, uint16_t>{0x0000, 0xFFFF}));
    EXPECT_FALSE(a->store.ListChangedOnLoad());
    EXPECT_EQ(a->store.GetFreeSpaceForPicture(), a->store.GetCapacity());
    EXPECT_TRUE(IsListValid(a->store.PictureListBytes()));
}

// Failing the read of the layout record must not leave a list address of 0.
TEST(HeaderTest, FailedLayoutRecordReadIsAFailedHeaderRead) {
    AlbumFrame frame(kDpfhFrame);
    BoundStore a(frame.emulator);
    a.store.GetInformation();
    const uint32_t before = a.store.GetListAddress();
    const auto sent = a.Sent();
    size_t recordRead = 0;
    for (size_t i = 0; i < sent.size(); ++i) {
        if (sent[i].IsRead() && sent[i].Address() == sim::kLayoutRecordAddress) recordRead = i + 1;
    }
    ASSERT_NE(recordRead, 0u);

    frame.emulator.PowerCycle();
    frame.emulator.SetFaults({.failCommand = recordRead});
    EXPECT_EQ(CodeOf([&] { a.store.GetInformation(); }), ErrTransfer) << "a header read without its layout record";
    EXPECT_EQ(a.store.GetListAddress(), before);
}

TEST(HeaderTest, UnreadableHeaderThrowsAndKeepsThePreviousValues) {
    AlbumFrame frame;
    BoundStore a(frame.emulator);
    a.store.GetInformation();
    frame.emulator.PowerCycle();
    frame.emulator.SetFaults({.failCommand = 1});
    EXPECT_THROW(a.store.GetInformation(), CAlbumError);
    EXPECT_EQ(a.store.GetListAddress(), frame.layout.listAddress);
    EXPECT_EQ(a.store.GetFlashTotalSize(), frame.layout.flashSize);
}

TEST(HeaderTest, LayoutsThatCannotBeWrittenSayWhichFieldIsWrong) {
    struct Case {
        uint32_t list, flash;
        uint8_t erase;
        uint16_t width, height;
        const char* problem;  // nullptr: writable
    } cases[] = {
        {0x10000, 0x200000, 0xD8, 128, 128, nullptr},
        {0x18000, 0x200000, 0xD8, 128, 128, "picture list at 0x018000"},  // off a block boundary
        {0x00000, 0x200000, 0xD8, 128, 128, "picture list at 0x000000"},  // the header's own block
        {0x1F0000, 0x1F0800, 0xD8, 128, 128, "flash size 2033664 bytes is not a power of two"},
        {0x10000, 0x300000, 0xD8, 128, 128, "flash size 3145728 bytes is not a power of two"},  // 3 MB on 2 MB
        {0x10000, 0x000000, 0xD8, 128, 128, "flash size 0 bytes"},
        {0x10000, 0x010000, 0xD8, 128, 128, "lies past the end"},  // no room for the list's block
        {0x10000, 0x200000, 0xC7, 128, 128, "erase opcode 0xC7"},  // chip erase
        {0x10000, 0x200000, 0x20, 128, 128, nullptr},
        {0x10000, 0x200000, 0xD8, 2048, 2048, nullptr},
        {0x10000, 0x200000, 0xD8, 65535, 65535, "panel size 65535x65535 is larger than any frame's"},
        {0x10000, 0x200000, 0xD8, 2049, 16, "panel size 2049x16"},
        {0x10000, 0x200000, 0xD8, 0, 128, "panel size 0x128 has a side of zero"},
        {0x10000, 0x200000, 0xD8, 160, 0, "panel size 160x0 has a side of zero"},
    };
    for (const Case& c : cases) {
        AlbumFrame frame;
        auto& flash = frame.emulator.Flash();
        device::WriteLe24(flash.data() + sim::kHeaderListAddress, c.list);
        device::WriteLe24(flash.data() + sim::kHeaderFlashSize, c.flash);
        device::WriteLe16(flash.data() + sim::kHeaderWidth, c.width);
        device::WriteLe16(flash.data() + sim::kHeaderHeight, c.height);
        flash[sim::kHeaderEraseOpcode] = c.erase;
        BoundStore a(frame.emulator);
        a.store.GetInformation();
        const std::string problem = a.store.LayoutProblemText();
        EXPECT_EQ(a.store.IsLayoutWritable(), c.problem == nullptr) << std::hex << c.list << " " << c.flash;
        if (c.problem) {
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
            EXPECT_EQ(problem.find('\n'), std::string::npos);
        }
        // The panel limit alone decides whether pictures can be composed for the frame.
        const bool panelBad = c.width == 0 || c.height == 0 || c.width > kMaxPanelSide || c.height > kMaxPanelSide;
        EXPECT_EQ(PanelProblem(a.store.Info()).empty(), !panelBad);
        EXPECT_EQ(LayoutWritable(c.list, c.flash), c.problem == nullptr || panelBad || c.erase == 0xC7);
    }
}

}  // namespace
}  // namespace fotolume::album::testing
