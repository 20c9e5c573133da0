#include "app/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace fotolume::app {

namespace {

constexpr int kConnectTimeoutMs = 2000;
const char kRaise[] = "raise\n";

}  // namespace

CSingleInstance::CSingleInstance(const QString& key, const QString& folder, QObject* parent) : QObject(parent) {
    QString dir = folder;
    if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) dir = QDir::tempPath();
    m_lockPath = dir + QLatin1Char('/') + key + QStringLiteral(".lock");
    m_socketPath = dir + QLatin1Char('/') + key + QStringLiteral(".sock");
}

CSingleInstance::~CSingleInstance() = default;

bool CSingleInstance::Acquire() {
    if (m_lock && m_lock->isLocked()) return true;
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // A live holder's lock never ages out; a dead holder's lock is taken over.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) return false;

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a copy that crashed is ours to replace: we hold the lock.
    QLocalServer::removeServer(m_socketPath);
    if (m_server->listen(m_socketPath)) {
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* peer = m_server->nextPendingConnection()) {
                connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
                connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                    if (peer->readAll().contains('\n')) Q_EMIT raiseRequested();
                });
            }
        });
    }
    return true;
}

bool CSingleInstance::SignalFirst() {
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kConnectTimeoutMs)) return false;
    socket.write(kRaise);
    const bool written = socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return written;
}

}  // namespace fotolume::app
