// The clock command's bytes and the firmware version text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "device/clock.h"
#include "tests/support/emulated_frame.h"

namespace fotolume::device {
namespace {

using EmulatedFrame = testsupport::LinkedFrame;

class FixedClock : public IClock {
public:
    explicit FixedClock(LocalTime t) : m_time(t) {}
    LocalTime Now() const override { return m_time; }

private:
    LocalTime m_time;
};

LocalTime At(long standardOffset, long currentOffset, bool dst) {
    return {.year = 2026, .month = 12, .day = 6, .hour = 13, .minute = 41, .second = 9, .daylightSaving = dst,
            .standardOffsetSeconds = standardOffset, .currentOffsetSeconds = currentOffset};
}

std::vector<int> Bytes5To15(const Cdb& c) { return std::vector<int>(c.begin() + 5, c.end()); }

TEST(Clock, DateTimeAndZoneBytes) {
    Cdb east8 = ClockCdb(At(8 * 3600, 8 * 3600, false), Variant::Full);
    EXPECT_EQ(east8[0], 0xCA);
    EXPECT_EQ(Bytes5To15(east8), (std::vector<int>{26, 20, 12, 6, 13, 41, 9, 0, 0, 0, 20}));
    EXPECT_EQ(ClockCdb(At(-5 * 3600, -5 * 3600, false), Variant::Full)[15], 7);
    EXPECT_EQ(ClockCdb(At(5 * 3600 + 1800, 5 * 3600 + 1800, false), Variant::Full)[15], 17);
    // Fractions are dropped toward zero in the west as well: -3:30 gives 12 - 3.
    EXPECT_EQ(ClockCdb(At(-(3 * 3600 + 1800), -(3 * 3600 + 1800), false), Variant::Full)[15], 9);
}

TEST(Clock, FullSendsStandardOffsetCompactSendsCurrentOffsetAndDaylightByte) {
    // Central Europe in summer: standard +1, current +2.
    LocalTime summer = At(3600, 7200, true);
    Cdb full = ClockCdb(summer, Variant::Full);
    Cdb compact = ClockCdb(summer, Variant::Compact);
    EXPECT_EQ(full[14], 0);
    EXPECT_EQ(full[15], 13);
    EXPECT_EQ(compact[14], 1);
    EXPECT_EQ(compact[15], 14);
    EXPECT_EQ(ClockCdb(At(3600, 3600, false), Variant::Compact)[14], 0);
}

TEST(Clock, SynchronizeSendsTheClockCommandFromTheInjectedClock) {
    EmulatedFrame frame;
    FixedClock clock(At(8 * 3600, 8 * 3600, false));
    CProcessFlash flash(*frame.link, Variant::Full, &clock);
    EXPECT_EQ(flash.SynchronizeDPFtime(), kSendDone);
    EXPECT_EQ(frame.emulator.LastClock(), ClockCdb(clock.Now(), Variant::Full));
    EXPECT_EQ(flash.LastClockCdb(), frame.emulator.LastClock());
    ASSERT_EQ(frame.backend->SentCommands().size(), 1u);
    EXPECT_EQ(frame.backend->SentCommands()[0].direction, kDirNone);
}

// The host's zone, whatever the machine's own: TZ is set for each case and put back after.
TEST(Clock, ZoneBytesFollowTheZoneNotTheMachine) {
    struct Case {
        const char* zone;
        long long when;  // UTC seconds
        long standard, current;
        uint8_t fullZone, compactZone, compactDst;
    } cases[] = {
        // Europe/Dublin calls summer time standard and marks winter as daylight saving: winter is UTC+0.
        {"Europe/Dublin", 1800000000, 0, 0, 12, 12, 0},           // 2027-01-15, winter
        {"Europe/Dublin", 1782000000, 0, 3600, 12, 13, 1},        // 2026-06-21, summer
        {"Europe/Berlin", 1796000000, 3600, 3600, 13, 13, 0},     // 2026-11-30
        {"Europe/Berlin", 1782000000, 3600, 7200, 13, 14, 1},
        {"Australia/Sydney", 1796000000, 36000, 39600, 22, 23, 1},  // southern summer
        {"America/New_York", 1796000000, -18000, -18000, 7, 7, 0},  // 5 hours west
        {"Asia/Kolkata", 1782000000, 19800, 19800, 17, 17, 0},      // 5 hours 30 minutes east
        {"UTC", 1782000000, 0, 0, 12, 12, 0},
    };
    const char* saved = std::getenv("TZ");
    const std::string before = saved ? saved : "";
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.zone) + " at " + std::to_string(c.when));
        ::setenv("TZ", c.zone, 1);
        const LocalTime t = LocalTimeAt(c.when);
        EXPECT_EQ(t.standardOffsetSeconds, c.standard);
        EXPECT_EQ(t.currentOffsetSeconds, c.current);
        EXPECT_EQ(t.daylightSaving, c.compactDst == 1);
        EXPECT_EQ(ClockCdb(t, Variant::Full)[15], c.fullZone);
        EXPECT_EQ(ClockCdb(t, Variant::Compact)[15], c.compactZone);
        EXPECT_EQ(ClockCdb(t, Variant::Compact)[14], c.compactDst);
    }
    if (saved) ::setenv("TZ", before.c_str(), 1);
    else ::unsetenv("TZ");
    ::tzset();
    const LocalTime now = CSystemClock().Now();
    EXPECT_GE(now.year, 2024);
}

std::string Parse(std::initializer_list<int> bytes, bool* ok = nullptr) {
    uint8_t answer[64] = {};
    size_t i = 0;
    for (int b : bytes) answer[i++] = static_cast<uint8_t>(b);
    std::string version = "stale";
    bool r = ParseFirmwareVersion(answer, version);
    if (ok) *ok = r;
    return version;
}

TEST(FirmwareVersion, TextRules) {
    bool ok = false;
    EXPECT_EQ(Parse({'1', '.', '2', 0, '3'}, &ok), "1.203");
    EXPECT_TRUE(ok);
    EXPECT_EQ(Parse({0xFF, '1'}, &ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(Parse({'V', '2', 0xFF, 'x'}), "V2");
    EXPECT_EQ(Parse({'A', 'B', 0, 0, 'C'}), "AB") << "two zero bytes end the text";
    // 32 text bytes followed by more non-zero bytes: the text stops at 32.
    uint8_t full[64];
    std::memset(full, 'z', sizeof full);
    std::string version;
    EXPECT_TRUE(ParseFirmwareVersion(full, version));
    EXPECT_EQ(version, std::string(32, 'z'));
}

TEST(FirmwareVersion, AskedFromTheFrame) {
    sim::CFlashEmulator::Options options;
    options.firmwareVersion = "2.15";
    EmulatedFrame frame(Variant::Full, options);
    std::string version, scratch = "s";
    EXPECT_TRUE(frame.flash->GetFirmwareVersion(version, scratch));
    EXPECT_EQ(version, "2.15");
    EXPECT_EQ(frame.Cdbs().at(0), VersionCdb());

    options.firmwareVersion.clear();
    EmulatedFrame bare(Variant::Full, options);
    EXPECT_FALSE(bare.flash->GetFirmwareVersion(version, scratch));
    EXPECT_TRUE(version.empty());
    EXPECT_EQ(bare.flash->LastSendResult(), kSendDone) << "the command worked; the frame has no version";
}

}  // namespace
}  // namespace fotolume::device
