#include "common/name_match.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sb::common {

namespace {

// Names are short and nearly always ASCII: test eight bytes at a time.
bool isAscii(std::string_view s)
{
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= s.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, s.data() + i, 8);
        if (word & kHighBits)
            return false;
    }
    for (; i < s.size(); ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80)
            return false;
    }
    return true;
}

// Necessary for `text` to match `key` (both in UTF-8 or both in UTF-16):
// case mapping goes character by character, so the ASCII characters the
// text starts and ends with are, in upper case, the key's first and last.
// This turns down nearly every other name without converting it.
template <typename Text> bool edgesAgree(const Text& text, const QString& key)
{
    const auto unit = [&](size_t i) { return static_cast<char16_t>(text[i]); };
    const auto n = static_cast<size_t>(text.size());
    const auto k = static_cast<size_t>(key.size());
    size_t front = 0;
    for (; front < n && unit(front) < 0x80; ++front) {
        if (front >= k ||
            key[qsizetype(front)].unicode() != char16_t(asciiUpper(static_cast<char>(unit(front)))))
            return false;
    }
    for (size_t back = 1; back <= n - front && unit(n - back) < 0x80; ++back) {
        if (back > k || key[qsizetype(k - back)].unicode() !=
                            char16_t(asciiUpper(static_cast<char>(unit(n - back)))))
            return false;
    }
    return true;
}

} // namespace

QString fromUtf8(std::string_view s)
{
    if (isAscii(s))
        return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
    QStringDecoder utf8 = fieldDecoder();
    return utf8(QByteArrayView(s.data(), static_cast<qsizetype>(s.size())));
}

bool sameName(const QString& a, const QString& b)
{
    return a.toUpper() == b.toUpper();
}

std::string upperUtf8(const QString& name)
{
    std::string key;
    key.reserve(static_cast<size_t>(name.size()));
    for (const QChar c : name) {
        if (c.unicode() >= 0x80)
            return name.toUpper().toStdString();
        key.push_back(asciiUpper(static_cast<char>(c.unicode())));
    }
    return key;
}

NameMatcher::NameMatcher(const QString& name) : upper_(name.toUpper())
{
    upperIsAscii_ =
        std::all_of(upper_.cbegin(), upper_.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (upperIsAscii_)
        asciiUpper_ = upper_.toLatin1();
}

namespace {

// A name's text as units to compare: UTF-8 bytes, or UTF-16 code units; in
// both a unit below 0x80 is an ASCII character.
struct Utf8Units
{
    std::string_view s;
    size_t size() const { return s.size(); }
    char16_t operator[](size_t i) const { return static_cast<unsigned char>(s[i]); }
    bool asciiFrom(size_t i) const { return isAscii(s.substr(i)); }
    QString text() const { return fromUtf8(s); }
};

struct Utf16Units
{
    QStringView s;
    size_t size() const { return size_t(s.size()); }
    char16_t operator[](size_t i) const { return s[qsizetype(i)].unicode(); }
    bool asciiFrom(size_t i) const
    {
        return std::all_of(s.begin() + qsizetype(i), s.end(),
                           [](QChar c) { return c.unicode() < 0x80; });
    }
    QString text() const { return s.toString(); }
};

// Whether `t` is the name whose upper case is `upper` (`asciiKey`: the same
// as bytes, when it is ASCII).
template <typename Units>
bool matchUnits(const Units& t, const QString& upper, const QByteArray* asciiKey)
{
    const auto general = [&] { return edgesAgree(t, upper) && t.text().toUpper() == upper; };
    // An ASCII text upper-cases to ASCII of the same length, so an ASCII text
    // can only match an ASCII key of its length, and then unit for unit.
    if (asciiKey && t.size() == static_cast<size_t>(asciiKey->size())) {
        for (size_t i = 0; i < t.size(); ++i) {
            const char16_t c = t[i];
            if (c >= 0x80)
                return general();
            if (asciiUpper(static_cast<char>(c)) != asciiKey->constData()[i])
                return t.asciiFrom(i) ? false : general();
        }
        return true;
    }
    return t.asciiFrom(0) ? false : general();
}

} // namespace

bool NameMatcher::matches(std::string_view utf8) const
{
    return matchUnits(Utf8Units{utf8}, upper_, upperIsAscii_ ? &asciiUpper_ : nullptr);
}

bool NameMatcher::matches(QStringView text) const
{
    return matchUnits(Utf16Units{text}, upper_, upperIsAscii_ ? &asciiUpper_ : nullptr);
}

} // namespace sb::common
