// The channel under the one-program-per-folder check: a socket at a path of
// the user's own, on which a start asks in one line and the program serving
// the folder answers in one line. One implementation per platform family:
// plain local sockets where there are (no network library to load at every
// start), Qt's local sockets elsewhere.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace sb::app {

struct LocalReply
{
    enum class Status {
        Answered,  // `answer` holds the line the listener answered
        Connected, // a listener took the connection; no answer (or none asked for)
        NoListener // nothing listens at the path: none there, or left behind
    };
    Status status = Status::NoListener;
    QByteArray answer;
    QString error; // why there is no answer, for the user's log
};

// Connects to the listener at `path`, sends `request` (one line) and waits
// for one line back: at most `connectMs` to be taken, `answerMs` for the
// answer. An empty request only looks whether anyone listens. Needs no
// application object.
LocalReply askLocal(const QString& path, const QByteArray& request, int connectMs, int answerMs);

// Removes what is left at `path` by a listener that ended without doing so.
void removeLocal(const QString& path);

class LocalListener final : public QObject
{
    Q_OBJECT

public:
    // The line to answer a request with; an empty one answers nothing.
    using Answer = std::function<QByteArray(const QByteArray& request)>;

    LocalListener(Answer answer, QObject* parent = nullptr);
    ~LocalListener() override; // stops listening and removes the socket

    // Listens at `path`, in one step that fails when the path is taken.
    bool listen(const QString& path);
    QString error() const { return error_; }

signals:
    // A request was answered (after the answer was sent, so that the asker
    // ends at once, whatever the request sets off here).
    void answered(const QByteArray& request);

private:
    struct Impl;
    Answer answer_;
    QString error_;
    std::unique_ptr<Impl> impl_;
};

} // namespace sb::app
