// Realistic, deterministic test data for the benchmarks: sites with names and
// web addresses, accounts with user names, passwords and notes. The same seed
// gives the same data on every machine.
#pragma once

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace sb::bench {

struct DataSetSize
{
    int sites;
    int accounts;
};

// About 7.6 MB of accounts: the size the program must stay quick with.
inline constexpr DataSetSize kLargeDataSet{10'000, 100'000};
// A typical user's files.
inline constexpr DataSetSize kSmallDataSet{300, 1'500};

using SiteFields = std::array<std::string, 2>;    // name, web address
using AccountFields = std::array<std::string, 4>; // site name, user, password, extra

struct DataSet
{
    std::vector<SiteFields> sites;
    std::vector<AccountFields> accounts; // grouped by site, in file order
};

// Site names are unique ignoring letter case. Some hold commas and blanks; a
// few accounts spell their site's name in another letter case, as users do.
// No field holds a double quote.
DataSet makeDataSet(DataSetSize size, unsigned seed = 1);

// The site names of makeDataSet(size, seed), in file order.
std::vector<std::string> siteNames(DataSetSize size, unsigned seed = 1);

// Writes makeDataSet(size, seed) as "SB-Sites.DaT" and "SB-Acnts.DaT" into
// `dir` (which must exist), in the program's own byte format, replacing what
// is there. Throws std::system_error when a file cannot be written.
void writeDataSet(const std::filesystem::path& dir, DataSetSize size, unsigned seed = 1);

} // namespace sb::bench
