// The main window on a temporary data folder, driven by scripts of steps as
// a person would drive it, its boxes answered by a stand-in.
//
// A script is steps separated by "; ". A step "WHAT = TEXT" checks that what
// WHAT reads equals TEXT ("WHAT ~ TEXT": contains it); any other step acts.
// The window starts at the first step that is not a file's.
//   Files (S: the sites file, A: the accounts file, or a name):
//     write F RECORDS, append F RECORDS, remove F; check "file F = RECORDS",
//     "unchanged F", "files = NAME|NAME"
//   RECORDS: records separated by '|', fields by ','; a record that starts
//     with a double quote is written as it stands, without a line end.
//   Acting: site NAME (a click on its row), row LIST N, ctrl LIST N (with
//     Ctrl), blank LIST (a click below the rows), dclick LIST N, key WIDGET
//     KEYS, click BUTTON, enter BUTTON (Enter on it), menu ITEM, answers yn...
//   Reading: rows LIST, sel LIST, sel (the account lists, one row or three),
//     current (the same for their current rows), text WIDGET, title MENU,
//     focus, on (the site and account buttons enabled), clip, secret,
//     boxes (titles), said (texts), count, url, opened, dialogs; nosite checks
//     the state after a reload: no site selected, nothing shown for one.
//   In a dialog (the steps `dialogSteps` run in every dialog that opens):
//     type BOX TEXT (types over it; a line break is pasted), keys BOX TEXT,
//     close OK|Cancel|Enter|Esc|close box|Enter on Cancel; BOX is the
//     box's place in creation order, and focus reads the place of the box
//     with the focus and all its text selected ("?" for anything else).
#pragma once

#include "app/main_window.h"
#include "browse/account_table.h"
#include "browse/selection_list.h"
#include "dialogs/dialog_kit.h"
#include "support/fake_prompter.h"
#include "support/files.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <memory>

namespace sb::test {

inline QByteArray records(const QString& text)
{
    QByteArray out;
    for (const QString& r : text.split('|', Qt::SkipEmptyParts))
        out += r.startsWith('"') ? r.toUtf8() : '"' + r.toUtf8().replace(",", "\",\"") + "\"\r\n";
    return out;
}

inline void showActive(QWidget& w)
{
    w.show();
    QApplication::setActiveWindow(&w);
    if (!QTest::qWaitForWindowActive(&w))
        qWarning("window not active");
}

// Types over the box (tabbed into, so all its text is selected); an empty
// text clears it; a text with a line break, which no key types, is pasted.
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

struct WindowDriver
{
    std::unique_ptr<QTemporaryDir> dir;
    FakePrompter notifier;
    std::unique_ptr<app::frmStashbook> window;
    QString dialogSteps;
    QDialog* dialog = nullptr; // while its steps run
    int dialogs = 0;
    QList<QUrl> opened; // what reached the browser, where a test stands in for it
    QMap<QString, QByteArray> before;

    // A new, empty data folder and no window; call from init().
    void fresh()
    {
        window.reset();
        dir = std::make_unique<QTemporaryDir>();
        notifier = FakePrompter();
        dialogSteps.clear();
        dialogs = 0;
        opened.clear();
        before.clear();
    }

    // Null stand-ins leave the desktop's own hot key and tray; with
    // `realBoxes` the program's own message boxes are shown (and block).
    app::frmStashbook& start(app::GlobalHotKey* hotKey = nullptr, app::TrayIcon* tray = nullptr,
                             bool realBoxes = false)
    {
        window = std::make_unique<app::frmStashbook>(app::Environment{
            dir->path().toStdString(), realBoxes ? nullptr : &notifier, hotKey, tray});
        notifier.onDialog = [this](QDialog& d) {
            ++dialogs;
            const QScopedValueRollback open(dialog, &d);
            showActive(d);
            run(dialogSteps);
            return d.result();
        };
        window->Start_Up();
        return *window;
    }

    QString fileName(const QString& f) const
    {
        return f == "S" ? "SB-Sites.DaT" : f == "A" ? "SB-Acnts.DaT" : f;
    }
    QByteArray file(const QString& f) const { return readFile(dir->path(), fileName(f)); }
    void write(const QString& f, const QByteArray& bytes)
    {
        writeFile(dir->path(), fileName(f), bytes);
        if (!window)
            before[f] = bytes;
    }

