// Recovery records: their format and its damage checks, when the store writes and removes them, and
// what it refuses: records of another frame, damaged records, stale records, results that went stale.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "album/recovery_keeper.h"
#include "device/checksum.h"
#include "tests/album/recovery_fixture.h"

namespace fotolume::album::testing {
namespace {

namespace fs = std::filesystem;

using testsupport::ReadBytes;
using testsupport::WriteBytes;

RecoveryRecord SampleRecord() {
    RecoveryRecord r;
    r.identity = {524288, 0x10000, 128, 160, 0xBEEF};
    r.writtenAt = 0x0123456789ABCDEFull;
    r.hasOldList = true;
    r.oldList.assign(kListSize, 0);
    InitEmptyList(r.oldList.data(), 0x1234, 0x5678);
    r.newList = r.oldList;
    r.oldPictures = {{0x11000, 30000, 0xAAAA, false, 0}};
    r.newPictures = {{0x11000, 30000, 0xAAAA, false, 0}, {0x18530, 40000, 0x0102, true, 0xDEADBEEF}};
    return r;
}

// The frame's record file: the only one in the folder.
fs::path OnlyRecord(const RecoveryScenario& s) {
    auto records = s.folder.Records();
    EXPECT_EQ(records.size(), 1u);
    return records.empty() ? fs::path() : records.front();
}

// The 1-based index of the commit's command that erases its first data block.
uint64_t DataEraseIndex(const RecoveryScenario& s) { return NthCommand(s.commitCommands, &SentCommand::IsErase, 2); }

// A cut just before that erase: the list is gone, the new pictures are not written, the old ones are
// all whole.
uint64_t CutBeforeDataErase(const RecoveryScenario& s) {
    const uint64_t erase = DataEraseIndex(s);
    EXPECT_GT(erase, 5u);
    EXPECT_TRUE(s.commitCommands[erase - 5].IsChecksum());
    return erase - 4;
}

TEST(RecoveryRecordFormat, RoundTripsAndRejectsEveryDamage) {
    const RecoveryRecord r = SampleRecord();
    const std::vector<uint8_t> bytes = EncodeRecord(r);
    ASSERT_EQ(bytes.size(), 36u + 2 * kListSize + 16 * 3 + 4 + 4);
    RecoveryRecord back;
    std::string problem;
    ASSERT_TRUE(DecodeRecord(bytes, back, problem)) << problem;
    EXPECT_EQ(back.identity, r.identity);
    EXPECT_EQ(back.writtenAt, r.writtenAt);
    EXPECT_TRUE(back.hasOldList);
    EXPECT_EQ(back.oldList, r.oldList);
    EXPECT_EQ(back.newPictures, r.newPictures);
    EXPECT_EQ(back.oldPictures, r.oldPictures);

    // Every shortening is truncation, every changed byte is damage.
    for (size_t cut : {size_t{0}, size_t{3}, size_t{20}, size_t{36}, size_t{5000}, bytes.size() - 1}) {
        std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_FALSE(DecodeRecord(shorter, back, problem)) << cut;
        EXPECT_EQ(problem, "truncated") << cut;
    }
    for (size_t at = 6; at < bytes.size(); at += 97) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x10;
        EXPECT_FALSE(DecodeRecord(damaged, back, problem)) << at;
    }
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(DecodeRecord(longer, back, problem));
    std::vector<uint8_t> newer = bytes;
    newer[4] = 3;
    EXPECT_FALSE(DecodeRecord(newer, back, problem));
    EXPECT_NE(problem.find("version 3"), std::string::npos) << problem;

    // A record of the first version (no journal count, the CRC right after the pictures) still reads.
    std::vector<uint8_t> first(bytes.begin(), bytes.end() - 8);
    first[4] = 1;
    const uint32_t crc = Crc32(first.data(), first.size());
    for (int i = 0; i < 4; ++i) first.push_back(static_cast<uint8_t>(crc >> (8 * i)));
    ASSERT_TRUE(DecodeRecord(first, back, problem)) << problem;
    EXPECT_FALSE(back.hasJournal);
    EXPECT_EQ(back.newPictures, r.newPictures);

