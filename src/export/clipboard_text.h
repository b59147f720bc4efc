// The plain texts the copy commands put on the clipboard, built from what the
// account lists and the site list show.
//
// Fields go out exactly as they stand (no quoting, escaping or trimming), one
// blank between the fields of a line. A text of several lines ends every
// line with CR LF, the last one too, so that pasted listings can be joined
// end to end; a single field or row has no line end, so that it pastes into
// a box of one line.
#pragma once

#include <QString>
#include <QStringList>

namespace sb::exporting {

inline constexpr QLatin1String kLineEnd("\r\n");

// One account as one line without a line end: user name, password and extra
// info, one blank between each.
QString rowText(const QString& username, const QString& password, const QString& extraInfo);

// Every entry followed by CR LF: a column of the account lists, or the site
// names.
QString linesText(const QStringList& lines);

// One line per account, ended by CR LF: user name and password, and the extra
// info when `withExtraInfo`. The three lists hold the accounts row by row.
QString accountsText(const QStringList& usernames, const QStringList& passwords,
                     const QStringList& extraInfo, bool withExtraInfo);

} // namespace sb::exporting
