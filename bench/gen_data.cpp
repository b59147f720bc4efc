#include "gen_data.h"

#include <cerrno>
#include <cstdint>
#include <fstream>
#include <string_view>
#include <system_error>
#include <unordered_set>

namespace sb::bench {

namespace {

// A small generator of our own: std's distributions differ between
// standard libraries, and the data must be the same everywhere.
class Random
{
public:
    explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // 0 .. n-1
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    bool percent(unsigned p) { return below(100) < p; }
    template <typename T, std::size_t N> const T& pick(const std::array<T, N>& items)
    {
        return items[below(N)];
    }

private:
    std::uint64_t state_;
};

constexpr std::array<std::string_view, 48> kWords = {
    "acme",    "blue",    "river",  "north",   "city",   "green",  "star",   "cloud",
    "post",    "prime",   "alpine", "harbor",  "metro",  "silver", "rapid",  "sun",
    "global",  "united",  "first",  "union",   "ocean",  "pixel",  "forest", "summit",
    "bright",  "golden",  "royal",  "urban",   "swift",  "nova",   "delta",  "eagle",
    "maple",   "crystal", "iron",   "liberty", "coast",  "valley", "stone",  "cedar",
    "horizon", "orbit",   "atlas",  "bridge",  "garden", "market", "crown",  "echo"};
constexpr std::array<std::string_view, 24> kKinds = {
    "Bank",  "Mail",    "Shop",   "Forum",  "Cloud",   "Travel", "Energy", "Insurance",
    "Games", "News",    "Health", "Market", "Library", "Music",  "Photos", "Credit Union",
    "Books", "Telecom", "Tax",    "School", "Garage",  "Hotel",  "Gym",    "Pharmacy"};
constexpr std::array<std::string_view, 8> kTlds = {".com",   ".net", ".org", ".de",
                                                   ".co.uk", ".io",  ".fr",  ".example"};
constexpr std::array<std::string_view, 6> kPaths = {"",         "/",  "/login", "/account/signin",
                                                    "/en/home", "/my"};
constexpr std::array<std::string_view, 16> kFirst = {
    "john", "maria", "li",   "ahmed", "sofia", "peter",  "anna",  "jose",
    "emma", "lukas", "yuki", "olga",  "noah",  "fatima", "james", "chloe"};
constexpr std::array<std::string_view, 12> kLast = {"smith", "garcia", "wang",   "muller",
                                                    "rossi", "silva",  "kim",    "novak",
                                                    "brown", "dubois", "jensen", "tanaka"};
constexpr std::array<std::string_view, 6> kMailHosts = {
    "mail.example", "post.example", "inbox.test", "web.example", "home.test", "work.example"};
constexpr std::array<std::string_view, 10> kNotes = {"PIN 4821",
                                                     "security question: first pet, answer: Rex",
                                                     "card ending 4411, expires 09/27",
                                                     "shared with family",
                                                     "old account, do not use",
                                                     "2FA on phone",
                                                     "customer no. 1182-334",
                                                     "recovery codes in the safe",
                                                     "changed password in March",
                                                     "café loyalty card"};

std::string capitalised(std::string_view word)
{
    std::string s(word);
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z')
        s[0] = static_cast<char>(s[0] - 32);
    return s;
}

std::string lowerCase(std::string s)
{
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    }
    return s;
}

std::string upperCase(std::string s)
{
    for (char& c : s) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    }
    return s;
}

SiteFields makeSite(Random& random, std::unordered_set<std::string>& taken)
{
    for (;;) {
        const std::string a(random.pick(kWords));
        const std::string b(random.pick(kWords));
        const std::string tld(random.pick(kTlds));
        std::string name;
        switch (random.below(5)) {
        case 0: // "acmeriver.com"
            name = a + b + tld;
            break;
        case 1: // "Acme, River Bank"
            name = capitalised(a) + ", " + capitalised(b) + " " + std::string(random.pick(kKinds));
            break;
        case 2: // "Café Acme"
            name = (random.percent(20) ? "Café " : "") + capitalised(a) + " " + capitalised(b);
            break;
        case 3: // "Acme Bank"
            name = capitalised(a) + " " + std::string(random.pick(kKinds));
            break;
        default: // "Acme River Bank"
            name = capitalised(a) + " " + capitalised(b) + " " + std::string(random.pick(kKinds));
            break;
        }
        if (!taken.insert(lowerCase(name)).second) {
            name += " " + std::to_string(2 + random.below(98));
            if (!taken.insert(lowerCase(name)).second)
                continue;
        }
        std::string address = (random.percent(85) ? "https://" : "http://") +
                              std::string(random.percent(60) ? "www." : "") + a + "-" + b + tld +
                              std::string(random.pick(kPaths));
        return {std::move(name), std::move(address)};
    }
}

