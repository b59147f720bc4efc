// The main window on a temporary data folder, and the ways tests reach its
// controls.
#pragma once

#include "app/main_window.h"
#include "app/notifier.h"
#include "support/files.h"

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

namespace sb::test {

// Records what the program would have shown in a message box.
struct FakeNotifier final : app::Notifier
{
    void error(QWidget*, const QString& title, const QString& text) override
    {
        titles << title;
        texts << text;
    }
    QStringList titles, texts;
};

struct WindowFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    FakeNotifier notifier;
    std::unique_ptr<app::frmStashbook> window;

    // A new, empty data folder and no window; call from init().
    void fresh()
    {
        window.reset();
        dir = std::make_unique<QTemporaryDir>();
        notifier = FakeNotifier();
    }

    void write(const QString& name, const QByteArray& b) { writeFile(dir->path(), name, b); }

    // Null stand-ins leave the desktop's own hot key and tray.
    app::frmStashbook& start(app::GlobalHotKey* hotKey = nullptr, app::TrayIcon* tray = nullptr)
    {
        window = std::make_unique<app::frmStashbook>(
            app::Environment{dir->path().toStdString(), &notifier, hotKey, tray});
        window->Start_Up();
        return *window;
    }

    template <class T = QPushButton> T* child(const QString& name)
    {
        T* w = window->findChild<T*>(name);
        if (!w)
            qFatal("no control named %s", qPrintable(name));
        return w;
    }
    QListWidget* list(const QString& name) { return child<QListWidget>(name); }

    QStringList rows(const QString& name)
    {
        QStringList out;
        for (int i = 0; i < list(name)->count(); ++i)
            out << list(name)->item(i)->text();
        return out;
    }

    int selectedRow(const QString& name)
    {
        return list(name)->selectionModel()->selectedIndexes().value(0).row();
    }

    void clickRow(const QString& name, int row, Qt::KeyboardModifiers mods = {})
    {
        QListWidget* l = list(name);
        QTest::mouseClick(l->viewport(), Qt::LeftButton, mods,
                          l->visualItemRect(l->item(row)).center());
    }

    // The state after a reload: no site selected, nothing shown for one.
    void verifyNoSiteShown()
    {
        QCOMPARE(selectedRow("lst_Site"), -1);
        QCOMPARE(child("cmd_Site_Name")->text(), app::frmStashbook::kHotKeyHint);
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QCOMPARE(list(l)->count(), 0);
        for (const char* b : {"cmd_Go", "cmd_Edit_Site", "cmd_Rem_Site", "cmd_Add_Account",
                              "cmd_Edit_Account", "cmd_Remove_Account", "cmd_Go_Referral_URL"})
            QVERIFY2(!child(b)->isEnabled(), b);
    }
};

} // namespace sb::test
