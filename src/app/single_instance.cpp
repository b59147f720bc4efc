#include "app/single_instance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

namespace sb::app {

namespace {

const QByteArray kRequest = QByteArrayLiteral("bring-back\n");
const QByteArray kAnswer = QByteArrayLiteral("ok\n");

// The lock is held only while looking for the socket and listening, a few
// milliseconds; the program that serves the folder answers as soon as its
// event loop runs, which may take a moment while it is still starting.
constexpr int kLockWaitMs = 10'000;
constexpr int kConnectMs = 2'000;
constexpr int kAnswerWaitMs = 10'000;
// A program that ends just as it is asked closes the connection unanswered;
// the next look finds its socket gone or dead.
constexpr int kAttempts = 3;

QString lockProblem(QLockFile::LockError error)
{
    switch (error) {
    case QLockFile::NoError:
        break;
    case QLockFile::LockFailedError:
        return QStringLiteral("it stays locked by another process");
    case QLockFile::PermissionError:
        return QStringLiteral("permission denied");
    case QLockFile::UnknownError:
        break;
    }
    return QStringLiteral("it cannot be created");
}

} // namespace

SingleInstance::SingleInstance(const QString& dataDir, const QString& runtimeDir, QObject* parent)
    : QObject(parent)
{
    // XDG_RUNTIME_DIR; where that is not set, Qt makes a private folder of
    // the user's in the temporary folder.
    const QString base = runtimeDir.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                             : runtimeDir;
    if (base.isEmpty()) {
        error_ = QStringLiteral("there is no runtime directory for this user");
        return;
    }
    // A hash keeps the socket's path short (sockets allow about 100 bytes)
    // whatever the length of the folder's path.
    const QByteArray key =
        QCryptographicHash::hash(dataDir.toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    const QString stem = base + QStringLiteral("/stashbook-") + QString::fromLatin1(key);
    socketPath_ = stem + QStringLiteral(".socket");
    lockPath_ = stem + QStringLiteral(".lock");
}

SingleInstance::~SingleInstance() = default;

SingleInstance::Claim SingleInstance::claim()
{
    if (socketPath_.isEmpty())
        return Claim::Failed;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QLockFile lock(lockPath_);
        if (!lock.tryLock(kLockWaitMs)) {
            error_ = QStringLiteral("cannot lock %1: %2").arg(lockPath_, lockProblem(lock.error()));
            return Claim::Failed;
        }
        QLocalSocket peer;
        peer.connectToServer(socketPath_);
        if (peer.waitForConnected(kConnectMs)) {
            lock.unlock();
            if (forward(peer))
                return Claim::Forwarded;
            continue;
        }
        return listen() ? Claim::First : Claim::Failed;
    }
    return Claim::Failed;
}

bool SingleInstance::forward(QLocalSocket& peer)
{
    peer.write(kRequest);
    if (!peer.waitForBytesWritten(kConnectMs)) {
        error_ = QStringLiteral("the Stashbook serving this folder took no request: ") +
                 peer.errorString();
        return false;
    }
    while (!peer.canReadLine()) {
        if (!peer.waitForReadyRead(kAnswerWaitMs)) {
            error_ = QStringLiteral("the Stashbook serving this folder did not answer: ") +
                     peer.errorString();
            return false;
        }
    }
    return peer.readLine() == kAnswer;
}

bool SingleInstance::listen()
{
    // Nothing answered, so whatever is at the socket's path was left there
    // by a program that ended without removing it.
    QLocalServer::removeServer(socketPath_);
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath_)) {
        error_ = QStringLiteral("cannot listen on %1: %2").arg(socketPath_, server->errorString());
        delete server;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, &SingleInstance::answer);
    server_ = server;
    return true;
}

void SingleInstance::answer()
{
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            if (!peer->canReadLine())
                return;
            if (peer->readLine() == kRequest) {
                emit bringBackRequested();
                peer->write(kAnswer);
            }
            peer->disconnectFromServer();
        });
    }
}

} // namespace sb::app
