#include "app/modal.h"

#include <QDialog>
#include <QMessageBox>

namespace sb::app {

namespace {

// Every box shows its text as plain text: names quoted in it are shown as
// typed ("<b>Bank</b>" is no markup) and keep their double blanks.
void showPlain(QMessageBox& box)
{
    box.setTextFormat(Qt::PlainText);
}

} // namespace

Modal::Modal(QWidget* window) : QObject(window), window_(window) {}

int Modal::exec(QDialog& dialog)
{
    if (exiting_)
        return QDialog::Rejected;
    open_.append(&dialog);
    const int result = dialog.exec();
    open_.removeAll(&dialog);
    return exiting_ ? int(QDialog::Rejected) : result;
}

void Modal::error(const QString& title, const QString& text)
{
    // A box opened over a dialog belongs to it, so it shows above it.
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                    open_.isEmpty() ? window_ : open_.last().data());
    showPlain(box);
    exec(box);
}

void Modal::errorLater(const QString& title, const QString& text)
{
    QMetaObject::invokeMethod(
        this, [this, title, text] { error(title, text); }, Qt::QueuedConnection);
}

bool Modal::ask(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No,
                    open_.isEmpty() ? window_ : open_.last().data());
    showPlain(box);
    return exec(box) == QMessageBox::Yes;
}

int Modal::run(QDialog& dialog)
{
    return exec(dialog);
}

void Modal::endAll()
{
    exiting_ = true;
    // Innermost first: each returns from its own exec() in turn.
    for (auto it = open_.crbegin(); it != open_.crend(); ++it) {
        if (QDialog* d = it->data())
            d->done(QDialog::Rejected);
    }
}

} // namespace sb::app
