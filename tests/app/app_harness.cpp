#include "tests/app/app_harness.h"

#include "album/album_error.h"
#include "album/album_store.h"
#include "album/recovery_record.h"
#include "app/folder_tree_ctrl.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "compose/panel_bitmap.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace fotolume::apptest {

app::MainDlgOptions WindowOptions(QSize screen, app::CScriptedPrompt* prompt, app::TextLookup lookup)
{
    app::MainDlgOptions options;
    options.screenSize = screen;
    options.prompt = prompt;
    options.lookup = std::move(lookup);
    options.computerRoots = {QDir::tempPath()};
    options.desktopFolder = QDir::homePath() + QStringLiteral("/Desktop");
    options.picturesFolder = QDir::homePath() + QStringLiteral("/Pictures");
    return options;
}

namespace {

std::unique_ptr<album::CAlbumStore> OwnStore(sim::CFlashEmulator& emulator)
{
    auto store = std::make_unique<album::CAlbumStore>();
    testsupport::BindStore(*store, emulator);
    testsupport::ReadAlbum(*store, false);
    return store;
}

} // namespace

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QTest::qWait(2);
    }
    return true;
}

bool OpenAndWaitForLayout(app::CMainDlg& dlg)
{
    dlg.StartOpening();
    dlg.show();
    return QTest::qWaitForWindowExposed(&dlg) && WaitFor([&] { return dlg.IsLayoutDone(); });
}

QString Touch(const QString& path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("x");
    return path;
}

QString WritePicture(const QString& folder, const QString& name, int width, int height, unsigned seed)
{
    const QString path = folder + QLatin1Char('/') + name;
    const QImage picture = NoisePicture(width, height, seed);
    if (name.endsWith(QLatin1String(".bmp"), Qt::CaseInsensitive))
        compose::SavePanelBmp(picture, path);
    else
        picture.save(path, "JPG", 95);
    return path;
}

void SeedAlbum(sim::CFlashEmulator& emulator, const std::vector<Bytes>& pictures)
{
    auto store = OwnStore(emulator);
    for (const Bytes& picture : pictures)
        store->AddPictureData(picture.data(), static_cast<uint32_t>(picture.size()));
    store->CommitAlbum();
}

void SetFrameColours(sim::CFlashEmulator& emulator, uint16_t font, uint16_t background)
{
    auto store = OwnStore(emulator);
    store->SetColors(font, background);
}

AppHarness::AppHarness(const sim::NewFrame& frame, bool attached)
    : layout(frame), emulator(frame), attachedAtStart(attached)
{
    // Every message and question runs an event loop of its own, as a modal box does.
    prompt.SetModalLoop(true);
    // The shipped settings and language files, built beside the test program.
    for (const char* name : {"StartInfoUnicode.ini", "LanguageUnicode.ini"}) {
        const QString shipped = QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(name);
        QFile::copy(shipped, program.filePath(QLatin1String(name)));
    }
}

AppHarness::~AppHarness()
{
    controller.reset();
}

int AppHarness::Start()
{
    app::ControllerOptions options;
    options.programFolder = program.path().toStdString();
    options.tempFolder = temp.path().toStdString();
    auto owned = std::make_unique<sim::CEmulatorBackend>(std::vector<sim::CFlashEmulator*>{&emulator});
    backend = owned.get();
    backend->SetAttached(0, attachedAtStart);
    options.backend = std::move(owned);
    options.screenDepth = screenDepth;
    options.window = WindowOptions(screen, &prompt);
    options.window.computerRoots = {files.path()};
    options.window.desktopFolder = files.path();
    options.window.picturesFolder = files.path();
    controller = std::make_unique<app::CMainController>(std::move(options));
    QObject::connect(&controller->Window(), &app::CMainDlg::statusShown,
                     [this](const QString& text) { statuses.append(text); });
    QObject::connect(controller->Window().Progress(), &app::CTextProgressCtrl::posChanged,
                     [this](int value) { progress.append(value); });
    const int started = controller->Start();
    if (album::CAlbumStore* store = controller->Frame().PresenceStore())
        store->Link().SetSettleDelay(std::chrono::milliseconds(0));
    return started;
}

