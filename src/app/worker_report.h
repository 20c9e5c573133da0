// What a worker tells the window while it runs: status and progress texts, the frame's details and the
// album's pictures as they are read or added.
#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace fotolume::app {

// What the connect checks found out about the attached frame.
struct ConnectInfo {
    bool ok = false;  // a panel size to decode into
    bool clockFailed = false;
    int panelWidth = 0;
    int panelHeight = 0;
    bool hasFirmware = false;
    QString firmwareVersion;
    int thumbWidth = 0;
    int thumbColumn = 5;
};

// Workers call these on their own thread and never wait for an answer; the window side runs each call on
// the window thread, in the order the worker made them. A worker never touches a widget itself, and how it
// ended is not a report: the controller hears that from the worker's completion.
class IWorkerReport {
public:
    virtual ~IWorkerReport() = default;

    virtual void ShowTotalsText(const QString& text) = 0;
    virtual void ShowStatus(const QString& text) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual void ClearAlbumView() = 0;
    virtual void ConnectChecked(const ConnectInfo& info) = 0;
    virtual void AlbumHeaderRead(const QColor& font, const QColor& background, int flashSizeKB) = 0;
    // One album picture: its cache BMP, the decoded bitmap and the list text.
    virtual void AppendPicture(const QString& cachePath, const QImage& bitmap, const QString& caption) = 0;
    // An album picture that cannot be shown; it keeps its place in the album.
    virtual void AppendUnreadable(const QString& caption) = 0;
    virtual void PreviewFileChosen(const QString& path) = 0;
    virtual void AlbumModified() = 0;
};

}  // namespace fotolume::app
