// The window's questions and its one-off messages go through this interface, so that tests answer them
// without a user.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QWidget;

namespace fotolume::compact {

class IMacPrompt {
public:
    virtual ~IMacPrompt() = default;
    // A note alert with a message, an explanation, a default and a cancel button; true for the default.
    virtual bool AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                             const QString& cancelText) = 0;
    // A folder chooser; the chosen folder, or empty when cancelled.
    virtual QString AskFolder(const QString& title, const QString& actionText) = 0;
    // A message the user acknowledges with OK.
    virtual void Tell(const QString& message, const QString& explanation) = 0;
};

// Real dialogs, parented to the window.
class CDialogMacPrompt : public IMacPrompt {
public:
    explicit CDialogMacPrompt(QWidget* parent) : m_parent(parent) {}
    bool AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                     const QString& cancelText) override;
    QString AskFolder(const QString& title, const QString& actionText) override;
    void Tell(const QString& message, const QString& explanation) override;

private:
    QWidget* m_parent;
};

// Answers from queues and records what was asked. Without a queued answer: cancel. Each question runs
// a nested event loop while it is open, as a modal box does, so that whatever the window was handed
// meanwhile is carried out under it.
class CScriptedMacPrompt : public IMacPrompt {
public:
    // Messages also go to standard error, one line each (a run nobody watches).
    void SetEcho(bool echo) { m_echo = echo; }
    void QueueOk(bool ok) { m_answers.push_back(ok); }
    void QueueFolder(const QString& folder) { m_folders.push_back(folder); }
    // Runs once, during the next question, as what the user or the system does while it is open.
    void WhileAsking(std::function<void()> action) { m_whileAsking = std::move(action); }

    bool AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                     const QString& cancelText) override;
    QString AskFolder(const QString& title, const QString& actionText) override;
    void Tell(const QString& message, const QString& explanation) override;

    // Every question as "message|explanation|ok|cancel", "folder:title|action" or
    // "tell:message|explanation", in order.
    const QStringList& Asked() const { return m_asked; }

private:
    void WhileOpen();

    std::deque<bool> m_answers;
    std::deque<QString> m_folders;
    QStringList m_asked;
    std::function<void()> m_whileAsking;
    bool m_echo = false;
};

}  // namespace fotolume::compact
