#include "app_messages.h"

#include <QCoreApplication>
#include <QHash>
#include <QMetaObject>
#include <QMutex>
#include <QMutexLocker>
#include <QThread>

namespace fotolume::app {

QEvent::Type RegisteredMessage(const QString& name)
{
    static QMutex mutex;
    static QHash<QString, int> types;
    QMutexLocker lock(&mutex);
    auto it = types.constFind(name);
    if (it == types.constEnd())
        it = types.insert(name, QEvent::registerEventType());
    return static_cast<QEvent::Type>(it.value());
}

CAppMessage::CAppMessage(const QString& name, qintptr wParam, qintptr lParam)
    : QEvent(RegisteredMessage(name)), m_name(name), m_wParam(wParam), m_lParam(lParam)
{
}

void PostAppMessage(QObject* target, const QString& name, qintptr wParam, qintptr lParam)
{
    QCoreApplication::postEvent(target, new CAppMessage(name, wParam, lParam));
}

bool SendAppMessage(QObject* target, const QString& name, qintptr wParam, qintptr lParam)
{
    bool handled = false;
    auto deliver = [&] {
        CAppMessage message(name, wParam, lParam);
        handled = QCoreApplication::sendEvent(target, &message);
    };
    if (QThread::currentThread() == target->thread())
        deliver();
    else
        QMetaObject::invokeMethod(target, deliver, Qt::BlockingQueuedConnection);
    return handled;
}

} // namespace fotolume::app
