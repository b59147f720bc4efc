// One running program per data folder. The first start for a folder listens
// on a local socket named after the folder's canonical path, in the user's
// runtime directory; a later start for the same folder finds it there, asks it
// to bring its window back, and ends.
//
// A socket left behind by a program that was killed answers no connection;
// the next start removes it and listens in its place. A short-lived lock file
// beside the socket makes that look-then-listen one step, so that two starts
// at the same moment never both become the first.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QLocalSocket;

namespace sb::app {

class SingleInstance final : public QObject
{
    Q_OBJECT

public:
    enum class Claim {
        First,     // this program serves the folder; bringBackRequested() may follow
        Forwarded, // the program serving the folder was asked to come forward
        Failed     // neither: error() says why
    };

    // `dataDir` is the folder's canonical path; `runtimeDir` the folder for
    // the socket and its lock (empty: the user's runtime directory).
    explicit SingleInstance(const QString& dataDir, const QString& runtimeDir = {},
                            QObject* parent = nullptr);
    ~SingleInstance() override;

    Claim claim();
    QString error() const { return error_; }
    // Where the socket of this folder is (or would be).
    QString socketPath() const { return socketPath_; }

signals:
    // Another start for the same folder wants the window in front.
    void bringBackRequested();

private:
    bool forward(QLocalSocket& peer);
    bool listen();
    void answer();

    QString socketPath_;
    QString lockPath_;
    QString error_;
    QLocalServer* server_ = nullptr;
};

} // namespace sb::app
