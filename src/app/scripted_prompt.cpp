#include "app/scripted_prompt.h"

#include <QEventLoop>
#include <QTimer>

namespace fotolume::app {

namespace {

// Long enough for a worker's queued reports and completions to come in.
constexpr int kModalLoopMs = 30;

}  // namespace

void CScriptedPrompt::RunModalLoop() {
    if (!m_modalLoop) return;
    QEventLoop loop;
    QTimer::singleShot(kModalLoopMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::DialogExec);
}

void CScriptedPrompt::QueueYes() { m_queue.push_back({Kind::YesNo, Answer::Yes, {}, {}}); }

void CScriptedPrompt::QueueNo() { m_queue.push_back({Kind::YesNo, Answer::No, {}, {}}); }

void CScriptedPrompt::QueueCancel() { m_queue.push_back({Kind::YesNoCancel, Answer::Cancel, {}, {}}); }

void CScriptedPrompt::QueueSaveFile(const QString& path) {
    m_queue.push_back({Kind::SaveFile, Answer::Cancel, path, {}});
}

void CScriptedPrompt::QueueFolder(const QString& path) { m_queue.push_back({Kind::Folder, Answer::Cancel, path, {}}); }

void CScriptedPrompt::QueueColor(const QColor& colour) { m_queue.push_back({Kind::Color, Answer::Cancel, {}, colour}); }

void CScriptedPrompt::QueueColorCancel() { m_queue.push_back({Kind::Color, Answer::Cancel, {}, std::nullopt}); }

std::optional<CScriptedPrompt::Scripted> CScriptedPrompt::Take(Kind kind) {
    if (m_queue.empty()) {
        ++m_unanswered;
        return std::nullopt;
    }
    Scripted next = m_queue.front();
    // Yes and No serve both kinds of question; Cancel only the three-way one.
    const bool fits = next.kind == kind || (kind == Kind::YesNoCancel && next.kind == Kind::YesNo);
    if (!fits) {
        ++m_unanswered;
        return std::nullopt;
    }
    m_queue.pop_front();
    return next;
}

void CScriptedPrompt::Message(const QString& text, const QString& caption, Icon icon) {
    m_history.append({Kind::Message, text, caption, icon});
    RunModalLoop();
}

bool CScriptedPrompt::AskYesNo(const QString& text) {
    m_history.append({Kind::YesNo, text, {}, Icon::None});
    RunModalLoop();
    const auto answer = Take(Kind::YesNo);
    return answer && answer->answer == Answer::Yes;
}

IPrompt::Answer CScriptedPrompt::AskYesNoCancel(const QString& text) {
    m_history.append({Kind::YesNoCancel, text, {}, Icon::None});
    RunModalLoop();
    const auto answer = Take(Kind::YesNoCancel);
    return answer ? answer->answer : Answer::Cancel;
}

QString CScriptedPrompt::AskSaveFile(const SaveFileRequest& request) {
    m_lastSave = request;
    m_history.append({Kind::SaveFile, request.filter, {}, Icon::None});
    RunModalLoop();
    const auto answer = Take(Kind::SaveFile);
    return answer ? answer->path : QString();
}

QString CScriptedPrompt::AskFolder(const QString& title) {
    m_history.append({Kind::Folder, title, {}, Icon::None});
    RunModalLoop();
    const auto answer = Take(Kind::Folder);
    return answer ? answer->path : QString();
}

std::optional<QColor> CScriptedPrompt::AskColor(const QColor& initial) {
    m_history.append({Kind::Color, initial.name(), {}, Icon::None});
    RunModalLoop();
    const auto answer = Take(Kind::Color);
    return answer ? answer->colour : std::nullopt;
}

QStringList CScriptedPrompt::Texts() const {
    QStringList texts;
    for (const Asked& asked : m_history) texts.append(asked.text);
    return texts;
}

int CScriptedPrompt::CountOf(Kind kind) const {
    int n = 0;
    for (const Asked& asked : m_history) n += asked.kind == kind ? 1 : 0;
    return n;
}

void CScriptedPrompt::Clear() {
    m_queue.clear();
    m_history.clear();
    m_unanswered = 0;
}

}  // namespace fotolume::app
