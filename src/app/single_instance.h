// One running program per data folder. The first start for a folder listens
// on a local socket named after the folder's canonical path, in the user's
// runtime directory; a later start for the same folder finds it there, asks it
// to bring its window back, and ends.
//
// A start either asks the running program to bring its window back, or to
// show or hide it (`stashbook --toggle`).
//
// A socket left behind by a program that was killed answers no connection;
// the next start removes it and listens in its place. A short-lived lock file
// beside the socket makes that look-then-replace one step, so that two starts
// at the same moment never both become the first.
#pragma once

#include <QObject>
#include <QString>

namespace sb::app {

class LocalListener;

class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        First,     // this program serves the folder; bringBackRequested() may follow
        Forwarded, // the program serving the folder took the request
        Failed     // neither: error() says why
    };

    // `dataDir` is the folder's canonical path; `runtimeDir` the folder for
    // the socket and its lock (empty: the user's runtime directory).
    explicit SingleInstance(const QString& dataDir, const QString& runtimeDir = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    // What a start asks of the program already serving the folder.
    enum class Request { BringBack, Toggle };

    Claim claim(Request request = Request::BringBack);
    // Only the first step of claim(): true when a program serving the
    // folder took the request. Needs no application object, so a start
    // that only hands over never connects to the display.
    bool handOver(Request request);
    QString error() const { return error_; }
    // Where the socket of this folder is (or would be).
    QString socketPath() const { return socketPath_; }

signals:
    // Another start for the same folder wants the window in front.
    void bringBackRequested();
    // Another start wants the window shown if hidden, hidden if shown.
    void toggleRequested();

private:
    bool listen(bool replace);

    QString socketPath_;
    QString lockPath_;
    QString error_;
    QByteArray request_;
    LocalListener* listener_ = nullptr;
};

} // namespace sb::app
