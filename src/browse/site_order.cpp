#include "browse/site_order.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <array>
#include <cstdint>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace sb::browse {

void sortSiteNames(QStringList& names)
{
    QStringList sorted;
    sorted.reserve(names.size());
    for (qsizetype i : siteNameOrder(names))
        sorted.append(std::move(names[i]));
    names = std::move(sorted);
}

namespace {

// Orders names nearly as a collator does, cheaply. Each character becomes a
// rank taken from the collator itself: ASCII characters as it orders them
// (both letter cases alike, characters it ignores left out), a letter with
// an accent as its base letter, "\u00df" as "ss", any other character
// where the collator puts it among the ASCII ones. After the ranks come the
// accents, which count only between names equal without them.
class RoughOrder
{
public:
    explicit RoughOrder(const QCollator& collator) : collator_(collator)
    {
        std::array<int, 128> byCollator;
        for (int c = 0; c < 128; ++c)
            one_[size_t(c)] = QString(QChar(c));
        std::iota(byCollator.begin(), byCollator.end(), 0);
        std::stable_sort(byCollator.begin(), byCollator.end(), [&](int a, int b) {
            return collator.compare(one_[size_t(a)], one_[size_t(b)]) < 0;
        });
        // Even ranks, so that a character between two ASCII ones fits in.
        char16_t rank = 2;
        for (size_t k = 0; k < byCollator.size(); ++k) {
            const auto c = size_t(byCollator[k]);
            if (collator.compare(one_[c], QString()) == 0)
                continue; // ignored
            if (!ranked_.empty() && collator.compare(one_[ranked_.back()], one_[c]) != 0)
                rank += 2;
            if (ranked_.empty() || rank_[ranked_.back()] != rank)
                ranked_.push_back(c);
            rank_[c] = rank;
        }
    }

    // Appends the key of `name` to `key`: 16-bit units, high byte first,
    // so that keys compare as bytes.
    void append(QStringView name, std::string& key)
    {
        const auto put = [&key](char16_t unit) {
            key.push_back(char(unit >> 8));
            key.push_back(char(unit & 0xFF));
        };
        accents_.clear();
        for (const QChar ch : name) {
            const char16_t c = ch.unicode();
            if (c < 0x80) {
                if (rank_[c] != 0) {
                    put(rank_[c]);
                    accents_.push_back(0);
                }
            } else if (ch.isMark()) {
                if (!accents_.empty())
                    accents_.back() = c;
            } else if (c == 0x00DF) {
                put(rank_['s']);
                put(rank_['s']);
                accents_.insert(accents_.end(), 2, 0);
            } else {
                const auto [rank, accent] = letter(c);
                put(rank);
                accents_.push_back(accent);
            }
        }
        put(1); // before any rank: a name sorts before its longer forms
        // Accents count only between names of the same ranks, whose accents
        // are as many: trailing "no accent"s change no order.
        while (!accents_.empty() && accents_.back() == 0)
            accents_.pop_back();
        for (const char16_t accent : accents_)
            put(accent);
    }

private:
    // The rank and accent of a character beyond ASCII: a letter with an
    // accent is its base letter, unless the collator makes it a letter of
    // its own (as Swedish does "\u00e5").
    std::pair<char16_t, char16_t> letter(char16_t c)
    {
        if (const auto known = letters_.find(c); known != letters_.end())
            return known->second;
        const QString parts = QChar(c).decomposition();
        const char16_t base = parts.size() > 1 ? parts[0].unicode() : 0;
        const bool accented =
            base != 0 && base < 0x80 &&
            collator_.compare(QString(QChar(c)) + u'a', QString(QChar(base)) + u'b') < 0;
        return letters_[c] = accented ? std::pair{rank_[base], char16_t(parts[1].unicode())}
                                      : std::pair{rankOf(c), char16_t(0)};
    }

    // Where the collator puts a character among the ASCII ones.
    char16_t rankOf(char16_t c) const
    {
        if (QChar::isSurrogate(c))
            return 0xFFFF; // after all of them
        const QString text(QChar{c});
        const auto after = std::partition_point(ranked_.begin(), ranked_.end(), [&](size_t a) {
            return collator_.compare(one_[a], text) < 0;
        });
        char16_t rank = after == ranked_.begin() ? 1 : char16_t(rank_[*(after - 1)] + 1);
        if (after != ranked_.end() && collator_.compare(one_[*after], text) == 0)
            rank = rank_[*after];
        return rank;
    }

