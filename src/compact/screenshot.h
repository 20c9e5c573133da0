// A picture of the window for the documentation: wait for the frame's album, optionally compose and
// add a picture, save the window as PNG and leave.
#pragma once

#include <QString>

namespace fotolume::compact {

class CMacWindow;

struct ScreenshotRequest {
    QString path;     // where the PNG goes; empty: no screenshot
    QString picture;  // shown in the picture view and added to the album first (may be empty)
    int adds = 0;     // how many times it is added
    bool download = false;  // then the album is written to the frame
};

// Runs on the window's event loop and ends it (status 0 when the PNG was written, else 1).
void TakeScreenshot(CMacWindow& window, const ScreenshotRequest& request);

}  // namespace fotolume::compact
