// stashbook-cli: the sites and accounts of Stashbook's record files from a
// terminal, a script or a launcher, without a display.
#include "cli/command.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stashbook-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(STASHBOOK_VERSION));
    return sb::cli::runCommandLine(QCoreApplication::arguments());
}
