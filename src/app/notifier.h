// Messages to the user. The window reports through this interface so that
// tests can record what would have been shown instead of blocking on a modal
// box.
#pragma once

#include "store/record_file.h"

#include <QString>

class QWidget;

namespace sb::app {

class Notifier
{
public:
    virtual ~Notifier() = default;
    // An error with a single OK button and no icon.
    virtual void error(QWidget* parent, const QString& title, const QString& text) = 0;
};

// The real thing: modal message boxes without an icon.
class MessageBoxNotifier final : public Notifier
{
public:
    void error(QWidget* parent, const QString& title, const QString& text) override;
};

// Title of the box that reports a failed file operation on `e.file`.
QString fileErrorTitle(const store::Error& e);

// Shows `e` through `notifier` as a file error.
void reportFileError(Notifier& notifier, QWidget* parent, const store::Error& e);

} // namespace sb::app
