#include "save_settings_wiring.h"

#include "main_dlg.h"
#include "save_export.h"
#include "thumb_list_ctrl.h"

#include <memory>

namespace fotolume::app {

namespace {

SaveJob MakeJob(CMainDlg& window, const SaveSettingsContext& context)
{
    SaveJob job;
    job.cachePaths = context.cachePaths ? context.cachePaths() : QStringList();
    job.selected = window.AlbumList()->SelectedIndices();
    job.panel = context.panelSize ? context.panelSize() : QSize();
    job.prompt = &window.Prompt();
    job.lookup = window.Lookup();
    job.languageSection = context.languageSection ? context.languageSection() : QString();
    if (context.frameAttached)
        job.frameAttached = context.frameAttached;
    else
        job.frameAttached = [&window] { return window.Flags().isConnected; };
    return job;
}

struct Wiring {
    SaveSettingsContext context;
    FrameColors ownColours; // used when the controller keeps none

    FrameColors Colours() const { return context.colours ? context.colours() : ownColours; }
    void SetColours(const FrameColors& colours)
    {
        if (context.setColours)
            context.setColours(colours);
        else
            ownColours = colours;
    }
};

} // namespace

void InstallSaveAndSettings(CMainDlg& window, SaveSettingsContext context)
{
    auto shared = std::make_shared<Wiring>();
    shared->context = std::move(context);
    CMainDlg* win = &window;

    QObject::connect(win, &CMainDlg::saveRequested, win, [win, shared] {
        if (win->Flags().isAddingBatch)
            return;
        SaveSelected(MakeJob(*win, shared->context));
    });
    QObject::connect(win, &CMainDlg::saveAllRequested, win, [win, shared] {
        if (win->Flags().isReading || win->Flags().isAddingBatch)
            return;
        SaveAllPictures(MakeJob(*win, shared->context));
    });
    QObject::connect(win, &CMainDlg::settingRequested, win, [win, shared] {
        const SaveSettingsContext& context = shared->context;
        album::CAlbumStore* store = context.store ? context.store() : nullptr;
        FrameColors colours = shared->Colours();
        if (RunSettingDialog(*win, store, colours, context.updateTotals))
            shared->SetColours(colours);
    });
    QObject::connect(win, &CMainDlg::aboutRequested, win, [win, shared] {
        AboutInfo info;
        if (shared->context.aboutInfo)
            info = shared->context.aboutInfo();
        else
            info.title = win->Title();
        CAboutDlg about(info, win);
        about.exec();
    });
}

} // namespace fotolume::app
