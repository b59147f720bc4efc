// The Add Site and Edit Site dialogs. Each is made when it is shown and
// destroyed when it closes, so nothing carries over from one opening to the
// next; OK does its work through rules/site_edits.h, and a refused OK keeps
// the dialog open on the box at fault, as a file error does on the name box.
// Cancel, Esc and the close box close it without reading or writing anything.
#pragma once

#include <QDialog>

namespace sb::common {
class Prompter;
class Records;
} // namespace sb::common
namespace sb::dialogs {
class TextBox;
}

namespace sb::dialogs::site {

// The name and web address of a new site. It adds the site unless one of
// that name exists, and tells the name it added.
class frmSite_Add final : public QDialog
{
    Q_OBJECT

public:
    frmSite_Add(common::Records& records, common::Prompter& prompter, QWidget* parent = nullptr);

    // The name of the site added, as typed; empty unless OK added one.
    const QString& addedName() const { return addedName_; }

public slots:
    // 0: OK, 1: Cancel.
    void cmd_Add_Site_OK_or_Cancel_Click(int Index);
    // Every change of the name proposes the address "www." name ".com", over
    // whatever the address box held.
    void txt_Add_Site_Name_Change();

private:
    common::Records& records_;
    common::Prompter& prompter_;
    TextBox* txt_Add_Site_Name = nullptr;
    TextBox* txt_Add_Site_URL = nullptr;
    QString addedName_;
};

// Changes the name and web address of a site, shown beside the values stored,
// and offers to move the site's accounts to the new name.
class frmSite_Edit final : public QDialog
{
    Q_OBJECT

public:
    // `siteName` names the site to edit, as the site list shows it.
    frmSite_Edit(common::Records& records, common::Prompter& prompter, const QString& siteName,
                 QWidget* parent = nullptr);

    // Fills the boxes from the site's first record. False when the dialog is
    // not to be shown: the sites file holds no record of the site any more,
    // or could not be read (either reported).
    bool Form_Load();

public slots:
    // 0: OK, 1: Cancel.
    void cmd_Edit_Site_OK_or_Cancel_Click(int Index);
    // As in the Add dialog; filling the boxes at load runs it too.
    void txt_Edit_Site_Name_Change();

private:
    common::Records& records_;
    common::Prompter& prompter_;
    QString siteName_;
    TextBox* txt_Edit_Site_Name = nullptr;
    TextBox* txt_Edit_Site_URL = nullptr;
    TextBox* txt_Edit_Site_Old_Name = nullptr;
    TextBox* txt_Edit_Site_Old_URL = nullptr;
};

} // namespace sb::dialogs::site
