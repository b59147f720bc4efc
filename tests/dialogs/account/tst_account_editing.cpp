// Adding, editing and removing accounts from the main window, with the real
// dialogs typed into offscreen.
#include "dialogs/account/account_rules.h"
#include "dialogs/dialog_kit.h"
#include "support/window_fixture.h"

#include <QLineEdit>
#include <QtTest>

using namespace sb::dialogs::account;
using sb::test::rec;

namespace {

const char* const kBoxes[] = {"txt_Username", "txt_Password", "txt_Referral_URL"};

// Sites News, Mail and Bank (no accounts). News lists zed, alice, mike; Mail
// alice. Some records spell their site otherwise than the sites file.
const QByteArray kSites = rec({"News", "n"}) + rec({"Mail", "m"}) + rec({"Bank", "b"});
const QByteArray kZed = rec({"NEWS", "zed", "pw-z", "x-z"});
const QByteArray kMailAlice = rec({"Mail", "alice", "pw-ma", ""});
const QByteArray kAlice = rec({"news", "alice", "pw-a", "x-a"});
const QByteArray kMike = rec({"News", "mike", "pw-m", ""});
const QByteArray kAccounts = kZed + kMailAlice + kAlice + kMike;

// Each attempt types into the boxes (a null entry leaves a box alone, an
// empty one clears it) and presses Enter; no attempt left: Cancel.
using Attempts = QList<QStringList>;

} // namespace

class TestAccountEditing : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    // What the dialog showed while it was driven.
    struct Seen
    {
        bool opened = false;
        QString firstFocus;  // the box with the focus as it opened, if its text was selected
        QStringList old;     // the old-value column of the Edit dialog
        QStringList refused; // after each refused OK: the box with the focus, text selected
    } seen_;

    QString focusedBox(QDialog& d)
    {
        auto* box = qobject_cast<QLineEdit*>(d.focusWidget());
        return box && box->selectedText() == box->text() ? box->objectName() : QString("?");
    }

    int drive(QDialog& d, const Attempts& attempts, const std::function<void()>& beforeOk = {})
    {
        seen_.opened = true;
        d.show();
        QApplication::setActiveWindow(&d);
        if (!QTest::qWaitForWindowActive(&d))
            qWarning("dialog not active");
        seen_.firstFocus = focusedBox(d);
        for (const char* b : kBoxes) {
            if (auto* old = d.findChild<QLineEdit*>(QString(b) + "_Old"))
                seen_.old << old->text();
        }
        for (const QStringList& typed : attempts) {
            for (int i = 0; i < 3; ++i) {
                if (typed.value(i).isNull())
                    continue;
                auto* box = d.findChild<QLineEdit*>(kBoxes[i]);
                box->setFocus(Qt::TabFocusReason); // selects the text: typing replaces it
                if (typed[i].isEmpty())
                    QTest::keyClick(box, Qt::Key_Delete);
                QTest::keyClicks(box, typed[i]);
            }
            if (beforeOk)
                beforeOk();
            QTest::keyClick(d.focusWidget(), Qt::Key_Return);
            if (!d.isVisible())
                return d.result();
            seen_.refused << focusedBox(d);
        }
        QTest::mouseClick(sb::dialogs::okCancelButton(&d, "cmd_Add_Account_OK_or_Cancel", 1),
                          Qt::LeftButton);
        return d.result();
    }

    sb::app::frmStashbook& start(const QByteArray& accounts, const QString& site, int row)
    {
        write("SB-Sites.DaT", kSites);
        if (!accounts.isNull())
            write("SB-Acnts.DaT", accounts);
        sb::app::frmStashbook& w = WindowFixture::start();
        list("lst_Site")->setCurrentRow(rows("lst_Site").indexOf(site));
        list("lst_Username")->selectRow(row);
        return w;
    }
    // Title and text of every box shown.
    QStringList shownBoxes()
    {
        QStringList out;
        for (int i = 0; i < notifier.titles.size(); ++i)
            out << notifier.titles[i] << notifier.texts[i];
        return out;
    }
    QByteArray accountsFile() { return sb::test::readFile(dir->path(), "SB-Acnts.DaT"); }
    QStringList selectedAccount()
    {
        QStringList out;
        for (const char* l : {"lst_Username", "lst_Password", "lst_Referral_URL"})
            out << list(l)->selectedText();
        return out;
    }

