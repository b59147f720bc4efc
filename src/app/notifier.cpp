#include "app/notifier.h"

#include <QMessageBox>

namespace sb::app {

void MessageBoxNotifier::error(QWidget* parent, const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

QString fileErrorTitle(const store::Error& e)
{
    return QStringLiteral("[Stashbook]  :File Error:  ") + QString::fromStdString(e.file);
}

void reportFileError(Notifier& notifier, QWidget* parent, const store::Error& e)
{
    notifier.error(parent, fileErrorTitle(e), QString::fromStdString(e.message));
}

} // namespace sb::app