    // Records of frames that differ in any identity value are named apart.
    FrameIdentity other = r.identity;
    other.firstBlockSum ^= 1;
    EXPECT_NE(RecordNamePrefix(other), RecordNamePrefix(r.identity));
    other = r.identity;
    other.flashTotalSize *= 2;
    EXPECT_NE(RecordNamePrefix(other), RecordNamePrefix(r.identity));
}

// The journal's blocks round-trip; damage there leaves the lists and pictures usable and says so.
TEST(RecoveryRecordFormat, AJournalDamagedOrCutShortLeavesTheRestOfTheRecord) {
    RecoveryRecord r = SampleRecord();
    r.hasJournal = true;
    r.journal[0x10000] = std::vector<uint8_t>(kBlockSize, 0xA5);
    r.journal[0x30000] = std::vector<uint8_t>(kBlockSize, 0x5A);
    const std::vector<uint8_t> bytes = EncodeRecord(r);
    RecoveryRecord back;
    std::string problem;
    ASSERT_TRUE(DecodeRecord(bytes, back, problem)) << problem;
    EXPECT_TRUE(back.hasJournal);
    EXPECT_FALSE(back.journalDamaged);
    EXPECT_EQ(back.journal, r.journal);
    const size_t journalStart = bytes.size() - 2 * (kBlockSize + 8);
    for (size_t at : {journalStart + 1, journalStart + 4 + 700, bytes.size() - 1}) {
        std::vector<uint8_t> damaged = bytes;
        damaged[at] ^= 0x01;
        ASSERT_TRUE(DecodeRecord(damaged, back, problem)) << at;
        EXPECT_TRUE(back.journalDamaged) << at;
        EXPECT_TRUE(back.journal.empty());
        EXPECT_EQ(back.newPictures, r.newPictures);
    }
    std::vector<uint8_t> shorter(bytes.begin(), bytes.end() - 100);
    ASSERT_TRUE(DecodeRecord(shorter, back, problem));
    EXPECT_TRUE(back.journalDamaged);
}

TEST(RecoveryRecordFile, IsPrivateAndReplacedWhole) {
    TempFolder folder;
    const fs::path file = folder.Path() / (RecordNamePrefix(SampleRecord().identity) + "x.rec");
    std::string error;
    ASSERT_TRUE(WriteRecordFile(file, SampleRecord(), error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    RecoveryRecord changed = SampleRecord();
    changed.newPictures.pop_back();
    ASSERT_TRUE(WriteRecordFile(file, changed, error));
    RecoveryRecord back;
    std::string problem;
    ASSERT_TRUE(ReadRecordFile(file, back, problem)) << problem;
    EXPECT_EQ(back.newPictures.size(), 1u);
    EXPECT_EQ(ListRecordFiles(folder.Path(), SampleRecord().identity), std::vector<fs::path>{file});
    EXPECT_FALSE(WriteRecordFile(folder.Path() / "no" / "such.rec", SampleRecord(), error));
    EXPECT_FALSE(error.empty());
}

TEST(RecoveryRecords, TheCommitRecordsBothAlbumsBeforeTheListIsErasedAndRemovesTheRecordAfter) {
    RecoveryScenario s;
    auto a = s.Edited();
    bool seen = false;
    a->onProgress = [&](const ProgressCall& call) {
        // Progress 2 of 100 comes after the record and before the list block is erased.
        if (call.done != 2 || call.total != 100) return;
        seen = true;
        RecoveryRecord r;
        std::string problem;
        ASSERT_TRUE(ReadRecordFile(OnlyRecord(s), r, problem)) << problem;
        EXPECT_EQ(r.identity.flashTotalSize, 512u * 1024);
        EXPECT_EQ(r.identity.listAddress, RecoveryScenario::kL);
        EXPECT_EQ(r.identity.lcdWidth, 128);
        EXPECT_EQ(r.identity.firstBlockSum, device::ByteSum16(s.initial.data(), kBlockSize));
        ASSERT_TRUE(r.hasOldList);
        EXPECT_TRUE(std::equal(r.oldList.begin(), r.oldList.end(), s.initial.begin() + RecoveryScenario::kL));
        EXPECT_TRUE(std::equal(r.newList.begin(), r.newList.end(), a->store.PictureListBytes()));
        ASSERT_EQ(r.oldPictures.size(), 3u);
        ASSERT_EQ(r.newPictures.size(), 4u);
        for (size_t i = 0; i < 3; ++i) {
            const auto& meant = s.oldPictures[i];
            EXPECT_EQ(r.oldPictures[i].address, meant.address);
            EXPECT_EQ(r.oldPictures[i].sum, device::ByteSum16(meant.bytes.data(), meant.bytes.size()));
        }
        for (size_t i = 0; i < 4; ++i) {
            const auto& meant = s.newPictures[i];
            EXPECT_EQ(r.newPictures[i].length, meant.bytes.size());
            EXPECT_EQ(r.newPictures[i].sum, device::ByteSum16(meant.bytes.data(), meant.bytes.size()));
        }
        // Every picture lies in blocks the commit writes, whose bytes it knows: their CRC is known too.
        for (size_t i = 0; i < 4; ++i) {
            ASSERT_TRUE(r.newPictures[i].hasCrc) << i;
            EXPECT_EQ(r.newPictures[i].crc, Crc32(s.newPictures[i].bytes.data(), s.newPictures[i].bytes.size()));
        }
        // The journal: the list block and the block where the new data starts (it holds old pictures), as
        // they were; not the block past the old album.
        ASSERT_TRUE(r.hasJournal);
        ASSERT_EQ(r.journal.size(), 2u);
        for (uint32_t block : {RecoveryScenario::kL, RecoveryScenario::kL + kBlockSize}) {
            ASSERT_EQ(r.journal.count(block), 1u);
            EXPECT_TRUE(std::equal(r.journal[block].begin(), r.journal[block].end(), s.initial.begin() + block));
        }
    };
    ASSERT_TRUE(a->store.CommitAlbum());
    EXPECT_TRUE(seen);
    EXPECT_TRUE(s.folder.Records().empty());
}

TEST(RecoveryRecords, WithoutAFolderNothingIsWrittenAndNothingIsAsked) {
    RecoveryScenario s;
    auto a = s.Edited();
    a->store.Recovery().SetFolder({});
    ASSERT_TRUE(a->store.CommitAlbum());
    // The commit without records sends exactly what it always did: one checksum query per block
    // written or read, and no query of the frame's first block.
    for (const SentCommand& c : a->Sent()) EXPECT_FALSE(c.IsChecksum() && c.Address() == 0);
    EXPECT_LT(a->Sent().size(), s.commitCommands.size());
}

TEST(RecoveryRecords, ARetryAfterACutKeepsTheOldAlbumAndItsJournal) {
    RecoveryScenario s;
    auto a = s.Edited();
    // The first attempt is cut off right after the first data block's erase.
    s.frame.emulator.SetFaults({.vanishAfter = DataEraseIndex(s)});
    EXPECT_EQ(CommitCode(a->store), ErrTransfer);
    // The second, by the same store, dies at the erase of the list block; its record still names the album
    // the frame held before the first, and its journal the blocks as they were then.
    s.frame.emulator.SetFaults({});
    s.frame.emulator.PowerCycle();
    a->onProgress = [&](const ProgressCall& call) {
        if (call.done == 3 && call.total == 100) {
            s.frame.emulator.SetFaults({.vanishAfter = s.frame.emulator.CommandCount() + 5});
        }
    };
    EXPECT_EQ(CommitCode(a->store), ErrTransfer);
    s.frame.emulator.SetFaults({});
    s.frame.emulator.PowerCycle();
    RecoveryRecord r;
    std::string problem;
    ASSERT_TRUE(ReadRecordFile(OnlyRecord(s), r, problem)) << problem;
    ASSERT_TRUE(r.hasOldList);
    ASSERT_EQ(r.oldPictures.size(), 3u);
    EXPECT_EQ(r.oldPictures[1].address, s.oldPictures[1].address);
    for (const auto& [block, bytes] : r.journal) {
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), s.initial.begin() + block)) << block;
    }

