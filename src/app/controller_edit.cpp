// Editing the album in memory: the single add, Delete, Select all, the album
// list click, the folder tree and dropped files.
#include "controller.h"

#include "album_add.h"
#include "app_folders.h"
#include "app_messages.h"
#include "drop_queue.h"
#include "folder_tree_ctrl.h"
#include "thumb_list_ctrl.h"

#include "album/album_store.h"
#include "preview.h"

#include <QFile>
#include <QImage>

#include <algorithm>

namespace fotolume::app {

bool CMainController::SingleAdd()
{
    if (m_dlg->CurrentPreviewFile().isEmpty() || !m_preview)
        return false;
    album::CAlbumStore* store = m_frame.Store();
    if (!store)
        return false;
    const QString path = NextCachePath(m_cacheFolder);
    const QImage crop = m_preview->GetCropBitmap();
    const AddPictureOutcome added = AddPanelToAlbum(*store, crop, path, m_streamFile, m_jpgQuality);
    if (added.result != 0) {
        // The refused picture leaves no file behind in the cache.
        QFile::remove(path);
        ShowMessage(Text("MEMFULL_TIPS_1", "The maximum number of images has been reached.  Delete some images "
                                           "before adding any more."));
        if (!m_frame.FramePresent())
            PostAppMessage(m_dlg.get(), QString::fromLatin1(msg::kUsbDeviceChange), 0);
        return false;
    }
    AppendAlbumPicture(path, QImage(path), QString::asprintf("%04d.bmp", store->GetPictureCount()));
    UpdateTotals();
    AfterSingleAdd();
    return true;
}

void CMainController::AfterSingleAdd()
{
    Flags().isModified = true;
    CThumbListCtrl* list = m_dlg->AlbumList();
    list->setFocus();
    list->EnsureItemVisible(list->count() - 1);
    // Moving the selection previews the next picture through the tree's own report.
    if (Flags().autoAdvance && !Flags().isAddingBatch)
        m_dlg->Tree()->SelectNextPicture();
}

void CMainController::OnDelete()
{
    CThumbListCtrl* list = m_dlg->AlbumList();
    album::CAlbumStore* store = m_frame.Store();
    QList<int> selected = list->SelectedIndices();
    if (selected.isEmpty()) {
        ShowMessage(Text("DELETE_TIPS_1", "Please select at least a pic before you delete it!"));
        return;
    }
    if (!store || !m_dlg->Prompt().AskYesNo(Text("DELETE_TIPS_2", "Delete the selected photo(s) YES NO?")))
        return;
    std::sort(selected.begin(), selected.end());
    for (auto it = selected.crbegin(); it != selected.crend(); ++it) {
        const int index = *it;
        list->DeleteItem(index);
        store->DeletePicture(index);
        if (index < m_cachePaths.size()) {
            QFile::remove(m_cachePaths.at(index));
            m_cachePaths.removeAt(index);
        }
    }
    list->Relayout();
    UpdateTotals();
    for (int i = 0; i < list->count(); ++i)
        list->SetItemCaption(i, QString::asprintf("%04d.bmp", i + 1));
    Flags().isModified = true;

    if (!m_cachePaths.isEmpty()) {
        if (!m_preview || !m_preview->SetPicture(m_cachePaths.constLast())) {
            ClearPreview();
            ShowMessage(Text("PICDESTROY_TIPS", "The picture is destroyed!"));
        } else {
            // The album picture shown now is nothing to add.
            m_dlg->SetCurrentPreviewFile(m_cachePaths.constLast());
        }
    } else {
        ClearPreview();
    }
}

void CMainController::OnSelectAll()
{
    if (Flags().isAddingBatch)
        return;
    m_dlg->AlbumList()->SelectAllItems();
}

void CMainController::OnAlbumClicked()
{
    const QList<int> selected = m_dlg->AlbumList()->SelectedIndices();
    if (selected.size() != 1)
        return;
    const int index = selected.constFirst();
    if (index < 0 || index >= m_cachePaths.size())
        return;
    LoadPreview(m_cachePaths.at(index));
}

void CMainController::OnTreePictureChosen(const QString& path)
{
    if (!CFolderTreeCtrl::IsPreviewPath(path))
        return;
    LoadPreview(path);
}

void CMainController::OnTreeAddRequested(const QString& path)
{
    if (m_dlg->CurrentPreviewFile() != path && !LoadPreview(path))
        return;
    // The tree's own double-click keeps its selection where it is.
    Flags().autoAdvance = false;
    SingleAdd();
    Flags().autoAdvance = true;
}

void CMainController::OnFilesDropped(const QStringList& paths)
{
    const AppFlags& flags = Flags();
    if (!flags.isConnected || flags.isAddingBatch || flags.isReading || flags.isSending)
        return;
    Flags().isAddingBatch = true;
    m_dlg->EnableCommands(false);
    m_sourceFiles = CollectDroppedFiles(paths);
    PostAppMessage(m_dlg.get(), QString::fromLatin1(msg::kReceivePic));
}

} // namespace fotolume::app
