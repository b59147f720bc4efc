#include "app/main_window.h"

#include "app/modal.h"
#include "app/outside_changes.h"
#include "app/shell.h"
#include "app/tray.h"
#include "browse/account_table.h"
#include "browse/go_url.h"
#include "browse/selection_list.h"
#include "browse/site_list_part.h"
#include "common/font_fit.h"
#include "common/name_match.h"
#include "common/twips.h"
#include "history/undo_history.h"
#include "rules/account_rules.h"
#include "rules/data_store.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>

namespace sb::app {

using common::placeInTwips;
using common::RecordKind;
using common::twipsToPixels;

namespace {

// Client area of the window, in twips.
constexpr int kClientWidth = 9615;
constexpr int kClientHeight = 5880;
// The status bar fills the strip below the outer frame.
constexpr int kStatusTop = 5475;

const QString kBar = QStringLiteral("<\u00a6>");
const QString kCountdown = QStringLiteral("Password copied: the clipboard is cleared in ");
// How long the status bar tells what was just done.
constexpr int kDoneShownMs = 20000;

// "Removed site ..." as the rest of a sentence.
QString lowerFirst(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toLower();
    return text;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& tip = {})
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    if (!tip.isEmpty())
        b->setToolTip(tip);
    // Enter presses the button that has the focus, as Space does.
    b->setAutoDefault(true);
    return b;
}

// Buttons that only label a part of the window: they never take the focus
// and clicking them does nothing.
QPushButton* makeHeader(QWidget* parent, const char* name, const QString& caption)
{
    QPushButton* b = makeButton(parent, name, caption, QStringLiteral("Reload List!"));
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

browse::SelectionList* makeList(QWidget* parent, const char* name, const QString& accessibleName,
                                const QString& tip = {})
{
    auto* l = new browse::SelectionList(parent);
    l->setObjectName(QLatin1String(name));
    l->setAccessibleName(accessibleName);
    if (!tip.isEmpty())
        l->setToolTip(tip);
    return l;
}

QGroupBox* makeFrame(QWidget* parent, const char* name)
{
    auto* f = new QGroupBox(parent);
    f->setObjectName(QLatin1String(name));
    return f;
}

QWidget* makeContainer(QWidget* parent, const char* name)
{
    auto* w = new QWidget(parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

QMenu* makePopup(QWidget* parent, const char* name)
{
    auto* m = new QMenu(QStringLiteral(" "), parent);
    m->setObjectName(QLatin1String(name));
    return m;
}

} // namespace

QString frmStashbook::titleText(const QString& version)
{
    const QString sep = QStringLiteral("   ") + kBar + QStringLiteral("   ");
    return QStringLiteral("Stashbook (v") + version + QStringLiteral(")") + sep +
           QStringLiteral("Sites, Accounts And Passwords") + sep +
           QStringLiteral("Control-T Shows And Hides");
}

QString frmStashbook::statusText(const QString& version)
{
    const QString sep = QStringLiteral("     ") + kBar + QStringLiteral("     ");
    return QStringLiteral("Stashbook (v") + version + QStringLiteral(")") + sep +
           QStringLiteral("Kept In Two Plain Files Beside You") + sep +
           QStringLiteral("Made With Qt");
}

frmStashbook::frmStashbook(Environment env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      env_(std::move(env))
{
    setObjectName(QStringLiteral("frmStashbook"));
    setWindowIcon(programIcon());
    setAcceptDrops(true); // a CSV file to import
    buildControls();
    buildMenus();
    setTabOrder();

    if (env_.prompter) {
        Prompts = env_.prompter;
    } else {
        Own_Modal = new Modal(this);
        Prompts = Own_Modal;
    }
    Store = std::make_unique<rules::DataStore>(env_.dataDir, *Prompts);
    Changes = std::make_unique<history::UndoHistory>(*Store);
    Changes->onRecorded = [this](const QString& description) {
        Show_Status(description + QStringLiteral(". Ctrl+Z undoes."));
    };
    Clipboard_Guard.setDelay(env_.clipboardDelay);
    Outside = new OutsideChanges(
        Store->file(RecordKind::Sites), Store->file(RecordKind::Accounts),
        [this] { return Busy(); }, this);
    Tray_Shell = new Shell(this, {mnu_File, mnu_File_Restore_or_Hide, mnu_File_Exit}, env_.hotKey,
                           env_.tray, *Prompts, Clipboard_Guard, env_.dataDir);
    Sites = new browse::SiteListPart(lst_Site, cmd_Sites, this);
    Accounts = new browse::AccountTable({cmd_Site_Name, mnu_Copy_All, lst_Username, lst_Password,
                                         lst_Referral_URL, cmd_Go, cmd_Go_Referral_URL,
                                         cmd_Add_Account, cmd_Edit_Account, cmd_Remove_Account,
                                         cmd_Edit_Site, cmd_Rem_Site},
                                        this);
    connectHandlers();
}

frmStashbook::~frmStashbook() = default;

void frmStashbook::buildControls()
{
    // The layout is laid out in twips for a small dialog font; a caption
    // still too wide for its button in the desktop's font gets a smaller one.
    QFont small = font();
    if (small.pointSizeF() > 8)
        small.setPointSizeF(8);
    setFont(small);

    Frame1 = makeFrame(this, "Frame1");
    placeInTwips(Frame1, 120, 0, 9375, 5415);

    Frame2 = makeFrame(Frame1, "Frame2");
    placeInTwips(Frame2, 120, 120, 2535, 5175);
    Frame4 = makeContainer(Frame2, "Frame4");
    placeInTwips(Frame4, 120, 240, 2295, 375);
    cmd_Sites = makeHeader(Frame4, "cmd_Sites", QStringLiteral("[SITES] : "));
    placeInTwips(cmd_Sites, 0, 0, 1575, 350);
    cmd_Reload = makeButton(Frame2, "cmd_Reload", QStringLiteral("Re&load!"));
    placeInTwips(cmd_Reload, 1680, 240, 735, 350);
    lst_Site = makeList(Frame2, "lst_Site", QStringLiteral("Sites"));
    placeInTwips(lst_Site, 120, 600, 2295, 3975);
    cmd_Add_Site = makeButton(Frame2, "cmd_Add_Site", QStringLiteral("&Add"));
    placeInTwips(cmd_Add_Site, 120, 4680, 765, 375);
    cmd_Edit_Site = makeButton(Frame2, "cmd_Edit_Site", QStringLiteral("&Edit"));
    placeInTwips(cmd_Edit_Site, 885, 4680, 765, 375);
    cmd_Rem_Site = makeButton(Frame2, "cmd_Rem_Site", QStringLiteral("&Rem"));
    placeInTwips(cmd_Rem_Site, 1650, 4680, 765, 375);

    frm_Selected_Site = makeFrame(Frame1, "frm_Selected_Site");
    placeInTwips(frm_Selected_Site, 2760, 120, 6495, 5175);
    Frame3 = makeContainer(frm_Selected_Site, "Frame3");
    placeInTwips(Frame3, 120, 240, 6255, 735);
    cmd_Site_Name = makeHeader(Frame3, "cmd_Site_Name", browse::AccountTable::kHotKeyHint);
    placeInTwips(cmd_Site_Name, 0, 0, 5895, 350);
    Command1 = makeHeader(Frame3, "Command1", QStringLiteral("Username"));
    placeInTwips(Command1, 0, 360, 1815, 350);
    Command2 = makeHeader(Frame3, "Command2", QStringLiteral("Password"));
    placeInTwips(Command2, 1800, 360, 1815, 350);
    Command3 = makeHeader(Frame3, "Command3", QStringLiteral("Extra Info (Optional)"));
    placeInTwips(Command3, 3600, 360, 2295, 350);
    cmd_Go = makeButton(frm_Selected_Site, "cmd_Go", QStringLiteral("GO!"),
                        QStringLiteral("GO! To The URL of Selected Site"));
    placeInTwips(cmd_Go, 5975, 240, 400, 350);
    // The caption can be longer than its button: keep its start, which names
    // the site, in view, and its end clear of the GO! button over its right end.
    const int underGo = Frame3->x() + cmd_Site_Name->width() - cmd_Go->x();
    cmd_Site_Name->setStyleSheet(
        QStringLiteral("text-align: left; padding-left: 4px; padding-right: %1px")
            .arg(4 + underGo));
    cmd_Go_Referral_URL =
        makeButton(frm_Selected_Site, "cmd_Go_Referral_URL", QStringLiteral("GO!"),
                   QStringLiteral("GO! If Extra Info Is An URL --> Load Page"));
    placeInTwips(cmd_Go_Referral_URL, 5975, 600, 400, 350);
    lst_Username = makeList(frm_Selected_Site, "lst_Username", QStringLiteral("User Names"),
                            QStringLiteral("Double-Click To Copy Username To Clipboard"));
    placeInTwips(lst_Username, 120, 960, 1815, 3660);
    lst_Password = makeList(frm_Selected_Site, "lst_Password", QStringLiteral("Passwords"),
                            QStringLiteral("Double-Click To Copy Password To Clipboard"));
    placeInTwips(lst_Password, 1920, 960, 1815, 3660);
    lst_Referral_URL = makeList(frm_Selected_Site, "lst_Referral_URL", QStringLiteral("Extra Info"),
                                QStringLiteral("Double-Click To Copy Extra Info To Clipboard"));
    placeInTwips(lst_Referral_URL, 3720, 960, 2655, 3660);
    cmd_Add_Account =
        makeButton(frm_Selected_Site, "cmd_Add_Account", QStringLiteral("Add &New Account"));
    placeInTwips(cmd_Add_Account, 120, 4680, 1815, 375);
    cmd_Edit_Account =
        makeButton(frm_Selected_Site, "cmd_Edit_Account", QStringLiteral("Edit &Selected Account"));
    placeInTwips(cmd_Edit_Account, 1920, 4680, 1815, 375);
    cmd_Remove_Account = makeButton(frm_Selected_Site, "cmd_Remove_Account",
                                    QStringLiteral("Remove E&xisting Account"));
    placeInTwips(cmd_Remove_Account, 3720, 4680, 2655, 375);

    for (QPushButton* b : {cmd_Edit_Site, cmd_Rem_Site, cmd_Go, cmd_Go_Referral_URL,
                           cmd_Add_Account, cmd_Edit_Account, cmd_Remove_Account})
        b->setEnabled(false);
    for (QPushButton* b : findChildren<QPushButton*>())
        common::fitFont(b);

    sts_Bar = new QStatusBar(this);
    sts_Bar->setObjectName(QStringLiteral("sts_Bar"));
    sts_Bar->setSizeGripEnabled(false);
    sts_Panel = new QLabel(sts_Bar);
    sts_Panel->setObjectName(QStringLiteral("sts_Panel"));
    sts_Bar->addWidget(sts_Panel, 1);
    placeInTwips(sts_Bar, 0, kStatusTop, kClientWidth, kClientHeight - kStatusTop);
}

void frmStashbook::buildMenus()
{
    mnu_File = makePopup(this, "mnu_File");
    mnu_File_Restore_or_Hide = mnu_File->addAction(QStringLiteral("&Restore!"));
    mnu_File_Restore_or_Hide->setObjectName(QStringLiteral("mnu_File_Restore_or_Hide"));
    Hyphen4 = mnu_File->addSeparator();
    Hyphen4->setObjectName(QStringLiteral("Hyphen4"));
    mnu_File_Exit = mnu_File->addAction(QStringLiteral("   E&xit"));
    mnu_File_Exit->setObjectName(QStringLiteral("mnu_File_Exit"));

    mnu_Account_Copy = makePopup(this, "mnu_Account_Copy");
    mnu_Copy_All = new QMenu(QStringLiteral("Copy &All Accounts"), mnu_Account_Copy);
    mnu_Copy_All->setObjectName(QStringLiteral("mnu_Copy_All"));
    mnu_Account_Copy->addMenu(mnu_Copy_All);

    mnu_Copy_Site = makePopup(this, "mnu_Copy_Site");
}

void frmStashbook::connectHandlers()
{
    connect(cmd_Reload, &QPushButton::clicked, this, &frmStashbook::cmd_Reload_Click);
    connect(Outside, &OutsideChanges::changed, this, &frmStashbook::Follow_Outside_Change);
    connect(cmd_Go, &QPushButton::clicked, this, &frmStashbook::cmd_Go_Click);
    connect(cmd_Go_Referral_URL, &QPushButton::clicked, this,
            &frmStashbook::cmd_Go_Referral_URL_Click);
    connect(lst_Site, &QListWidget::itemSelectionChanged, this, &frmStashbook::lst_Site_Click);
    connect(lst_Username, &QListWidget::itemSelectionChanged, this,
            &frmStashbook::lst_Username_Click);
    connect(lst_Password, &QListWidget::itemSelectionChanged, this,
            &frmStashbook::lst_Password_Click);
    connect(lst_Referral_URL, &QListWidget::itemSelectionChanged, this,
            &frmStashbook::lst_Referral_URL_Click);
    connect(&Clipboard_Guard, &ClipboardGuard::countdown, this,
            &frmStashbook::Show_Clipboard_Countdown);
    const auto shortcut = [this](QKeySequence keys, void (frmStashbook::*run)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, run);
    };
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Z), &frmStashbook::Undo_Last_Change);
    shortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &frmStashbook::Redo_Last_Change);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Y), &frmStashbook::Redo_Last_Change);
    // Exit while a box or a dialog is open ends the program at once.
    if (Own_Modal)
        connect(Tray_Shell, &Shell::exiting, Own_Modal, &Modal::endAll);
    connectSiteEditing();
    connectAccountEditing();
    connectCopying();
}

