// The window's two questions go through this interface, so that tests answer them without a modal loop.
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
};

// Real dialogs, parented to the window.
class CDialogMacPrompt : public IMacPrompt {
public:
    explicit CDialogMacPrompt(QWidget* parent) : m_parent(parent) {}
    bool AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                     const QString& cancelText) override;
    QString AskFolder(const QString& title, const QString& actionText) override;

private:
    QWidget* m_parent;
};

// Answers from queues and records what was asked. Without a queued answer: cancel.
class CScriptedMacPrompt : public IMacPrompt {
public:
    void QueueOk(bool ok) { m_answers.push_back(ok); }
    void QueueFolder(const QString& folder) { m_folders.push_back(folder); }
    // Runs once, during the next question, as what the user or the system does while it is open.
    void WhileAsking(std::function<void()> action) { m_whileAsking = std::move(action); }

    bool AskOkCancel(const QString& message, const QString& explanation, const QString& okText,
                     const QString& cancelText) override;
    QString AskFolder(const QString& title, const QString& actionText) override;

    // Every question as "message|explanation|ok|cancel" or "folder:title|action", in order.
    const QStringList& Asked() const { return m_asked; }

private:
    std::deque<bool> m_answers;
    std::deque<QString> m_folders;
    QStringList m_asked;
    std::function<void()> m_whileAsking;
};

}  // namespace fotolume::compact
