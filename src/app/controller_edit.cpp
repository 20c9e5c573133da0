// Editing the album in memory: the single add, Delete, Select all, the album
// list click, the folder tree and dropped files.
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMetaObject>
#include <algorithm>

#include "album/album_store.h"
#include "app/album_add.h"
#include "app/app_folders.h"
#include "app/controller.h"
#include "app/drop_queue.h"
#include "app/folder_tree_ctrl.h"
#include "app/thumb_list_ctrl.h"
#include "compose/preview.h"

namespace fotolume::app {

bool CMainController::SingleAdd() {
    if (m_dlg->CurrentPreviewFile().isEmpty() || !m_preview || !m_albumComplete) return false;
    album::CAlbumStore* store = m_frame.Store();
    if (!store) return false;
    const QString path = NextCachePath(m_cacheFolder);
    const QImage crop = m_preview->GetCropBitmap();
    const AddPictureOutcome added = AddPanelToAlbum(*store, crop, path, m_streamFile, m_jpgQuality);
    if (added.result != 0) {
        // The refused picture leaves no file behind in the cache.
        QFile::remove(path);
        ShowMessage(Text("MEMFULL_TIPS_1",
                         "The maximum number of images has been reached.  Delete some images "
                         "before adding any more."));
        if (!m_frame.FramePresent() && m_flags.isConnected) OnRemoval();
        return false;
    }
    AppendAlbumPicture(path, QImage(path), QString::asprintf("%04d.bmp", store->GetPictureCount()));
    UpdateTotals();
    AfterSingleAdd();
    return true;
}

void CMainController::AfterSingleAdd() {
    m_flags.isModified = true;
    CThumbListCtrl* list = m_dlg->AlbumList();
    list->setFocus();
    list->EnsureItemVisible(list->count() - 1);
    // Moving the selection previews the next picture through the tree's own report.
    if (m_flags.autoAdvance && !m_flags.isAddingBatch) m_dlg->Tree()->SelectNextPicture();
}

void CMainController::OnDelete() {
    CThumbListCtrl* list = m_dlg->AlbumList();
    QList<int> selected = list->SelectedIndices();
    if (selected.isEmpty()) {
        ShowMessage(Text("DELETE_TIPS_1", "Please select at least a pic before you delete it!"));
        return;
    }
    if (!m_albumComplete || !m_frame.Store() ||
        !m_dlg->Prompt().AskYesNo(Text("DELETE_TIPS_2", "Delete the selected photo(s) YES NO?")))
        return;
    // The question's own event loop may have seen the frame go or the selection change: delete what is
    // selected now, in the album that is there now.
    album::CAlbumStore* store = m_frame.Store();
    selected = list->SelectedIndices();
    if (!store || !m_albumComplete || selected.isEmpty() || list->count() != store->GetPictureCount()) return;
    std::sort(selected.begin(), selected.end());
    for (auto it = selected.crbegin(); it != selected.crend(); ++it) {
        const int index = *it;
        list->DeleteItem(index);
        store->DeletePicture(index);
        if (index < m_cachePaths.size()) {
            if (!m_cachePaths.at(index).isEmpty()) QFile::remove(m_cachePaths.at(index));
            m_cachePaths.removeAt(index);
        }
    }
    list->Relayout();
    UpdateTotals();
    for (int i = 0; i < list->count(); ++i) list->SetItemCaption(i, QString::asprintf("%04d.bmp", i + 1));
    m_flags.isModified = true;

    const QString last = m_cachePaths.isEmpty() ? QString() : m_cachePaths.constLast();
    if (last.isEmpty() || !m_preview || !m_preview->SetPicture(last))
        ClearPreview();
    else
        // The album picture shown now is nothing to add.
        m_dlg->SetCurrentPreviewFile(last);
}

void CMainController::OnSelectAll() {
    if (m_flags.isAddingBatch) return;
    m_dlg->AlbumList()->SelectAllItems();
}

void CMainController::OnAlbumClicked() {
    const QList<int> selected = m_dlg->AlbumList()->SelectedIndices();
    if (selected.size() != 1) return;
    const int index = selected.constFirst();
    if (index < 0 || index >= m_cachePaths.size()) return;
    // A picture that cannot be shown is shown as its tile already.
    if (m_cachePaths.at(index).isEmpty()) {
        ClearPreview();
        return;
    }
    LoadPreview(m_cachePaths.at(index), m_dlg->AlbumList()->GetItemCaption(index));
}

void CMainController::OnTreePictureChosen(const QString& path) {
    if (!CFolderTreeCtrl::IsPreviewPath(path)) return;
    LoadPreview(path, path);
}

void CMainController::OnTreeAddRequested(const QString& path) {
    if (m_dlg->CurrentPreviewFile() != path && !LoadPreview(path, path)) return;
    // The tree's own double-click keeps its selection where it is.
    m_flags.autoAdvance = false;
    SingleAdd();
    m_flags.autoAdvance = true;
}

void CMainController::OnFilesDropped(const QStringList& paths) {
    if (!m_flags.isConnected || m_flags.isAddingBatch || m_flags.isReading || m_flags.isSending || !m_albumComplete)
        return;
    m_flags.isAddingBatch = true;
    m_dlg->EnableCommands(false);
    m_sourceFiles = CollectDroppedFiles(paths);
    QMetaObject::invokeMethod(this, &CMainController::OnReceivePic, Qt::QueuedConnection);
}

}  // namespace fotolume::app
