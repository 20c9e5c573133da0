// fotolume-cli recover and restore against fotolume-sim: synchronizes and restores cut off by a power cut
// at sampled commands come back as exactly the old or the new album, a delete whose frame went away while
// the list was being written comes back as the new one, a backup is written back only to its own frame
// (unless forced) from the list address on, edits wait for a pending recovery, and signals wait for a whole
// album.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "album/album_store.h"
#include "album/recovery_record.h"
#include "tests/cli/program_runner.h"
#include "tests/support/emulated_frame.h"
#include "tests/support/pictures.h"
#include "tests/support/qt_pictures.h"

namespace fotolume::cli::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using testsupport::Album;
using testsupport::PictureBytes;

struct Meant {
    uint32_t address;
    std::vector<uint8_t> bytes;
};

// A store over its own emulator of the image file (written through).
struct ImageStore {
    ImageStore(const std::string& image, const fs::path& records, bool load = true) : emulator(sim::CFlashEmulator::OpenImage(image, {})) {
        backend = testsupport::BindStore(store, *emulator, nullptr, true);
        store.Recovery().SetFolder(records);
        testsupport::ReadAlbum(store, load);
    }
    std::vector<Meant> Listed() const {
        std::vector<Meant> out;
        for (int i = 0; i < store.GetPictureCount(); ++i) {
            album::PicEntry e;
            store.GetPictureEntry(i, e);
            out.push_back({e.address, std::vector<uint8_t>(store.PictureData(i), store.PictureData(i) + e.length)});
        }
        return out;
    }
    std::vector<testsupport::SentCommand> VendorCommands() const {
        return testsupport::VendorCommands(backend->SentCommands());
    }

    std::unique_ptr<sim::CFlashEmulator> emulator;
    sim::CEmulatorBackend* backend = nullptr;
    album::CAlbumStore store;
};

class RecoverCommand : public ProgramTest {
protected:
    void SetUp() override {
        cache = dir.String() + "/cache";
        env = {"XDG_CACHE_HOME=" + cache};
        records = fs::path(cache) / "fotolume";
        fs::create_directories(records);
        fs::permissions(records, fs::perms::owner_all, fs::perm_options::replace);
        ASSERT_EQ(Sim({"create", image}).exitCode, 0);
        {
            ImageStore s(image, records);
            for (uint8_t i = 0; i < 3; ++i)
                ASSERT_TRUE(s.store.AddPictureData(PictureBytes(kOld[i], i).data(), kOld[i]));
            ASSERT_TRUE(s.store.CommitAlbum());
            oldPictures = s.Listed();
        }
        initial = ReadBytes(image);
    }

    // The edit on the initial image, committed with the power going after command k (0: never).
    // Returns the number of commands of the commit.
    size_t CutAfter(uint64_t k) {
        WriteBytes(image, initial);
        ImageStore s(image, records);
        EXPECT_TRUE(s.store.AddPictureData(PictureBytes(40000, 10).data(), 40000));
        EXPECT_TRUE(s.store.AddPictureData(PictureBytes(30000, 11).data(), 30000));
        EXPECT_TRUE(s.store.DeletePicture(1));
        newPictures = s.Listed();
        s.emulator->PowerCycle();
        s.backend->ClearSent();
        s.emulator->SetFaults({.vanishAfter = k});
        try {
            s.store.CommitAlbum();
        } catch (const album::CAlbumError&) {
        }
        return s.VendorCommands().size();
    }

    static Album Pictures(const std::vector<Meant>& listed) {
        Album out;
        for (const Meant& p : listed) out.push_back(p.bytes);
        return out;
    }

    // The album `writing` when every one of its pictures is whole on the flash, else `had`, exactly: the
    // journal puts back whatever the cut left of it.
    Album Expected(const std::vector<Meant>& writing, const std::vector<Meant>& had) const {
        const std::vector<uint8_t> flash = ReadBytes(image);
        const bool whole = std::all_of(writing.begin(), writing.end(), [&](const Meant& p) {
            return std::equal(p.bytes.begin(), p.bytes.end(), flash.begin() + p.address);
        });
        return Pictures(whole ? writing : had);
    }

    static constexpr uint32_t kOld[3] = {30000, 50000, 20000};
    std::string cache;
    fs::path records;
    std::vector<uint8_t> initial;
    std::vector<Meant> oldPictures, newPictures;
};

