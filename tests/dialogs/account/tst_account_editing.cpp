// Adding, editing and removing accounts from the main window, with the real
// dialogs typed into offscreen. The rules have no test of their own: every
// one of them is pinned here, on what the file holds afterwards.
#include "rules/account_rules.h"
#include "support/dialog_driver.h"
#include "support/window_fixture.h"

#include <QtTest>

using namespace sb::rules;
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
const QByteArray kBig = rec({"News", "big", "pw", QByteArray(1 << 20, 'x').constData()});

// Each attempt types into the boxes (a null entry leaves a box alone, an
// empty one clears it) and presses Enter; no attempt left: Cancel.
using Attempts = QList<QStringList>;

struct Case
{
    QByteArray accounts = kAccounts; // null: no accounts file
    QString site = "News";
    int row = -1; // the account selected before
    Attempts attempts{};
    QStringList boxes{};     // title and text of every box shown
    QStringList refusedAt{}; // the focused box after each refused OK
    QByteArray after{};      // the accounts file afterwards; null: unchanged
    int selected = -1;       // the account selected afterwards
    QStringList listed{};    // the user names listed afterwards (removals)
};

} // namespace

class TestAccountEditing : public QObject, sb::test::WindowFixture
{
    Q_OBJECT

    // What the dialog showed: the focused box as it opened, the old-value
    // column (Edit) and the focused box after each refused OK.
    struct
    {
        bool opened = false;
        QString firstFocus;
        QStringList old, refused;
    } seen_;

    int drive(QDialog& d, const Attempts& attempts, const std::function<void()>& beforeOk = {})
    {
        using namespace sb::test;
        seen_.opened = true;
        showActive(d);
        seen_.firstFocus = focusedBox(d);
        for (const char* b : kBoxes) {
            if (auto* old = d.findChild<QLineEdit*>(QString(b) + "_Old"))
                seen_.old << old->text();
        }
        for (const QStringList& typed : attempts) {
            for (int i = 0; i < 3; ++i) {
                if (!typed.value(i).isNull())
                    typeOver(box(d, kBoxes[i]), typed[i]);
            }
            if (beforeOk)
                beforeOk();
            closeDialog(d, "Enter", "");
            if (!d.isVisible())
                return d.result();
            seen_.refused << focusedBox(d);
        }
        closeDialog(d, "Cancel", "cmd_Add_Account_OK_or_Cancel");
        return d.result();
    }

    void start(const QByteArray& accounts, const QString& site, int row)
    {
        write("SB-Sites.DaT", kSites);
        if (!accounts.isNull())
            write("SB-Acnts.DaT", accounts);
        WindowFixture::start();
        selectSite(site);
        list("lst_Username")->selectRow(row);
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

    // Add selects the new account by its name, Edit the same row again,
    // whatever the edit changed; a refused OK keeps the dialog open on the
    // box at fault. Yes to a removal removes every record of the account,
    // nothing else; the site is shown again with no account selected.
    void edits_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<Case>("c");
        auto row = [](const char* op, const char* name, const Case& c) {
            QTest::addRow("%s: %s", op, name) << QString("cmd_%1_Account").arg(op) << c;
        };
        row("Add", "same name in other letter case refused, then corrected",
            {.row = 1,
             .attempts = {{"ALICE", "other"}, {"alice2"}},
             .boxes = {kDuplicateTitle, duplicateText("ALICE")},
             .refusedAt = {"txt_Username"},
             .after = kAccounts + rec({"News", "alice2", "other", ""}),
             .selected = 3});
        row("Add", "same name at another site",
            {.site = "Mail",
             .attempts = {{"zed", "p", "e"}},
             .after = kAccounts + rec({"Mail", "zed", "p", "e"}),
             .selected = 1});
        row("Add", "leading and trailing blanks count",
            {.row = 0,
             .attempts = {{" alice "}},
             .after = kAccounts + rec({"News", " alice ", "", ""}),
             .selected = 3});
        row("Add", "no accounts file: the placeholder row gives way",
            {.accounts = QByteArray(),
             .site = "Bank",
             .row = 0,
             .attempts = {{"new"}},
             .after = rec({"Bank", "new", "", ""}),
             .selected = 0});
        row("Add", "double quote refused",
            {.row = 2,
             .attempts = {{"bob", "pa\"ss"}, {"bob", "pass", "x\""}},
             .boxes = {kInvalidCharacterTitle, invalidCharacterText(1), kInvalidCharacterTitle,
                       invalidCharacterText(2)},
             .refusedAt = {"txt_Password", "txt_Referral_URL"},
             .selected = 2});
        row("Add", "a pasted line end is dropped: a duplicate",
            {.row = 1,
             .attempts = {{"alice\r\n"}},
             .boxes = {kDuplicateTitle, duplicateText("alice")},
             .refusedAt = {"txt_Username"},
             .selected = 1});
        row("Add", "cancel keeps the row", {.row = 1, .selected = 1});
        row("Add", "cancel on placeholder", {.site = "Bank"});
        const QString keep; // leaves its box as it is
        row("Edit", "password and extra info keep the position",
            {.row = 1,
             .attempts = {{keep, "new-pw", ""}},
             .after = kZed + kMailAlice + rec({"News", "alice", "new-pw", ""}) + kMike,
             .selected = 1});
        row("Edit", "letter case only",
            {.row = 0,
             .attempts = {{"ZED"}},
             .after = rec({"News", "ZED", "pw-z", "x-z"}) + kMailAlice + kAlice + kMike,
             .selected = 0});
        row("Edit", "name of another account of the site refused",
            {.row = 2,
             .attempts = {{"ALICE"}},
             .boxes = {kRenameTitle, renameText("ALICE")},
             .refusedAt = {"txt_Username"},
             .selected = 2});
        row("Edit", "name found at another site only",
            {.site = "Mail",
             .row = 0,
             .attempts = {{"zed"}},
             .after = kZed + rec({"Mail", "zed", "pw-ma", ""}) + kAlice + kMike,
             .selected = 0});
        row("Edit", "a megabyte of extra info, byte for byte",
            {.accounts = kBig, .row = 0, .attempts = {{}}, .after = kBig, .selected = 0});
        row("Edit", "no change writes the site as listed",
            {.row = 0,
             .attempts = {{}},
             .after = rec({"News", "zed", "pw-z", "x-z"}) + kMailAlice + kAlice + kMike,
             .selected = 0});
        row("Edit", "the second record of a name: that one only",
            {.accounts =
                 rec({"News", "bob", "1", "a"}) + kMailAlice + rec({"NEWS", "BOB", "2", "b"}),
             .row = 1,
             .attempts = {{"Rob", "9"}},
             .after = rec({"News", "bob", "1", "a"}) + kMailAlice + rec({"News", "Rob", "9", "b"}),
             .selected = 1});
        row("Edit", "double quote refused",
            {.row = 1,
             .attempts = {{"al\"ice"}},
             .boxes = {kInvalidCharacterTitle, invalidCharacterText(0)},
             .refusedAt = {"txt_Username"},
             .selected = 1});
        row("Edit", "cancel", {.row = 2, .selected = 2});
        row("Remove", "the only account",
            {.site = "Mail", .row = 0, .after = kZed + kAlice + kMike, .listed = {"-- NO --"}});
        row("Remove", "others keep their order, other sites keep theirs",
            {.row = 1, .after = kZed + kMailAlice + kMike, .listed = {"zed", "mike"}});
        row("Remove", "the second record of a name: that one only",
            {.accounts = rec({"News", "bob", "1", ""}) + kAlice + rec({"NEWS", "BOB", "2", ""}),
             .row = 2,
             .after = rec({"News", "bob", "1", ""}) + kAlice,
             .listed = {"bob", "alice"}});
        row("Remove", "empty user name",
            {.accounts = rec({"News", "", "p", ""}) + kAlice,
             .row = 0,
             .after = kAlice,
             .listed = {"alice"}});
        row("Remove", "No changes nothing",
            {.row = 1, .selected = 1, .listed = {"zed", "alice", "mike"}});
    }