    auto reader = s.Reader();
    ASSERT_TRUE(reader->store.Recovery().Pending());
    const RecoveryResult found = reader->store.Recovery().Find();
    EXPECT_EQ(found.kind, RecoveryKind::OldAlbum);
    EXPECT_TRUE(found.fromJournal);
    ASSERT_TRUE(reader->store.ApplyRecovery(found));
    EXPECT_EQ(s.frame.emulator.Flash(), s.initial) << "the journal puts every block back as it was";
}

TEST(RecoveryRecords, ARecordOfAnotherFrameIsNeverApplied) {
    RecoveryScenario s;
    s.CutAfter(CutBeforeDataErase(s));
    const fs::path record = OnlyRecord(s);
    const std::vector<uint8_t> cutFlash = s.frame.emulator.Flash();

    // The same flash with one byte of the frame's own region changed, and the same picture area on a
    // frame twice the size: each would take the record if it were not checked.
    for (int variant = 0; variant < 2; ++variant) {
        SCOPED_TRACE(variant == 0 ? "other first block" : "other flash size");
        sim::NewFrame layout = RecoveryScenario::Layout();
        if (variant == 1) layout.flashSize *= 2;
        AlbumFrame other(layout);
        std::copy(cutFlash.begin() + kBlockSize, cutFlash.end(), other.emulator.Flash().begin() + kBlockSize);
        if (variant == 0) {
            std::copy(cutFlash.begin(), cutFlash.begin() + kBlockSize, other.emulator.Flash().begin());
            other.emulator.Flash()[0x8000] ^= 0x01;
        }
        const std::vector<uint8_t> before = other.emulator.Flash();
        // The record under the name of the other frame's identity.
        auto probe = std::make_unique<BoundStore>(other.emulator);
        probe->store.GetInformation();
        const DeviceInfo& info = probe->store.Info();
        const FrameIdentity id{info.flashTotalSize, info.listAddress, static_cast<uint16_t>(info.lcdWidth),
                               static_cast<uint16_t>(info.lcdHeight),
                               device::ByteSum16(other.emulator.Flash().data(), kBlockSize)};
        const fs::path renamed = s.folder.Path() / (RecordNamePrefix(id) + "moved.rec");
        fs::copy_file(record, renamed, fs::copy_options::overwrite_existing);

        auto reader = std::make_unique<BoundStore>(other.emulator);
        reader->store.Recovery().SetFolder(s.folder.Path());
        ReadAlbum(reader->store, false);
        EXPECT_FALSE(reader->store.Recovery().Pending());
        const RecoveryResult found = reader->store.Recovery().Find();
        EXPECT_EQ(found.kind, RecoveryKind::None);
        EXPECT_FALSE(reader->store.ApplyRecovery(found));
        EXPECT_EQ(other.emulator.Flash(), before);
        fs::remove(renamed);
    }
    // The frame it belongs to still takes it.
    EXPECT_TRUE(s.Reader()->store.Recovery().Pending());
}

