// Runs the fuzz target without libFuzzer over a few inputs that reach the
// reader's corners. (The libFuzzer build runs saved inputs by itself.)
#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main()
{
    using namespace std::string_literals;
    const std::string inputs[] = {
        ""s,
        "\"Acme\",\"https://acme.example\"\r\n\"Bank, main\",\"\"\r\n"s,
        "\xEF\xBB\xBF\"a\",\"b\"\r\n\r\n  \n"s,
        "\"a\"\r\n\"b\"\r\n\"c\",\"d\"\n\"e\"\r\"f\""s,
        "  \"ab\"cd\" ,x  ,\"ab\",cd\",,\r\n\r\n\"q"s,
        "\"Caf\xE9\",\"Caf\xC3\xA9\",\"\x80\x81\x8D\x8F\x90\x9D\xFF\",\"\xF0\x9F\x94\x91\"\r\n"s,
        "\"a\",\"b\",\"c\""s,
        "\"s\0u\0p\0x\0\0\0\0\"\r\n"s,
    };
    for (const auto& input : inputs)
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    std::puts("fuzz_reader: the built-in inputs passed");
    return 0;
}