void frmStashbook::setTabOrder()
{
    const QWidget* order[] = {
        lst_Site,     cmd_Add_Site,     cmd_Edit_Site,      cmd_Rem_Site,     lst_Username,
        lst_Password, lst_Referral_URL, cmd_Add_Account,    cmd_Edit_Account, cmd_Remove_Account,
        cmd_Reload,   cmd_Go,           cmd_Go_Referral_URL};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
}

void frmStashbook::Start_Up()
{
    // The client area is sized directly; the window manager adds its frame.
    setFixedSize(twipsToPixels(kClientWidth, logicalDpiX()),
                 twipsToPixels(kClientHeight, logicalDpiY()));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
    Program_Version = QStringLiteral(STASHBOOK_VERSION);
    setWindowTitle(titleText(Program_Version));
    sts_Panel->setText(statusText(Program_Version));
    show();

    Tray_Icon_Add();
    mnu_File_Restore_or_Hide_Click();

    // A change cut short by a crash is completed before anything is read.
    Store->open();
    if (Tray_Shell->exitRequested())
        return;
    Load_Lists();
    if (Sites->count() == 0)
        cmd_Add_Site->setFocus();

    Tray_Shell->registerHotKey();
    // Exit may have been chosen while the hot-key box was open.
    if (Tray_Shell->exitRequested())
        return;
    show();
}