bool AppHarness::WaitForRead(int readsBefore)
{
    return WaitFor([&] { return controller->ReadsFinished() > readsBefore && !controller->WorkerRunning(); });
}

bool AppHarness::StartAndRead(const std::vector<Bytes>& album)
{
    if (!album.empty())
        SeedAlbum(emulator, album);
    return Start() == -1 && WaitForRead(0);
}

void AppHarness::Plug(bool attached)
{
    backend->SetAttached(0, attached);
}

bool AppHarness::WaitSettled(int timeoutMs)
{
    return WaitFor(
        [&] { return !controller->WorkerRunning() && !Flags().isReading && !Flags().isSending; }, timeoutMs);
}

bool AppHarness::Replug()
{
    emulator.SetFaults({});
    Plug(false);
    if (!WaitFor([&] { return !Flags().isConnected && !controller->WorkerRunning(); }))
        return false;
    emulator.PowerCycle();
    const int reads = controller->ReadsFinished();
    Plug(true);
    return WaitForRead(reads) && WaitSettled();
}

bool DropPictures(AppHarness& h, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths.append(WritePicture(h.files.path(), QStringLiteral("drop%1.jpg").arg(i), 400, 300, 100U + static_cast<unsigned>(i)));
    const int before = h.Window().AlbumList()->count();
    return DropAndWait(h, paths).has_value() && h.Window().AlbumList()->count() == before + count;
}

std::optional<int> DropAndWait(AppHarness& h, const QStringList& paths)
{
    QSignalSpy added(&h.Controller(), &app::CMainController::addFinished);
    h.Controller().OnFilesDropped(paths);
    if (!WaitFor([&] { return added.count() == 1 && !h.Controller().WorkerRunning(); }, 60000))
        return std::nullopt;
    return added.constLast().at(0).toInt();
}

void SelectInTree(AppHarness& h, const QString& name)
{
    app::CFolderTreeCtrl* tree = h.Window().Tree();
    tree->expandItem(tree->DesktopRoot());
    tree->setCurrentItem(app::CFolderTreeCtrl::FindChild(tree->DesktopRoot(), name));
}

std::vector<Bytes> AlbumInMemory(app::CMainController& controller)
{
    album::CAlbumStore* store = controller.Store();
    std::vector<Bytes> album;
    for (int i = 0; store && i < store->GetPictureCount(); ++i) {
        album::PicEntry entry;
        store->GetPictureEntry(i, entry);
        album.emplace_back(store->PictureData(i), store->PictureData(i) + entry.length);
    }
    return album;
}

std::vector<sim::CEmulatorBackend::Sent> ReadCommands(const sim::NewFrame& frame, const std::vector<uint8_t>& flash)
{
    AppHarness twin(frame);
    twin.emulator.Flash() = flash;
    if (twin.Start() != -1 || !twin.WaitForRead(0))
        return {};
    return twin.backend->SentCommands();
}

uint32_t Address(const Sent& s)
{
    return static_cast<uint32_t>(s.cdb[11]) << 16 | static_cast<uint32_t>(s.cdb[12]) << 8 | s.cdb[13];
}

int First(const std::vector<Sent>& sent, const std::function<bool(const Sent&)>& match)
{
    for (size_t i = 0; i < sent.size(); ++i) {
        if (match(sent[i]))
            return static_cast<int>(i + 1);
    }
    return 0;
}

uint32_t SeededPictureAddress(const std::vector<Bytes>& album, int index)
{
    uint32_t address = 0x10000 + 4096;
    for (int i = 0; i < index; ++i)
        address += static_cast<uint32_t>(album[static_cast<size_t>(i)].size());
    return address;
}

