// How the program matches names: site names (and, within a site, user names)
// are equal when they are equal after both are put in upper case. Nothing is
// trimmed; blanks count.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <string>
#include <string_view>

namespace sb::common {

// `a` and `b` name the same site (or the same user of one site).
bool sameName(const QString& a, const QString& b);

// Tests record fields, as UTF-8 bytes, against one name.
//
// A record file is read afresh for every view and check and may hold many
// thousands of records, so the name is prepared once and each field is tested
// on its bytes: ASCII fields (nearly all of them) are compared byte by byte,
// and only a field with other characters is converted to QString, since
// upper-casing can change its length ("\u00df" -> "SS") or turn it into ASCII
// ("\u0131" -> "I").
class NameMatcher
{
public:
    explicit NameMatcher(const QString& name);
    bool matches(std::string_view utf8) const;
    bool matches(QStringView text) const; // a name already read, as in a list

private:
    QString upper_;
    bool upperIsAscii_ = true;
    QByteArray asciiUpper_; // upper_ as bytes, when it is all ASCII
};

// The upper case of an ASCII letter; any other byte as it is.
constexpr char asciiUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c;
}

// The upper case of `name` as UTF-8: two names are the same name exactly
// when these are equal. ASCII names, nearly all of them, skip Qt's case
// mapping.
std::string upperUtf8(const QString& name);

// The decoder of record fields (UTF-8). Every character is kept: a leading
// U+FEFF belongs to the field (a password may start with one), it is no
// byte-order mark to skip.
inline QStringDecoder fieldDecoder()
{
    return QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
}

// A record field (UTF-8) as text. Nearly every field is ASCII, which needs
// no decoder.
QString fromUtf8(std::string_view s);

} // namespace sb::common
