// Save and SaveAll: album pictures copied out of the picture cache as BMP files or encoded as JFIF files.
#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/prompt.h"
#include "app/text_lookup.h"

namespace fotolume::app {

enum class SaveFormat { Bmp, Jpg };

// JPEG settings of the three ways to save: one picture, several selected
// pictures, the whole album. Every saved JPEG is a JFIF file.
struct JpegSettings {
    int quality;
    int mode;
};
inline constexpr JpegSettings kSaveOneJpeg{100, 3};
inline constexpr JpegSettings kSaveSeveralJpeg{90, 4};
inline constexpr JpegSettings kSaveAllJpeg{100, 3};

// The two save texts that the language file does not carry; "%1" is the file.
struct SaveFixedTexts {
    QString saveFailed;
    QString overwrite;
};
// The Chinese forms when the language section's name contains "Chinese",
// else the English ones.
SaveFixedTexts FixedSaveTexts(const QString& languageSection);

// The file that album position `position` (0-based) gets in `folder`:
// "0001.bmp" for the first picture. A folder ending in a separator (the
// file-system root "/") does not get a second one.
QString SaveTargetName(const QString& folder, int position, SaveFormat format);

// Everything a save needs from the window, taken when the command starts.
struct SaveJob {
    QStringList cachePaths;  // cache BMP of each album position
    QList<int> selected;     // selected album positions
    QSize panel;             // the frame's panel: the size of every cache BMP
    IPrompt* prompt = nullptr;
    TextLookup lookup;  // empty: the English defaults
    QString languageSection;
    // Asked before each picture; empty means always attached.
    std::function<bool()> frameAttached;
    // Scratch folder for the JPEG encoder; empty: the program's private one.
    QString scratchFolder;
};

enum class SaveResult {
    Saved,          // every picture asked for was written (or skipped at the user's word)
    NothingToSave,  // no selection, or an empty album
    Cancelled,      // the user stopped at a question or a dialog
    Failed,         // a file could not be written; the user was told
    FrameGone,      // the frame went away; stopped without the final message
};

struct SaveReport {
    SaveResult result = SaveResult::NothingToSave;
    QStringList written;  // files written, in order
};

// The Save command: one selected picture through the save-file dialog,
// several into a chosen folder, none with a hint to select some.
SaveReport SaveSelected(const SaveJob& job);

// The SaveAll command: every picture of the album into a chosen folder.
SaveReport SaveAllPictures(const SaveJob& job);

// Copies a file over another through a temporary file beside the target, so
// a failed copy leaves the old target as it was.
bool CopyFileOver(const QString& source, const QString& target);

// Encodes a panel-size cache BMP into a JFIF file at target, replacing it only
// once the whole picture is encoded.
bool SaveAsJpeg(const QString& source, const QString& target, QSize panel, JpegSettings settings,
                const QString& scratchFolder = {});

}  // namespace fotolume::app