std::vector<sim::CEmulatorBackend::Sent> CommitCommands(AppHarness& h, const std::vector<Bytes>& album)
{
    sim::CFlashEmulator twin(sim::CFlashEmulator::Options{});
    twin.Flash() = h.emulator.Flash();
    album::CAlbumStore store;
    sim::CEmulatorBackend* backend = testsupport::BindStore(store, twin);
    // The window's store keeps a recovery record, which takes commands of its own.
    QTemporaryDir records;
    store.Recovery().SetFolder(records.path().toStdString());
    testsupport::ReadAlbum(store, false);
    // The same album: what the window's store holds is kept, the rest is dropped and added again.
    int kept = 0;
    while (kept < store.GetPictureCount() && kept < static_cast<int>(album.size())) {
        album::PicEntry entry;
        store.GetPictureEntry(kept, entry);
        store.LoadPicture(kept);
        if (!std::equal(album[static_cast<size_t>(kept)].begin(), album[static_cast<size_t>(kept)].end(),
                        store.PictureData(kept)) ||
            entry.length != album[static_cast<size_t>(kept)].size())
            break;
        ++kept;
    }
    while (store.GetPictureCount() > kept)
        store.DeletePicture(store.GetPictureCount() - 1);
    for (size_t i = static_cast<size_t>(kept); i < album.size(); ++i)
        store.AddPictureData(album[i].data(), static_cast<uint32_t>(album[i].size()));
    backend->ClearSent();
    store.CommitAlbum();
    return backend->SentCommands();
}

// Which command of the commit writes the middle one of its program pieces.
static uint64_t MidProgramCommand(AppHarness& h, const std::vector<Bytes>& album)
{
    std::vector<uint64_t> programs;
    const auto sent = CommitCommands(h, album);
    for (size_t i = 0; i < sent.size(); ++i) {
        if (IsProgram(sent[i]))
            programs.push_back(i + 1);
    }
    return programs.empty() ? 0 : programs[programs.size() / 2];
}

std::vector<Bytes> FailCommitInPictureData(AppHarness& h)
{
    std::vector<Bytes> album = AlbumInMemory(h.Controller());
    // Every command from there on fails, the frame staying attached: tried again, the commit still fails.
    h.emulator.SetFaults({.failFrom = h.emulator.CommandCount() + MidProgramCommand(h, album)});
    return album;
}

std::optional<int> SynchronizeAndWait(AppHarness& h)
{
    QSignalSpy done(&h.Controller(), &app::CMainController::synchronizeFinished);
    h.Controller().OnSynchronize();
    if (!WaitFor([&] { return done.count() > 0 && !h.Controller().WorkerRunning(); }, 60000))
        return std::nullopt;
    return done.constLast().at(0).toInt();
}


std::unique_ptr<album::CAlbumStore> RecordingStore(sim::CFlashEmulator& emulator, const QString& folder)
{
    auto store = std::make_unique<album::CAlbumStore>();
    testsupport::BindStore(*store, emulator, nullptr, true);
    store->Recovery().SetFolder(folder.toStdString());
    testsupport::ReadAlbum(*store, false);
    return store;
}

album::RecoveryResult Findable(sim::CFlashEmulator& emulator, const QString& folder)
{
    auto store = RecordingStore(emulator, folder);
    return store->Recovery().Pending() ? store->Recovery().Find() : album::RecoveryResult{};
}

size_t RecordCount(const QString& folder)
{
    return album::ListRecordFiles(folder.toStdString()).size();
}

bool CutCommitLeaving(AppHarness& h, const std::vector<Bytes>& old, const std::vector<Bytes>& added,
                      album::RecoveryKind wanted, bool fromEnd)
{
    SeedAlbum(h.emulator, old);
    const std::vector<uint8_t> before = h.emulator.Flash();
    const QString folder = h.temp.path();
    auto commitCut = [&](uint64_t k) {
        h.emulator.Flash() = before;
        h.emulator.PowerCycle();
        for (const auto& record : album::ListRecordFiles(folder.toStdString()))
            std::filesystem::remove(record);
        auto store = RecordingStore(h.emulator, folder);
        for (const Bytes& picture : added)
            store->AddPictureData(picture.data(), static_cast<uint32_t>(picture.size()));
        const uint64_t start = h.emulator.CommandCount();
        if (k != 0)
            h.emulator.SetFaults({.vanishAfter = start + k});
        try {
            store->CommitAlbum();
        } catch (const album::CAlbumError&) {
        }
        const uint64_t used = h.emulator.CommandCount() - start;
        store.reset();
        h.emulator.SetFaults({});
        h.emulator.PowerCycle();
        return used;
    };
    const uint64_t total = commitCut(0);
    for (uint64_t i = 1; i < total; ++i) {
        commitCut(fromEnd ? total - i : i);
        if (Findable(h.emulator, folder).kind == wanted)
            return true;
    }
    return false;
}

} // namespace fotolume::apptest
