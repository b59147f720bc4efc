// How the program's own texts show values that come from the user: site
// names, addresses and account fields, as read from the record files.
// Only what is shown changes; copying, editing, GO and the files always use
// the whole value as stored.
#pragma once

#include <QString>

namespace sb::common {

// The most of a value, in UTF-16 units, that a list or caption lays out:
// laying out a megabyte text takes seconds on every repaint.
inline constexpr qsizetype kShownLength = 4000;

// `value` as a list row or a caption shows it: unchanged up to kShownLength
// units; a longer value is cut there (never inside a surrogate pair) and
// ends in "\u2026", so that the cut can be seen.
QString shownValue(const QString& value);

// `name` (a site name, address or user name) as quoted in the program's own
// sentences: captions, questions and error messages. Cut as shownValue()
// cuts it; and a name holding a bidirectional control character (U+202A to
// U+202E, U+2066 to U+2069) is set apart in a first-strong isolate
// (U+2068 ... U+2069), so that it cannot reorder the words around it. Any
// other name is quoted as it is.
QString quotedName(const QString& name);

} // namespace sb::common
