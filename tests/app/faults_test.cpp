// A frame that fails one command, or vanishes, during a read (connect checks included) or a synchronize:
// the window ends responsive with at most one message, shows the frame as it is, and loses nothing.
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/thumb_list_ctrl.h"
#include "compose/preview.h"
#include "tests/app/app_harness.h"

using namespace fotolume;
using namespace fotolume::apptest;

namespace {

enum class Fault { FailOnce, Vanish };

// The fault at command at (1-based): that command fails once, or the frame is gone from it on.
sim::FlashFaults FaultsAt(Fault fault, uint64_t at) {
    return fault == Fault::FailOnce ? sim::FlashFaults{.failCommand = at} : sim::FlashFaults{.vanishAfter = at - 1};
}

// Where in a command sequence the fault lands: picked from the commands a clean run sends.
struct Point {
    const char* name;
    std::function<int(const std::vector<Sent>&)> pick;  // 1-based index; 0: none in this run
};

void PrintTo(Fault fault, std::ostream* os) { *os << (fault == Fault::FailOnce ? "FailOnce" : "Vanish"); }
void PrintTo(const Point& point, std::ostream* os) { *os << point.name; }

using FaultParam = std::tuple<Fault, Point>;

std::string ParamName(const ::testing::TestParamInfo<FaultParam>& info) {
    return ::testing::PrintToString(std::get<0>(info.param)) + std::get<1>(info.param).name;
}

// Waits for the frame to go (when it vanishes) and the window to settle; true once the fault did hit.
bool SettledAfter(AppHarness& h, Fault fault, uint64_t at) {
    if (fault == Fault::Vanish &&
        !(WaitFor([&] { return h.emulator.Vanished(); }) && WaitFor([&] { return !h.Flags().isConnected; })))
        return false;
    return h.WaitSettled() && (fault == Fault::Vanish ? h.emulator.Vanished() : h.emulator.CommandCount() >= at);
}

bool IsErase(const Sent& s) { return s.cdb[0] == 0xCB && (s.cdb[10] == 0xD8 || s.cdb[10] == 0x20); }

constexpr uint32_t kListAddress = 0x10000;

sim::NewFrame TallFrame() { return {.width = 128, .height = 160}; }

// --- Read, with the connect checks ---------------------------------------------------------------------

const Point kReadPoints[] = {
    {"Header", [](const std::vector<Sent>& s) { return First(s, IsRead); }},
    {"List", [](const std::vector<Sent>& s) { return First(s, [](const Sent& c) { return IsRead(c) && Address(c) == kListAddress; }); }},
    {"Clock", [](const std::vector<Sent>& s) { return First(s, [](const Sent& c) { return c.cdb[0] == 0xCA; }); }},
    {"Version", [](const std::vector<Sent>& s) { return First(s, [](const Sent& c) { return c.cdb[0] == 0xCD && c.cdb[5] == 1; }); }},
    {"SecondPicture", [](const std::vector<Sent>& s) {
         std::vector<int> starts;  // the reads of the picture area that do not go on from the one before
         uint32_t end = 0;
         for (size_t i = 0; i < s.size(); ++i) {
             if (!IsRead(s[i]) || Address(s[i]) <= kListAddress) continue;
             if (Address(s[i]) != end) starts.push_back(static_cast<int>(i + 1));
             end = Address(s[i]) + s[i].length;
         }
         return starts.size() > 1 ? starts[1] : 0;
     }},
    {"LastCommand", [](const std::vector<Sent>& s) { return static_cast<int>(s.size()); }},
};

class ReadFaults : public ::testing::TestWithParam<FaultParam> {};

TEST_P(ReadFaults, EndInAUsableWindowThatShowsTheFrameAsItIs) {
    const auto& [fault, point] = GetParam();
    AppHarness h(TallFrame());
    const std::vector<Bytes> album = NoiseStreams(1, 3, QSize(128, 160), 50);
    SeedAlbum(h.emulator, album);
    const int step = point.pick(ReadCommands(TallFrame(), h.emulator.Flash()));
    ASSERT_GT(step, 0);
    // The frame is plugged in at the start, which powers it up: its commands count from there. A frame
    // cannot vanish before its first command, so it goes after it at the earliest.
    const auto at = static_cast<uint64_t>(fault == Fault::Vanish ? std::max(step, 2) : step);
    h.emulator.SetFaults(FaultsAt(fault, at));

    ASSERT_EQ(h.Start(), -1);
    if (fault == Fault::FailOnce) {
        ASSERT_TRUE(h.WaitForRead(0));
    }
    ASSERT_TRUE(SettledAfter(h, fault, at));
    app::CThumbListCtrl* list = h.Window().AlbumList();
    EXPECT_LE(h.prompt.History().size(), 1);
    EXPECT_EQ(list->count(), h.Controller().CachePaths().size());
    EXPECT_TRUE(h.Window().Button(2)->isEnabled());
    if (fault == Fault::Vanish) {
        EXPECT_EQ(list->count(), 0);
        EXPECT_EQ(h.Window().StatusText(), QStringLiteral("DPF Detached!"));
    } else {
        EXPECT_TRUE(h.Window().Button(1033)->isEnabled());
        if (h.Controller().AlbumComplete()) {
            EXPECT_EQ(AlbumInMemory(h.Controller()), album);
            EXPECT_EQ(list->count(), 3);
            EXPECT_TRUE(h.Window().Button(1019)->isEnabled());
        } else {
            // Not every picture came in: the frame's pictures keep their places, and nothing may be
            // added, deleted or written until a read gets through.
            EXPECT_TRUE(list->count() == 0 || list->count() == 3) << list->count();
            EXPECT_EQ(h.prompt.History().size(), 1);
            for (int id : {1019, 1006, 1001, 1048}) {
                EXPECT_FALSE(h.Window().Button(id)->isEnabled()) << id;
            }
        }
        // A clock that does not answer costs only its message: the album and the panel are there.
        if (std::string(point.name) == "Clock") {
            EXPECT_TRUE(h.Controller().AlbumComplete());
            EXPECT_EQ(h.prompt.Texts(), QStringList{QStringLiteral("Synchronize time failed!")});
            EXPECT_EQ(h.Controller().Preview()->Composition().CropSize(), QSize(128, 160));
        }
    }
    // The frame read again without the fault gives the whole album: a read never writes.
    ASSERT_TRUE(h.Replug());
    EXPECT_EQ(ReadBackAlbum(h.emulator), album);
    EXPECT_TRUE(h.Controller().AlbumComplete());
    EXPECT_EQ(AlbumInMemory(h.Controller()), album);
    EXPECT_EQ(list->count(), 3);
}

INSTANTIATE_TEST_SUITE_P(AtEachStep, ReadFaults,
                         ::testing::Combine(::testing::Values(Fault::FailOnce, Fault::Vanish), ::testing::ValuesIn(kReadPoints)),
                         ParamName);

// --- Synchronize ---------------------------------------------------------------------------------------

const Point kSyncPoints[] = {
    {"FirstCommand", [](const std::vector<Sent>&) { return 1; }},
    {"ListErase", [](const std::vector<Sent>& s) { return First(s, [](const Sent& c) { return IsErase(c) && Address(c) == kListAddress; }); }},
    {"FirstData", [](const std::vector<Sent>& s) { return First(s, [](const Sent& c) { return IsProgram(c) && Address(c) > kListAddress; }); }},
    {"MidData", [](const std::vector<Sent>& s) {
         std::vector<int> data;
         for (size_t i = 0; i < s.size(); ++i) {
             if (IsProgram(s[i]) && Address(s[i]) > kListAddress) data.push_back(static_cast<int>(i + 1));
         }
         return data.empty() ? 0 : data[data.size() / 2];
     }},
    {"ListWrite", [](const std::vector<Sent>& s) {  // the last program of the list block
         const std::vector<Sent> reversed(s.rbegin(), s.rend());
         const int fromEnd = First(reversed, [](const Sent& c) { return IsProgram(c) && Address(c) == kListAddress; });
         return fromEnd == 0 ? 0 : static_cast<int>(s.size()) + 1 - fromEnd;
     }},
    {"LastCommand", [](const std::vector<Sent>& s) { return static_cast<int>(s.size()); }},
};

class SyncFaults : public ::testing::TestWithParam<FaultParam> {};

TEST_P(SyncFaults, EndInAUsableWindowAndLoseNothing) {
    const auto& [fault, point] = GetParam();
    AppHarness h(WideFrame());
    const std::vector<Bytes> oldAlbum = NoiseStreams(1, 3, QSize(240, 180), 50);
    ASSERT_TRUE(h.StartAndRead(oldAlbum));
    // The edit: the last picture goes, a dropped one comes.
    app::CThumbListCtrl* list = h.Window().AlbumList();
    list->item(2)->setSelected(true);
    h.prompt.QueueYes();
    h.Controller().OnDelete();
    ASSERT_TRUE(DropPictures(h, 1));
    const std::vector<Bytes> newAlbum = AlbumInMemory(h.Controller());
    ASSERT_EQ(newAlbum.size(), 3U);
    h.prompt.Clear();

    const int step = point.pick(CommitCommands(h, newAlbum));
    ASSERT_GT(step, 0);
    const uint64_t at = h.emulator.CommandCount() + static_cast<uint64_t>(step);
    h.emulator.SetFaults(FaultsAt(fault, at));
    const std::optional<int> finished = SynchronizeAndWait(h);
    ASSERT_TRUE(finished.has_value());
    ASSERT_TRUE(SettledAfter(h, fault, at));
    const int code = *finished;

    // One message when the write failed, none when it did not.
    EXPECT_EQ(h.prompt.History().size(), code == 0 ? 0 : 1);
    if (code != 0) {
        EXPECT_TRUE(h.prompt.Texts().constFirst().startsWith(QStringLiteral("Download pics failed!")));
    }
    EXPECT_TRUE(h.Window().Button(2)->isEnabled());
    if (fault == Fault::FailOnce) {
        // The frame is still there: the failed command is tried again and the new album is written.
        EXPECT_EQ(code, 0);
        EXPECT_EQ(AlbumInMemory(h.Controller()), newAlbum);
        EXPECT_EQ(list->count(), 3);
        EXPECT_TRUE(h.Window().Button(1001)->isEnabled());
        EXPECT_FALSE(h.Flags().isModified);
        EXPECT_EQ(ReadBackAlbum(h.emulator), newAlbum);
        return;
    }
    // The frame went: the view is empty until it comes back; then the restore question (if any) is
    // answered Yes, and the window shows exactly what the frame holds.
    EXPECT_EQ(list->count(), 0);
    h.prompt.Clear();
    h.prompt.QueueYes();
    ASSERT_TRUE(h.Replug());
    const std::vector<Bytes> onFrame = ReadBackAlbum(h.emulator);
    EXPECT_EQ(AlbumInMemory(h.Controller()), onFrame);
    EXPECT_EQ(list->count(), static_cast<int>(onFrame.size()));
    // Exactly the old album or exactly the new one, never a mix.
    EXPECT_TRUE(onFrame == oldAlbum || onFrame == newAlbum) << onFrame.size() << " pictures";
    if (code == 0) {
        EXPECT_EQ(onFrame, newAlbum);
    }
}

INSTANTIATE_TEST_SUITE_P(AtEachStep, SyncFaults,
                         ::testing::Combine(::testing::Values(Fault::FailOnce, Fault::Vanish), ::testing::ValuesIn(kSyncPoints)),
                         ParamName);

}  // namespace
