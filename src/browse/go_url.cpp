#include "browse/go_url.h"

#include <QDesktopServices>
#include <QUrl>

namespace sb::browse {

QString browserAddress(const QString& text)
{
    if (text.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
        text.startsWith(QLatin1String("https://"), Qt::CaseInsensitive))
        return text;
    return QStringLiteral("http://") + text;
}

void openInBrowser(const QString& address)
{
    QDesktopServices::openUrl(QUrl(address, QUrl::TolerantMode));
}

} // namespace sb::browse