TEST(RecoveryRecords, ADamagedRecordIsSetAsideAndADamagedJournalFallsBackToWholePictures) {
    RecoveryScenario s;
    for (int variant = 0; variant < 2; ++variant) {
        s.CutAfter(CutBeforeDataErase(s));
        const fs::path record = OnlyRecord(s);
        std::vector<uint8_t> bytes = ReadBytes(record);
        if (variant == 0) {
            bytes.resize(5000);
        } else {
            bytes[100] ^= 0xFF;
        }
        WriteBytes(record, bytes);
        auto reader = s.Reader();
        EXPECT_FALSE(reader->store.Recovery().Pending());
        EXPECT_EQ(reader->store.Recovery().Find().kind, RecoveryKind::None);
        const auto warnings = reader->store.Recovery().TakeWarnings();
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_NE(warnings[0].find(variant == 0 ? "is truncated" : "is damaged"), std::string::npos) << warnings[0];
        // Kept aside, so that the warning comes once.
        EXPECT_TRUE(s.folder.Records().empty());
        EXPECT_TRUE(fs::exists(fs::path(record).concat(".damaged")));
        EXPECT_TRUE(s.Reader()->store.Recovery().TakeWarnings().empty());
        fs::remove(fs::path(record).concat(".damaged"));
    }
    // A damaged journal: the lists and sums still tell which pictures are whole, and the result says so.
    s.CutAfter(CutBeforeDataErase(s));
    const fs::path record = OnlyRecord(s);
    std::vector<uint8_t> bytes = ReadBytes(record);
    bytes[bytes.size() - 10] ^= 0x01;
    WriteBytes(record, bytes);
    auto reader = s.Reader();
    ASSERT_TRUE(reader->store.Recovery().Pending());
    const RecoveryResult found = reader->store.Recovery().Find();
    EXPECT_EQ(found.kind, RecoveryKind::OldAlbum);
    EXPECT_FALSE(found.fromJournal);
    EXPECT_EQ(found.note, "its journal is damaged");
    ASSERT_TRUE(reader->store.ApplyRecovery(found));
    EXPECT_EQ(s.ReadBack(), s.OldAlbum());
}

