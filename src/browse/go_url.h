// The GO buttons: which address is handed to the browser.
#pragma once

#include <QString>

namespace sb::browse {

// The address the browser is given for `text`, a site's address or an
// account's extra info. A text that starts with "http://" or "https://", in
// any letter case, is taken as it stands; anything else gets "http://" in
// front. Only web addresses thus ever reach the browser: "file:" or
// "javascript:" texts become (broken) web addresses instead of being run, and
// "www.example.com" or an empty address open as "http://...". Applying it
// twice changes nothing more.
QString browserAddress(const QString& text);

// Hands `address` to the system's default handler, parsed tolerantly and
// otherwise unchanged. The outcome is not examined: the system reports its
// own failures.
void openInBrowser(const QString& address);

} // namespace sb::browse
