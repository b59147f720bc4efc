// The main window on a temporary data folder, driven by scripts of steps as
// a person would drive it, its boxes answered by a stand-in.
//
// A script is steps separated by "; ". A step "WHAT = TEXT" checks that what
// WHAT reads equals TEXT ("WHAT ~ TEXT": contains it); any other step acts.
// The window starts at the first step that is not a file's.
//   Files (S: the sites file, A: the accounts file, or a name):
//     write F RECORDS, append F RECORDS, remove F; check "file F = RECORDS",
//     "unchanged F" (as written before the start), "files = NAME|NAME"
//   RECORDS: records separated by '|', fields by ','; a record that starts
//     with a double quote is written as it stands, without a line end.
//   Acting: site NAME (a click on its row), row LIST N, ctrl LIST N (with
//     Ctrl), blank LIST (a click below the rows), dclick LIST N, key WIDGET
//     KEYS, click BUTTON, enter BUTTON (Enter on it), menu ITEM, answers yn..,
//     rclick LIST N and menukey LIST (the list's menu, over row N), release
//     LIST (the menu closed, the button released: the list is left idle),
//     exitat N (the program exits once N boxes were shown), noroom (every
//     name of a temporary file taken), nosite (checks the state after a
//     reload: no site selected, nothing shown for one), choose NAME (what
//     file dialogs choose, in the folder), copy PATH NAME (into the folder),
//     drop NAME (a file of the folder dropped on the window).
//   Reading: rows LIST, shown LIST N (what row N shows), sel LIST, sel (the
//     account lists: one row, their current row too, or each list's),
//     account (their selected texts), text WIDGET, title MENU, status (the
//     status bar), enabled WIDGET, focus, on (the site and account buttons
//     enabled), clip, secret, boxes (titles), said (texts), count, url,
//     opened, dialogs,
//     open (the dialog is shown), dropped (the last drop taken), bytes NAME
//     (a file as it stands), menu (the items enabled in the menu open,
//     "-" for none).
//   In a dialog (the steps `dialogSteps` run in every dialog that opens):
//     type BOX TEXT (types over it; a line break is pasted), keys BOX TEXT,
//     close OK|Cancel|Enter|Esc|close box|Enter on Cancel; BOX is the
//     box's place in creation order, and focus reads the place of the box
//     with the focus and all its text selected ("?" for a box otherwise,
//     the name of any other control).
#pragma once

#include "app/main_window.h"
#include "browse/account_table.h"
#include "browse/selection_list.h"
#include "common/ports.h"
#include "dialogs/dialog_kit.h"
#include "support/files.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStatusBar>
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

// Stands in for the program's message boxes and dialogs: records what would
// have been shown and answers from a script, so no modal loop blocks a test.
struct FakePrompter final : common::Prompter
{
    QStringList titles, texts; // every box, errors and questions, in order
    QList<bool> answers;       // answers to the questions in order; No when none is left
    // Once this many boxes have been shown the program is exiting (exit was
    // chosen from the tray while the last one was open): questions answer No.
    int exitAt = -1;
    // Drives a dialog shown modally and returns its result.
    std::function<int(QDialog&)> onDialog;

    void error(const QString& title, const QString& text) override
    {
        titles << title;
        texts << text;
    }
    void errorLater(const QString& title, const QString& text) override { error(title, text); }
    bool ask(const QString& title, const QString& text) override
    {
        error(title, text);
        return !answers.isEmpty() && answers.takeFirst() && !exiting();
    }
    int run(QDialog& dialog) override { return onDialog(dialog); }
    bool exiting() const override { return exitAt >= 0 && titles.size() >= exitAt; }
};

