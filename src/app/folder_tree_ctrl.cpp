#include "app/folder_tree_ctrl.h"

#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QStorageInfo>

namespace fotolume::app {

namespace {

constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kPathRole = Qt::UserRole + 2;

QString WithSlash(const QString& path) { return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/'); }

QString LastComponent(const QString& path) {
    QString trimmed = path;
    while (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/'))) trimmed.chop(1);
    const qsizetype slash = trimmed.lastIndexOf(QLatin1Char('/'));
    const QString name = trimmed.mid(slash + 1);
    return name.isEmpty() ? trimmed : name;
}

bool ContainsAny(const QString& text, std::initializer_list<const char*> needles) {
    for (const char* needle : needles) {
        if (text.contains(QLatin1String(needle))) return true;
    }
    return false;
}

}  // namespace

CFolderTreeCtrl::CFolderTreeCtrl(QWidget* parent) : QTreeWidget(parent) {
    setHeaderHidden(true);
    setColumnCount(1);
    setRootIsDecorated(true);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // No context menu here, and the window's own menu must not open over the tree.
    setContextMenuPolicy(Qt::PreventContextMenu);
    connect(this, &QTreeWidget::itemExpanded, this, &CFolderTreeCtrl::OnExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CFolderTreeCtrl::OnCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current, QTreeWidgetItem*) { OnCurrentChanged(current); });
    connect(this, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) { OnClicked(item); });
    BuildRoots();
}

void CFolderTreeCtrl::SetComputerRoots(const QStringList& roots) {
    m_injectedRoots = roots;
    m_rootsInjected = true;
}

void CFolderTreeCtrl::SetSpecialFolders(const QString& desktop, const QString& pictures) {
    m_desktopPath = desktop;
    m_picturesPath = pictures;
    m_specialInjected = true;
}

QList<CFolderTreeCtrl::Root> CFolderTreeCtrl::MountedVolumes() const {
    QList<Root> roots;
    if (m_rootsInjected) {
        for (const QString& path : m_injectedRoots) roots.append({WithSlash(path), LastComponent(path)});
        return roots;
    }
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        // Package images (snaps) are mounted read-only file systems, not places for pictures.
        if (volume.fileSystemType() == "squashfs") continue;
        const QString name = volume.name().isEmpty() ? volume.displayName() : volume.name();
        roots.append({WithSlash(volume.rootPath()), name});
    }
    return roots;
}

void CFolderTreeCtrl::BuildRoots() {
    m_sourceItem = nullptr;
    clear();
    m_computerRoot = m_desktopRoot = m_picturesRoot = nullptr;
    if (!m_specialInjected) {
        m_desktopPath = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
        m_picturesPath = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    }

    m_computerRoot = new QTreeWidgetItem(this, QStringList(QStringLiteral("My Computer")));
    m_computerRoot->setData(0, kKindRole, static_cast<int>(ItemKind::Computer));
    m_computerRoot->setIcon(0, m_icons.icon(QFileIconProvider::Computer));
    DeleteChildren(m_computerRoot, true);

    m_desktopRoot = InsertPathItem(nullptr, m_desktopPath, ItemKind::Desktop);
    m_desktopRoot->setIcon(0, m_icons.icon(QFileIconProvider::Desktop));
    m_picturesRoot = InsertPathItem(nullptr, m_picturesPath, ItemKind::Pictures);
}

void CFolderTreeCtrl::SetRootCaptions(const TextLookup& lookup) {
    if (m_computerRoot) m_computerRoot->setText(0, lookup("MY_COMPUTER", "My Computer"));
    if (m_desktopRoot) m_desktopRoot->setText(0, lookup("DESK_TOP", "Desktop"));
    if (m_picturesRoot) m_picturesRoot->setText(0, lookup("MY_PICTURE", "My Picture"));
}

