// Importing and exporting through the site list's menu and a dropped file:
// the preview, what each way of closing it writes, and the round trip.
#include "support/window_driver.h"

#include <QtTest>

namespace {

const QString kFiles = "write S github.com,https://github.com/|Mail.Example.org,https://"
                       "mail.example.org; write A GITHUB.COM,octo,old-pw,|mail.example.org,ann,"
                       "pw-ann,x; copy " SAMPLES "chrome.csv chrome.csv; ";
const QString kBank = "bank.example,j.smith,s3cr3t,first line second line|bank.example, "
                      "j.smith ,x,";

} // namespace

class TestCsvWindow : public QObject, sb::test::WindowDriver
{
    Q_OBJECT

private slots:
    void init() { fresh(); }

    // A row's name, after " | " the script on the window, and after " || "
    // the steps in the preview.
    void scripts_data()
    {
        scriptColumns();
        const auto row = scriptRow;
        // An import is one change to undo.
        row("replaced | " + kFiles +
            "choose chrome.csv; menu mnu_Site_Import_CSV; file A = GITHUB.COM,octo,new-pw,|"
            "mail.example.org,ann,pw-ann,x|" +
            kBank +
            "; file S = github.com,https://github.com/|Mail.Example.org,https://mail.example.org|"
            "bank.example,https://bank.example/; sel lst_Site = 0; "
            "key cmd_Add_Site Ctrl+Z; unchanged S; unchanged A || text lbl_Import_CSV_Figures = "
            "File: chrome.csv\nRows read: 7, in the layout of Chrome\nSites to add: 1\nAccounts "
            "to add: 2\nAccounts there already, same password (skipped): 1\nAccounts there "
            "already, another password (listed): 1\nRows that cannot be imported (listed): 3; "
            "text txt_Import_CSV_Listing = There already with another password (kept unless "
            "replaced):\n    Row 2: site \"github.com\", user name \"octo\"\n\nA value holds a "
            "double quote, which cannot be stored:\n    Row 4: site \"bank.example\", user name "
            "\"Smith, J\"\n\nEmpty rows:\n    Row 6\n\nSite and user name of an earlier row, which "
            "is imported:\n    Row 8: site \"bank.example\", user name \"J.SMITH\"; focus = "
            "chk_Import_CSV_Replace; key chk_Import_CSV_Replace Space; close Enter");
        row("dropped; a file not CSV is not taken | " + kFiles +
            "copy " SAMPLES "chrome.csv CHROME.CSV; drop chrome.csv.txt; dropped = 0; drop "
            "CHROME.CSV; dropped = 1; file A = GITHUB.COM,octo,old-pw,|mail.example.org,ann,"
            "pw-ann,x|" +
            kBank + "; sel lst_Site = 0 || close Enter");
        row("Cancel | " + kFiles +
            "choose chrome.csv; menu mnu_Site_Import_CSV; unchanged S; unchanged A; sel lst_Site = "
            "-1 || key chk_Import_CSV_Replace Space; close Esc");
        row("commit fails | " + kFiles +
            "choose chrome.csv; menu mnu_Site_Import_CSV; boxes = [Stashbook]  :File Error:  "
            "SB-Sites.DaT; unchanged S; unchanged A || noroom; close Enter");
        row("unknown header | " + kFiles +
            "write bad.csv id,login,secret; choose bad.csv; menu mnu_Site_Import_CSV; boxes = "
            "[Stashbook]  :Import From CSV File:  Cannot Read The File; dialogs = 0; unchanged A");
        // Every account once the warning is answered Yes, then read back
        // into an empty folder: the accounts under their site's name, a site
        // for those whose site was gone; and a file that cannot be written.
        row("export and back | write S github.com,https://github.com/|Mail.Example.org,x; "
            "write A GITHUB.COM,octo,pw,|Gone,gus,pg,n; answers yy; choose out.csv; menu "
            "mnu_Site_Export_CSV; choose missing/out.csv; menu mnu_Site_Export_CSV; bytes "
            "out.csv = name,url,username,password,note\ngithub.com,https://github.com/,octo,pw,"
            "\nGone,,gus,pg,n\n; boxes = [Stashbook]  :Export To CSV File:  Passwords In "
            "Clear Text!|[Stashbook]  :Export To CSV File:  Passwords In Clear Text!|"
            "[Stashbook]  :Export To CSV File:  Cannot Write The File; remove S; remove A; choose "
            "out.csv; menu mnu_Site_Import_CSV; file S = github.com,https://github.com/|Gone,; "
            "file A = github.com,octo,pw,|Gone,gus,pg,n || close OK");
    }

    void scripts() { runScript(); }
};

QTEST_MAIN(TestCsvWindow)
#include "tst_csv_window.moc"