TEST_F(RecoverCommand, BringsBackTheAlbumAfterACutAtSampledCommands) {
    const size_t commands = CutAfter(0);
    ASSERT_GT(commands, 300u);
    ASSERT_TRUE(fs::is_empty(records));
    int restored = 0;
    for (size_t k = commands / 16; k < commands; k += commands / 8) {
        SCOPED_TRACE("power cut after command " + std::to_string(k));
        CutAfter(k);
        const Album expected = Expected(newPictures, oldPictures);
        const std::vector<uint8_t> cut = ReadBytes(image);
        ServedFrame frame(image, frames + "/f.sock");
        RunResult list = Cli({"list"});
        EXPECT_EQ(list.exitCode, 0) << list.err;
        if (!list.out.empty()) {
            // The list was still (or again) valid: nothing to do.
            EXPECT_TRUE(list.err.empty()) << list.err;
            RunResult r = Cli({"recover"});
            EXPECT_EQ(r.exitCode, 0);
            EXPECT_THAT(r.out, HasSubstr("nothing to recover"));
            continue;
        }
        EXPECT_EQ(Lines(list.err), 1) << list.err;
        EXPECT_THAT(list.err, HasSubstr("an interrupted synchronize was found"));
        EXPECT_THAT(list.err, HasSubstr("'fotolume-cli recover'"));

        RunResult dry = Cli({"recover", "--dry-run"});
        ASSERT_EQ(dry.exitCode, 0) << dry.err;
        EXPECT_THAT(dry.out, HasSubstr("Dry run: nothing was written."));
        EXPECT_EQ(ReadBytes(image), cut);
        EXPECT_EQ(Cli({"recover", "--all"}).exitCode, 1);

        RunResult r = Cli({"recover"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_THAT(r.out, HasSubstr("Restored: the frame holds " + std::to_string(expected.size()) + " picture(s)."));
        list = Cli({"list"});
        EXPECT_TRUE(list.err.empty()) << list.err;
        EXPECT_EQ(static_cast<size_t>(Lines(list.out)), expected.size());
        frame.Stop();
        EXPECT_EQ(AlbumOnImage(image), expected);
        EXPECT_TRUE(fs::is_empty(records));
        ++restored;
    }
    EXPECT_GE(restored, 5);
}

TEST_F(RecoverCommand, ADeleteCutOffWhileWritingTheListComesBack) {
    // The same reads and delete in process, as the command sends them from the frame's start, to find
    // the command that programs the list block's first 4 KB.
    size_t lastProgram = 0;
    {
        ScratchDir other;
        const std::string copy = other.String() + "/copy.img";
        WriteBytes(copy, initial);
        ImageStore s(copy, other.String(), false);
        ASSERT_TRUE(s.store.DeletePicture(1));
        ASSERT_TRUE(s.store.CommitAlbum());
        const auto sent = s.VendorCommands();
        for (size_t i = 0; i < sent.size(); ++i)
            if (sent[i].IsProgram()) lastProgram = i + 1;
    }
    ASSERT_GT(lastProgram, 0u);
    {
        ServedFrame frame(image, frames + "/f.sock", {"--vanish-after", std::to_string(lastProgram - 1)});
        RunResult r = Cli({"delete", "2"});
        EXPECT_EQ(r.exitCode, 3) << r.err;
    }
    ASSERT_FALSE(fs::is_empty(records)) << "the record stays";
    ServedFrame frame(image, frames + "/f.sock");
    RunResult r = Cli({"recover"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Restoring the new album: 2 picture(s)"));
    frame.Stop();
    EXPECT_EQ(AlbumOnImage(image), (Album{oldPictures[0].bytes, oldPictures[2].bytes}));
    EXPECT_TRUE(fs::is_empty(records));
}

// While an interrupted write waits, every edit refuses with one line naming recover; --discard-recovery sets
// the record aside and writes.
TEST_F(RecoverCommand, EditsRefuseWhileAnInterruptedWriteWaitsUnlessItIsDiscarded) {
    const size_t commands = CutAfter(0);
    CutAfter(commands / 2);
    const std::vector<uint8_t> cut = ReadBytes(image);
    const std::string picture = dir.String() + "/blue.png";
    ASSERT_TRUE(testsupport::SolidPicture(64, 48, Qt::blue).save(QString::fromStdString(picture)));
    ServedFrame frame(image, frames + "/f.sock");
    for (const std::vector<std::string>& edit :
         {std::vector<std::string>{"add", picture}, {"delete", "1"}, {"colors", "--font", "FFFFFF"}}) {
        SCOPED_TRACE(edit[0]);
        const RunResult r = Cli(edit);
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_THAT(r.err, HasSubstr("last write was interrupted: 'fotolume-cli recover'"));
        EXPECT_THAT(r.err, HasSubstr("--discard-recovery"));
    }
    EXPECT_EQ(ReadBytes(image), cut) << "nothing was written";
    EXPECT_EQ(Cli({"colors"}).exitCode, 0) << "reading the colours writes nothing";

    const RunResult r = Cli({"colors", "--font", "FFFFFF", "--discard-recovery"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("given up"));
    EXPECT_TRUE(album::ListRecordFiles(records).empty());
    size_t discarded = 0;
    for (const auto& entry : fs::directory_iterator(records)) discarded += entry.path().extension() == ".discarded";
    EXPECT_EQ(discarded, 1u);
    EXPECT_TRUE(Cli({"list"}).err.empty()) << "no interrupted write is named any more";
}

// SIGINT, SIGTERM or SIGHUP at points of an add on a frame that takes a real frame's time: the program
// never stops inside a block, the frame holds exactly the old or the new album, and no record is left.
TEST_F(RecoverCommand, ASignalDuringAWriteEndsWithAWholeAlbum) {
    const std::string picture = dir.String() + "/blue.png";
    ASSERT_TRUE(testsupport::SolidPicture(64, 48, Qt::blue).save(QString::fromStdString(picture)));
    const Album before = Pictures(oldPictures);
    int stopped = 0;
    const std::pair<int, int> cases[] = {{SIGINT, 300}, {SIGTERM, 700}, {SIGHUP, 1100}, {SIGINT, 1500}};
    for (const auto& [signal, afterMs] : cases) {
        SCOPED_TRACE(std::string(::strsignal(signal)) + " after " + std::to_string(afterMs) + " ms");
        WriteBytes(image, initial);
        ServedFrame frame(image, frames + "/f.sock", {"--real-time"});
        auto add = Start({"add", picture});
        std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
        add->Signal(signal);
        const RunResult r = add->Finish();
        frame.Stop();
        const Album now = AlbumOnImage(image);
        const bool old = now == before;
        EXPECT_TRUE(old || (now.size() == 4 && std::equal(before.begin(), before.end(), now.begin())))
            << now.size() << " pictures";
        EXPECT_TRUE(fs::is_empty(records) || album::ListRecordFiles(records).empty());
        if (r.err.find("stopped by") != std::string::npos) {
            ++stopped;
            EXPECT_EQ(r.exitCode, 128 + signal) << r.err;
            EXPECT_THAT(r.err, HasSubstr(old ? "the album it had" : "the new album"));
        } else if (r.exitCode != 0) {
            // Ended by the signal before anything was written.
            EXPECT_EQ(r.exitCode, 128 + signal) << r.err;
            EXPECT_TRUE(old);
        }
    }
    EXPECT_GT(stopped, 0) << "at least one signal came during the write";
}

// restore: the frame holds the edited album, the backup the album it had before the edit.
class RestoreCommand : public RecoverCommand {
protected:
    void SetUp() override {
        RecoverCommand::SetUp();
        backup = dir.String() + "/backup.bin";
        {
            ServedFrame frame(image, frames + "/f.sock");
            ASSERT_EQ(Cli({"backup", backup}).exitCode, 0);
        }
        ASSERT_EQ(ReadBytes(backup), initial);
        CutAfter(0);
        edited = ReadBytes(image);
        WriteBytes(dir.String() + "/edited.bin", edited);
    }

    static bool SameFrom(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, size_t from, size_t to) {
        return a.size() >= to && b.size() >= to && std::equal(a.begin() + from, a.begin() + to, b.begin() + from);
    }

    static constexpr size_t kL = 0x10000;
    std::string backup;
    std::vector<uint8_t> edited;
};

TEST_F(RestoreCommand, WritesTheBackupFromTheListOnAndNothingBelowIt) {
    ServedFrame frame(image, frames + "/f.sock");
    RunResult dry = Cli({"restore", backup, "--dry-run"});
    ASSERT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_THAT(dry.out, HasSubstr("Album to write: 3 picture(s)"));
    for (size_t i = 0; i < oldPictures.size(); ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%4zu  0x%06X  %zu\n", i + 1, oldPictures[i].address,
                      oldPictures[i].bytes.size());
        EXPECT_THAT(dry.out, HasSubstr(line));
    }
    EXPECT_THAT(dry.out, HasSubstr("Dry run: nothing was written."));
    EXPECT_EQ(ReadBytes(image), edited);

    RunResult r = Cli({"restore", backup});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_THAT(r.out, HasSubstr("the frame holds 3 picture(s)"));
    std::vector<uint8_t> now = ReadBytes(image);
    EXPECT_TRUE(SameFrom(now, initial, kL, initial.size()));
    EXPECT_TRUE(SameFrom(now, edited, 0, kL));
    EXPECT_TRUE(fs::is_empty(records));
    // Again: every block already matches, so nothing is erased.
    r = Cli({"restore", backup});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("(0 block(s) written)"));

    // A backup without a valid list (a new frame's) gives an empty album, and says so.
    const std::string fresh = dir.String() + "/fresh.bin";
    ASSERT_EQ(Sim({"create", fresh}).exitCode, 0);
    r = Cli({"restore", fresh});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.out, HasSubstr("holds no valid picture list: the frame gets an empty album"));
    frame.Stop();
    now = ReadBytes(image);
    EXPECT_EQ(std::string(now.begin() + kL, now.begin() + kL + 4), "ABFS");
    EXPECT_TRUE(AlbumOnImage(image).empty());
    EXPECT_TRUE(SameFrom(now, ReadBytes(fresh), kL + 4096, now.size()));
    EXPECT_TRUE(SameFrom(now, edited, 0, kL));
}

TEST_F(RestoreCommand, RefusesAFileThatIsNotABackupBeforeLookingForAFrame) {
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> spoil;
        const char* said;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }, "it holds 0 bytes, fewer than a frame's header"},
        {"cut short", [](auto& b) { b.resize(b.size() - 65536); },
         "its header names a flash of 2097152 bytes, but the file holds 2031616 bytes"},
        {"list off a block boundary", [](auto& b) { b[33] = 0x80; },
         "its header is not a frame's: the picture list at 0x018000 is not on a 64 KB boundary above the header"},
        {"layout record past the end",
         [](auto& b) {
             const uint8_t dpfh[8] = {'D', 'P', 'F', 'H', 0xDE, 0xF0, 0xFF, 0xFF};
             std::copy(dpfh, dpfh + 8, b.begin() + 256);
         },
         "its header points at a layout record past the end of the file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = initial;
        c.spoil(bytes);
        const std::string file = dir.String() + "/spoilt.bin";
        WriteBytes(file, bytes);
        // No frame is served: the file is refused first.
        RunResult r = Cli({"restore", file});
        EXPECT_EQ(r.exitCode, 4);
        EXPECT_EQ(r.err, "fotolume-cli: " + file + " is not a backup of a frame: " + c.said + "; nothing written\n");
    }
    RunResult folder = Cli({"restore", dir.String()});
    EXPECT_EQ(folder.exitCode, 4);
    EXPECT_THAT(folder.err, HasSubstr("cannot read " + dir.String() + ": not a regular file"));
    EXPECT_EQ(Cli({"restore"}).exitCode, 1);
    EXPECT_EQ(Cli({"restore", backup, backup}).exitCode, 1);
    EXPECT_EQ(ReadBytes(image), edited);
}

