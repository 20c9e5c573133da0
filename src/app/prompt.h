// IPrompt: every message box and question of the window, behind one small interface.
#pragma once

#include <QColor>
#include <QString>
#include <optional>

namespace fotolume::app {

// Every message box and question of the window goes through this interface,
// so that tests answer questions without a modal loop.
class IPrompt {
public:
    enum class Icon { None, Information, Exclamation, Error };
    enum class Answer { Yes, No, Cancel };

    struct SaveFileRequest {
        QString defaultExtension;  // without the dot, e.g. "BMP"
        QString filter;            // Qt filter list, e.g. "bmp files (*.bmp);;jpg files (*.jpg)"
        bool overwritePrompt = true;
    };

    virtual ~IPrompt() = default;

    // A plain message with an OK button. An empty caption means the window title.
    virtual void Message(const QString& text, const QString& caption = {}, Icon icon = Icon::None) = 0;
    // Yes/No question; true only for Yes.
    virtual bool AskYesNo(const QString& text) = 0;
    virtual Answer AskYesNoCancel(const QString& text) = 0;
    // The chosen file name, or empty when the user cancelled.
    virtual QString AskSaveFile(const SaveFileRequest& request) = 0;
    // The chosen folder, or empty when the user cancelled.
    virtual QString AskFolder(const QString& title) = 0;
    // The chosen colour, or nothing when the user cancelled.
    virtual std::optional<QColor> AskColor(const QColor& initial) = 0;
};

}  // namespace fotolume::app
