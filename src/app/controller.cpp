// Start-up, presence, leaving and the window's shared helpers.
#include "app/controller.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QPushButton>
#include <QSocketNotifier>

#include "album/album_store.h"
#include "app/app_folders.h"
#include "app/folder_tree_ctrl.h"
#include "app/leave_rule.h"
#include "app/setting_dlg.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "compose/preview.h"
#include "device/comm_usb.h"
#include "device/drive_backend.h"

namespace fotolume::app {

namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

QString FolderText(const std::filesystem::path& folder) {
    QString text = QString::fromStdString(folder.string());
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('/'))) text += QLatin1Char('/');
    return text;
}

}  // namespace

CMainController::CMainController(ControllerOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    m_dlg = std::make_unique<CMainDlg>(m_options.window);
    m_tempFolder = FolderText(m_options.tempFolder);
    m_readCancel = std::make_shared<std::atomic<bool>>(false);
    ConnectWindow();
}

CMainController::~CMainController() {
    // Workers never wait for the window, so they can be joined here: a synchronize told to stop ends with a
    // whole album on the frame, a read or a batch add stops at its next picture.
    m_quitting = true;
    m_frame.RequestStop();
    m_readCancel->store(true);
    if (m_worker.joinable()) m_worker.join();
    if (m_addThread.joinable()) m_addThread.join();
    if (m_notifier) m_notifier->setEnabled(false);
    m_dlg.reset();
}

QString CMainController::Text(const char* key, const char* def) const {
    if (!m_language) return QString::fromUtf8(def);
    return FromStd(m_language->LookupText(key, def));
}

void CMainController::ShowMessage(const QString& text) { m_dlg->Prompt().Message(text); }

bool CMainController::WorkerRunning() const {
    return m_frame.IsLent() || m_worker.joinable() || m_addThread.joinable();
}

void CMainController::ConnectWindow() {
    CMainDlg* dlg = m_dlg.get();
    connect(dlg, &CMainDlg::synchronizeRequested, this, &CMainController::OnSynchronize);
    connect(dlg, &CMainDlg::deleteRequested, this, &CMainController::OnDelete);
    connect(dlg, &CMainDlg::selectAllRequested, this, &CMainController::OnSelectAll);
    connect(dlg, &CMainDlg::addRequested, this, &CMainController::SingleAdd);
    connect(dlg, &CMainDlg::albumClicked, this, &CMainController::OnAlbumClicked);
    connect(dlg, &CMainDlg::treePictureChosen, this, &CMainController::OnTreePictureChosen);
    connect(dlg, &CMainDlg::treeAddRequested, this, &CMainController::OnTreeAddRequested);
    connect(dlg, &CMainDlg::filesDropped, this, &CMainController::OnFilesDropped);
    connect(dlg, &CMainDlg::languageChosen, this, &CMainController::ApplyLanguage);
    connect(dlg, &CMainDlg::leaveRequested, this, &CMainController::OnLeaveRequested);
    connect(dlg, &CMainDlg::contextMenuRequested, this, &CMainController::OnContextMenuRequested);
    connect(dlg, &QDialog::finished, this, [this] {
        m_windowClosed = true;
        CheckIdleForQuit();
    });
    connect(dlg, &CMainDlg::saveRequested, this, &CMainController::OnSave);
    connect(dlg, &CMainDlg::saveAllRequested, this, &CMainController::OnSaveAll);
    connect(dlg, &CMainDlg::settingRequested, this, &CMainController::OnSetting);
    connect(dlg, &CMainDlg::aboutRequested, this, &CMainController::OnAbout);
    connect(dlg, &CMainDlg::zoomRequested, this, [this](int step) {
        if (m_preview) step > 0 ? m_preview->ZoomIn() : m_preview->ZoomOut();
    });
    connect(dlg, &CMainDlg::rotateRequested, this, [this](bool left) {
        if (m_preview) left ? m_preview->RotateLeft() : m_preview->RotateRight();
    });
    connect(dlg, &CMainDlg::rectModeChanged, this, [this](bool on) {
        if (m_preview) m_preview->SetRectMode(on);
    });
    // A settings dialog still open when the frame goes ends as cancelled.
    connect(this, &CMainController::frameRemoved, this, [this] { CancelSettingDialog(m_dlg.get()); });
}

