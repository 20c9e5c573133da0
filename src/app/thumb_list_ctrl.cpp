#include "app/thumb_list_ctrl.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImageReader>
#include <QMetaObject>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QThread>
#include <QUrl>
#include <algorithm>

#include "app/drop_queue.h"

namespace fotolume::app {

namespace {

constexpr int kItemPositionRole = Qt::UserRole + 1;
constexpr int kImageIndexRole = Qt::UserRole + 2;

constexpr int kFallbackColumns = 5;
constexpr int kMinCellWidth = 16;

bool OnOwnThread(const QObject* object) { return QThread::currentThread() == object->thread(); }

}  // namespace

ThumbGeometry ComputeThumbGeometry(int thumbWidth, int thumbColumn, int panelWidth, int panelHeight, int gridWidth) {
    ThumbGeometry geometry;
    geometry.gapX = 5;
    geometry.gapY = 20;
    geometry.columns = thumbColumn > 0 ? thumbColumn : kFallbackColumns;
    // Every column has its gap on the left; keep one gap spare on the right.
    const int room = gridWidth - geometry.gapX * (geometry.columns + 1);
    const int fitting = std::max(kMinCellWidth, room / geometry.columns);
    geometry.width = thumbWidth > 0 ? std::min(thumbWidth, fitting) : fitting;
    if (panelWidth > 0 && panelHeight > 0)
        geometry.height = static_cast<int>(static_cast<long long>(geometry.width) * panelHeight / panelWidth);
    else
        geometry.height = geometry.width;
    geometry.height = std::max(1, geometry.height);
    return geometry;
}

CThumbListCtrl::CThumbListCtrl(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::IconMode);
    // Free movement is what lets every item be placed explicitly; the user
    // still cannot drag items around.
    setMovement(QListView::Free);
    setResizeMode(QListView::Fixed);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(false);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(false);
    setWordWrap(false);
    setIconSize(QSize(m_geometry.width, m_geometry.height));
    // The grid is sized to the list's width, so there is never anything to the right.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        ++m_selectionChanges;
        Q_EMIT pictureChosen();
    });
    connect(this, &QListWidget::itemClicked, this, [this] {
        if (m_selectionChanges == m_changesAtPress) Q_EMIT pictureChosen();
    });
}

CThumbListCtrl::~CThumbListCtrl() = default;

void CThumbListCtrl::mousePressEvent(QMouseEvent* event) {
    m_changesAtPress = m_selectionChanges;
    QListWidget::mousePressEvent(event);
}

int CThumbListCtrl::GridWidth() const {
    return width() - 2 * frameWidth() - style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
}

void CThumbListCtrl::SetGeometry(int width, int height, int gapX, int gapY) {
    m_geometry.width = width;
    m_geometry.height = height;
    m_geometry.gapX = gapX;
    m_geometry.gapY = gapY;
}

void CThumbListCtrl::SetColumns(int columns) {
    // A grid needs at least one column; 0 would divide by zero.
    m_geometry.columns = std::max(1, columns);
}

void CThumbListCtrl::SetUp(const ThumbGeometry& geometry) {
    SetGeometry(geometry.width, geometry.height, geometry.gapX, geometry.gapY);
    SetColumns(geometry.columns);
    CreateImageList();
}

bool CThumbListCtrl::CreateImageList() {
    m_images.clear();
    m_freeSlots.clear();
    m_cellWidth = std::max(1, m_geometry.width);
    m_cellHeight = std::max(1, m_geometry.height);
    setIconSize(QSize(m_cellWidth, m_cellHeight));
    m_hasImageList = true;
    return true;
}

QPoint CThumbListCtrl::GridPosition(int index) const {
    const int column = index % m_geometry.columns;
    const int row = index / m_geometry.columns;
    return {m_geometry.gapX + column * (m_geometry.width + m_geometry.gapX),
            row * (m_geometry.height + m_geometry.gapY)};
}

void CThumbListCtrl::PlaceItem(int index, const QPoint& position) {
    QListWidgetItem* entry = item(index);
    if (!entry) return;
    entry->setData(kItemPositionRole, position);
    setPositionForIndex(position, indexFromItem(entry));
}

