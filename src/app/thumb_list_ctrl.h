// CThumbListCtrl: the album as a grid of thumbnails, and the grid's geometry.
#pragma once

#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

namespace fotolume::app {

// Cell size and grid of the album thumbnails, derived at every connect from
// the settings and the frame's panel.
struct ThumbGeometry {
    int width = 128;
    int height = 128;
    int gapX = 15;
    int gapY = 15;
    int columns = 2;
};

// Thumbnail geometry for ThumbWidth and ThumbColumn on a panel, for a list
// whose rows are gridWidth pixels wide. Cells never grow past what fits
// every column with its gap into that width, so no column is cut off; a
// missing ThumbWidth (0 or less) takes the widest cells that fit; a missing
// column count falls back to 5; the height keeps the panel's aspect and is
// never below 1.
ThumbGeometry ComputeThumbGeometry(int thumbWidth, int thumbColumn, int panelWidth, int panelHeight, int gridWidth);

// The album as a grid of thumbnails. Item i is album position i. The control
// places every item itself and recycles the image slots of deleted items,
// last freed first reused.
class CThumbListCtrl : public QListWidget {
    Q_OBJECT

public:
    explicit CThumbListCtrl(QWidget* parent = nullptr);
    ~CThumbListCtrl() override;

    void SetGeometry(int width, int height, int gapX, int gapY);
    void SetColumns(int columns);
    // Applies a whole geometry and creates the image list.
    void SetUp(const ThumbGeometry& geometry);
    bool CreateImageList();
    bool HasImageList() const { return m_hasImageList.load(); }

    // Appends one item showing the bitmap stretched to the cell. Window thread only.
    bool AddBitmap(const QImage& bitmap, const QString& caption);
    // Appends an item for an album picture that cannot be shown: a crossed-out tile.
    bool AddUnreadable(const QString& caption);
    // The room a row of cells has: the list's inside less a vertical scroll bar.
    int GridWidth() const;
    // Loads a picture file stretched to the cell and appends it. Safe from a
    // worker: the file is read on the caller's thread and the item is added
    // on the window thread, in call order. False when the file cannot be read
    // or no image list exists; nothing changes then.
    bool AddFromFile(const QString& path, const QString& caption);
    void DeleteItem(int index);
    // Safe from a worker (handed to the window thread).
    void DeleteAll();
    void Relayout();
    void Release();
    void SetItemCaption(int index, const QString& caption);
    // Safe from a worker (handed to the window thread).
    void EnsureItemVisible(int index);

    int GetItemCount() const { return count(); }
    QString GetItemCaption(int index) const;
    int GetImageIndex(int index) const;
    int GetImageCount() const { return static_cast<int>(m_images.size()); }
    const std::vector<int>& GetFreeSlots() const { return m_freeSlots; }
    QImage GetSlotImage(int slot) const;
    // Where the item really lies in the list's contents.
    QPoint GetItemPosition(int index) const;
    QPoint GridPosition(int index) const;
    QList<int> SelectedIndices() const;
    void SelectAllItems();
    const ThumbGeometry& Geometry() const { return m_geometry; }

    void doItemsLayout() override;

Q_SIGNALS:
    // Local files and folders dropped on the list.
    void filesDropped(const QStringList& paths);
    // The user picked pictures: once per click, whether or not it changed
    // the selection, and once per selection change from the keyboard.
    void pictureChosen();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void PlaceItem(int index, const QPoint& position);

    ThumbGeometry m_geometry;
    std::atomic<bool> m_hasImageList{false};
    std::atomic<int> m_cellWidth{128};
    std::atomic<int> m_cellHeight{128};
    std::vector<QPixmap> m_images;
    std::vector<int> m_freeSlots;
    // Selection changes so far, and their count when the mouse went down:
    // a click that changed the selection was reported by that change.
    unsigned m_selectionChanges = 0;
    unsigned m_changesAtPress = 0;
};

}  // namespace fotolume::app