void frmStashbook::Wait_For_Hot_Key()
{
    Tray_Shell->waitForHotKey();
}

void frmStashbook::Bring_Back()
{
    Tray_Shell->bringBack();
}

bool frmStashbook::exitRequested() const
{
    return Tray_Shell->exitRequested();
}

const QString& frmStashbook::siteUrl() const
{
    return Accounts->siteUrl();
}

qint32 frmStashbook::accountCount() const
{
    return Sites->accountCount();
}

bool frmStashbook::Load_Lists(const QString& nextSite, int nextRow, bool orNearest)
{
    Outside->reading();
    browse::SiteListing listing;
    if (!Store->check(browse::readSiteListing(Store->file(RecordKind::Sites),
                                              Store->file(RecordKind::Accounts), listing,
                                              {nextSite, nextRow, orNearest})))
        return false;
    Sites->show(listing);
    // The site shown next replaces the whole account view.
    if (listing.chosenRow >= 0)
        Sites->selectRow(listing.chosenRow);
    if (Sites->selectedRow() < 0)
        Accounts->clear();
    return true;
}

void frmStashbook::cmd_Reload_Click()
{
    Load_Lists();
    lst_Site->setFocus();
}

void frmStashbook::Follow_Outside_Change()
{
    const int siteRow = Sites->selectedRow();
    const QString site = Sites->selectedName();
    const int row = Accounts->selectedRow();
    const rules::AccountRow account =
        row >= 0 ? rules::accountRow(Accounts->usernames(), row) : rules::AccountRow{};
    QWidget* focus = focusWidget();
    if (!Load_Lists(site, siteRow, /*orNearest=*/true))
        return;
    if (row >= 0 && common::sameName(Sites->selectedName(), site) &&
        !Accounts->firstRowIsPlaceholder()) {
        const int now = rules::rowOf(Accounts->usernames(), account);
        Accounts->selectRow(now >= 0 ? now : std::min(row, Accounts->rowCount() - 1));
    }
    // Where the user was, as far as it is still there.
    if (focus && focus->isEnabled())
        focus->setFocus();
    Show_Status(QStringLiteral("Reloaded: the files were changed outside Stashbook"));
}

