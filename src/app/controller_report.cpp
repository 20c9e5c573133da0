// How a worker's reports reach the window: queued calls on the controller, never a wait.
#include <QMetaObject>

#include "app/controller.h"
#include "app/text_progress_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "app/window_report.h"
#include "compose/preview.h"

namespace fotolume::app {

CMainController::CWindowReport::CWindowReport(CMainController* controller, int generation)
    : m_controller(controller), m_generation(generation) {}

void CMainController::CWindowReport::ShowTotalsText(const QString& text) {
    Post([text](CMainController& c) { c.m_dlg->ShowTotalsText(text); });
}

void CMainController::CWindowReport::ShowStatus(const QString& text) {
    Post([text](CMainController& c) { c.m_dlg->ShowStatus(text); });
}

void CMainController::CWindowReport::SetProgress(int percent) {
    Post([percent](CMainController& c) { c.m_dlg->Progress()->SetPos(percent); });
}

void CMainController::CWindowReport::ClearAlbumView() {
    Post([](CMainController& c) {
        c.m_dlg->AlbumList()->DeleteAll();
        c.m_cachePaths.clear();
    });
}

void CMainController::CWindowReport::ConnectChecked(const ConnectInfo& info) {
    Post([info](CMainController& c) { c.ApplyConnectInfo(info); });
}

void CMainController::CWindowReport::AlbumHeaderRead(const QColor& font, const QColor& background, int flashSizeKB) {
    Post([font, background, flashSizeKB](CMainController& c) {
        c.m_fontColour = font;
        c.m_backgroundColour = background;
        c.m_flashSizeKB = flashSizeKB;
    });
}

void CMainController::CWindowReport::AppendPicture(const QString& cachePath, const QImage& bitmap,
                                                   const QString& caption) {
    Post([cachePath, bitmap, caption](CMainController& c) { c.AppendAlbumPicture(cachePath, bitmap, caption); });
}

void CMainController::CWindowReport::AppendUnreadable(const QString& caption) {
    Post([caption](CMainController& c) { c.AppendAlbumPicture({}, {}, caption); });
}

void CMainController::CWindowReport::PreviewFileChosen(const QString& path) {
    Post([path](CMainController& c) { c.m_dlg->SetCurrentPreviewFile(path); });
}

void CMainController::CWindowReport::AlbumModified() {
    Post([](CMainController& c) { c.m_flags.isModified = true; });
}

void CMainController::CWindowReport::Post(std::function<void(CMainController&)> call) {
    CMainController* controller = m_controller;
    const int generation = m_generation;
    QMetaObject::invokeMethod(
        controller,
        [controller, generation, call = std::move(call)] {
            if (controller->m_generation == generation) call(*controller);
        },
        Qt::QueuedConnection);
}

void CMainController::ApplyConnectInfo(const ConnectInfo& info) {
    if (info.hasFirmware) m_firmwareVersion = info.firmwareVersion;
    if (!info.ok) return;
    m_panelWidth = info.panelWidth;
    m_panelHeight = info.panelHeight;
    if (m_preview) m_preview->SetRectSize(m_panelWidth, m_panelHeight);
    CThumbListCtrl* list = m_dlg->AlbumList();
    list->SetUp(
        ComputeThumbGeometry(info.thumbWidth, info.thumbColumn, m_panelWidth, m_panelHeight, list->GridWidth()));
}

void CMainController::AppendAlbumPicture(const QString& cachePath, const QImage& bitmap, const QString& caption) {
    CThumbListCtrl* list = m_dlg->AlbumList();
    if (!list->HasImageList()) list->SetUp(ComputeThumbGeometry(0, 0, m_panelWidth, m_panelHeight, list->GridWidth()));
    if (cachePath.isEmpty() || !list->AddBitmap(bitmap, caption)) {
        list->AddUnreadable(caption);
        m_cachePaths.append(QString());
    } else {
        m_cachePaths.append(cachePath);
    }
    list->EnsureItemVisible(list->count() - 1);
}

void CMainController::JoinWorker() {
    // Called from a worker's completion, its last report: the thread has nothing left to wait for.
    if (m_worker.joinable()) m_worker.join();
}

}  // namespace fotolume::app
