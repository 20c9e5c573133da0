#pragma once

#include <QEvent>
#include <QObject>
#include <QString>

namespace fotolume::app {

// Names of the messages between device presence, the workers and the window.
namespace msg {
inline constexpr char kUsbDeviceChange[] = "USBDEVICECHANGE";
inline constexpr char kDpfAttach[] = "DPFAttach";
inline constexpr char kFinishThread[] = "FinishThread";
inline constexpr char kDownloadFinished[] = "DownloadFinished";
inline constexpr char kReceivePic[] = "ReceivePic";
inline constexpr char kProcessFinish[] = "ProcessFinish";
inline constexpr char kDoubleClicked[] = "doublecliked";
} // namespace msg

// The Qt event type registered for a message name. The same name gives the
// same type for the whole run. Any thread.
QEvent::Type RegisteredMessage(const QString& name);

// One message with its two parameters.
class CAppMessage : public QEvent {
public:
    CAppMessage(const QString& name, qintptr wParam, qintptr lParam);

    const QString& Name() const { return m_name; }
    qintptr WParam() const { return m_wParam; }
    qintptr LParam() const { return m_lParam; }

private:
    QString m_name;
    qintptr m_wParam;
    qintptr m_lParam;
};

// Queues a message for the target's thread and returns at once. Messages
// posted from one thread arrive in the order they were posted. Any thread.
void PostAppMessage(QObject* target, const QString& name, qintptr wParam = 0, qintptr lParam = 0);

// Delivers a message and returns once the target has handled it. On the
// target's own thread it is handled at once. A worker that sends must never
// be waited for by the target's thread, or both wait for ever. Returns
// whether the target accepted the message.
bool SendAppMessage(QObject* target, const QString& name, qintptr wParam = 0, qintptr lParam = 0);

} // namespace fotolume::app