bool frmStashbook::Busy() const
{
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() ||
        Tray_Shell->exitRequested())
        return true;
    const QList<QDialog*> dialogs = findChildren<QDialog*>();
    return std::any_of(dialogs.begin(), dialogs.end(), [](QDialog* d) { return d->isVisible(); });
}

void frmStashbook::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    // Watching waits until the window is on screen.
    if (!Outside_Armed) {
        Outside_Armed = true;
        QMetaObject::invokeMethod(Outside, &OutsideChanges::arm, Qt::QueuedConnection);
    }
}

// --- Status bar and undo ---------------------------------------------------------

void frmStashbook::Show_Status(const QString& text)
{
    sts_Bar->showMessage(text, kDoneShownMs);
}

void frmStashbook::Show_Clipboard_Countdown(int secondsLeft)
{
    // A password just copied shows its countdown; what is done afterwards
    // takes the bar for a while, and then the countdown comes back.
    const QString shown = sts_Bar->currentMessage();
    const bool mine =
        secondsLeft > Countdown_Left || shown.isEmpty() || shown.startsWith(kCountdown);
    Countdown_Left = secondsLeft;
    const QString text = kCountdown + QString::number(secondsLeft) + QStringLiteral(" s");
    if (secondsLeft > 0 && mine)
        sts_Bar->showMessage(text);
    else if (mine)
        sts_Bar->clearMessage();
    Tray_Shell->setTrayTip(secondsLeft > 0 && !isVisible() ? text : QString());
}