// Whether a list is idle, not halfway through a press, a drag or a
// selection by the mouse.
struct ListState : QAbstractItemView
{
    static bool idle(const QAbstractItemView* l)
    {
        return (l->*&ListState::state)() == QAbstractItemView::NoState;
    }
};

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
    QPoint pointer; // of the last menu opened on a list, and whether by the mouse
    bool pressed = false;
    QString chosen;       // by the file dialogs
    bool dropped = false; // the last drop taken
    std::chrono::milliseconds clipboardDelay{30000};

    // A new, empty data folder and no window; call from init().
    void fresh()
    {
        window.reset();
        *this = WindowDriver();
        dir = std::make_unique<QTemporaryDir>();
    }

    // Null stand-ins leave the desktop's own hot key and tray; with
    // `realBoxes` the program's own message boxes are shown (and block).
    app::frmStashbook& start(app::GlobalHotKey* hotKey = nullptr, app::TrayIcon* tray = nullptr,
                             bool realBoxes = false)
    {
        window = std::make_unique<app::frmStashbook>(
            app::Environment{dir->path().toStdString(), realBoxes ? nullptr : &notifier, hotKey,
                             tray, clipboardDelay});
        notifier.onDialog = [this](QDialog& d) {
            if (auto* files = qobject_cast<QFileDialog*>(&d)) {
                files->selectFile(chosen);
                d.accept(); // QFileDialog::accept(), as its button does
                return d.result();
            }
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
    // Of the three account lists: one value when they agree, else all three.
    QString accountLists(const std::function<QString(browse::SelectionList*)>& of) const
    {
        QStringList out;
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            out << of(list(l));
        return out.count(out[0]) == 3 ? out[0] : out.join(',');
    }

    QString read(const QString& what)
    {
        using D = WindowDriver;
        using S = const QString&;
        using L = browse::SelectionList*;
        static const QHash<QString, std::function<QString(D&, S)>> reads = {
            {"rows", [](D& d, S a) { return d.rows(a).join('|'); }},
            {"shown",
             [](D& d, S a) {
                 return d.list(a.section(' ', 0, 0))->item(a.section(' ', 1).toInt())->text();
             }},
            {"sel", [](D& d, S a) { return QString::number(d.selectedRow(a)); }},
            {"sel ", // each list's current row follows its selected one
             [](D& d, S) {
                 return d.accountLists([](L l) {
                     const int row = l->selectedRow(), current = l->currentRow();
                     return QString::number(row) +
                            (row < 0 || row == current ? "" : "/" + QString::number(current));
                 });
             }},
            {"account",
             [](D& d, S) {
                 QStringList out;
                 for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
                     out << d.list(l)->selectedText();
                 return out.join(',');
             }},
            {"text",
             [](D& d, S a) {
                 const QVariant text = d.child(a)->property("text");
                 return text.isValid() ? text.toString()
                                       : d.child(a)->property("plainText").toString();
             }},
            {"title", [](D& d, S a) { return d.child<QMenu>(a)->title(); }},
            {"status", [](D& d, S) { return d.child<QStatusBar>("sts_Bar")->currentMessage(); }},
            {"enabled", [](D& d, S a) { return QString::number(d.child(a)->isEnabled()); }},
            {"clip", [](D&, S) { return QGuiApplication::clipboard()->text(); }},
            {"secret",
             [](D&, S) {
                 return QString(
                     QGuiApplication::clipboard()->mimeData()->data("x-kde-passwordManagerHint"));
             }},
            {"boxes", [](D& d, S) { return d.notifier.titles.join('|'); }},
            {"said", [](D& d, S) { return d.notifier.texts.join('|'); }},
            {"file", [](D& d, S a) { return QString::fromUtf8(d.file(a)); }},
            {"files", [](D& d, S) { return QDir(d.dir->path()).entryList(QDir::Files).join('|'); }},
            {"count", [](D& d, S) { return QString::number(d.window->accountCount()); }},
            {"url", [](D& d, S) { return d.window->siteUrl(); }},
            {"opened", [](D& d, S) { return QUrl::toStringList(d.opened).join('|'); }},
            {"dialogs", [](D& d, S) { return QString::number(d.dialogs); }},
            {"dropped", [](D& d, S) { return QString::number(d.dropped); }},
            {"bytes", [](D& d, S a) { return QString::fromUtf8(d.file(a)); }},
            {"open", [](D& d, S) { return QString::number(d.dialog->isVisible()); }},
            {"menu", // the items enabled in the menu open, "-" for none open
             [](D&, S) {
                 QWidget* menu = QApplication::activePopupWidget();
                 QStringList on;
                 for (const QAction* a : menu ? menu->actions() : QList<QAction*>()) {
                     if (a->isEnabled() && !a->isSeparator())
                         on << (a->menu() ? a->menu()->objectName() : a->objectName());
                 }
                 return menu ? on.join(' ') : "-";
             }},
            {"focus",
             [](D& d, S) -> QString {
                 QWidget* w =
                     (d.dialog ? static_cast<QWidget*>(d.dialog) : d.window.get())->focusWidget();
                 auto* b = qobject_cast<QLineEdit*>(w);
                 if (!d.dialog)
                     return w ? w->objectName() : QString();
                 return b && b->selectedText() == b->text()
                            ? QString::number(d.dialog->findChildren<QLineEdit*>().indexOf(b))
                        : b ? "?"
                            : w->objectName();
             }},
            {"on",
             [](D& d, S) {
                 QStringList on;
                 for (const char* b : {"Go", "Go_Referral_URL", "Edit_Site", "Rem_Site",
                                       "Add_Account", "Edit_Account", "Remove_Account"})
                     on << (d.child(QString("cmd_") + b)->isEnabled() ? b : "");
                 return on.join(' ').simplified();
             }},
        };
        const QString verb = what.section(' ', 0, 0), arg = what.section(' ', 1);
        const auto r = reads.find(verb == "sel" && arg.isEmpty() ? "sel " : verb);
        if (r == reads.end())
            qFatal("no such check: %s", qPrintable(what));
        return (*r)(*this, arg);
    }

    void act(const QString& step)
    {
        const QString verb = step.section(' ', 0, 0), arg = step.section(' ', 1, 1),
                      rest = step.section(' ', 2);
        if (verb == "write" || verb == "append") {
            const QByteArray bytes = (verb == "append" ? file(arg) : QByteArray()) + records(rest);
            writeFile(dir->path(), fileName(arg), bytes);
            if (!window)
                before[arg] = bytes;
            return;
        }
        if (verb == "remove" || verb == "copy") {
            QVERIFY(verb == "copy" ? QFile::copy(arg, dir->filePath(rest))
                                   : QDir(dir->path()).remove(fileName(arg)));
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
            if (!dialog && !window->isActiveWindow())
                showActive(*window);
            child(arg)->setFocus(Qt::TabFocusReason);
            const QKeyCombination k = QKeySequence(rest)[0];
            QTest::keyClick(child(arg), k.key(), k.keyboardModifiers());
        } else if (verb == "rclick" || verb == "menukey") { // a list's menu, over row N
            QListWidget* l = list(arg);
            const QListWidgetItem* over = l->item(rest.toInt());
            pointer = QPoint(5, 5) +
                      (over && l->count() > 1 ? l->visualItemRect(over).topLeft() : QPoint());
            QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(), QPoint());
            pressed = verb == "rclick";
            if (pressed)
                QTest::mousePress(l->viewport(), Qt::RightButton, {}, pointer);
            else
                QApplication::sendEvent(l, &key);
            QWidget* menu = QApplication::activePopupWidget();
            QVERIFY(!menu || !pressed || menu->pos() == l->viewport()->mapToGlobal(pointer));
        } else if (verb == "release") { // the menu closed, the list left idle
            if (QWidget* menu = QApplication::activePopupWidget())
                menu->close();
            QListWidget* l = list(arg);
            if (pressed)
                QTest::mouseRelease(l->viewport(), Qt::RightButton, {}, pointer);
            QVERIFY(ListState::idle(l));
            QTest::mouseMove(l->viewport(), pointer);
        } else if (verb == "click") {
            QTest::mouseClick(child(arg), Qt::LeftButton);
        } else if (verb == "enter") {
            child(arg)->setFocus(Qt::TabFocusReason);
            QTest::keyClick(child(arg), Qt::Key_Return);
        } else if (verb == "menu") {
            window->findChild<QAction*>(arg)->trigger();
        } else if (verb == "exitat") {
            notifier.exitAt = arg.toInt();
        } else if (verb == "noroom") {
            for (int n = 1; n <= 10000; ++n)
                writeFile(dir->path(), QString("SB-t%1.txt").arg(n), {});
        } else if (verb == "answers") {
            notifier.answers.clear();
            for (const QChar c : arg)
                notifier.answers << (c == u'y');
        } else if (verb == "type") { // tabbed into, so that all its text is selected
            auto* b = child<QLineEdit>(arg);
            b->setFocus(Qt::TabFocusReason);
            if (rest.isEmpty())
                QTest::keyClick(b, Qt::Key_Delete);
            if (rest.contains(u'\r') || rest.contains(u'\n')) {
                QGuiApplication::clipboard()->setText(rest);
                QTest::keyClick(b, Qt::Key_V, Qt::ControlModifier);
            } else {
                QTest::keyClicks(b, rest);
            }
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
        } else if (verb == "choose") {
            chosen = dir->filePath(arg);
        } else if (verb == "drop") {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(dir->filePath(arg))});
            QDropEvent drop(QPointF(9, 9), Qt::CopyAction, &data, Qt::LeftButton, {});
            dropped = static_cast<QObject*>(window.get())->event(&drop) && drop.isAccepted();
            QCoreApplication::processEvents();
        } else if (verb == "nosite") {
            run("sel lst_Site = -1; on = ; rows lst_Username = ; rows lst_Password = ; "
                "rows lst_Referral_URL = ; text cmd_Site_Name = " +
                browse::AccountTable::kHotKeyHint);
        } else {
            qFatal("no such step: %s", qPrintable(step));
        }
    }

    // A table of scripts and the steps of the dialogs they open, its rows
    // "NAME | SCRIPT || DIALOG STEPS"; runScript() runs the current row.
    static void scriptColumns()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("dialog");
    }
    static void scriptRow(const QString& row)
    {
        const QString steps = row.section(" | ", 1);
        QTest::newRow(qPrintable(row.section(" | ", 0, 0)))
            << steps.section(" || ", 0, 0) << steps.section(" || ", 1);
    }
    void runScript()
    {
        QFETCH(QString, script);
        QFETCH(QString, dialog);
        dialogSteps = dialog;
        run(script);
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
