// The main window on a temporary data folder, and the ways tests reach its
// controls.
#pragma once

#include "app/main_window.h"
#include "browse/account_table.h"
#include "browse/selection_list.h"
#include "support/fake_prompter.h"
#include "support/files.h"

#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <functional>
#include <memory>

namespace sb::test {

struct WindowFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    FakePrompter notifier;
    std::unique_ptr<app::frmStashbook> window;
    std::chrono::milliseconds clipboardDelay{30000};

    // A new, empty data folder and no window; call from init().
    void fresh()
    {
        window.reset();
        dir = std::make_unique<QTemporaryDir>();
        notifier = FakePrompter();
    }

    void write(const QString& name, const QByteArray& b) { writeFile(dir->path(), name, b); }

    // Null stand-ins leave the desktop's own hot key and tray; with
    // `realBoxes` the program's own message boxes are shown (and block).
    app::frmStashbook& start(app::GlobalHotKey* hotKey = nullptr, app::TrayIcon* tray = nullptr,
                             bool realBoxes = false)
    {
        window = std::make_unique<app::frmStashbook>(
            app::Environment{dir->path().toStdString(), realBoxes ? nullptr : &notifier, hotKey,
                             tray, clipboardDelay});
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
    browse::SelectionList* list(const QString& name) { return child<browse::SelectionList>(name); }

    QStringList rows(const QString& name) { return list(name)->rows(); }
    int selectedRow(const QString& name) { return list(name)->selectedRow(); }

    void click(const QString& button) { QTest::mouseClick(child(button), Qt::LeftButton); }
    // Clicks `button`; the dialog it opens is handed to `drive`, and closes
    // with what drive did to it.
    void clickAndDrive(const QString& button, const std::function<void(QDialog&)>& drive)
    {
        notifier.onDialog = [drive](QDialog& d) {
            drive(d);
            return d.result();
        };
        click(button);
    }
    void selectSite(const QString& name)
    {
        list("lst_Site")->selectRow(rows("lst_Site").indexOf(name));
    }
    // The selected rows of the user-name, password and extra-info lists.
    QList<int> accountSelection()
    {
        return {selectedRow("lst_Username"), selectedRow("lst_Password"),
                selectedRow("lst_Referral_URL")};
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
        QCOMPARE(child("cmd_Site_Name")->text(), browse::AccountTable::kHotKeyHint);
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            QCOMPARE(list(l)->count(), 0);
        for (const char* b : {"cmd_Go", "cmd_Edit_Site", "cmd_Rem_Site", "cmd_Add_Account",
                              "cmd_Edit_Account", "cmd_Remove_Account", "cmd_Go_Referral_URL"})
            QVERIFY2(!child(b)->isEnabled(), b);
    }
};

} // namespace sb::test
