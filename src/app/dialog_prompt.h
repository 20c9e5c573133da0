// CDialogPrompt: the window's messages and questions as Qt message boxes and file, folder and colour dialogs.
#pragma once

#include <QPointer>
#include <QWidget>

#include "app/prompt.h"

namespace fotolume::app {

// The prompt of the running program: Qt message boxes and file, folder and
// colour dialogs, owned by the given window.
class CDialogPrompt : public IPrompt {
public:
    explicit CDialogPrompt(QWidget* owner = nullptr);

    void SetOwner(QWidget* owner) { m_owner = owner; }

    void Message(const QString& text, const QString& caption, Icon icon) override;
    bool AskYesNo(const QString& text) override;
    Answer AskYesNoCancel(const QString& text) override;
    QString AskSaveFile(const SaveFileRequest& request) override;
    QString AskFolder(const QString& title) override;
    std::optional<QColor> AskColor(const QColor& initial) override;

private:
    QString Caption(const QString& caption) const;

    QPointer<QWidget> m_owner;
};

}  // namespace fotolume::app