    // A control of the dialog open (its boxes also by their place) or of the window.
    template <class T = QWidget> T* child(const QString& name) const
    {
        bool place = false;
        const int i = name.toInt(&place);
        QObject* top = dialog ? static_cast<QObject*>(dialog) : window.get();
        T* w = dialog && place ? qobject_cast<T*>(dialog->findChildren<QLineEdit*>().value(i))
                               : top->findChild<T*>(name);
        if (!w)
            qFatal("no control named %s", qPrintable(name));
        return w;
    }
    browse::SelectionList* list(const QString& name) const
    {
        return child<browse::SelectionList>(name);
    }
    QStringList rows(const QString& name) const { return list(name)->rows(); }
    int selectedRow(const QString& name) const { return list(name)->selectedRow(); }
    void clickRow(const QString& name, int row, Qt::KeyboardModifiers mods = {})
    {
        QListWidget* l = list(name);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, mods,
                          l->visualItemRect(l->item(row)).center());
    }
    // One number when the three account lists agree, else all three.
    QString accountLists(int (*row)(const browse::SelectionList*)) const
    {
        QStringList out;
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            out << QString::number(row(list(l)));
        return out.count(out[0]) == 3 ? out[0] : out.join(',');
    }

    QString read(const QString& what) const
    {
        const QString verb = what.section(' ', 0, 0), arg = what.section(' ', 1);
        if (verb == "rows")
            return rows(arg).join('|');
        if (verb == "sel" && arg.isEmpty())
            return accountLists([](const browse::SelectionList* l) { return l->selectedRow(); });
        if (verb == "sel")
            return QString::number(selectedRow(arg));
        if (verb == "account") {
            QStringList out;
            for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
                out << list(l)->selectedText();
            return out.join(',');
        }
        if (verb == "current")
            return accountLists([](const browse::SelectionList* l) { return l->currentRow(); });
        if (verb == "text")
            return child(arg)->property("text").toString();
        if (verb == "title")
            return child<QMenu>(arg)->title();
        if (verb == "focus" && dialog) {
            auto* b = qobject_cast<QLineEdit*>(dialog->focusWidget());
            const int i = dialog->findChildren<QLineEdit*>().indexOf(b);
            return b && b->selectedText() == b->text() ? QString::number(i) : "?";
        }
        if (verb == "focus")
            return window->focusWidget() ? window->focusWidget()->objectName() : QString();
        if (verb == "on") {
            QStringList on;
            for (const char* b : {"Go", "Go_Referral_URL", "Edit_Site", "Rem_Site", "Add_Account",
                                  "Edit_Account", "Remove_Account"}) {
                if (child(QString("cmd_") + b)->isEnabled())
                    on << b;
            }
            return on.join(' ');
        }
        if (verb == "clip")
            return QGuiApplication::clipboard()->text();
        if (verb == "secret")
            return QGuiApplication::clipboard()->mimeData()->data("x-kde-passwordManagerHint");
        if (verb == "boxes")
            return notifier.titles.join('|');
        if (verb == "said")
            return notifier.texts.join('|');
        if (verb == "file")
            return QString::fromUtf8(file(arg));
        if (verb == "files")
            return QDir(dir->path()).entryList(QDir::Files).join('|');
        if (verb == "count")
            return QString::number(window->accountCount());
        if (verb == "url")
            return window->siteUrl();
        if (verb == "opened") {
            QStringList out;
            for (const QUrl& u : opened)
                out << u.toString();
            return out.join('|');
        }
        if (verb == "dialogs")
            return QString::number(dialogs);
        if (verb == "enabled")
            return QString::number(child(arg)->isEnabled());
        if (verb == "open")
            return QString::number(dialog->isVisible());
        qFatal("no such check: %s", qPrintable(what));
    }