QTreeWidgetItem* CFolderTreeCtrl::InsertPathItem(QTreeWidgetItem* parent, const QString& path, ItemKind kind,
                                                 const QString& caption) {
    QString text = caption.isEmpty() ? LastComponent(path) : caption;
    auto* item = parent ? new QTreeWidgetItem(parent, QStringList(text)) : new QTreeWidgetItem(this, QStringList(text));
    item->setData(0, kKindRole, static_cast<int>(kind));
    item->setData(0, kPathRole, path);
    switch (kind) {
        case ItemKind::Drive:
            item->setIcon(0, m_icons.icon(QFileIconProvider::Drive));
            break;
        case ItemKind::File:
            item->setIcon(0, m_icons.icon(QFileIconProvider::File));
            break;
        default:
            item->setIcon(0, m_icons.icon(QFileIconProvider::Folder));
            break;
    }
    if (kind != ItemKind::File) DeleteChildren(item, true);
    return item;
}

void CFolderTreeCtrl::DeleteChildren(QTreeWidgetItem* item, bool addPlaceholder) {
    if (!item) return;
    for (const QTreeWidgetItem* up = m_sourceItem; up; up = up->parent()) {
        if (up->parent() == item) {
            m_sourceItem = nullptr;
            break;
        }
    }
    qDeleteAll(item->takeChildren());
    if (addPlaceholder) {
        auto* placeholder = new QTreeWidgetItem(item, QStringList(QString()));
        placeholder->setData(0, kKindRole, static_cast<int>(ItemKind::Placeholder));
    }
}

void CFolderTreeCtrl::AddPathItems(const QStringList& paths, QTreeWidgetItem* parent) {
    for (const QString& path : paths) InsertPathItem(parent, path, ItemKind::File);
}

void CFolderTreeCtrl::InsertSorted(QStringList& sorted, const QString& path) {
    const QString key = path.toLower();
    for (qsizetype i = 0; i < sorted.size(); ++i) {
        if (sorted[i].toLower() > key) {
            sorted.insert(i, path);
            return;
        }
    }
    sorted.append(path);
}

bool CFolderTreeCtrl::IsTreePictureName(const QString& name) {
    const QString tail = name.right(4).toLower();
    return tail == QLatin1String(".bmp") || tail == QLatin1String(".jpg") || tail == QLatin1String("jpeg") ||
           tail == QLatin1String(".gif");
}

bool CFolderTreeCtrl::IsPreviewPath(const QString& path) {
    return ContainsAny(path.toLower(), {".bmp", ".jpg", ".jpeg", ".gif"});
}

bool CFolderTreeCtrl::IsAddCaption(const QString& caption) {
    return ContainsAny(caption.right(5).toLower(), {".bmp", ".jpg", ".jpeg", ".gif", ".png", ".tif"});
}

void CFolderTreeCtrl::OnExpanded(QTreeWidgetItem* item) {
    QStringList sorted;
    if (item == m_computerRoot) {
        DeleteChildren(item, false);
        m_drives = MountedVolumes();
        for (const Root& drive : m_drives) InsertPathItem(item, drive.path, ItemKind::Drive, drive.caption);
        return;
    }

    m_currentFolder = GetItemPath(item);
    DeleteChildren(item, false);
    if (m_currentFolder.isEmpty()) return;
    // A folder that cannot be read simply shows no children.
    const QDir folder(m_currentFolder);
    const QFileInfoList entries = folder.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        if (entry.isDir()) InsertSorted(sorted, m_currentFolder + entry.fileName());
    }
    for (const QString& path : sorted) InsertPathItem(item, path, ItemKind::Folder);

    sorted.clear();
    for (const QFileInfo& entry : entries) {
        if (!entry.isDir() && IsTreePictureName(entry.fileName()))
            InsertSorted(sorted, m_currentFolder + entry.fileName());
    }
    AddPathItems(sorted, item);
}

void CFolderTreeCtrl::OnCollapsed(QTreeWidgetItem* item) { DeleteChildren(item, true); }

