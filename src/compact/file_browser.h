// 'CLVW' 0: the file browser over the computer's volumes. Every volume, folder or file it lists gets a
// record in one growing array, in listing order; the record's id is its index + 2.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

#include <vector>

namespace fotolume::compact {

struct BrowserItem {
    int id = 0;
    QString path;
    QString name;
    bool isContainer = false;
    bool firstOfListing = false;
    bool possiblyPicture = false;
    bool released = false;  // its container was closed
    QTreeWidgetItem* node = nullptr;
};

// Mounted volumes in the system's order, leaving out the frame's own disk (it carries
// LanguageUnicode.ini) and volumes that are not ready.
QStringList ComputerVolumes();

// The block devices ("/dev/srN") of a SCSI generic drive ("sgN"): where the frame's own disc is mounted.
QStringList BlockDevicesOfDrive(const QString& driveName);

class CFileBrowser : public QTreeWidget {
    Q_OBJECT
public:
    explicit CFileBrowser(QWidget* parent = nullptr);

    // The top-level items: one container per volume root, except the frame's own disk: a volume that
    // carries LanguageUnicode.ini, or one mounted from frameDevices.
    void ListVolumes(const QStringList& roots, const QStringList& frameDevices = {});
    // Lists a container's entries as its children (the browser does this when it is opened).
    void OpenContainer(int index);
    void CloseContainer(int index);

    int ItemCount() const { return static_cast<int>(m_items.size()); }
    const BrowserItem& Item(int index) const { return m_items.at(static_cast<size_t>(index)); }
    int IndexOf(const QTreeWidgetItem* node) const;
    void MarkNotPicture(int index);

    // The file item the picture view shows: the one last clicked when it is a selected file, else the
    // last selected file in browser order, in whichever open folder it lies. -1 when there is none.
    int SelectedFileForView() const;
    // The add's queue: every selected file still possibly a picture, of every open folder, in browser
    // order (top to bottom as shown).
    std::vector<int> SelectedPictureItems() const;
    // From the item after `from` in browser order (from the top when from is -1), the first file that
    // can be opened as an image; -1 when none.
    int NextPictureAfter(int from) const;
    // The item of path, its folders opened on the way; -1 when the browser does not reach it.
    int Reveal(const QString& path);
    // Selects that item alone and scrolls it into view.
    void SelectOnly(int index);

private:
    // Every listed item in browser order.
    std::vector<int> InBrowserOrder() const;
    int Append(BrowserItem item, QTreeWidgetItem* parent);
    void ReleaseChildren(QTreeWidgetItem* node);

    std::vector<BrowserItem> m_items;
};

}  // namespace fotolume::compact
