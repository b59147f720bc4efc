#include "common/shown_text.h"

namespace sb::common {

namespace {

constexpr char16_t kFirstStrongIsolate = 0x2068;
constexpr char16_t kPopDirectionalIsolate = 0x2069;

// U+202A..U+202E: embeddings, overrides and their end; U+2066..U+2068 the
// isolates, U+2069 their end.
bool isBidiControl(char16_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString shownValue(const QString& value)
{
    if (value.size() <= kShownLength)
        return value;
    qsizetype cut = kShownLength;
    if (value.at(cut - 1).isHighSurrogate())
        --cut;
    return value.first(cut) + QChar(0x2026);
}

QString quotedName(const QString& name)
{
    const QString shown = shownValue(name);
    // An isolate ends at the first end-of-isolate that nothing inside it
    // opened: each such stray one in the name gets an isolate of its own to
    // end, and the isolates the name leaves open are ended after it.
    qsizetype open = 0;
    qsizetype stray = 0;
    bool controls = false;
    for (const QChar c : shown) {
        const char16_t u = c.unicode();
        if (!isBidiControl(u))
            continue;
        controls = true;
        if (u >= 0x2066 && u <= kFirstStrongIsolate)
            ++open;
        else if (u == kPopDirectionalIsolate && open > 0)
            --open;
        else if (u == kPopDirectionalIsolate)
            ++stray;
    }
    if (!controls)
        return shown;
    return QString(stray + 1, QChar(kFirstStrongIsolate)) + shown +
           QString(open + 1, QChar(kPopDirectionalIsolate));
}

} // namespace sb::common