CFolderTreeCtrl::ItemKind CFolderTreeCtrl::GetItemKind(const QTreeWidgetItem* item) {
    if (!item) return ItemKind::Placeholder;
    return static_cast<ItemKind>(item->data(0, kKindRole).toInt());
}

QString CFolderTreeCtrl::GetItemPath(const QTreeWidgetItem* item, const QString& suffix) const {
    if (!item) return {};
    switch (GetItemKind(item)) {
        case ItemKind::Placeholder:
        case ItemKind::Computer:
            return {};
        case ItemKind::File:
            return GetItemPath(item->parent(), suffix);
        case ItemKind::Drive:
            return WithSlash(item->data(0, kPathRole).toString()) + suffix;
        case ItemKind::Desktop:
            return m_desktopPath.isEmpty() ? QString() : WithSlash(m_desktopPath) + suffix;
        case ItemKind::Pictures:
            return m_picturesPath.isEmpty() ? QString() : WithSlash(m_picturesPath) + suffix;
        case ItemKind::Folder: {
            const QString caption = item->text(0);
            const QString inner = caption.isEmpty() ? suffix : caption + QLatin1Char('/') + suffix;
            return GetItemPath(item->parent(), inner);
        }
    }
    return {};
}

QString CFolderTreeCtrl::GetItemFolder(const QTreeWidgetItem* item) const {
    if (!item || item->text(0).isEmpty()) return {};
    return GetItemPath(item);
}

QString CFolderTreeCtrl::GetItemFullPath(const QTreeWidgetItem* item) const {
    const QString folder = GetItemFolder(item);
    if (folder.isEmpty()) return {};
    return GetItemKind(item) == ItemKind::File ? folder + item->text(0) : folder;
}

QTreeWidgetItem* CFolderTreeCtrl::FindChild(const QTreeWidgetItem* parent, const QString& caption) {
    if (!parent) return nullptr;
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == caption) return parent->child(i);
    }
    return nullptr;
}

void CFolderTreeCtrl::Report(QTreeWidgetItem* item) {
    if (GetItemKind(item) != ItemKind::File) return;
    const QString path = GetItemFullPath(item);
    if (!IsPreviewPath(path)) return;
    m_sourceItem = item;
    Q_EMIT pictureChosen(path);
}

void CFolderTreeCtrl::OnCurrentChanged(QTreeWidgetItem* current) {
    m_reportedOnPress = true;
    Report(current);
}

void CFolderTreeCtrl::OnClicked(QTreeWidgetItem* item) {
    // A click that also changed the selection has been reported already.
    if (!m_reportedOnPress) Report(item);
}

bool CFolderTreeCtrl::SelectNextPicture() {
    QTreeWidgetItem* source = m_sourceItem;
    if (!source || !source->parent()) return false;
    QTreeWidgetItem* parent = source->parent();
    int index = parent->indexOfChild(source) + 1;
    if (index >= parent->childCount()) index = 0;
    for (; index < parent->childCount(); ++index) {
        QTreeWidgetItem* candidate = parent->child(index);
        if (GetItemKind(candidate) == ItemKind::File && IsPreviewPath(candidate->text(0))) {
            setCurrentItem(candidate);
            return true;
        }
    }
    setCurrentItem(nullptr);
    clearSelection();
    return false;
}

void CFolderTreeCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    m_reportedOnPress = false;
    QTreeWidget::mousePressEvent(event);
}

void CFolderTreeCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        // The item under the pointer: the first click of the pair selected it.
        // A double-click on empty space adds nothing.
        QTreeWidgetItem* hit = itemAt(event->position().toPoint());
        if (GetItemKind(hit) == ItemKind::File && IsAddCaption(hit->text(0))) Q_EMIT addRequested(GetItemFullPath(hit));
    }
    QTreeWidget::mouseDoubleClickEvent(event);
}

}  // namespace fotolume::app
