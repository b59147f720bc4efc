#include "app/single_instance.h"

#include "app/local_channel.h"

#include <QCryptographicHash>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace sb::app {

namespace {

const QByteArray kBringBack = QByteArrayLiteral("bring-back\n");
const QByteArray kToggle = QByteArrayLiteral("toggle\n");
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
// A socket that keeps refusing connections for this long was left behind:
// a program listens a moment after it has made its socket.
constexpr int kStaleChecks = 5;
constexpr int kStaleCheckGapMs = 5;

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

bool SingleInstance::handOver(Request request)
{
    if (socketPath_.isEmpty())
        return false;
    request_ = request == Request::Toggle ? kToggle : kBringBack;
    const LocalReply reply = askLocal(socketPath_, request_, kConnectMs, kAnswerWaitMs);
    if (reply.status == LocalReply::Status::Connected)
        error_ = QStringLiteral("the Stashbook serving this folder did not take the request: ") +
                 reply.error;
    return reply.status == LocalReply::Status::Answered && reply.answer == kAnswer;
}

SingleInstance::Claim SingleInstance::claim(Request request)
{
    if (socketPath_.isEmpty())
        return Claim::Failed;
    // Nearly always the first look settles it, without the lock file: the
    // program serving the folder answers, or there is no socket yet and this
    // start listens. Listening at a path that is taken fails, so of two
    // starts at the same moment only one can.
    if (handOver(request))
        return Claim::Forwarded;
    if (listen(false))
        return Claim::First;

    // A socket is there that did not answer: left behind by a program that
    // was killed, or one that is about to listen. Under the lock, it is
    // looked at again and replaced only if it still refuses.
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        QLockFile lock(lockPath_);
        if (!lock.tryLock(kLockWaitMs)) {
            error_ = QStringLiteral("cannot lock %1: %2").arg(lockPath_, lockProblem(lock.error()));
            return Claim::Failed;
        }
        bool listening = false;
        for (int check = 0; check < kStaleChecks && !listening; ++check) {
            if (check > 0)
                QThread::msleep(kStaleCheckGapMs);
            listening =
                askLocal(socketPath_, {}, kConnectMs, 0).status != LocalReply::Status::NoListener;
        }
        if (listening) {
            lock.unlock();
            if (handOver(request))
                return Claim::Forwarded;
            continue;
        }
        if (listen(true))
            return Claim::First;
        // Another start listened between the two looks: ask it next time.
    }
    return Claim::Failed;
}

bool SingleInstance::listen(bool replace)
{
    // Nothing answered, so whatever is at the socket's path was left there
    // by a program that ended without removing it.
    if (replace)
        removeLocal(socketPath_);
    // The runtime directory is the user's alone (0700), so the socket is
    // made right there, in one step that fails when the path is taken.
    auto* listener = new LocalListener(
        [](const QByteArray& request) {
            return request == kBringBack || request == kToggle ? kAnswer : QByteArray();
        },
        this);
    if (!listener->listen(socketPath_)) {
        error_ = QStringLiteral("cannot listen on %1: %2").arg(socketPath_, listener->error());
        delete listener;
        return false;
    }
    connect(listener, &LocalListener::answered, this, [this](const QByteArray& request) {
        if (request == kToggle)
            emit toggleRequested();
        else
            emit bringBackRequested();
    });
    listener_ = listener;
    return true;
}

} // namespace sb::app