    const QCollator& collator_;
    std::array<QString, 128> one_;
    std::array<char16_t, 128> rank_{};
    std::vector<size_t> ranked_; // one ASCII character of each rank, in order
    std::unordered_map<char16_t, std::pair<char16_t, char16_t>> letters_; // found so far
    std::vector<char16_t> accents_;
};

// The collator's order, names that compare equal in file order: the keys
// the collator makes for sorting, compared as bytes.
std::vector<qsizetype> sortedByKeys(const QStringList& names, const QCollator& collator)
{
    std::vector<QCollatorSortKey> keys;
    keys.reserve(static_cast<size_t>(names.size()));
    for (const QString& name : names)
        keys.push_back(collator.sortKey(name));
    std::vector<qsizetype> order(static_cast<size_t>(names.size()));
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return keys[static_cast<size_t>(a)].compare(keys[static_cast<size_t>(b)]) < 0;
    });
    return order;
}

// The order of names by their keys (in `keys`, each ending where `ends`
// says), compared as bytes; equal keys in file order. Nearly all
// comparisons are settled by the first sixteen bytes of the keys, as two
// numbers (a key shorter than that padded with zeros, which only ties it
// with its longer forms).
std::vector<qsizetype> orderByKeys(const std::string& keys, const std::vector<size_t>& ends)
{
    struct Entry
    {
        std::uint64_t head[2];
        std::string_view key;
        qsizetype index;
    };
    std::vector<Entry> entries(ends.size());
    for (size_t i = 0; i < ends.size(); ++i) {
        const size_t start = i == 0 ? 0 : ends[i - 1];
        const std::string_view key = std::string_view(keys).substr(start, ends[i] - start);
        Entry& e = entries[i];
        e = {{0, 0}, key, qsizetype(i)};
        for (size_t k = 0; k < 16; ++k)
            e.head[k / 8] =
                e.head[k / 8] << 8 | (k < key.size() ? static_cast<unsigned char>(key[k]) : 0u);
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        if (a.head[0] != b.head[0])
            return a.head[0] < b.head[0];
        if (a.head[1] != b.head[1])
            return a.head[1] < b.head[1];
        const int c = a.key.compare(b.key);
        return c < 0 || (c == 0 && a.index < b.index);
    });
    std::vector<qsizetype> order(ends.size());
    std::transform(entries.begin(), entries.end(), order.begin(),
                   [](const Entry& e) { return e.index; });
    return order;
}

// Without the collator, and without the memory its rules take: the order
// of the common rules of Unicode, for names in the characters whose order
// they fix simply and in languages that keep it. Tests hold each language
// and character to the collator.
//
// In ASCII each character has a weight of its own (letter case aside),
// control characters count for nothing and no two letters count as one
// (as Czech "ch" does) in these languages:
constexpr QLocale::Language kAsciiAsCommon[] = {
    QLocale::C,         QLocale::English,    QLocale::Arabic,   QLocale::Bulgarian,
    QLocale::Catalan,   QLocale::Chinese,    QLocale::Dutch,    QLocale::Finnish,
    QLocale::French,    QLocale::German,     QLocale::Greek,    QLocale::Hebrew,
    QLocale::Icelandic, QLocale::Italian,    QLocale::Japanese, QLocale::Korean,
    QLocale::Polish,    QLocale::Portuguese, QLocale::Romanian, QLocale::Russian,
    QLocale::Slovenian, QLocale::Spanish,    QLocale::Swedish,  QLocale::Ukrainian};

// The characters of ASCII that count, in order.
constexpr std::string_view kAsciiOrder = "\t\n\v\f\r _-,;:!?.'\"()[]{}@*/\\&#%`^+<=>|~$"
                                         "0123456789abcdefghijklmnopqrstuvwxyz";

// A letter with an accent ("\u00e9", or "e" and U+0301) is its letter of
// ASCII, the accents telling apart only names otherwise equal, compared
// from the first letter on in this order, in these languages (French
// outside Canada, which compares accents from the last letter):
constexpr QLocale::Language kAccentsAsCommon[] = {
    QLocale::C,      QLocale::English, QLocale::Dutch,     QLocale::French,
    QLocale::German, QLocale::Italian, QLocale::Portuguese};
constexpr std::array<char16_t, 25> kAccentOrder = {
    0x0301, 0x0300, 0x0306, 0x0302, 0x030C, 0x030A, 0x0308, 0x030B, 0x0303,
    0x0307, 0x0327, 0x0328, 0x0304, 0x0309, 0x030F, 0x0311, 0x031B, 0x0323,
    0x0324, 0x0325, 0x0326, 0x032D, 0x032E, 0x0330, 0x0331};

template <typename List> bool holds(const List& list, QLocale::Language language)
{
    return std::find(std::begin(list), std::end(list), language) != std::end(list);
}

