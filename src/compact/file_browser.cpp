#include "compact/file_browser.h"

#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHeaderView>
#include <QImageReader>
#include <QStorageInfo>
#include <QTreeWidgetItemIterator>

#include <algorithm>

namespace fotolume::compact {

namespace {

constexpr int kIndexRole = Qt::UserRole + 1;
constexpr int kFirstVolumeId = 2;

// Left out of the first volume's listing: system folders nobody keeps pictures in.
bool SkippedInFirstVolume(const QString& name) {
    return name == QLatin1String("tmp") || name == QLatin1String("etc") || name == QLatin1String("var") ||
           name == QLatin1String("Network");
}

QIcon IconFor(const QFileInfo& info, bool container) {
    static QFileIconProvider provider;
    QIcon icon = provider.icon(info);
    if (icon.isNull()) icon = provider.icon(container ? QFileIconProvider::Folder : QFileIconProvider::File);
    return icon;
}

}  // namespace

QStringList ComputerVolumes() {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady() || !QFileInfo(volume.rootPath()).isDir()) continue;
        roots << volume.rootPath();
    }
    return roots;
}

QStringList BlockDevicesOfDrive(const QString& driveName) {
    QStringList devices;
    if (!driveName.startsWith(QLatin1String("sg"))) return devices;
    const QDir block(QStringLiteral("/sys/class/scsi_generic/%1/device/block").arg(driveName));
    for (const QString& name : block.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        devices << QStringLiteral("/dev/") + name;
    }
    return devices;
}

CFileBrowser::CFileBrowser(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { OpenContainer(IndexOf(node)); });
    connect(this, &QTreeWidget::itemCollapsed, this, [this](QTreeWidgetItem* node) { CloseContainer(IndexOf(node)); });
}

int CFileBrowser::Append(BrowserItem item, QTreeWidgetItem* parent) {
    const int index = static_cast<int>(m_items.size());
    item.id = index + kFirstVolumeId;
    auto* node = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    node->setText(0, item.name);
    node->setData(0, kIndexRole, index);
    node->setIcon(0, IconFor(QFileInfo(item.path), item.isContainer));
    if (item.isContainer) node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    item.node = node;
    m_items.push_back(std::move(item));
    return index;
}

void CFileBrowser::ListVolumes(const QStringList& roots, const QStringList& frameDevices) {
    for (const QString& root : roots) {
        // The frame's own disk carries the full application's language file.
        if (QFileInfo::exists(QDir(root).filePath(QStringLiteral("LanguageUnicode.ini")))) continue;
        const QStorageInfo volume(root);
        if (volume.isValid() && frameDevices.contains(QString::fromLocal8Bit(volume.device()))) continue;
        BrowserItem item;
        item.path = root;
        // A folder given as a volume is shown by its own path, not by the name of the disk it is on.
        const bool wholeVolume = volume.isValid() && QDir(volume.rootPath()) == QDir(root);
        item.name = wholeVolume && !volume.displayName().isEmpty() ? volume.displayName() : root;
        item.isContainer = true;
        Append(std::move(item), nullptr);
    }
}

void CFileBrowser::OpenContainer(int index) {
    if (index < 0 || index >= ItemCount()) return;
    BrowserItem& container = m_items[static_cast<size_t>(index)];
    if (!container.isContainer || container.released || container.node->childCount() > 0) return;
    const bool firstVolume = container.id == kFirstVolumeId;
    QTreeWidgetItem* parentNode = container.node;
    const QString parentPath = container.path;
    const QFileInfoList entries = QDir(parentPath).entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System, QDir::Name | QDir::IgnoreCase);
    bool first = true;
    for (const QFileInfo& entry : entries) {
        if (entry.isHidden()) continue;
        if (firstVolume && SkippedInFirstVolume(entry.fileName())) continue;
        BrowserItem item;
        item.path = entry.filePath();
        item.name = entry.fileName();
        // Application bundles are offered as files, not opened.
        item.isContainer = entry.isDir() && !entry.fileName().endsWith(QLatin1String(".app"));
        item.firstOfListing = first;
        item.possiblyPicture = true;
        first = false;
        Append(std::move(item), parentNode);
    }
    if (parentNode->childCount() == 0) parentNode->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void CFileBrowser::ReleaseChildren(QTreeWidgetItem* node) {
    for (int i = 0; i < node->childCount(); ++i) {
        QTreeWidgetItem* child = node->child(i);
        ReleaseChildren(child);
        const int index = IndexOf(child);
        if (index >= 0) {
            m_items[static_cast<size_t>(index)].released = true;
            m_items[static_cast<size_t>(index)].node = nullptr;
        }
    }
    qDeleteAll(node->takeChildren());
}

