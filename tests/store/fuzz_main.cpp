// Runs the fuzz target without libFuzzer: over a few inputs built in, which
// reach the reader's corners, and over any files or directories named on the
// command line (a saved corpus or crash inputs).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void run(const std::string& input)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
}

bool runFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        return false;
    }
    run(std::string(std::istreambuf_iterator<char>(in), {}));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    using namespace std::string_literals;
    const std::vector<std::string> seeds = {
        ""s,
        "\"Acme\",\"https://acme.example\"\r\n\"Bank, main\",\"\"\r\n"s,
        "\xEF\xBB\xBF\"a\",\"b\"\r\n\r\n  \n"s,
        "\"a\"\r\n\"b\"\r\n\"c\",\"d\"\n\"e\"\r\"f\""s,
        "  \"ab\"cd\" ,x  ,\"ab\",cd\",,\r\n\r\n\"q"s,
        "\"Caf\xE9\",\"Caf\xC3\xA9\",\"\x80\x81\x8D\x8F\x90\x9D\xFF\",\"\xF0\x9F\x94\x91\"\r\n"s,
        "\"a\",\"b\",\"c\""s,
        "\"s\0u\0p\0x\0\0\0\0\"\r\n"s,
    };
    for (const auto& seed : seeds)
        run(seed);
    int files = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg = argv[i];
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::directory_iterator(arg)) {
                ok = runFile(entry.path()) && ok;
                ++files;
            }
        } else {
            ok = runFile(arg) && ok;
            ++files;
        }
    }
    std::printf("fuzz_reader: %zu built-in inputs and %d files passed\n", seeds.size(), files);
    return ok ? 0 : 1;
}
