// A Fotolume controller on an in-process simulated frame, with a private
// program folder, scratch folder and scripted answers.
#pragma once

#include "app/controller.h"
#include "app/scripted_prompt.h"

#include "album/recovery.h"
#include "tests/support/emulated_frame.h"
#include "tests/support/qt_pictures.h"

#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace fotolume::apptest {

using Bytes = std::vector<uint8_t>;

// The main window's options for a test: this screen, the prompt and texts, folders in the private home.
app::MainDlgOptions WindowOptions(QSize screen, app::CScriptedPrompt* prompt, app::TextLookup lookup = {});

// Waits, serving events, until done() holds or the time is up.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000);
// Shows the window with its opening animation and waits for the layout at its end.
bool OpenAndWaitForLayout(app::CMainDlg& dlg);

using testsupport::NoisePicture;
// The window's command buttons, every one disabled while a worker runs.
inline constexpr int kCommandIds[] = {1004, 1008, 1012, 1023, 1011, 1019, 1048, 1033, 1034, 1009, 1006, 1001};

// A file of one byte (no picture); returns path.
QString Touch(const QString& path);
// A picture file in folder: a BMP when the name ends in .bmp, else by Qt's writer.
QString WritePicture(const QString& folder, const QString& name, int width, int height, unsigned seed);
using testsupport::PictureStream;

class AppHarness;

// Streams of count noise pictures of the panel size at a quality, seeds from firstSeed on.
inline std::vector<Bytes> NoiseStreams(unsigned firstSeed, int count, QSize panel = {128, 128}, int quality = 60)
{
    return testsupport::NoiseStreams(firstSeed, count, panel.width(), panel.height(), quality);
}

// Writes an album onto the emulator's flash through a store of its own.
void SeedAlbum(sim::CFlashEmulator& emulator, const std::vector<Bytes>& pictures);

// Stores both colours of the frame's list.
void SetFrameColours(sim::CFlashEmulator& emulator, uint16_t font, uint16_t background);

using testsupport::ReadBackAlbum;


// A store of its own on the frame that keeps records in folder, as the window's store does.
std::unique_ptr<album::CAlbumStore> RecordingStore(sim::CFlashEmulator& emulator, const QString& folder);
// What a read of the frame would offer to restore from the records in folder.
album::RecoveryResult Findable(sim::CFlashEmulator& emulator, const QString& folder);
size_t RecordCount(const QString& folder);
// The frame holds old; a commit appending added is cut by a power loss after command k, for the first k
// (from the start, or from the end) whose cut leaves `wanted` to find. The records live in the
// harness's private folder, where the window's store finds them.
bool CutCommitLeaving(AppHarness& h, const std::vector<Bytes>& old, const std::vector<Bytes>& added,
                      album::RecoveryKind wanted, bool fromEnd);

// A 240x180 frame: pictures big enough to span blocks.
inline sim::NewFrame WideFrame() { return {.width = 240, .height = 180}; }
// Drops count picture files on the window and waits until they are added.
bool DropPictures(AppHarness& h, int count);
// The album the controller's store holds in memory.
std::vector<Bytes> AlbumInMemory(app::CMainController& controller);
// The commands the window's first read of a frame with this layout and flash sends, in order, from a
// clean run on a twin.
std::vector<sim::CEmulatorBackend::Sent> ReadCommands(const sim::NewFrame& frame, const std::vector<uint8_t>& flash);
using Sent = sim::CEmulatorBackend::Sent;
// Flash commands carry their opcode in byte 10 and the flash address big-endian in bytes 11 to 13.
uint32_t Address(const Sent& s);
inline bool IsRead(const Sent& s) { return s.cdb[0] == 0xCD && s.cdb[5] == 0 && s.cdb[6] == 4; }
inline bool IsProgram(const Sent& s) { return s.cdb[0] == 0xCB && s.direction == 1; }
// The 1-based place of the first command that matches; 0 when none does.
int First(const std::vector<Sent>& sent, const std::function<bool(const Sent&)>& match);
// Where SeedAlbum puts picture `index`: the pictures lie back to back behind the list block at 64 KB.
uint32_t SeededPictureAddress(const std::vector<Bytes>& album, int index);
// The commands a commit of album onto the harness's frame as it is now sends, in order: found by running
// the same commit on a twin of the frame, as the commands depend only on the flash and the album.
std::vector<sim::CEmulatorBackend::Sent> CommitCommands(AppHarness& h, const std::vector<Bytes>& album);
// Makes the next commit of the album in memory fail in the middle of its picture data (after the list
// was invalidated); returns that album.
std::vector<Bytes> FailCommitInPictureData(AppHarness& h);
// Synchronize, then wait for its end: what it finished with, nothing when it did not end.
std::optional<int> SynchronizeAndWait(AppHarness& h);
// Drops paths on the window and waits for the add to end: what it finished with, nothing when it did not.
std::optional<int> DropAndWait(AppHarness& h, const QStringList& paths);
// Expands the desktop root of the window's tree (the pictures folder) and selects the file name in it.
void SelectInTree(AppHarness& h, const QString& name);

class AppHarness {
public:
    explicit AppHarness(const sim::NewFrame& frame = {}, bool attached = true);
    ~AppHarness();

    // Builds the controller and runs its start; returns what Start returned.
    int Start();
    // Start, then wait for the first read to end; with an album, the frame holds it first.
    bool StartAndRead(const std::vector<Bytes>& album = {});
    bool WaitForRead(int readsBefore);

    void Plug(bool attached);
    // Unplugs the frame (a vanished one comes back powered up again, without faults), plugs it in and
    // waits for the read; answers queued before are kept for it.
    bool Replug();
    // Waits until no worker runs and nothing is being read or sent.
    bool WaitSettled(int timeoutMs = 60000);

    app::CMainController& Controller() { return *controller; }
    app::CMainDlg& Window() { return controller->Window(); }
    app::AppFlags& Flags() { return controller->Flags(); }

    QTemporaryDir program;
    QTemporaryDir temp;
    QTemporaryDir files; // pictures to add
    sim::NewFrame layout;
    testsupport::NewFrameEmulator emulator;
    sim::CEmulatorBackend* backend = nullptr; // owned by the store
    app::CScriptedPrompt prompt;
    std::unique_ptr<app::CMainController> controller;
    QStringList statuses;
    QList<int> progress;
    int screenDepth = 32;
    QSize screen{1280, 1024};
    bool attachedAtStart = true;
};

} // namespace fotolume::apptest
