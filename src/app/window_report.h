// The controller's side of a worker's reports: each one a queued call on the window thread, dropped when
// the frame the worker started on has gone since.
#pragma once

#include <functional>

#include "app/controller.h"
#include "app/worker_report.h"

namespace fotolume::app {

class CMainController::CWindowReport : public IWorkerReport {
public:
    CWindowReport(CMainController* controller, int generation);

    void ShowTotalsText(const QString& text) override;
    void ShowStatus(const QString& text) override;
    void SetProgress(int percent) override;
    void ClearAlbumView() override;
    void ConnectChecked(const ConnectInfo& info) override;
    void AlbumHeaderRead(const QColor& font, const QColor& background, int flashSizeKB) override;
    void AppendPicture(const QString& cachePath, const QImage& bitmap, const QString& caption) override;
    void AppendUnreadable(const QString& caption) override;
    void PreviewFileChosen(const QString& path) override;
    void AlbumModified() override;

private:
    void Post(std::function<void(CMainController&)> call);

    CMainController* m_controller;
    int m_generation;
};

}  // namespace fotolume::app
