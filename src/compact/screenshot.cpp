#include "compact/screenshot.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTreeWidget>

#include <cstdio>

#include "compact/compact_controller.h"
#include "compact/compact_globals.h"
#include "compact/file_browser.h"
#include "compact/mac_window.h"
#include "compose/picture_loader.h"

namespace fotolume::compact {

namespace {

void WaitIdle(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (!gmyIsTransferData && timer.elapsed() > 300) break;
    }
    QCoreApplication::processEvents();
}

}  // namespace

void TakeScreenshot(CMacWindow& window, const ScreenshotRequest& request) {
    WaitIdle(20000);
    if (!request.picture.isEmpty()) {
        const QImage picture = compose::LoadSourcePicture(request.picture);
        if (!picture.isNull()) {
            // Picked in the browser as a user would, when the browser reaches it.
            const int item = window.Browser() ? window.Browser()->Reveal(request.picture) : -1;
            if (item >= 0) {
                window.Browser()->SelectOnly(item);
            } else {
                window.ShowPicture(picture, -1);
            }
            for (int i = 0; i < request.adds; ++i) MyAddButtonHandler();
            if (request.download) {
                MyDownLoadButtonHandler();
                WaitIdle(20000);
            }
            QTreeWidget* album = window.AlbumList();
            if (album->topLevelItemCount() > 0) album->topLevelItem(album->topLevelItemCount() - 1)->setSelected(true);
        }
    }
    WaitIdle(500);
    const bool saved = window.grab().save(request.path, "PNG");
    if (!saved) std::fprintf(stderr, "MacFotolume: cannot write %s\n", request.path.toLocal8Bit().constData());
    QCoreApplication::exit(saved ? 0 : 1);
}

}  // namespace fotolume::compact
