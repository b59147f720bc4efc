#include "export/clipboard_text.h"

#include <algorithm>

namespace sb::exporting {

QString rowText(const QString& username, const QString& password, const QString& extraInfo)
{
    return username + QLatin1Char(' ') + password + QLatin1Char(' ') + extraInfo;
}

QString linesText(const QStringList& lines)
{
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + kLineEnd.size();
    QString out;
    out.reserve(size);
    for (const QString& line : lines)
        out += line + kLineEnd;
    return out;
}

QString accountsText(const QStringList& usernames, const QStringList& passwords,
                     const QStringList& extraInfo, bool withExtraInfo)
{
    const qsizetype rows = std::min({usernames.size(), passwords.size(), extraInfo.size()});
    QString out;
    for (qsizetype i = 0; i < rows; ++i) {
        out += usernames[i] + QLatin1Char(' ') + passwords[i];
        if (withExtraInfo)
            out += QLatin1Char(' ') + extraInfo[i];
        out += kLineEnd;
    }
    return out;
}

} // namespace sb::exporting