std::string makePassword(Random& random)
{
    // Every printable ASCII character but the double quote and the blank.
    static constexpr std::string_view kChars =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
        "0123456789!#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
    std::string password;
    const std::size_t length = 8 + random.below(11);
    for (std::size_t i = 0; i < length; ++i)
        password += kChars[random.below(kChars.size())];
    return password;
}

AccountFields makeAccount(Random& random, const std::string& site)
{
    std::string siteName = site;
    if (random.percent(3))
        siteName = random.percent(50) ? lowerCase(site) : upperCase(site);

    const std::string first(random.pick(kFirst));
    const std::string last(random.pick(kLast));
    std::string user;
    switch (random.below(3)) {
    case 0:
        user = first + "." + last + "@" + std::string(random.pick(kMailHosts));
        break;
    case 1:
        user = first + last.substr(0, 1) + std::to_string(random.below(100));
        break;
    default:
        user = capitalised(first) + " " + capitalised(last);
        break;
    }

    std::string extra;
    if (random.percent(70)) {
        extra = std::string(random.pick(kNotes));
        if (const auto& more = random.pick(kNotes); random.percent(30) && more != extra)
            extra += ", " + std::string(more);
    }
    return {std::move(siteName), std::move(user), makePassword(random), std::move(extra)};
}

template <std::size_t N>
void appendRecord(std::string& out, const std::array<std::string, N>& fields)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0)
            out += ',';
        out += '"';
        out += fields[i];
        out += '"';
    }
    out += "\r\n";
}

template <std::size_t N>
void writeFile(const std::filesystem::path& path,
               const std::vector<std::array<std::string, N>>& records)
{
    std::string bytes;
    for (const auto& r : records)
        appendRecord(bytes, r);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::system_error(errno, std::generic_category(), "cannot write " + path.string());
}

} // namespace

DataSet makeDataSet(DataSetSize size, unsigned seed)
{
    Random random(seed);
    DataSet data;
    std::unordered_set<std::string> taken;
    data.sites.reserve(static_cast<std::size_t>(size.sites));
    for (int i = 0; i < size.sites; ++i)
        data.sites.push_back(makeSite(random, taken));
    if (data.sites.empty())
        return data;

    // Some sites have one account, others many; the total is exact.
    std::vector<std::size_t> weights(data.sites.size());
    std::size_t total = 0;
    for (auto& w : weights)
        total += (w = 1 + random.below(19));
    data.accounts.reserve(static_cast<std::size_t>(size.accounts));
    std::size_t done = 0, sum = 0;
    for (std::size_t s = 0; s < weights.size(); ++s) {
        sum += weights[s];
        const std::size_t until = sum * static_cast<std::size_t>(size.accounts) / total;
        for (; done < until; ++done)
            data.accounts.push_back(makeAccount(random, data.sites[s][0]));
    }
    return data;
}

std::vector<std::string> siteNames(DataSetSize size, unsigned seed)
{
    std::vector<std::string> names;
    for (auto& site : makeDataSet({size.sites, 0}, seed).sites)
        names.push_back(std::move(site[0]));
    return names;
}

void writeDataSet(const std::filesystem::path& dir, DataSetSize size, unsigned seed)
{
    const DataSet data = makeDataSet(size, seed);
    writeFile(dir / "SB-Sites.DaT", data.sites);
    writeFile(dir / "SB-Acnts.DaT", data.accounts);
}

} // namespace sb::bench
