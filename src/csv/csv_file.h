// The CSV files that browsers and password managers export, read row by row
// into the site and account fields of this program, and the one file this
// program writes for them (the layout of Chrome, which they all read).
//
// QtCore, the standard library and libcsv only: no widget, no display.
#pragma once

#include "store/record_file.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <string>
#include <string_view>
#include <vector>

namespace sb::csv {

// The exports understood, told apart by the names of their columns (the
// first row of the file: any order, any letter case, other columns
// tolerated).
enum class Layout {
    Chrome,      // name,url,username,password[,note]: also Chromium, Edge, Brave, Opera, Vivaldi
    Firefox,     // url,username,password,httpRealm,formActionOrigin,...
    Bitwarden,   // type,name,notes,login_uri,login_username,login_password,...
    KeePassXC,   // Group,Title,Username,Password,URL,Notes,...
    OnePassword, // Title,Url,Username,Password,...,Notes
    LastPass,    // url,username,password,extra,name,grouping,...
};

QString layoutName(Layout layout);

// Why a row of the file gives no account, or what becomes of it.
enum class Reason {
    // Known from the row alone, when the file is read:
    FieldCount,  // not as many fields as the first row names: the row is damaged
    Empty,       // every field empty
    NotALogin,   // a Bitwarden item other than a login (a secure note, a card...)
    NoLogin,     // neither a user name nor a password
    NoSite,      // no name and no web address to name its site
    DoubleQuote, // a value holds a double quote, which a record cannot hold
    // Known when the row is set against the records (import_plan.h):
    Repeated,      // the same site and user name as an earlier row of the file
    SamePassword,  // the account exists with this password: nothing to do
    OtherPassword, // the account exists with another password
};

// One row of the file after the header, its values as this program keeps
// them (UTF-8, every character as in the file).
struct Row
{
    int number = 0;   // the row's place in the file; the header is row 1
    std::string site; // the entry's name or title, else the web address's host
    std::string url;
    std::string username;
    std::string password;
    std::string extraInfo; // the note, its lines joined by a blank
    bool rejected = false; // `reason` tells why; the values may be empty
    Reason reason = Reason::Empty;
};

struct CsvFile
{
    Layout layout = Layout::Chrome;
    std::vector<Row> rows;
};

// Reads an export held in memory: RFC 4180 (fields quoted or not, a doubled
// double quote inside quotes, line breaks inside quotes, CR LF or LF), a
// UTF-8 byte-order mark allowed in front. Bytes that are not UTF-8 are read
// as Windows-1252, as in the record files. Returns an empty text, or what is
// wrong with the file: it cannot be parsed (the line is named), it is empty,
// or its first row names no layout understood.
QString parseCsv(std::string_view bytes, CsvFile& out);

// Reads the file at `path` as parseCsv() does.
QString readCsvFile(const QString& path, CsvFile& out);

// The file to import when `urls` are dropped on the window: one local file
// whose name ends in ".csv" in any letter case; else an empty text.
QString droppedCsvFile(const QList<QUrl>& urls);

// The site name a web address gives: its host without a leading "www.",
// or, with no host, the address as it stands.
std::string siteFromUrl(const std::string& url);

// The upper case of a name (UTF-8), as names are compared.
std::string upperKey(std::string_view utf8);

// --- Writing -------------------------------------------------------------------

// Every account of `accounts` as CSV in Chrome's layout
// (name,url,username,password,note), UTF-8 without a byte-order mark, lines
// ended by LF as Chrome writes them on Linux. Sites go in the order of
// `sites` (the first record of a name, compared ignoring letter case), each
// under its own name and address with its accounts in file order; accounts
// whose site is gone follow, under their site field with no address. A value
// is quoted when it holds a comma, a double quote or a line break, or starts
// or ends with a blank or a tab (which some readers trim otherwise).
std::string exportCsv(const std::vector<store::Record>& sites,
                      const std::vector<store::Record>& accounts);

// Writes `bytes` to `path`, for its owner alone (0600), through a temporary
// file renamed over it, so `path` is never left half written.
store::Status writeCsvFile(const QString& path, std::string_view bytes);

} // namespace sb::csv
