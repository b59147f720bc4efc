#include "app/main_window.h"
#include "app/notifier.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stashbook"));
    // The window hides rather than closes, and a message box may be the only
    // window shown: the program ends through its exit item alone.
    QApplication::setQuitOnLastWindowClosed(false);

    sb::app::MessageBoxNotifier notifier;
    sb::app::Environment env;
    env.notifier = &notifier;
    sb::app::frmStashbook window(env);
    window.Start_Up();
    window.Wait_For_Hot_Key();
    return 0;
}
