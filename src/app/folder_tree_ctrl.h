// CFolderTreeCtrl: the folder tree of computer, desktop and pictures, whose picture files feed the preview.
#pragma once

#include <QFileIconProvider>
#include <QString>
#include <QStringList>
#include <QTreeWidget>

#include "app/text_lookup.h"

namespace fotolume::app {

// The folder browser: the computer's volumes, the desktop and the pictures
// folder, with picture files as leaves. A folder's children are read from
// disk each time it is expanded and thrown away when it is collapsed.
// Folder paths always end in "/"; a file's full path is its folder's path
// followed by its caption.
class CFolderTreeCtrl : public QTreeWidget {
    Q_OBJECT

public:
    enum class ItemKind { Placeholder, Computer, Desktop, Pictures, Drive, Folder, File };

    struct Root {
        QString path;
        QString caption;
    };

    explicit CFolderTreeCtrl(QWidget* parent = nullptr);

    // Folders shown under the computer root instead of the mounted volumes.
    void SetComputerRoots(const QStringList& roots);
    // Desktop and pictures folders instead of the user's standard ones.
    void SetSpecialFolders(const QString& desktop, const QString& pictures);

    void BuildRoots();
    // Captions of the three roots from the current language.
    void SetRootCaptions(const TextLookup& lookup);

    QString GetItemPath(const QTreeWidgetItem* item, const QString& suffix = {}) const;
    // Empty for no item or an item with an empty caption.
    QString GetItemFolder(const QTreeWidgetItem* item) const;
    // A file's folder plus its caption; a folder's own path.
    QString GetItemFullPath(const QTreeWidgetItem* item) const;
    static ItemKind GetItemKind(const QTreeWidgetItem* item);

    QTreeWidgetItem* ComputerRoot() const { return m_computerRoot; }
    QTreeWidgetItem* DesktopRoot() const { return m_desktopRoot; }
    QTreeWidgetItem* PicturesRoot() const { return m_picturesRoot; }
    static QTreeWidgetItem* FindChild(const QTreeWidgetItem* parent, const QString& caption);
    const QList<Root>& ComputerRootList() const { return m_drives; }

    // The picture item last reported by a selection change or click.
    QTreeWidgetItem* SourceItem() const { return m_sourceItem; }
    // Moves the selection to the next picture after the source item, wrapping
    // to the first child of its folder when it is the last one; clears the
    // selection when none follows. True when a picture was selected.
    bool SelectNextPicture();

    // The four-character rule for files shown in the tree.
    static bool IsTreePictureName(const QString& name);
    // Whether a full path is one the window previews.
    static bool IsPreviewPath(const QString& path);
    // Whether a double-click on an item with this caption adds it.
    static bool IsAddCaption(const QString& caption);
    // Inserts before the first entry that is greater, ignoring case; equal
    // entries keep their arrival order.
    static void InsertSorted(QStringList& sorted, const QString& path);

    virtual void DeleteChildren(QTreeWidgetItem* item, bool addPlaceholder);
    virtual void AddPathItems(const QStringList& paths, QTreeWidgetItem* parent);

Q_SIGNALS:
    // A picture file was selected or clicked.
    void pictureChosen(const QString& fullPath);
    // A picture file was double-clicked: the window adds it.
    void addRequested(const QString& fullPath);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void OnExpanded(QTreeWidgetItem* item);
    void OnCollapsed(QTreeWidgetItem* item);
    void OnCurrentChanged(QTreeWidgetItem* current);
    void OnClicked(QTreeWidgetItem* item);
    void Report(QTreeWidgetItem* item);
    QTreeWidgetItem* InsertPathItem(QTreeWidgetItem* parent, const QString& path, ItemKind kind,
                                    const QString& caption = {});
    QList<Root> MountedVolumes() const;

    QFileIconProvider m_icons;
    QString m_currentFolder;
    QString m_desktopPath;
    QString m_picturesPath;
    QStringList m_injectedRoots;
    bool m_rootsInjected = false;
    bool m_specialInjected = false;
    QList<Root> m_drives;
    QTreeWidgetItem* m_computerRoot = nullptr;
    QTreeWidgetItem* m_desktopRoot = nullptr;
    QTreeWidgetItem* m_picturesRoot = nullptr;
    QTreeWidgetItem* m_sourceItem = nullptr;
    bool m_reportedOnPress = false;
};

}  // namespace fotolume::app