void CFileBrowser::CloseContainer(int index) {
    if (index < 0 || index >= ItemCount()) return;
    BrowserItem& container = m_items[static_cast<size_t>(index)];
    if (!container.node) return;
    ReleaseChildren(container.node);
    container.node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
}

int CFileBrowser::IndexOf(const QTreeWidgetItem* node) const {
    if (!node) return -1;
    bool ok = false;
    const int index = node->data(0, kIndexRole).toInt(&ok);
    return ok ? index : -1;
}

void CFileBrowser::MarkNotPicture(int index) {
    if (index >= 0 && index < ItemCount()) m_items[static_cast<size_t>(index)].possiblyPicture = false;
}

std::vector<int> CFileBrowser::InBrowserOrder() const {
    std::vector<int> order;
    for (QTreeWidgetItemIterator it(const_cast<CFileBrowser*>(this)); *it; ++it) {
        const int index = IndexOf(*it);
        if (index >= 0) order.push_back(index);
    }
    return order;
}

int CFileBrowser::SelectedFileForView() const {
    const int clicked = IndexOf(currentItem());
    if (clicked >= 0 && currentItem()->isSelected() && !Item(clicked).isContainer) return clicked;
    int last = -1;
    for (int index : InBrowserOrder()) {
        const BrowserItem& item = Item(index);
        if (!item.isContainer && item.node->isSelected()) last = index;
    }
    return last;
}

std::vector<int> CFileBrowser::SelectedPictureItems() const {
    std::vector<int> queue;
    for (int index : InBrowserOrder()) {
        const BrowserItem& item = Item(index);
        if (!item.isContainer && item.possiblyPicture && item.node->isSelected()) queue.push_back(index);
    }
    return queue;
}

int CFileBrowser::NextPictureAfter(int from) const {
    const std::vector<int> order = InBrowserOrder();
    auto it = order.begin();
    if (from >= 0) {
        it = std::find(order.begin(), order.end(), from);
        if (it == order.end()) return -1;
        ++it;
    }
    for (; it != order.end(); ++it) {
        const BrowserItem& item = Item(*it);
        if (!item.isContainer && QImageReader(item.path).canRead()) return *it;
    }
    return -1;
}

int CFileBrowser::Reveal(const QString& path) {
    const QString wanted = QFileInfo(path).absoluteFilePath();
    for (int index : InBrowserOrder()) {
        const BrowserItem& item = Item(index);
        const QString here = QFileInfo(item.path).absoluteFilePath();
        if (here == wanted) return index;
        const QString folder = here.endsWith(QLatin1Char('/')) ? here : here + QLatin1Char('/');
        if (item.isContainer && !item.node->isExpanded() && wanted.startsWith(folder)) {
            // Its entries are listed now and come next in browser order.
            item.node->setExpanded(true);
            return Reveal(path);
        }
    }
    return -1;
}

void CFileBrowser::SelectOnly(int index) {
    if (index < 0 || index >= ItemCount() || !m_items[static_cast<size_t>(index)].node) return;
    QTreeWidgetItem* node = m_items[static_cast<size_t>(index)].node;
    clearSelection();
    setCurrentItem(node);
    node->setSelected(true);
    scrollToItem(node);
}

}  // namespace fotolume::compact
