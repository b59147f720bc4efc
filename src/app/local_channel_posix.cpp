#include "app/local_channel.h"

#include <QFile>
#include <QSocketNotifier>

#include <chrono>
#include <cstring>
#include <thread>

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace sb::app {

namespace {

using Clock = std::chrono::steady_clock;

// Requests and answers are a few bytes; a longer line is no request.
constexpr qsizetype kLongestLine = 256;

QString lastError()
{
    return qt_error_string(errno);
}

bool toAddress(const QString& path, sockaddr_un& address, QString& error)
{
    const QByteArray native = QFile::encodeName(path);
    std::memset(&address, 0, sizeof address);
    if (native.isEmpty() || native.size() >= qsizetype(sizeof address.sun_path)) {
        error = QStringLiteral("the socket path is too long: ") + path;
        return false;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    return true;
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int msLeft(Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}

// Waits for `events` on `fd` until `deadline`; false when the time ran out.
bool waitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = ::poll(&p, 1, msLeft(deadline));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// One connection to the listener: reads one line, answers it, and closes.
class Peer final : public QObject
{
public:
    Peer(int fd, QObject* parent) : QObject(parent), fd_(fd), notifier_(fd, QSocketNotifier::Read)
    {}
    ~Peer() override
    {
        notifier_.setEnabled(false);
        ::close(fd_);
    }

    int fd_;
    QByteArray line_;
    QSocketNotifier notifier_;
};

} // namespace

LocalReply askLocal(const QString& path, const QByteArray& request, int connectMs, int answerMs)
{
    LocalReply reply;
    sockaddr_un address;
    if (!toAddress(path, address, reply.error))
        return reply;
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (socket.get() < 0) {
        reply.error = lastError();
        return reply;
    }
    // Nothing at the path, or a socket nobody listens on, refuses at once; a
    // listener whose queue is full refuses for a moment.
    const auto connectBy = Clock::now() + std::chrono::milliseconds(connectMs);
    while (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) !=
           0) {
        if (errno == EINTR || (errno == EAGAIN && Clock::now() < connectBy)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        reply.error = lastError();
        return reply;
    }

    reply.status = LocalReply::Status::Connected;
    if (request.isEmpty())
        return reply;
    if (::send(socket.get(), request.constData(), size_t(request.size()), MSG_NOSIGNAL) !=
        request.size()) {
        reply.error = QStringLiteral("it took no request: ") + lastError();
        return reply;
    }
    const auto answerBy = Clock::now() + std::chrono::milliseconds(answerMs);
    QByteArray line;
    while (!line.contains('\n') && line.size() < kLongestLine) {
        if (!waitFor(socket.get(), POLLIN, answerBy)) {
            reply.error = QStringLiteral("it did not answer");
            return reply;
        }
        char chunk[64];
        const ssize_t got = ::recv(socket.get(), chunk, sizeof chunk, 0);
        if (got == 0) {
            reply.error = QStringLiteral("it closed the connection unanswered");
            return reply;
        }
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN)
                continue;
            reply.error = lastError();
            return reply;
        }
        line.append(chunk, got);
    }
    reply.status = LocalReply::Status::Answered;
    reply.answer = line.left(line.indexOf('\n') + 1);
    return reply;
}

void removeLocal(const QString& path)
{
    ::unlink(QFile::encodeName(path).constData());
}

struct LocalListener::Impl
{
    int fd = -1;
    QByteArray path;
    std::unique_ptr<QSocketNotifier> notifier;
};

LocalListener::LocalListener(Answer answer, QObject* parent)
    : QObject(parent), answer_(std::move(answer)), impl_(std::make_unique<Impl>())
{}

LocalListener::~LocalListener()
{
    if (impl_->fd < 0)
        return;
    impl_->notifier.reset();
    ::close(impl_->fd);
    ::unlink(impl_->path.constData());
}

bool LocalListener::listen(const QString& path)
{
    sockaddr_un address;
    if (impl_->fd >= 0 || !toAddress(path, address, error_))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error_ = lastError();
        return false;
    }
    // Binding makes the socket, and fails when the path is taken.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error_ = lastError();
        ::close(fd);
        return false;
    }
    if (::listen(fd, 16) != 0) {
        error_ = lastError();
        ::close(fd);
        ::unlink(address.sun_path);
        return false;
    }
    impl_->fd = fd;
    impl_->path = QByteArray(address.sun_path);
    impl_->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(impl_->notifier.get(), &QSocketNotifier::activated, this, [this] {
        int peerFd;
        while ((peerFd = ::accept4(impl_->fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >=
               0) {
            auto* peer = new Peer(peerFd, this);
            connect(&peer->notifier_, &QSocketNotifier::activated, this, [this, peer] {
                char chunk[64];
                const ssize_t got = ::recv(peer->fd_, chunk, sizeof chunk, 0);
                if (got < 0 && (errno == EINTR || errno == EAGAIN))
                    return;
                if (got > 0)
                    peer->line_.append(chunk, got);
                const qsizetype end = peer->line_.indexOf('\n');
                if (end < 0 && got > 0 && peer->line_.size() < kLongestLine)
                    return;
                peer->notifier_.setEnabled(false);
                peer->deleteLater();
                if (end < 0)
                    return;
                const QByteArray request = peer->line_.left(end + 1);
                const QByteArray reply = answer_(request);
                if (reply.isEmpty())
                    return;
                (void)::send(peer->fd_, reply.constData(), size_t(reply.size()), MSG_NOSIGNAL);
                ::shutdown(peer->fd_, SHUT_RDWR);
                emit answered(request);
            });
        }
    });
    return true;
}

} // namespace sb::app
