#pragma once

#include "about_dlg.h"
#include "setting_dlg.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

namespace fotolume::album {
class CAlbumStore;
}

namespace fotolume::app {

class CMainDlg;

// What the Save, SaveAll, Setting and About commands read from the
// controller. Each getter is called when its command runs.
struct SaveSettingsContext {
    std::function<QStringList()> cachePaths;     // cache BMP of each album position
    std::function<QSize()> panelSize;            // the attached frame's panel
    std::function<QString()> languageSection;    // name of the current language section
    std::function<bool()> frameAttached;         // empty: the window's isConnected flag
    std::function<album::CAlbumStore*()> store;  // the album store; may give null
    // The window's colours: read when the dialog opens, written back on OK.
    // Empty: kept here, starting black on white.
    std::function<FrameColors()> colours;
    std::function<void(const FrameColors&)> setColours;
    std::function<void()> updateTotals;          // empty: the totals keep their values
    std::function<AboutInfo()> aboutInfo;        // empty: defaults with the window's title
};

// Connects the window's Save, SaveAll, Setting and About commands.
void InstallSaveAndSettings(CMainDlg& window, SaveSettingsContext context);

} // namespace fotolume::app
