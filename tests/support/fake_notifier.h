// Records what the program would have shown in a message box.
#pragma once

#include "app/notifier.h"

#include <QList>
#include <QString>

namespace sb::test {

class FakeNotifier final : public app::Notifier
{
public:
    struct Message
    {
        QString title;
        QString text;
    };

    void error(QWidget*, const QString& title, const QString& text) override
    {
        errors.append({title, text});
    }

    QList<Message> errors;
};

} // namespace sb::test
