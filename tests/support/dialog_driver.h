// Drives a dialog offscreen as a person would: shown and active, so that the
// focus and the keys act as on a desktop; typed into boxes that select their
// whole text when the focus comes to them; closed one of five ways.
#pragma once

#include "dialogs/dialog_kit.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace sb::test {

inline void showActive(QDialog& d)
{
    d.show();
    QApplication::setActiveWindow(&d);
    if (!QTest::qWaitForWindowActive(&d))
        qWarning("dialog not active");
}

// A text box by name, or by creation order.
inline QLineEdit* box(const QDialog& d, const QString& name)
{
    auto* b = d.findChild<QLineEdit*>(name);
    if (!b)
        qFatal("no box named %s", qPrintable(name));
    return b;
}
inline QLineEdit* box(const QDialog& d, int i)
{
    return d.findChildren<QLineEdit*>().value(i);
}

// The box with the focus if its whole text is selected (a person typing
// would replace it), else "?".
inline QString focusedBox(const QDialog& d)
{
    auto* b = qobject_cast<QLineEdit*>(d.focusWidget());
    return b && b->selectedText() == b->text() ? b->objectName() : QStringLiteral("?");
}

// Tabs into the box and types over its text; an empty text clears it. A
// text with a line break, which no key types, is pasted with Ctrl+V.
inline void typeOver(QLineEdit* b, const QString& text)
{
    b->setFocus(Qt::TabFocusReason);
    if (text.isEmpty())
        QTest::keyClick(b, Qt::Key_Delete);
    if (text.contains(u'\r') || text.contains(u'\n')) {
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(b, Qt::Key_V, Qt::ControlModifier);
    } else {
        QTest::keyClicks(b, text);
    }
}

// "OK" or "Cancel" (clicked; the buttons of the array `buttons`), "Enter"
// (in the focused box), "Enter on Cancel" (tabbed to), "Esc" or "close box".
inline void closeDialog(QDialog& d, const QString& how, const char* buttons)
{
    QPushButton* button = dialogs::okCancelButton(&d, buttons, how.endsWith("Cancel") ? 1 : 0);
    if (how == "Enter on Cancel")
        button->setFocus(Qt::TabFocusReason);
    if (how.startsWith("Enter") || how == "Esc")
        QTest::keyClick(d.focusWidget(), how == "Esc" ? Qt::Key_Escape : Qt::Key_Return);
    else if (how == "close box")
        d.close();
    else
        QTest::mouseClick(button, Qt::LeftButton);
}

} // namespace sb::test
