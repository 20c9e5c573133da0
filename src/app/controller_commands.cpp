// Save, SaveAll, Setting and About: the commands that run a dialog over the window.
#include "album/album_store.h"
#include "app/about_dlg.h"
#include "app/controller.h"
#include "app/save_export.h"
#include "app/setting_dlg.h"
#include "app/thumb_list_ctrl.h"

namespace fotolume::app {

namespace {

SaveJob MakeSaveJob(CMainDlg& window, const QStringList& cachePaths, QSize panel, const QString& section,
                    const AppFlags& flags) {
    SaveJob job;
    job.cachePaths = cachePaths;
    job.selected = window.AlbumList()->SelectedIndices();
    job.panel = panel;
    job.prompt = &window.Prompt();
    job.lookup = window.Lookup();
    job.languageSection = section;
    job.frameAttached = [&flags] { return flags.isConnected; };
    return job;
}

}  // namespace

void CMainController::OnSave() {
    if (m_flags.isAddingBatch) return;
    const auto section = m_language ? m_language->CurrentSection() : std::nullopt;
    SaveSelected(MakeSaveJob(*m_dlg, m_cachePaths, PanelSize(), section ? QString::fromStdString(*section) : QString(),
                             m_flags));
}

void CMainController::OnSaveAll() {
    if (m_flags.isReading || m_flags.isAddingBatch) return;
    const auto section = m_language ? m_language->CurrentSection() : std::nullopt;
    SaveAllPictures(MakeSaveJob(*m_dlg, m_cachePaths, PanelSize(),
                                section ? QString::fromStdString(*section) : QString(), m_flags));
}

void CMainController::OnSetting() {
    if (WorkerRunning() || !m_albumComplete) return;
    const std::optional<FrameColors> chosen = AskFrameColors(*m_dlg, FrameColors{m_fontColour, m_backgroundColour});
    // The dialog's own event loop may have seen the frame go.
    album::CAlbumStore* store = m_frame.Store();
    if (!chosen || !store || !m_flags.isConnected || WorkerRunning() || !MayWrite(*store)) return;
    m_fontColour = chosen->font;
    m_backgroundColour = chosen->background;
    ApplyFrameColors(*m_dlg, store, *chosen, [this] { UpdateTotals(); });
}

void CMainController::OnAbout() {
    AboutInfo info;
    info.title = m_dlg->Title();
    info.corpLink = m_corpLink;
    if (m_settings) info.copyRightTips = QString::fromStdString(m_settings->ReadWorking("CopyRightTips", ""));
    info.flashSizeKB = m_flashSizeKB;
    info.firmwareVersion = m_firmwareVersion;
    CAboutDlg about(info, m_dlg.get());
    about.exec();
}

}  // namespace fotolume::app
