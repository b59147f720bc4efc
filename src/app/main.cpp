#include "app/main_window.h"
#include "app/notifier.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stashbook"));
    QApplication::setApplicationVersion(QStringLiteral("1.50"));

    sb::app::MessageBoxNotifier notifier;
    sb::app::Environment env;
    env.notifier = &notifier;
    sb::app::frmStashbook window(env);
    window.Start_Up();
    return QApplication::exec();
}