// An accent's place in kAccentOrder, from 1; 0 for another character.
char accentRank(char16_t c)
{
    const auto* at = std::find(kAccentOrder.begin(), kAccentOrder.end(), c);
    return at == kAccentOrder.end() ? 0 : char(at - kAccentOrder.begin() + 1);
}

std::optional<std::vector<qsizetype>> commonOrder(const QStringList& names, const QLocale& locale)
{
    const QLocale::Language language = locale.language();
    if (!holds(kAsciiAsCommon, language))
        return std::nullopt;
    const bool accents = holds(kAccentsAsCommon, language) &&
                         !(language == QLocale::French && locale.territory() == QLocale::Canada);
    static const std::array<char, 128> weights = [] {
        std::array<char, 128> w{};
        for (size_t i = 0; i < kAsciiOrder.size(); ++i)
            w[size_t(kAsciiOrder[i])] = char(i + 1);
        for (char c = 'A'; c <= 'Z'; ++c)
            w[size_t(c)] = w[size_t(c - 'A' + 'a')];
        return w;
    }();
    // A name's key: the weights; a zero, below every weight, so that a
    // name sorts before its longer forms; then, when it has any, the
    // accent of each character counted (0 for none), trailing zeros left
    // out as they change no order.
    std::string keys, accentsOf;
    std::vector<size_t> ends;
    ends.reserve(size_t(names.size()));
    for (const QString& name : names) {
        accentsOf.clear();
        for (const QChar ch : name) {
            const char16_t c = ch.unicode();
            if (c < 0x80) {
                if (const char w = weights[c]) {
                    keys += w;
                    accentsOf += '\0';
                }
                continue;
            }
            if (!accents)
                return std::nullopt;
            if (const char rank = accentRank(c)) { // an accent on the character before
                if (accentsOf.empty() || accentsOf.back() != 0)
                    return std::nullopt;
                accentsOf.back() = rank;
                continue;
            }
            const QString parts = ch.decomposition();
            const char rank = parts.size() == 2 ? accentRank(parts[1].unicode()) : 0;
            if (ch.decompositionTag() != QChar::Canonical || rank == 0 ||
                parts[0].unicode() >= 0x80 || !parts[0].isLetter())
                return std::nullopt;
            keys += weights[parts[0].unicode()];
            accentsOf += rank;
        }
        keys += '\0';
        while (!accentsOf.empty() && accentsOf.back() == 0)
            accentsOf.pop_back();
        keys += accentsOf;
        ends.push_back(keys.size());
    }
    return orderByKeys(keys, ends);
}

} // namespace

std::vector<qsizetype> siteNameOrder(const QStringList& names)
{
    QLocale locale;
    if (auto order = commonOrder(names, locale))
        return std::move(*order);
    // Under the POSIX "C" locale Qt collates by code point and heeds letter
    // case whatever it is told; a person still expects dictionary order, so
    // English rules stand in for it.
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto n = static_cast<size_t>(names.size());
    // Setting up the rough order takes about a thousand comparisons: worth
    // it for long lists only.
    if (n < 1000)
        return sortedByKeys(names, collator);

    // First the rough order, which is nearly always the collator's ...
    RoughOrder rough(collator);
    std::string keys;
    keys.reserve(size_t(std::accumulate(
        names.begin(), names.end(), qsizetype(0),
        [](qsizetype sum, const QString& name) { return sum + 2 * name.size() + 2; })));
    std::vector<size_t> ends(n);
    for (size_t i = 0; i < n; ++i) {
        rough.append(names[qsizetype(i)], keys);
        ends[i] = keys.size();
    }
    std::vector<qsizetype> order = orderByKeys(keys, ends);

    // ... then the collator has the last word: an insertion sort in its
    // order (equal names by their place in the file) puts what the rough
    // order got wrong where it belongs, found by halving. When the rough
    // order got nothing wrong, that is one comparison per name. Should it
    // be far off, as for a script it knows nothing of, the collator's own
    // keys sort instead.
    auto budget = static_cast<long long>(4 * n); // comparisons
    const auto before = [&](qsizetype a, qsizetype b) {
        --budget;
        const int c = collator.compare(names[a], names[b]);
        return c < 0 || (c == 0 && a < b);
    };
    for (size_t i = 1; i < n; ++i) {
        if (!before(order[i], order[i - 1]))
            continue;
        const auto at =
            std::upper_bound(order.begin(), order.begin() + long(i) - 1, order[i], before);
        std::rotate(at, order.begin() + long(i), order.begin() + long(i) + 1);
        if (budget < 0)
            return sortedByKeys(names, collator);
    }
    return order;
}

} // namespace sb::browse