int CMainController::Start() {
    // Settings: the master beside the program is only read.
    m_settings = std::make_unique<config::CSettings>(m_options.programFolder, m_options.tempFolder);
    m_jpgQuality = m_settings->ReadMaster("JpgQuality", config::kDefaultJpgQuality);
    const QString title = FromStd(m_settings->ReadMaster("Titlename", config::kDefaultTitle));
    m_progressMode = FromStd(m_settings->ReadMaster("ProgressCtrl", config::kDefaultProgressCtrl));
    m_corpLink = FromStd(m_settings->ReadMaster("CorpLink", ""));
    m_dlg->SetTitle(title);

    // Language file and the working settings file.
    m_settings->PrepareWorkingLanguageFile();
    m_firmwareVersion = FromStd(m_settings->ReadWorking("FirmwareVer", ""));
    m_language = std::make_unique<config::CLanguage>(m_settings->WorkingLanguageFile());
    m_language->CountLanguages();
    const config::MenuBuildResult built = m_language->BuildMenu();
    m_menu = built.menu;
    m_language->SetLangIndex(m_settings->ChooseWorkingFile(m_language->Sections()));
    m_dlg->SetTextLookup([this](const char* key, const char* def) { return Text(key, def); });
    if (!built.message.empty()) ShowMessage(FromStd(built.message));

    // The preview takes the placeholder's place.
    m_preview = new compose::CPreview;
    m_dlg->SetPreviewWidget(m_preview);
    // Queued: the add runs after the preview's own mouse handling has ended.
    connect(m_preview, &compose::CPreview::doublecliked, this, &CMainController::SingleAdd, Qt::QueuedConnection);
    connect(m_preview, &compose::CPreview::RightButtonDown, this,
            [this](QPoint pos) { OnContextMenuRequested(m_preview->mapToGlobal(pos)); });

    // Picture cache, emptied at every start.
    m_cacheFolder = PictureCacheFolder(m_tempFolder);
    CleanPictureCache(m_cacheFolder);

    m_dlg->RecreateStatusBar();
    if (m_progressMode == QLatin1String("OFF")) m_dlg->Progress()->hide();

    if (m_options.screenDepth < 16) {
        ShowMessage(Text("SYSTEMCOLOR_TIPS",
                         "The color quality of the system is less than 16 bit, the "
                         "application cannot use in this situation!"));
        return 1;
    }

    // The album store with its link to the frame.
    const std::string vid = m_settings->ReadWorking("VID", config::kDefaultVid);
    auto store = std::make_unique<album::CAlbumStore>();
    store->Bind(std::move(m_options.backend), vid,
                [this](int picture, int done, int total) { OnSendProgress(picture, done, total); });
    // Records of interrupted synchronizes live beside the other private files,
    // where fotolume-cli looks for them too.
    store->Recovery().SetFolder(m_options.tempFolder);
    m_frame.Reset(std::move(store));
    WatchPresence();

    ApplyLanguage(config::kLanguageCommandFirst + m_language->LangIndex());

    m_streamFile = m_tempFolder + QStringLiteral("JPGTmp.jpg");
    m_tempBmp = m_tempFolder + QStringLiteral("BMPTmp.bmp");
    QFile::remove(m_streamFile);
    QFile::remove(m_tempBmp);

    if (!m_frame.FramePresent()) {
        m_dlg->SetStatusIcon(false);
        m_dlg->ShowDeviceMissing(true);
        ShowMessage(Text("OFFLINE_TIPS1",
                         "Please plug in your DPF using the provided USB cable \r\nand make "
                         "sure that the device is in \"UPDATE\" mode."));
        if (m_notifier) m_notifier->setEnabled(false);
        m_frame.Reset(nullptr);
        return 0;
    }
    m_dlg->SetStatusIcon(true);
    QMetaObject::invokeMethod(this, &CMainController::OnDpfAttach, Qt::QueuedConnection);
    return -1;
}

void CMainController::WatchPresence() {
    album::CAlbumStore* store = m_frame.PresenceStore();
    if (!store) return;
    device::CCommUSB& link = store->Link();
    // Called on the window thread from inside the link's notification handling: the arrival or removal
    // runs once that has returned.
    link.SetChangeCallback([this](int arrived) {
        QMetaObject::invokeMethod(
            this, [this, arrived] { OnPresenceChanged(arrived != 0); }, Qt::QueuedConnection);
    });
    const int fd = link.NotificationFd();
    if (fd < 0) return;
    // Presence runs on the window thread; the link locks its handle against
    // a worker's commands.
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        if (album::CAlbumStore* presence = m_frame.PresenceStore()) presence->Link().HandleNotification();
    });
}

void CMainController::OnPresenceChanged(bool arrived) { arrived ? OnArrival() : OnRemoval(); }