TEST(RecoveryRecords, AValidListMakesItsOwnRecordStaleAndKeepsOthers) {
    RecoveryScenario s;
    // The power goes after the list is written but before its checksum query: the commit failed, the
    // frame holds the new album, and the record is left behind.
    const uint64_t commands = s.commitCommands.size();
    ASSERT_TRUE(s.commitCommands.back().IsChecksum());
    EXPECT_NE(s.CutAfter(commands - 1), 0);
    const fs::path stale = OnlyRecord(s);
    // A record of a frame with the same identity but another album (its lists match neither).
    RecoveryRecord foreign;
    std::string problem;
    ASSERT_TRUE(ReadRecordFile(stale, foreign, problem));
    SetListColors(foreign.newList.data(), 0x1111, 0x2222);
    SetListColors(foreign.oldList.data(), 0x1111, 0x2222);
    const fs::path kept = s.folder.Path() / (RecordNamePrefix(foreign.identity) + "z.rec");
    std::string error;
    ASSERT_TRUE(WriteRecordFile(kept, foreign, error));

    auto reader = s.Reader();
    EXPECT_FALSE(reader->store.Recovery().Pending());
    EXPECT_EQ(reader->store.GetPictureCount(), 4);
    EXPECT_EQ(reader->store.Recovery().Find().kind, RecoveryKind::None);
    EXPECT_EQ(s.folder.Records(), std::vector<fs::path>{kept});
}

// A picture changed after the search: the journal puts its block back; a record without a journal can only
// write a list, and refuses one whose pictures no longer add up.
TEST(RecoveryRecords, APictureChangedAfterTheSearchIsRepairedByTheJournalOrRefused) {
    RecoveryScenario s;
    const Album old = s.OldAlbum();
    for (bool journal : {true, false}) {
        SCOPED_TRACE(journal ? "with the journal" : "without a journal");
        s.CutAfter(CutBeforeDataErase(s));
        if (!journal) {
            RecoveryRecord r;
            std::string problem, error;
            ASSERT_TRUE(ReadRecordFile(OnlyRecord(s), r, problem));
            r.hasJournal = false;
            r.journal.clear();
            ASSERT_TRUE(WriteRecordFile(OnlyRecord(s), r, error));
        }
        auto reader = s.Reader();
        const RecoveryResult found = reader->store.Recovery().Find();
        ASSERT_EQ(found.kind, RecoveryKind::OldAlbum);
        EXPECT_EQ(found.fromJournal, journal);
        EXPECT_EQ(found.oldCount, 3);
        EXPECT_EQ(found.newCount, 4);
        ASSERT_EQ(found.checked.size(), 5u);
        EXPECT_TRUE(found.checked[0].inNewList && found.checked[0].inOldList && found.checked[0].intact);
        EXPECT_FALSE(found.checked[2].intact);  // appended, never written
        // The last old picture lies in the block where the new data starts, which the journal keeps.
        s.frame.emulator.Flash()[s.oldPictures[2].address + 10] ^= 0x5A;
        const std::vector<uint8_t> before = s.frame.emulator.Flash();
        EXPECT_FALSE(reader->store.ApplyRecovery(RecoveryResult{}));
        if (journal) {
            ASSERT_TRUE(reader->store.ApplyRecovery(found));
            EXPECT_EQ(s.ReadBack(), old);
            continue;
        }
        EXPECT_FALSE(reader->store.ApplyRecovery(found));
        EXPECT_EQ(s.frame.emulator.Flash(), before);
        // Checked again, the album that is left is the two whole old pictures.
        const RecoveryResult again = reader->store.Recovery().Find();
        EXPECT_EQ(again.kind, RecoveryKind::IntactPictures);
        EXPECT_EQ(again.note, "it keeps no journal");
        ASSERT_TRUE(reader->store.ApplyRecovery(again));
        EXPECT_EQ(s.ReadBack(), (Album{s.oldPictures[0].bytes, s.oldPictures[1].bytes}));
    }
}