    void act(const QString& step)
    {
        const QString verb = step.section(' ', 0, 0), arg = step.section(' ', 1, 1),
                      rest = step.section(' ', 2);
        if (verb == "write" || verb == "append") {
            write(arg, (verb == "append" ? file(arg) : QByteArray()) + records(rest));
            return;
        }
        if (verb == "remove") {
            QVERIFY(QDir(dir->path()).remove(fileName(arg)));
            return;
        }
        if (!window)
            start();
        if (verb == "site") {
            const int row = rows("lst_Site").indexOf(step.section(' ', 1));
            QVERIFY2(row >= 0, qPrintable(step));
            clickRow("lst_Site", row);
        } else if (verb == "row" || verb == "ctrl") {
            clickRow(arg, rest.toInt(), verb == "ctrl" ? Qt::ControlModifier : Qt::NoModifier);
        } else if (verb == "blank") {
            QWidget* v = list(arg)->viewport();
            QTest::mouseClick(v, Qt::LeftButton, {}, {5, v->height() - 3});
        } else if (verb == "dclick") {
            QListWidget* l = list(arg);
            const QRect r = l->visualItemRect(l->item(rest.toInt()));
            QTest::mouseDClick(window->windowHandle(), Qt::LeftButton, {},
                               l->viewport()->mapTo(window.get(), r.center()));
        } else if (verb == "key") {
            QWidget* w = child(arg);
            if (!dialog && !window->isActiveWindow())
                showActive(*window);
            w->setFocus(Qt::TabFocusReason);
            const QKeyCombination k = QKeySequence(rest)[0];
            QTest::keyClick(w, k.key(), k.keyboardModifiers());
        } else if (verb == "click") {
            QTest::mouseClick(child(arg), Qt::LeftButton);
        } else if (verb == "enter") {
            child(arg)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(child(arg), Qt::Key_Return);
        } else if (verb == "menu") {
            window->findChild<QAction*>(arg)->trigger();
        } else if (verb == "exitat") {
            notifier.exitAt = arg.toInt();
        } else if (verb == "noroom") { // every name of a temporary file taken
            for (int n = 1; n <= 10000; ++n)
                writeFile(dir->path(), QString("SB-t%1.txt").arg(n), {});
        } else if (verb == "answers") {
            notifier.answers.clear();
            for (const QChar c : arg)
                notifier.answers << (c == u'y');
        } else if (verb == "type") {
            typeOver(child<QLineEdit>(arg), step.section(' ', 2));
        } else if (verb == "keys") {
            QTest::keyClicks(child(arg), rest);
        } else if (verb == "close") {
            const QString how = step.section(' ', 1);
            QPushButton* button = dialogs::okCancelButton(
                dialog, qPrintable(dialog->findChild<QPushButton*>()->objectName()),
                how.endsWith("Cancel") ? 1 : 0);
            if (how == "Enter on Cancel")
                button->setFocus(Qt::TabFocusReason);
            if (how.startsWith("Enter") || how == "Esc")
                QTest::keyClick(dialog->focusWidget(),
                                how == "Esc" ? Qt::Key_Escape : Qt::Key_Return);
            else if (how == "close box")
                dialog->close();
            else
                QTest::mouseClick(button, Qt::LeftButton);
        } else if (verb == "nosite") {
            run("sel lst_Site = -1; on = ; rows lst_Username = ; rows lst_Password = ; "
                "rows lst_Referral_URL = ; text cmd_Site_Name = " +
                browse::AccountTable::kHotKeyHint);
        } else {
            qFatal("no such step: %s", qPrintable(step));
        }
    }

    void run(const QString& script)
    {
        for (const QString& step : script.split("; ", Qt::SkipEmptyParts)) {
            const qsizetype is = step.indexOf(" = "), has = step.indexOf(" ~ ");
            const qsizetype at = is < 0 || (has >= 0 && has < is) ? has : is;
            const QString what = step.left(at), expected = step.mid(at + 3);
            if (step.startsWith("unchanged "))
                QCOMPARE(file(step.mid(10)), before.value(step.mid(10)));
            else if (at < 0)
                act(step);
            else if (at == has)
                QVERIFY2(read(what).contains(expected),
                         qPrintable(step + "\n   read: " + read(what)));
            else
                QTest::qCompare(read(what),
                                what.startsWith("file ") ? QString::fromUtf8(records(expected))
                                                         : expected,
                                qPrintable(what), "expected", __FILE__, __LINE__);
            if (QTest::currentTestFailed())
                return;
        }
    }
};

} // namespace sb::test