void frmStashbook::Undo_Last_Change()
{
    Take_Back(false);
}

void frmStashbook::Redo_Last_Change()
{
    Take_Back(true);
}

void frmStashbook::Take_Back(bool redo)
{
    if (QApplication::activeModalWidget() || Tray_Shell->exitRequested())
        return;
    using Result = history::UndoHistory::Outcome::Result;
    const history::UndoHistory::Outcome out = redo ? Changes->redo() : Changes->undo();
    const QString what = lowerFirst(out.description);
    switch (out.result) {
    case Result::Nothing:
        Show_Status(redo ? QStringLiteral("Nothing to redo.") : QStringLiteral("Nothing to undo."));
        return;
    case Result::Failed: // reported
        return;
    case Result::Refused:
        Prompts->error(
            redo ? QStringLiteral("[Stashbook]  :Redo:  Cannot Redo")
                 : QStringLiteral("[Stashbook]  :Undo:  Cannot Undo"),
            (redo ? QStringLiteral("Cannot redo: ") : QStringLiteral("Cannot undo: ")) + what +
                QStringLiteral(".\r\n") + out.refusal +
                QStringLiteral("\r\nNothing was written; this change can no longer be ") +
                (redo ? QStringLiteral("redone.") : QStringLiteral("undone.")));
        return;
    case Result::Done:
        break;
    }
    if (!Load_Lists(out.focus.site))
        return;
    // As after a change: the site (and account) shown, or Add waiting.
    if (out.focus.site.isEmpty() || Sites->selectedRow() < 0)
        cmd_Add_Site->setFocus();
    else if (!out.focus.username.isEmpty())
        Accounts->selectUsername(out.focus.username);
    Show_Status(
        (redo ? QStringLiteral("Redone: ") : QStringLiteral("Undone: ")) + what +
        (redo ? QStringLiteral(". Ctrl+Z undoes.") : QStringLiteral(". Ctrl+Shift+Z redoes.")));
}