TEST(RecoveryRecords, APictureWhoseBytesMovedButKeepTheirSumIsNotWhole) {
    RecoveryScenario s;
    // Cut just before the list block is written for the last time: every new picture is on the flash.
    const uint64_t lastErase = LastCommand(s.commitCommands, &SentCommand::IsErase);
    ASSERT_GT(lastErase, 4u);
    s.CutAfter(lastErase - 4);
    auto& flash = s.frame.emulator.Flash();
    const uint32_t at = s.newPictures[2].address + 1000;
    ASSERT_NE(flash[at], flash[at + 1]);
    std::swap(flash[at], flash[at + 1]);  // the byte sum stays, the picture is not what was written
    auto reader = s.Reader();
    EXPECT_TRUE(reader->store.Recovery().Pending());
    const RecoveryResult found = reader->store.Recovery().Find();
    EXPECT_EQ(found.kind, RecoveryKind::OldAlbum);
    ASSERT_EQ(found.checked.size(), 5u);
    EXPECT_FALSE(found.checked[2].intact);
    EXPECT_TRUE(found.checked[3].intact);
}

TEST(RecoveryRecords, AnInterruptedColourWriteComesBackWithItsColours) {
    RecoveryScenario s;
    // Find the command that programs the list block's first 4 KB, the last program of the write.
    {
        s.frame.emulator.Flash() = s.initial;
        s.frame.emulator.PowerCycle();
        auto probe = s.Reader();
        probe->ClearSent();
        probe->store.SetColors(0x001F, 0xF800);
        const uint64_t lastProgram = LastCommand(probe->Sent(), &SentCommand::IsProgram);
        ASSERT_GT(lastProgram, 0u);
        s.frame.emulator.Flash() = s.initial;
        s.frame.emulator.PowerCycle();
        auto cut = s.Reader();
        s.frame.emulator.SetFaults({.vanishAfter = s.frame.emulator.CommandCount() + lastProgram - 1});
        EXPECT_THROW(cut->store.SetColors(0x001F, 0xF800), CAlbumError);
        s.frame.emulator.SetFaults({});
        s.frame.emulator.PowerCycle();
    }
    auto reader = s.Reader();
    ASSERT_FALSE(reader->store.Recovery().ListValidOnFrame());
    ASSERT_TRUE(reader->store.Recovery().Pending());
    const RecoveryResult found = reader->store.Recovery().Find();
    EXPECT_EQ(found.kind, RecoveryKind::NewAlbum);
    ASSERT_TRUE(reader->store.ApplyRecovery(found));
    EXPECT_EQ(Colours(reader->store), (std::pair<uint16_t, uint16_t>{0x001F, 0xF800}));
    EXPECT_EQ(s.ReadBack(), s.OldAlbum());
}

// A write that drops the second picture, recorded by keeper on frame: the list block is its only step.
void KeepListWrite(CRecoveryKeeper& keeper, MemoryFrame& frame) {
    const std::vector<uint8_t> before = frame.ListBlock();
    std::vector<uint8_t> after = before;
    ClearEntry(after.data(), 1);
    RecoveryRecord record;
    WritePlan write;
    keeper.DescribeOldAlbum(record, write, before.data());
    keeper.DescribeNewAlbum(record, after.data(), {{MemoryFrame::kL, after}});
    keeper.KeepRecord(record, {{MemoryFrame::kL, before}});
}

