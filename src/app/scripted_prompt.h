// CScriptedPrompt: answers to the window's questions from a queue, for tests and runs without a user.
#pragma once

#include <QList>
#include <QStringList>
#include <deque>

#include "app/prompt.h"

namespace fotolume::app {

// A prompt that answers from a queue and records every question, for tests
// and for runs without a user. A question without a queued answer of its
// kind gets the cautious answer (No, Cancel, nothing chosen) and is counted
// as unanswered.
class CScriptedPrompt : public IPrompt {
public:
    enum class Kind { Message, YesNo, YesNoCancel, SaveFile, Folder, Color };

    struct Asked {
        Kind kind;
        QString text;     // message or question; the title for the folder chooser
        QString caption;  // messages only
        Icon icon = Icon::None;
    };

    void QueueYes();
    void QueueNo();
    void QueueCancel();
    void QueueSaveFile(const QString& path);  // empty = cancel the dialog
    void QueueFolder(const QString& path);    // empty = cancel the chooser
    void QueueColor(const QColor& colour);
    void QueueColorCancel();
    // Every message and question first runs a nested event loop for a
    // while, as a modal box does, so that whatever is queued for the window
    // runs inside it.
    void SetModalLoop(bool on) { m_modalLoop = on; }

    void Message(const QString& text, const QString& caption, Icon icon) override;
    bool AskYesNo(const QString& text) override;
    Answer AskYesNoCancel(const QString& text) override;
    QString AskSaveFile(const SaveFileRequest& request) override;
    QString AskFolder(const QString& title) override;
    std::optional<QColor> AskColor(const QColor& initial) override;

    const QList<Asked>& History() const { return m_history; }
    // The texts of every message and question, in the order asked.
    QStringList Texts() const;
    int CountOf(Kind kind) const;
    int Unanswered() const { return m_unanswered; }
    // Answers queued but never used.
    int Pending() const { return static_cast<int>(m_queue.size()); }
    const SaveFileRequest& LastSaveRequest() const { return m_lastSave; }
    void Clear();

private:
    struct Scripted {
        Kind kind;
        Answer answer = Answer::Cancel;
        QString path;
        std::optional<QColor> colour;
    };

    // Takes the next queued answer if it is of the given kind.
    std::optional<Scripted> Take(Kind kind);
    void RunModalLoop();

    std::deque<Scripted> m_queue;
    QList<Asked> m_history;
    SaveFileRequest m_lastSave;
    int m_unanswered = 0;
    bool m_modalLoop = false;
};

}  // namespace fotolume::app
