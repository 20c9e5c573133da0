#pragma once

#include <QColor>
#include <QImage>
#include <QString>

namespace fotolume::app {

// What the connect checks found out about the attached frame.
struct ConnectInfo {
    bool ok = false;
    int panelWidth = 0;
    int panelHeight = 0;
    bool hasFirmware = false;
    QString firmwareVersion;
    int thumbWidth = 0;
    int thumbColumn = 5;
};

// Everything a worker tells the window. Workers call these on their own
// thread; the window side runs each call on the window thread, in the order
// the worker made them. A worker never touches a widget itself.
class IWorkerReport {
public:
    virtual ~IWorkerReport() = default;

    virtual void ShowTotalsText(const QString& text) = 0;
    virtual void ShowStatus(const QString& text) = 0;
    virtual void SetProgress(int percent) = 0;
    virtual void ShowMessage(const QString& text) = 0;
    virtual void ClearAlbumView() = 0;
    virtual void ConnectChecked(const ConnectInfo& info) = 0;
    virtual void AlbumHeaderRead(const QColor& font, const QColor& background, int flashSizeKB) = 0;
    // One album picture: its cache BMP, the decoded bitmap and the list text.
    virtual void AppendPicture(const QString& cachePath, const QImage& bitmap, const QString& caption) = 0;
    virtual void PreviewFileChosen(const QString& path) = 0;
    virtual void AlbumModified() = 0;
    // A Yes/No question on the window thread; the worker waits for the
    // answer. No when the frame went away meanwhile.
    virtual bool AskYesNo(const QString& text) = 0;
    // The worker's completion message. With waitForWindow the call returns
    // only once the window has handled it.
    virtual void Finish(const char* message, int code, bool waitForWindow) = 0;
};

} // namespace fotolume::app