// Backups of other frames: what `fotolume-sim create` is given for the backup's frame, a byte below its
// list changed afterwards (0: none), and what the refusal names.
struct OtherFrame {
    const char* name;
    std::vector<std::string> create;
    uint32_t changedByte;
    std::vector<std::string> named;
};

class RestoreOtherFrame : public RestoreCommand, public ::testing::WithParamInterface<OtherFrame> {};

TEST_P(RestoreOtherFrame, IsRefusedWithEveryDifferenceNamedAndWrittenWithForce) {
    const OtherFrame& c = GetParam();
    const std::string other = dir.String() + "/other.bin";
    std::vector<std::string> create{"create", other};
    create.insert(create.end(), c.create.begin(), c.create.end());
    ASSERT_EQ(Sim(create).exitCode, 0);
    {
        ImageStore s(other, {});
        ASSERT_TRUE(s.store.AddPictureData(PictureBytes(25000, 20).data(), 25000));
        ASSERT_TRUE(s.store.AddPictureData(PictureBytes(35000, 21).data(), 35000));
        ASSERT_TRUE(s.store.CommitAlbum());
    }
    if (c.changedByte != 0) {
        std::vector<uint8_t> bytes = ReadBytes(other);
        bytes[c.changedByte] ^= 0x5A;
        WriteBytes(other, bytes);
    }
    const Album backupAlbum = AlbumOnImage(other);
    ASSERT_EQ(backupAlbum.size(), 2u);

    ServedFrame frame(image, frames + "/f.sock");
    RunResult r = Cli({"restore", other});
    EXPECT_EQ(r.exitCode, 4);
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr(other + " is a backup of another frame: "));
    for (const std::string& field : c.named) EXPECT_THAT(r.err, HasSubstr(field));
    EXPECT_THAT(r.err, HasSubstr("; nothing written (--force writes it anyway)"));
    EXPECT_EQ(ReadBytes(image), edited);

    r = Cli({"restore", other, "--force"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("going on (--force)"));
    frame.Stop();
    EXPECT_EQ(AlbumOnImage(image), backupAlbum);
    EXPECT_TRUE(SameFrom(ReadBytes(image), edited, 0, kL));
}

