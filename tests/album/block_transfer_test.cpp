// The verified block layer: checksum-verified reads, whole-block writes with three attempts, read-merge
// of partial blocks, and the window it may write in.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "tests/album/album_fixture.h"

namespace fotolume::album::testing {
namespace {

constexpr uint32_t kL = 0x10000;

// The 1-based vendor command indices of `sent` that satisfy `pick`.
template <typename Pick>
std::vector<uint64_t> Indices(const std::vector<SentCommand>& sent, Pick pick) {
    std::vector<uint64_t> out;
    for (size_t i = 0; i < sent.size(); ++i) {
        if (pick(sent[i])) out.push_back(i + 1);
    }
    return out;
}

struct BlockTest : ::testing::Test {
    BlockTest() : a(frame.emulator) { a.store.GetInformation(); }
    // Runs `action` once to learn its commands, then again on a power-cycled frame with `faults`.
    std::vector<SentCommand> Learn(const std::function<void()>& action) {
        frame.emulator.PowerCycle();
        a.ClearSent();
        action();
        auto sent = a.Sent();
        frame.emulator.PowerCycle();
        a.ClearSent();
        return sent;
    }
    AlbumFrame frame;
    BoundStore a;
};

TEST_F(BlockTest, AReadThatMismatchesTwiceSucceedsOnTheThirdAttempt) {
    std::vector<uint8_t> out(100000);
    auto read = [&] { a.store.ReadFlashData(0x20000, 100000, out.data()); };
    auto sent = Learn(read);
    auto reads = Indices(sent, [](const SentCommand& c) { return c.IsRead(); });
    auto sums = Indices(sent, [](const SentCommand& c) { return c.IsChecksum(); });
    ASSERT_EQ(sums.size(), 2u);  // one block and one tail
    // The first attempt reads damaged bytes, the second gets a wrong sum, the third is right. Every
    // attempt sends the same commands as the first one.
    frame.emulator.SetFaults({.corruptRead = reads[0], .badChecksum = 2 * sums[0]});
    std::fill(frame.emulator.Flash().begin() + 0x20000, frame.emulator.Flash().begin() + 0x20000 + 100000, 0x3C);
    EXPECT_EQ(CodeOf(read), 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t v) { return v == 0x3C; }));
    EXPECT_EQ(Indices(a.Sent(), [](const SentCommand& c) { return c.IsChecksum(); }).size(), 4u);
}

TEST_F(BlockTest, ReadFailuresCarryTheirCodes) {
    std::vector<uint8_t> out(4096);
    auto read = [&] { a.store.ReadFlashData(kL, 4096, out.data()); };
    auto sent = Learn(read);
    frame.emulator.SetFaults({.failCommand = Indices(sent, [](const SentCommand& c) { return c.IsRead(); })[0]});
    EXPECT_EQ(CodeOf(read), ErrTransfer);
    frame.emulator.PowerCycle();
    a.ClearSent();
    frame.emulator.SetFaults({.failCommand = Indices(sent, [](const SentCommand& c) { return c.IsChecksum(); })[0]});
    EXPECT_EQ(CodeOf(read), ErrChecksumQuery);
    // A failed query ends the read at once: no second attempt.
    EXPECT_EQ(Indices(a.Sent(), [](const SentCommand& c) { return c.IsRead(); }).size(), 1u);
}

TEST_F(BlockTest, ABlockWriteIsOneEraseSixteenProgramsFirstPieceLastAndOneChecksum) {
    const auto data = Picture(kBlockSize, 1);
    a.ClearSent();
    a.store.WriteDataToFlash(0x30000, data.data());
    auto sent = a.Sent();
    auto erases = Indices(sent, [](const SentCommand& c) { return c.IsErase(); });
    auto programs = Indices(sent, [](const SentCommand& c) { return c.IsProgram(); });
    ASSERT_EQ(erases.size(), 1u);
    EXPECT_EQ(sent[erases[0] - 1].Address(), 0x30000u);
    ASSERT_EQ(programs.size(), 16u);
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(sent[programs[i] - 1].Address(), 0x30000u + 4096 * (i + 1));
    EXPECT_EQ(sent[programs[15] - 1].Address(), 0x30000u);
    for (uint64_t p : programs) EXPECT_EQ(sent[p - 1].length, 4096u);
    EXPECT_EQ(Indices(sent, [](const SentCommand& c) { return c.IsChecksum(); }).size(), 1u);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), frame.emulator.Flash().begin() + 0x30000));
}

TEST_F(BlockTest, AnEraseOpcodeOfUnknownReachIsRefusedBeforeAnyCommand) {
    // 0x52 clears 32 KB on most chips, 0x21 nothing: programming over bytes it left would give garbage.
    for (uint8_t opcode : {uint8_t{0x21}, uint8_t{0x52}, uint8_t{0xC7}}) {
        frame.emulator.Flash()[sim::kHeaderEraseOpcode] = opcode;
        a.store.GetInformation();
        EXPECT_FALSE(a.store.IsLayoutWritable());
        EXPECT_NE(a.store.LayoutProblemText().find("erase opcode"), std::string::npos);
        const auto data = Picture(kBlockSize, 2);
        a.ClearSent();
        EXPECT_EQ(CodeOf([&] { a.store.WriteDataToFlash(0x30000, data.data()); }), ErrLayout);
        EXPECT_TRUE(a.Sent().empty());
    }
}