void CMainController::OnArrival() {
    ++m_generation;
    CleanTemporaryFiles(m_tempFolder);
    m_cachePaths.clear();
    m_sourceFiles.clear();
    m_language->CountLanguages();
    m_dlg->ShowStatus(Text("DEVICEON_TIPS", "DPF Connected!"));
    m_flags.isConnected = true;
    m_albumComplete = false;
    m_dlg->EnableCommands(false);
    CleanPictureCache(m_cacheFolder);
    m_dlg->AlbumList()->DeleteAll();
    m_dlg->SetStatusIcon(true);
    m_dlg->SetCurrentPreviewFile({});
    m_dlg->Tree()->clearSelection();
    QMetaObject::invokeMethod(this, &CMainController::OnDpfAttach, Qt::QueuedConnection);
}

void CMainController::OnRemoval() {
    // A read in progress belongs to the frame that went: it stops, and what
    // it still reports is dropped.
    ++m_generation;
    m_readCancel->store(true);
    m_flags.isConnected = false;
    m_albumComplete = false;
    m_flashSizeKB = 0;
    m_dlg->ShowStatus(Text("DEVICEOFF_TIPS", "DPF Detached!"));
    m_dlg->SetStatusIcon(false);
    m_dlg->SetTotals({});
    m_dlg->ShowDeviceMissing(false);
    m_cachePaths.clear();
    m_flags.isReading = false;
    m_flags.isModified = false;
    ClearPreview();
    m_dlg->Progress()->SetPos(0);
    if (m_progressMode == QLatin1String("OFF")) m_dlg->Progress()->hide();
    Q_EMIT frameRemoved();
}

void CMainController::OnLeaveRequested() {
    switch (DecideLeave(m_flags, m_dlg->Prompt(), m_dlg->Lookup())) {
        case LeaveDecision::Ignore:
        case LeaveDecision::Stay:
            return;
        case LeaveDecision::StopAndClose:
            m_frame.RequestStop();
            m_dlg->ShowStatus(Text("STOPDOWNLOAD_TIPS", "Stopping……"));
            break;
        case LeaveDecision::Close:
            break;
    }
    CleanUpForExit();
    m_dlg->CloseAccepted();
}

void CMainController::CleanUpForExit() {
    CleanPictureCache(m_cacheFolder);
    CleanTemporaryFiles(m_tempFolder);
    m_sourceFiles.clear();
    m_cachePaths.clear();
}

void CMainController::OnContextMenuRequested(const QPoint& globalPos) {
    if (!m_flags.isReading && !m_flags.isSending) m_dlg->PopupContextMenu(globalPos);
}

void CMainController::CheckIdleForQuit() {
    if (m_windowClosed && !WorkerRunning()) Q_EMIT finished();
}

void CMainController::UpdateTotals() {
    TotalsInfo info;
    album::CAlbumStore* store = m_frame.Store();
    info.attached = m_flags.isConnected && store;
    if (info.attached) {
        info.pictureCount = store->GetPictureCount();
        info.maxPictureCount = static_cast<int>(store->GetTotalPicNum());
        info.usedBytes = store->GetUsedEndAddress();
        info.totalBytes = store->GetFlashTotalSize();
    }
    m_dlg->SetTotals(info);
}

void CMainController::ApplyCommandState() {
    m_dlg->EnableCommands(true);
    m_dlg->EnableEditing(m_albumComplete);
}

void CMainController::ClearPreview() {
    if (m_preview) m_preview->ClearPicture();
    m_dlg->SetCurrentPreviewFile({});
}

bool CMainController::LoadPreview(const QString& path, const QString& shownName) {
    if (m_preview && m_preview->SetPicture(path)) {
        m_dlg->SetCurrentPreviewFile(path);
        return true;
    }
    ClearPreview();
    // Named, so that a picture reached by the tree's automatic advance is known.
    ShowMessage(Text("PICDESTROY_TIPS", "The picture is destroyed!") + QLatin1Char('\n') + shownName);
    return false;
}

void CMainController::RebuildLanguageMenu() {
    QList<LanguageMenuEntry> entries;
    for (const config::LanguageMenuItem& item : m_menu.items)
        entries.append({item.id, FromStd(item.text), item.checked});
    m_dlg->SetLanguageMenu(m_menu.hasPopup ? FromStd(m_menu.popupText) : QString(), entries);
}

void CMainController::ApplyLanguage(int commandId) {
    const config::ApplyResult applied = m_language->ApplyLanguage(commandId, m_menu, m_settings->WorkingFile());
    if (!applied.message.empty()) ShowMessage(FromStd(applied.message));
    m_dlg->ApplyTexts();
    RebuildLanguageMenu();
    if (m_frame.Store()) UpdateTotals();
}

}  // namespace fotolume::app
