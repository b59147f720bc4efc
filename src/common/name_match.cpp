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

} // namespace

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

bool NameMatcher::matches(std::string_view utf8) const
{
    // An ASCII text upper-cases to ASCII of the same length, so an ASCII field
    // can only match an ASCII key of its length, and then byte for byte.
    if (upperIsAscii_ && utf8.size() == static_cast<size_t>(asciiUpper_.size())) {
        const char* key = asciiUpper_.constData();
        for (size_t i = 0; i < utf8.size(); ++i) {
            const char c = utf8[i];
            if (static_cast<unsigned char>(c) >= 0x80)
                return matchesText(utf8);
            if (asciiUpper(c) != key[i])
                return isAscii(utf8.substr(i)) ? false : matchesText(utf8);
        }
        return true;
    }
    return isAscii(utf8) ? false : matchesText(utf8);
}

bool NameMatcher::matchesText(std::string_view utf8) const
{
    return fromUtf8(utf8).toUpper() == upper_;
}

} // namespace sb::common