    void edits()
    {
        QFETCH(QString, button);
        QFETCH(Case, c);
        start(c.accounts, c.site, c.row);
        const QStringList stored = selectedAccount(), before = rows("lst_Username");
        notifier.answers = {!c.after.isNull()}; // to the removal question
        notifier.onDialog = [&](QDialog& d) { return drive(d, c.attempts); };
        child(button)->setFocus(Qt::TabFocusReason); // Enter presses the focused button
        QTest::keyClick(child(button), Qt::Key_Return);

        const bool add = button == "cmd_Add_Account", remove = button == "cmd_Remove_Account";
        const bool written = !c.after.isNull();
        const QString question = "Are You Sure You Want To Remove The Account:  " + stored[0];
        QCOMPARE(notifier.boxes(), remove ? (QStringList{kRemoveTitle, question}) : c.boxes);
        QCOMPARE(accountsFile(), written ? c.after : c.accounts);
        QCOMPARE(rows("lst_Site").value(selectedRow("lst_Site")), c.site);
        QCOMPARE(selectedRow("lst_Username"), c.selected);
        if (written && (add || remove))
            QCOMPARE(window->focusWidget(), child("cmd_Add_Account"));
        if (remove || !written) {
            QCOMPARE(rows("lst_Username"), remove ? c.listed : before);
            return;
        }
        QCOMPARE(seen_.firstFocus, "txt_Username");
        QCOMPARE(seen_.old, add ? QStringList() : stored);
        QCOMPARE(seen_.refused, c.refusedAt);
        // The row selected shows the values typed, read afresh.
        QStringList typed = add ? QStringList(3, "") : stored;
        for (const QStringList& attempt : c.attempts) {
            for (int i = 0; i < 3; ++i)
                typed[i] = attempt.value(i).isNull() ? typed[i] : attempt[i];
        }
        QCOMPARE(selectedAccount(), typed);
        QVERIFY(child("cmd_Edit_Account")->isEnabled());
    }

    // The account vanished from the file (another program, or a restored
    // backup) before the dialog opened or while it was open: no dialog, or
    // nothing written; the user is told and the view is read afresh.
    void accountNotFound_data()
    {
        QTest::addColumn<bool>("whileOpen");
        QTest::addColumn<QByteArray>("changed"); // null: the file is gone
        for (const bool whileOpen : {false, true}) {
            const char* when = whileOpen ? "at OK" : "before opening";
            QTest::addRow("%s", when) << whileOpen << kZed + kMailAlice + kMike;
            QTest::addRow("no file %s", when) << whileOpen << QByteArray();
        }
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
        click("cmd_Edit_Account");

        QCOMPARE(seen_.opened, whileOpen);
        QCOMPARE(notifier.boxes(), (QStringList{kNotFoundTitle, notFoundText("alice")}));
        QCOMPARE(accountsFile(), changed);
        QCOMPARE(rows("lst_Username"),
                 changed.isNull() ? QStringList{"-- NO --"} : (QStringList{"zed", "mike"}));
        QCOMPARE(selectedRow("lst_Username"), changed.isNull() ? -1 : 1);
    }
};

QTEST_MAIN(TestAccountEditing)
#include "tst_account_editing.moc"
