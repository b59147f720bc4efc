// The main window's handlers of site editing: adding, changing and removing sites.
#include "app/main_window.h"

#include "browse/site_list_part.h"
#include "dialogs/site/site_dialogs.h"
#include "history/undo_history.h"
#include "rules/site_edits.h"

#include <QPushButton>

namespace sb::app {

void frmStashbook::connectSiteEditing()
{
    connect(cmd_Add_Site, &QPushButton::clicked, this, &frmStashbook::cmd_Add_Site_Click);
    connect(cmd_Edit_Site, &QPushButton::clicked, this, &frmStashbook::cmd_Edit_Site_Click);
    connect(cmd_Rem_Site, &QPushButton::clicked, this, &frmStashbook::cmd_Rem_Site_Click);
}

void frmStashbook::cmd_Add_Site_Click()
{
    // The new site is looked for only when the list grew by exactly one row.
    const int expectedRows = Sites->count() + 1;
    {
        dialogs::site::frmSite_Add dialog(*Changes, *Prompts, this);
        if (Prompts->run(dialog) == QDialog::Accepted)
            NewSiteName = dialog.addedName();
    }
    if (Prompts->exiting())
        return;
    // Reloaded after every closing, Cancel too: the files may have changed.
    if (!Load_Lists())
        return;
    if (Sites->count() == expectedRows && Sites->selectName(NewSiteName))
        cmd_Add_Site->setFocus();
}

void frmStashbook::cmd_Edit_Site_Click()
{
    if (Sites->selectedRow() < 0)
        return;
    // The site is selected again by position: after a rename that moved it
    // in the list, the row holds another site.
    const int row = Sites->selectedRow();
    {
        dialogs::site::frmSite_Edit dialog(*Changes, *Prompts, Sites->selectedName(), this);
        if (dialog.Form_Load() && !Prompts->exiting())
            Prompts->run(dialog);
    }
    if (Prompts->exiting())
        return;
    if (Load_Lists({}, row))
        cmd_Add_Site->setFocus();
}

void frmStashbook::cmd_Rem_Site_Click()
{
    if (Sites->selectedRow() < 0)
        return;
    if (rules::removeSite(*Changes, *Prompts, Sites->selectedName()) != rules::Outcome::Done)
        return;
    Load_Lists();
    cmd_Add_Site->setFocus();
}

} // namespace sb::app
