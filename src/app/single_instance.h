// CSingleInstance: one running copy per user, and bringing its window to the front.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace fotolume::app {

// One running copy per user: a lock file in the runtime folder, and a local
// socket on which a later start asks the first one to come to the front.
class CSingleInstance : public QObject {
    Q_OBJECT

public:
    // key names the program (the executable's name); folder empty: the
    // user's runtime folder.
    explicit CSingleInstance(const QString& key, const QString& folder = {}, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // True when this is the first copy; it then listens for later starts.
    bool Acquire();
    // Asks the first copy to bring its window to the front. True when it was reached.
    bool SignalFirst();

Q_SIGNALS:
    void raiseRequested();

private:
    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

}  // namespace fotolume::app