private slots:
    void init()
    {
        fresh();
        seen_ = {};
    }
    void cleanup() { window.reset(); }

    void addAccount_data()
    {
        QTest::addColumn<QByteArray>("accounts"); // null: no accounts file
        QTest::addColumn<QString>("site");
        QTest::addColumn<int>("row"); // selected before
        QTest::addColumn<Attempts>("attempts");
        QTest::addColumn<QStringList>("boxes");     // every box shown, in order
        QTest::addColumn<QStringList>("refusedAt"); // focus after each refusal
        QTest::addColumn<QByteArray>("appended");
        QTest::addColumn<int>("selected"); // after the dialog closed

        const QString invalid = kInvalidCharacterTitle;
        QTest::newRow("same name in other letter case refused, then corrected")
            << kAccounts << "News" << 1 << Attempts{{"ALICE", "other"}, {"alice2"}}
            << QStringList{kDuplicateTitle, duplicateText("ALICE")} << QStringList{"txt_Username"}
            << rec({"News", "alice2", "other", ""}) << 3;
        QTest::newRow("same name at another site")
            << kAccounts << "Mail" << -1 << Attempts{{"zed", "p", "e"}} << QStringList()
            << QStringList() << rec({"Mail", "zed", "p", "e"}) << 1;
        QTest::newRow("leading and trailing blanks count")
            << kAccounts << "News" << 0 << Attempts{{" alice "}} << QStringList() << QStringList()
            << rec({"News", " alice ", "", ""}) << 3;
        QTest::newRow("placeholder site")
            << kAccounts << "Bank" << 0 << Attempts{{"new", "p"}} << QStringList() << QStringList()
            << rec({"Bank", "new", "p", ""}) << 0;
        QTest::newRow("no accounts file")
            << QByteArray() << "Bank" << -1 << Attempts{{"new"}} << QStringList() << QStringList()
            << rec({"Bank", "new", "", ""}) << 0;
        QTest::newRow("double quote refused")
            << kAccounts << "News" << 2 << Attempts{{"bob", "pa\"ss"}, {"bob", "pass", "x\""}}
            << QStringList{invalid, invalidCharacterText(1), invalid, invalidCharacterText(2)}
            << QStringList{"txt_Password", "txt_Referral_URL"} << QByteArray() << 2;
        QTest::newRow("cancel keeps the row")
            << kAccounts << "News" << 1 << Attempts() << QStringList() << QStringList()
            << QByteArray() << 1;
        QTest::newRow("cancel on placeholder")
            << kAccounts << "Bank" << -1 << Attempts() << QStringList() << QStringList()
            << QByteArray() << -1;
    }

    void addAccount()
    {
        QFETCH(QByteArray, accounts);
        QFETCH(QString, site);
        QFETCH(int, row);
        QFETCH(Attempts, attempts);
        QFETCH(QStringList, boxes);
        QFETCH(QStringList, refusedAt);
        QFETCH(QByteArray, appended);
        QFETCH(int, selected);
        sb::app::frmStashbook& w = start(accounts, site, row);
        const QStringList before = rows("lst_Username");
        notifier.onDialog = [&](QDialog& d) { return drive(d, attempts); };
        QTest::mouseClick(child("cmd_Add_Account"), Qt::LeftButton);

        QCOMPARE(seen_.firstFocus, "txt_Username");
        QCOMPARE(seen_.refused, refusedAt);
        QCOMPARE(shownBoxes(), boxes);
        QCOMPARE(accountsFile(), accounts + appended);
        QCOMPARE(rows("lst_Site")[list("lst_Site")->selectedRow()], site);
        QCOMPARE(selectedRow("lst_Username"), selected);
        if (appended.isEmpty()) {
            QCOMPARE(rows("lst_Username"), before);
        } else {
            // The new account, found by name, is the site's last row.
            QCOMPARE(selected, rows("lst_Username").size() - 1);
            QCOMPARE(w.focusWidget(), child("cmd_Add_Account"));
            QVERIFY(child("cmd_Edit_Account")->isEnabled());
        }
    }

    void editAccount_data()
    {
        QTest::addColumn<QByteArray>("accounts");
        QTest::addColumn<QString>("site");
        QTest::addColumn<int>("row");
        QTest::addColumn<Attempts>("attempts");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QByteArray>("after"); // the accounts file

        const QStringList none;
        const QString keep; // a null entry leaves its box as it is
        QTest::newRow("password and extra info keep the position")
            << kAccounts << "News" << 1 << Attempts{{keep, "new-pw", ""}} << none
            << kZed + kMailAlice + rec({"News", "alice", "new-pw", ""}) + kMike;
        QTest::newRow("letter case only")
            << kAccounts << "News" << 0 << Attempts{{"ZED"}} << none
            << rec({"News", "ZED", "pw-z", "x-z"}) + kMailAlice + kAlice + kMike;
        QTest::newRow("name of another account of the site refused")
            << kAccounts << "News" << 2 << Attempts{{"ALICE"}}
            << QStringList{kRenameTitle, renameText("ALICE")} << kAccounts;
        QTest::newRow("name found at another site only")
            << kAccounts << "Mail" << 0 << Attempts{{"zed"}} << none
            << kZed + rec({"Mail", "zed", "pw-ma", ""}) + kAlice + kMike;
        QTest::newRow("no change writes the site as listed")
            << kAccounts << "News" << 0 << Attempts{{}} << none
            << rec({"News", "zed", "pw-z", "x-z"}) + kMailAlice + kAlice + kMike;
        QTest::newRow("every record of the name replaced where it stands")
            << rec({"News", "bob", "1", "a"}) + kMailAlice + rec({"NEWS", "BOB", "2", "b"})
            << "News" << 0 << Attempts{{"Rob", "9"}} << none
            << rec({"News", "Rob", "9", "a"}) + kMailAlice + rec({"News", "Rob", "9", "a"});
        QTest::newRow("double quote refused")
            << kAccounts << "News" << 1 << Attempts{{"al\"ice"}}
            << QStringList{kInvalidCharacterTitle, invalidCharacterText(0)} << kAccounts;
        QTest::newRow("cancel") << kAccounts << "News" << 2 << Attempts() << none << kAccounts;
    }

    void editAccount()
    {
        QFETCH(QByteArray, accounts);
        QFETCH(QString, site);
        QFETCH(int, row);
        QFETCH(Attempts, attempts);
        QFETCH(QStringList, boxes);
        QFETCH(QByteArray, after);
        start(accounts, site, row);
        const QStringList stored = selectedAccount();
        notifier.onDialog = [&](QDialog& d) { return drive(d, attempts); };
        QTest::mouseClick(child("cmd_Edit_Account"), Qt::LeftButton);

        QCOMPARE(seen_.old, stored);
        QCOMPARE(seen_.firstFocus, "txt_Username");
        QCOMPARE(seen_.refused, QStringList(boxes.size() / 2, "txt_Username"));
        QCOMPARE(shownBoxes(), boxes);
        QCOMPARE(accountsFile(), after);
        QCOMPARE(selectedRow("lst_Username"), row);
        // The same row, read afresh, shows what the file holds now.
        QStringList expected = stored;
        if (!attempts.isEmpty() && boxes.isEmpty()) {
            for (int i = 0; i < 3; ++i) {
                if (!attempts.last().value(i).isNull())
                    expected[i] = attempts.last()[i];
            }
        }
        QCOMPARE(selectedAccount(), expected);
    }

    // The account vanished from the file (another program, or a restored
    // backup) before the dialog opened or while it was open: no dialog, or
    // nothing written; the user is told and the view is read afresh.
    void accountNotFound_data()
    {
        QTest::addColumn<bool>("whileOpen");
        QTest::addColumn<QByteArray>("changed"); // null: the file is gone
        QTest::newRow("before opening") << false << kZed + kMailAlice + kMike;
        QTest::newRow("no file before opening") << false << QByteArray();
        QTest::newRow("at OK") << true << kZed + kMailAlice + kMike;
        QTest::newRow("no file at OK") << true << QByteArray();
    }

    void accountNotFound()
    {
        QFETCH(bool, whileOpen);
        QFETCH(QByteArray, changed);
        start(kAccounts, "News", 1);
        const auto change = [&] {
            if (changed.isNull())
                QVERIFY(QDir(dir->path()).remove("SB-Acnts.DaT"));
            else
                write("SB-Acnts.DaT", changed);
        };
        if (!whileOpen)
            change();
        notifier.onDialog = [&](QDialog& d) { return drive(d, {{"ann", "p"}}, change); };
        QTest::mouseClick(child("cmd_Edit_Account"), Qt::LeftButton);

        QCOMPARE(seen_.opened, whileOpen);
        QCOMPARE(notifier.titles, QStringList{kNotFoundTitle});
        QCOMPARE(notifier.texts, QStringList{notFoundText("alice")});
        QCOMPARE(accountsFile(), changed);
        QCOMPARE(rows("lst_Username"),
                 changed.isNull() ? QStringList{"-- NO --"} : (QStringList{"zed", "mike"}));
        QCOMPARE(selectedRow("lst_Username"), changed.isNull() ? -1 : 1);
    }

    void removeAccount_data()
    {
        QTest::addColumn<QByteArray>("accounts");
        QTest::addColumn<QString>("site");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QStringList>("shown"); // user names listed afterwards

        QTest::newRow("the only account")
            << kAccounts << "Mail" << 0 << true << kZed + kAlice + kMike << QStringList{"-- NO --"};
        QTest::newRow("others keep their order, other sites keep theirs")
            << kAccounts << "News" << 1 << true << kZed + kMailAlice + kMike
            << QStringList{"zed", "mike"};
        QTest::newRow("every record of the name")
            << rec({"News", "bob", "1", ""}) + kAlice + rec({"NEWS", "BOB", "2", ""}) << "News" << 0
            << true << kAlice << QStringList{"alice"};
        QTest::newRow("empty user name") << rec({"News", "", "p", ""}) + kAlice << "News" << 0
                                         << true << kAlice << QStringList{"alice"};
        QTest::newRow("no changes nothing") << kAccounts << "News" << 1 << false << kAccounts
                                            << QStringList{"zed", "alice", "mike"};
    }

    void removeAccount()
    {
        QFETCH(QByteArray, accounts);
        QFETCH(QString, site);
        QFETCH(int, row);
        QFETCH(bool, yes);
        QFETCH(QByteArray, after);
        QFETCH(QStringList, shown);
        sb::app::frmStashbook& w = start(accounts, site, row);
        const QString username = list("lst_Username")->selectedText();
        notifier.answers = {yes};
        QTest::mouseClick(child("cmd_Remove_Account"), Qt::LeftButton);

        QCOMPARE(notifier.titles, QStringList{kRemoveTitle});
        QCOMPARE(notifier.texts,
                 QStringList{"Are You Sure You Want To Remove The Account:  " + username});
        QCOMPARE(accountsFile(), after);
        QCOMPARE(rows("lst_Username"), shown);
        QCOMPARE(rows("lst_Site")[selectedRow("lst_Site")], site);
        QCOMPARE(selectedRow("lst_Username"), yes ? -1 : row);
        if (yes)
            QCOMPARE(w.focusWidget(), child("cmd_Add_Account"));
    }
};

QTEST_MAIN(TestAccountEditing)
#include "tst_account_editing.moc"