// --- Shell --------------------------------------------------------------------

void frmStashbook::Tray_Icon_Add()
{
    Tray_Shell->addTrayIcon();
}

void frmStashbook::Tray_Icon_Remove()
{
    Tray_Shell->removeTrayIcon();
}

void frmStashbook::mnu_File_Restore_or_Hide_Click()
{
    Tray_Shell->toggle();
}

void frmStashbook::mnu_File_Exit_Click()
{
    Tray_Shell->exit();
}

void frmStashbook::closeEvent(QCloseEvent* event)
{
    event->setAccepted(Tray_Shell->closeRequested());
}

void frmStashbook::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Tray_Shell->windowStateChanged();
}

// --- Browsing -----------------------------------------------------------------

void frmStashbook::lst_Site_Click()
{
    // Only the program takes the selection away (a reload), and then the
    // account side has been reset already.
    if (Sites->selectedRow() < 0)
        return;
    const QString name = Sites->selectedName();
    // Everything is read before anything is shown, so a file that fails
    // half-way leaves no mixture of two sites on screen.
    browse::AccountView view;
    const store::RecordFile& sites = Store->file(RecordKind::Sites);
    const store::RecordFile& accounts = Store->file(RecordKind::Accounts);
    if (!Sites->takeReadAhead(name, sites, accounts, view) &&
        !Store->check(browse::readAccountView(sites, accounts, name, view), /*later=*/true)) {
        // Back to the state after a reload, so that selecting the site
        // again retries.
        Sites->selectRow(-1);
        Accounts->clear();
        return;
    }
    Accounts->showSite(name, view, Sites->accountCount());
    lst_Username->setFocus();
}

void frmStashbook::lst_Username_Click()
{
    Accounts->linkRows(lst_Username);
}

void frmStashbook::lst_Password_Click()
{
    Accounts->linkRows(lst_Password);
}

void frmStashbook::lst_Referral_URL_Click()
{
    Accounts->linkRows(lst_Referral_URL);
}

void frmStashbook::cmd_Go_Click()
{
    // The completed address is kept, so a second press opens the same one.
    Accounts->setSiteUrl(browse::browserAddress(Accounts->siteUrl()));
    browse::openInBrowser(Accounts->siteUrl());
    cmd_Add_Site->setFocus();
}

void frmStashbook::cmd_Go_Referral_URL_Click()
{
    // The list keeps the text as stored; only the browser sees the prefix.
    if (lst_Referral_URL->selectedRow() >= 0)
        browse::openInBrowser(browse::browserAddress(lst_Referral_URL->selectedText()));
    cmd_Add_Account->setFocus();
}

} // namespace sb::app