TEST(RecoveryKeeper, FindsAndDiscardsFromAFrameAccessAloneAndOnlyForTheListItChecked) {
    MemoryFrame frame;
    TempFolder folder;
    CRecoveryKeeper writer([&] { return frame.Access(); });
    writer.SetFolder(folder.Path());
    KeepListWrite(writer, frame);
    ASSERT_EQ(folder.Records().size(), 1u);
    EXPECT_TRUE(writer.Unfinished());
    EXPECT_GT(writer.LastRecordBytes(), 0u);
    // The power goes once the list is erased.
    std::fill_n(frame.flash.begin() + MemoryFrame::kL, kListSize, 0xFF);

    CRecoveryKeeper reader([&] { return frame.Access(); });
    reader.SetFolder(folder.Path());
    EXPECT_EQ(reader.Find().kind, RecoveryKind::None) << "no list was read yet";
    reader.CheckListRead(frame.flash.data() + MemoryFrame::kL);
    EXPECT_TRUE(reader.Pending());
    EXPECT_FALSE(reader.ListValidOnFrame());
    // A read that broke off after the check leaves no album to recover into.
    reader.AlbumDropped();
    EXPECT_FALSE(reader.Pending());
    EXPECT_EQ(reader.Find().kind, RecoveryKind::None);
    reader.CheckListRead(frame.flash.data() + MemoryFrame::kL);
    const RecoveryResult found = reader.Find();
    EXPECT_EQ(found.kind, RecoveryKind::NewAlbum);
    EXPECT_EQ(found.newCount, 1);
    EXPECT_EQ(found.oldCount, 2);
    EXPECT_TRUE(reader.BelongsToFrame(found));

    EXPECT_EQ(reader.Discard(), 1);
    EXPECT_FALSE(reader.Pending());
    EXPECT_TRUE(folder.Records().empty());
    // A header read forgets the write the writer began: the frame may be another one now.
    writer.FrameChanged();
    EXPECT_FALSE(writer.Unfinished());
    EXPECT_TRUE(reader.TakeWarnings().empty());
}

TEST(RecoveryKeeper, AWriteThatBrokeOffIsCarriedOnOnlyWhenItsRecordWasKept) {
    struct Case {
        const char* name;
        bool folderIsAFile;  // no record can be written into it
        bool folderOff;
    };
    for (const Case& c : {Case{"records off", false, true}, Case{"folder not writable", true, false}}) {
        SCOPED_TRACE(c.name);
        MemoryFrame frame;
        TempFolder folder;
        const fs::path file = folder.Path() / "not-a-folder";
        WriteBytes(file, {1});
        CRecoveryKeeper keeper([&] { return frame.Access(); });
        if (!c.folderOff) keeper.SetFolder(c.folderIsAFile ? file : folder.Path());
        if (c.folderIsAFile) {
            EXPECT_EQ(CodeOf([&] { KeepListWrite(keeper, frame); }), ErrNoRecord)
                << "a record that cannot be kept must stop the write";
            EXPECT_FALSE(keeper.Unfinished());
            EXPECT_EQ(keeper.LastRecordBytes(), 0u);
            const auto warnings = keeper.TakeWarnings();
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_EQ(warnings[0].rfind("no recovery record could be kept: ", 0), 0u) << warnings[0];
        } else {
            KeepListWrite(keeper, frame);
            EXPECT_TRUE(keeper.Unfinished());
        }
        // The next write describes the frame as it is, or carries on the journal of the one that broke off.
        std::vector<uint8_t> damaged = frame.ListBlock();
        std::fill_n(damaged.begin(), kListSize, 0xFF);
        RecoveryRecord next;
        WritePlan write;
        keeper.DescribeOldAlbum(next, write, damaged.data());
        EXPECT_EQ(write.disturbed, keeper.Unfinished());
        if (keeper.Unfinished()) {
            EXPECT_EQ(write.journal.at(MemoryFrame::kL), frame.ListBlock());
            EXPECT_TRUE(IsListValid(next.oldList.data())) << "the album the frame held before it";
            keeper.FinishRecord();
            EXPECT_FALSE(keeper.Unfinished());
        } else {
            EXPECT_TRUE(write.journal.empty());
            EXPECT_FALSE(IsListValid(next.oldList.data()));
        }
    }
}

}  // namespace
}  // namespace fotolume::album::testing