// With the 4 KB erase opcode a block is written sector by sector. Each case starts from a block holding
// `before` and writes `after` over it, optionally with a fault at a command learnt from an undisturbed run,
// and gives the erases (E) and programs (P) sent, by sector, in order.
struct SectorCase {
    const char* name;
    std::function<void(std::vector<uint8_t>& before, std::vector<uint8_t>& after)> make;
    std::function<sim::FlashFaults(const std::vector<SentCommand>&)> fault;
    const char* sent;
    int code = 0;
};

void PrintTo(const SectorCase& c, std::ostream* os) { *os << c.name; }

constexpr uint32_t kSectorBlock = 0x30000;

void Change(std::vector<uint8_t>& bytes, uint32_t sector) {
    for (uint32_t i = 0; i < 4096; i += 97) bytes[sector * 4096 + i] ^= 0x5A;
}

// The command index of the first command to that sector of the block that `pick` accepts.
uint64_t AtSector(const std::vector<SentCommand>& sent, uint32_t sector, bool (SentCommand::*pick)() const) {
    for (size_t i = 0; i < sent.size(); ++i) {
        if ((sent[i].*pick)() && sent[i].Address() == kSectorBlock + sector * 4096) return i + 1;
    }
    ADD_FAILURE() << "no such command";
    return 0;
}

const SectorCase kSectorCases[] = {
    {"EverySectorChanges", [](auto& before, auto&) { std::fill(before.begin(), before.end(), 0x00); }, nullptr,
     "E0 E1 P1 E2 P2 E3 P3 E4 P4 E5 P5 E6 P6 E7 P7 E8 P8 E9 P9 E10 P10 E11 P11 E12 P12 E13 P13 E14 P14 E15 P15 P0"},
    {"TwoSectorsChange",
     [](auto&, auto& after) {
         Change(after, 3);
         Change(after, 7);
     },
     nullptr, "E0 E3 P3 E7 P7 P0"},
    {"NothingChanges", [](auto&, auto&) {}, nullptr, ""},
    {"OnlyTheFirstSectorChanges", [](auto&, auto& after) { Change(after, 0); }, nullptr, "E0 P0"},
    // Two bytes swapped keep the sector's sum: the read tells them apart.
    {"SameSumOtherBytes",
     [](auto&, auto& after) {
         uint32_t at = 5 * 4096;
         while (after[at] == after[at + 1]) ++at;
         std::swap(after[at], after[at + 1]);
     },
     nullptr, "E0 E5 P5 P0"},
    // An erased sector needs no program.
    {"ASectorBecomesErased", [](auto&, auto& after) { std::fill_n(after.begin() + 9 * 4096, 4096, 0xFF); }, nullptr,
     "E0 E9 P0"},
    {"OntoErasedFlashOnlyWhatHoldsData",
     [](auto& before, auto& after) {
         std::fill(before.begin(), before.end(), 0xFF);
         std::fill(after.begin() + 3 * 4096, after.end(), 0xFF);
     },
     nullptr, "E0 E1 P1 E2 P2 P0"},
    // A failed erase ends the attempt with nothing programmed over old bytes; the next one writes what is left.
    {"AFailedEraseEndsTheAttempt",
     [](auto&, auto& after) {
         Change(after, 3);
         Change(after, 7);
     },
     [](const std::vector<SentCommand>& sent) {
         return sim::FlashFaults{.failCommand = AtSector(sent, 7, &SentCommand::IsErase)};
     },
     "E0 E3 P3 E7 E0 E7 P7 P0"},
    // A frame that stops answering: every later attempt ends at its first erase, and the write fails as a
    // transfer, not as a wrong sum.
    {"AFrameThatStopsAnsweringFailsTheTransfer",
     [](auto&, auto& after) {
         Change(after, 3);
         Change(after, 7);
     },
     [](const std::vector<SentCommand>& sent) {
         return sim::FlashFaults{.vanishAfter = AtSector(sent, 7, &SentCommand::IsErase) - 1};
     },
     "E0 E3 P3 E7 E0 E0", ErrTransfer},
    // A sector whose sum cannot be asked, or comes back wrong, is written anyway.
    {"AFailedQueryWritesTheSector", [](auto&, auto& after) { Change(after, 3); },
     [](const std::vector<SentCommand>& sent) {
         return sim::FlashFaults{.failCommand = AtSector(sent, 5, &SentCommand::IsChecksum)};
     },
     "E0 E3 P3 E5 P5 P0"},
    {"AWrongSumWritesTheSector", [](auto&, auto& after) { Change(after, 3); },
     [](const std::vector<SentCommand>& sent) {
         return sim::FlashFaults{.badChecksum = AtSector(sent, 5, &SentCommand::IsChecksum)};
     },
     "E0 E3 P3 E5 P5 P0"},
    // A wrong sum over the written block makes the next attempt look again; everything already holds.
    {"AWrongBlockSumFindsNothingLeft", [](auto&, auto& after) { Change(after, 3); },
     [](const std::vector<SentCommand>& sent) {
         uint64_t last = 0;
         for (size_t i = 0; i < sent.size(); ++i) last = sent[i].IsChecksum() ? i + 1 : last;
         return sim::FlashFaults{.badChecksum = last};
     },
     "E0 E3 P3 P0"},
};