bool CThumbListCtrl::AddBitmap(const QImage& bitmap, const QString& caption) {
    if (!m_hasImageList || bitmap.isNull()) return false;
    const int n = count();
    setUpdatesEnabled(false);

    QImage cell = bitmap;
    if (cell.size() != QSize(m_cellWidth, m_cellHeight))
        cell = cell.scaled(m_cellWidth, m_cellHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QPixmap pixmap = QPixmap::fromImage(cell);

    int slot = 0;
    if (!m_freeSlots.empty()) {
        slot = m_freeSlots.back();
        m_freeSlots.pop_back();
        m_images.at(static_cast<size_t>(slot)) = pixmap;
    } else {
        slot = static_cast<int>(m_images.size());
        m_images.push_back(pixmap);
    }

    auto* entry = new QListWidgetItem(QIcon(pixmap), caption);
    entry->setData(kImageIndexRole, slot);
    entry->setTextAlignment(Qt::AlignHCenter | Qt::AlignTop);
    insertItem(n, entry);
    PlaceItem(n, GridPosition(n));

    setUpdatesEnabled(true);
    return true;
}

bool CThumbListCtrl::AddUnreadable(const QString& caption) {
    QImage tile(std::max(1, m_cellWidth.load()), std::max(1, m_cellHeight.load()), QImage::Format_RGB32);
    tile.fill(QColor(0xE0, 0xE0, 0xE0));
    QPainter painter(&tile);
    painter.setPen(QPen(QColor(0x80, 0x80, 0x80), 2));
    const QRect inside = tile.rect().adjusted(1, 1, -1, -1);
    painter.drawRect(inside);
    painter.drawLine(inside.topLeft(), inside.bottomRight());
    painter.drawLine(inside.topRight(), inside.bottomLeft());
    painter.end();
    return AddBitmap(tile, caption);
}

bool CThumbListCtrl::AddFromFile(const QString& path, const QString& caption) {
    if (!m_hasImageList) return false;
    QImageReader reader(path);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) return false;
    // The cache files already have the panel's aspect: stretch, never crop.
    image = image.scaled(m_cellWidth, m_cellHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (OnOwnThread(this)) return AddBitmap(image, caption);
    QMetaObject::invokeMethod(
        this, [this, image, caption] { AddBitmap(image, caption); }, Qt::QueuedConnection);
    return true;
}

void CThumbListCtrl::DeleteItem(int index) {
    QListWidgetItem* entry = item(index);
    if (!entry) return;
    const int slot = entry->data(kImageIndexRole).toInt();
    if (std::find(m_freeSlots.begin(), m_freeSlots.end(), slot) == m_freeSlots.end()) m_freeSlots.push_back(slot);
    delete takeItem(index);
}

void CThumbListCtrl::DeleteAll() {
    if (!OnOwnThread(this)) {
        QMetaObject::invokeMethod(
            this, [this] { DeleteAll(); }, Qt::QueuedConnection);
        return;
    }
    setUpdatesEnabled(false);
    for (int n = count(); n > 0; --n) DeleteItem(0);
    setUpdatesEnabled(true);
}

void CThumbListCtrl::Relayout() {
    for (int i = 0; i < count(); ++i) PlaceItem(i, GridPosition(i));
}

void CThumbListCtrl::Release() {
    // Items without their images would break the slot bookkeeping, so the
    // list is emptied with them.
    clear();
    m_images.clear();
    m_freeSlots.clear();
    m_hasImageList = false;
}

void CThumbListCtrl::SetItemCaption(int index, const QString& caption) {
    if (QListWidgetItem* entry = item(index)) entry->setText(caption);
}

void CThumbListCtrl::EnsureItemVisible(int index) {
    if (!OnOwnThread(this)) {
        QMetaObject::invokeMethod(
            this, [this, index] { EnsureItemVisible(index); }, Qt::QueuedConnection);
        return;
    }
    if (QListWidgetItem* entry = item(index)) scrollToItem(entry);
}

QString CThumbListCtrl::GetItemCaption(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

int CThumbListCtrl::GetImageIndex(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(kImageIndexRole).toInt() : -1;
}

QImage CThumbListCtrl::GetSlotImage(int slot) const {
    if (slot < 0 || slot >= GetImageCount()) return {};
    return m_images[static_cast<size_t>(slot)].toImage();
}

QPoint CThumbListCtrl::GetItemPosition(int index) const {
    const QListWidgetItem* entry = item(index);
    if (!entry) return {};
    return rectForIndex(indexFromItem(entry)).topLeft();
}

QList<int> CThumbListCtrl::SelectedIndices() const {
    QList<int> rows;
    for (const QModelIndex& index : selectionModel()->selectedIndexes()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CThumbListCtrl::SelectAllItems() {
    setFocus(Qt::OtherFocusReason);
    selectAll();
}

void CThumbListCtrl::doItemsLayout() {
    // The view's own arrangement runs after inserts and resizes; put every
    // item back where the grid placed it.
    QListWidget::doItemsLayout();
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem* entry = item(i);
        const QVariant position = entry->data(kItemPositionRole);
        if (position.isValid()) setPositionForIndex(position.toPoint(), indexFromItem(entry));
    }
}

void CThumbListCtrl::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CThumbListCtrl::dragMoveEvent(QDragMoveEvent* event) {
    if (!DroppedPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CThumbListCtrl::dropEvent(QDropEvent* event) {
    const QStringList paths = DroppedPaths(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    Q_EMIT filesDropped(paths);
}

}  // namespace fotolume::app
