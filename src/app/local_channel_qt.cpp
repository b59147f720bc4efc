#include "app/local_channel.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace sb::app {

LocalReply askLocal(const QString& path, const QByteArray& request, int connectMs, int answerMs)
{
    LocalReply reply;
    QLocalSocket peer;
    peer.connectToServer(path);
    if (!peer.waitForConnected(connectMs)) {
        reply.error = peer.errorString();
        return reply;
    }
    reply.status = LocalReply::Status::Connected;
    if (request.isEmpty())
        return reply;
    peer.write(request);
    if (!peer.waitForBytesWritten(connectMs)) {
        reply.error = QStringLiteral("it took no request: ") + peer.errorString();
        return reply;
    }
    while (!peer.canReadLine()) {
        if (!peer.waitForReadyRead(answerMs)) {
            reply.error = QStringLiteral("it did not answer: ") + peer.errorString();
            return reply;
        }
    }
    reply.status = LocalReply::Status::Answered;
    reply.answer = peer.readLine();
    return reply;
}

void removeLocal(const QString& path)
{
    QLocalServer::removeServer(path);
}

struct LocalListener::Impl
{
    QLocalServer server;
};

LocalListener::LocalListener(Answer answer, QObject* parent)
    : QObject(parent), answer_(std::move(answer)), impl_(std::make_unique<Impl>())
{}

LocalListener::~LocalListener() = default;

bool LocalListener::listen(const QString& path)
{
    if (!impl_->server.listen(path)) {
        error_ = impl_->server.errorString();
        return false;
    }
    connect(&impl_->server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = impl_->server.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine())
                    return;
                const QByteArray request = peer->readLine();
                const QByteArray reply = answer_(request);
                if (!reply.isEmpty()) {
                    peer->write(reply);
                    peer->flush();
                    emit answered(request);
                }
                peer->disconnectFromServer();
            });
        }
    });
    return true;
}

} // namespace sb::app
