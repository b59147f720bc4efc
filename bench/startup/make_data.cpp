// Writes a generated pair of record files for the benchmarks:
//   make_data DIR SITES ACCOUNTS
#include "gen_data.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s DIR SITES ACCOUNTS\n", argv[0]);
        return 2;
    }
    sb::bench::writeDataSet(argv[1], {std::atoi(argv[2]), std::atoi(argv[3])});
    return 0;
}