struct SectorWrite : BlockTest, ::testing::WithParamInterface<SectorCase> {
    SectorWrite() {
        frame.emulator.Flash()[sim::kHeaderEraseOpcode] = 0x20;
        a.store.GetInformation();
    }
    void Put(const std::vector<uint8_t>& bytes) {
        std::copy(bytes.begin(), bytes.end(), frame.emulator.Flash().begin() + kSectorBlock);
    }
    std::vector<uint8_t> Block() {
        const auto& flash = frame.emulator.Flash();
        return {flash.begin() + kSectorBlock, flash.begin() + kSectorBlock + kBlockSize};
    }
    static std::string Writes(const std::vector<SentCommand>& sent) {
        std::string out;
        for (const SentCommand& c : sent) {
            if (!c.IsErase() && !c.IsProgram()) continue;
            out += (out.empty() ? "" : " ") + std::string(c.IsErase() ? "E" : "P") +
                   std::to_string((c.Address() - kSectorBlock) / 4096);
        }
        return out;
    }
};

TEST_P(SectorWrite, ErasesAndProgramsOnlyTheSectorsThatChangeTheFirstOneLast) {
    const SectorCase& c = GetParam();
    std::vector<uint8_t> before = Picture(kBlockSize, 9), after = before;
    c.make(before, after);
    Put(before);
    auto write = [&] { a.store.WriteDataToFlash(kSectorBlock, after.data()); };
    if (c.fault) {
        const auto sent = Learn(write);
        Put(before);
        frame.emulator.SetFaults(c.fault(sent));
    } else {
        frame.emulator.PowerCycle();
        a.ClearSent();
    }
    EXPECT_EQ(CodeOf(write), c.code);
    EXPECT_EQ(Writes(a.Sent()), c.sent);
    if (c.code == 0) {
        EXPECT_EQ(Block(), after);
    }
}

INSTANTIATE_TEST_SUITE_P(Every, SectorWrite, ::testing::ValuesIn(kSectorCases),
                         [](const ::testing::TestParamInfo<SectorCase>& info) { return std::string(info.param.name); });

TEST_F(BlockTest, RangeWritesMergeOnlyPartialBlocks) {
    const auto data = Picture(kBlockSize, 4);
    a.ClearSent();
    a.store.WriteFlashRange(0x40000, kBlockSize, data.data());
    EXPECT_TRUE(Indices(a.Sent(), [](const SentCommand& c) { return c.IsRead(); }).empty());

    // 100 bytes at offset 65500 of a block: both blocks are read, merged and written.
    const auto before = frame.emulator.Flash();
    a.ClearSent();
    a.store.WriteFlashRange(0x50000 + 65500, 100, data.data());
    auto sent = a.Sent();
    auto reads = Indices(sent, [](const SentCommand& c) { return c.IsRead(); });
    auto erases = Indices(sent, [](const SentCommand& c) { return c.IsErase(); });
    ASSERT_EQ(reads.size(), 32u);
    EXPECT_EQ(sent[reads[0] - 1].Address(), 0x50000u);
    EXPECT_EQ(sent[reads[16] - 1].Address(), 0x60000u);
    ASSERT_EQ(erases.size(), 2u);
    EXPECT_EQ(sent[erases[0] - 1].Address(), 0x50000u);
    EXPECT_EQ(sent[erases[1] - 1].Address(), 0x60000u);
    auto expected = before;
    std::copy(data.begin(), data.begin() + 100, expected.begin() + 0x50000 + 65500);
    EXPECT_EQ(frame.emulator.Flash(), expected);
}

TEST_F(BlockTest, NothingBelowTheListBlockIsEverWritten) {
    const auto before = frame.emulator.Flash();
    const auto data = Picture(kBlockSize, 5);
    a.ClearSent();
    EXPECT_EQ(CodeOf([&] { a.store.WriteDataToFlash(0, data.data()); }), ErrLayout);
    EXPECT_EQ(CodeOf([&] { a.store.WriteDataToFlash(kL - kBlockSize, data.data()); }), ErrLayout);
    EXPECT_EQ(CodeOf([&] { a.store.WriteDataToFlash(frame.layout.flashSize, data.data()); }), ErrLayout);
    EXPECT_EQ(CodeOf([&] { a.store.WriteDataToFlash(kL + 100, data.data()); }), ErrLayout);
    EXPECT_EQ(CodeOf([&] { a.store.WriteFlashRange(kL - 10, 20, data.data()); }), ErrLayout);
    EXPECT_TRUE(Indices(a.Sent(), [](const SentCommand& c) { return c.IsErase() || c.IsProgram(); }).empty());
    EXPECT_EQ(frame.emulator.Flash(), before);
}

}  // namespace
}  // namespace fotolume::album::testing
