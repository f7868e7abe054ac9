// Plain driver for the fuzz targets: feeds every file of the given folders (or
// the given files) to LLVMFuzzerTestOneInput once. CTest runs it over the corpus,
// so inputs the fuzzer found stay covered without a fuzzing toolchain.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int runFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}

int main(int argc, char** argv)
{
    int files = 0, failures = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path arg(argv[i]);
        if (std::filesystem::is_directory(arg)) {
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg))
                if (entry.is_regular_file()) {
                    failures += runFile(entry.path());
                    ++files;
                }
        } else {
            failures += runFile(arg);
            ++files;
        }
    }
    std::printf("replayed %d inputs\n", files);
    return failures ? 1 : 0;
}