INSTANTIATE_TEST_SUITE_P(
    Backups, RestoreOtherFrame,
    ::testing::Values(
        OtherFrame{"OwnRegion", {}, 0x1234, {"the frame's own region (bytes 0 to 0x00FFFF) differs"}},
        OtherFrame{"Panel", {"--panel", "160x120"}, 0, {"panel 160x120, not 128x128", "own region"}},
        OtherFrame{"Layout",
                   {"--flash-size", "4M", "--list-address", "0x20000"},
                   0,
                   {"flash size 4194304 bytes, not 2097152", "list address 0x020000, not 0x010000", "own region"}}),
    [](const ::testing::TestParamInfo<OtherFrame>& info) { return std::string(info.param.name); });

TEST_F(RestoreCommand, ACutDuringRestoreComesBackWithOneRecover) {
    // The commands of an undisturbed restore, sent in process as the command sends them, and the first
    // erase among them: the cuts fall between it and the end.
    size_t commands = 0, firstErase = 0;
    {
        ImageStore s(image, records, false);
        album::BackupImage parsed;
        std::string problem;
        ASSERT_TRUE(album::ParseBackup(ReadBytes(backup), parsed, problem)) << problem;
        ASSERT_FALSE(s.store.CompareWithBackup(parsed).Any());
        ASSERT_TRUE(s.store.RestoreAlbum(album::MakeRestoreTarget(parsed, s.store.Info())));
        const auto sent = s.VendorCommands();
        commands = sent.size();
        const auto erase = std::find_if(sent.begin(), sent.end(), [](const auto& c) { return c.IsErase(); });
        firstErase = 1 + static_cast<size_t>(erase - sent.begin());
    }
    ASSERT_GT(commands, firstErase + 100) << "an erase well before the end";
    const Album editedAlbum = AlbumOnImage(dir.String() + "/edited.bin"), backupAlbum = AlbumOnImage(backup);
    int recovered = 0, toBackup = 0, toEdited = 0;
    const size_t step = (commands - firstErase) / 8;
    for (size_t k = firstErase - 1 + step / 2; k < commands; k += step) {
        SCOPED_TRACE("power cut after command " + std::to_string(k));
        WriteBytes(image, edited);
        {
            ServedFrame frame(image, frames + "/f.sock", {"--vanish-after", std::to_string(k)});
            EXPECT_EQ(Cli({"restore", backup}).exitCode, 3);
        }
        const Album expected = Expected(oldPictures, newPictures);
        ServedFrame frame(image, frames + "/f.sock");
        RunResult list = Cli({"list"});
        ASSERT_EQ(list.exitCode, 0) << list.err;
        if (!list.out.empty()) {
            // Cut before the list was emptied, or after the new one was written.
            frame.Stop();
            const Album shown = AlbumOnImage(image);
            EXPECT_TRUE(shown == editedAlbum || shown == backupAlbum) << shown.size() << " pictures";
        } else {
            // Nothing is written over the interrupted album before it is recovered.
            RunResult again = Cli({"restore", backup});
            EXPECT_EQ(again.exitCode, 3);
            EXPECT_THAT(again.err, HasSubstr("'fotolume-cli recover'"));
            RunResult r = Cli({"recover"});
            ASSERT_EQ(r.exitCode, 0) << r.err;
            ++recovered;
            frame.Stop();
            EXPECT_EQ(AlbumOnImage(image), expected);
            (expected == backupAlbum ? toBackup : toEdited) += 1;
        }
        EXPECT_TRUE(SameFrom(ReadBytes(image), edited, 0, kL));
        EXPECT_TRUE(fs::is_empty(records));
    }
    EXPECT_GE(recovered, 6);
    // Both ways back were taken: the journal's old album and the finished backup.
    EXPECT_GT(toBackup, 0);
    EXPECT_GT(toEdited, 0);
}

}  // namespace
}  // namespace fotolume::cli::testing
