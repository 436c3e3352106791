// The main of a fuzz entry's replay program: runs LLVMFuzzerTestOneInput once over every file of
// the folders named on the command line, in name order, the way libFuzzer runs a corpus. A folder
// that does not exist is skipped (a generated corpus the build did not make); finding no input at
// all fails, so a misplaced corpus cannot pass as a clean replay. A crash is the failure a replay
// exists to catch: it stops the program with the sanitizers' report, after the name of the input.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Optional, as for libFuzzer: set-up an entry needs once.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace
{
namespace fs = std::filesystem;

std::vector<fs::path> InputsIn(const fs::path& folder)
{
    std::vector<fs::path> inputs;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
    {
        if (entry.is_regular_file())
        {
            inputs.push_back(entry.path());
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::vector<std::uint8_t> ReadBytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize != nullptr)
    {
        LLVMFuzzerInitialize(&argc, &argv);
    }
    std::size_t replayed = 0;
    for (int index = 1; index < argc; ++index)
    {
        const fs::path folder = argv[index];
        if (!fs::is_directory(folder))
        {
            continue;
        }
        for (const fs::path& input : InputsIn(folder))
        {
            std::fprintf(stderr, "replaying %s\n", input.c_str());
            std::fflush(stderr);
            const std::vector<std::uint8_t> bytes = ReadBytes(input);
            // An empty input is passed as libFuzzer passes one: a valid pointer and size 0.
            static const std::uint8_t kNoBytes = 0;
            LLVMFuzzerTestOneInput(bytes.empty() ? &kNoBytes : bytes.data(), bytes.size());
            ++replayed;
        }
    }
    if (replayed == 0)
    {
        std::fprintf(stderr, "no input found in the corpus folders given\n");
        return 1;
    }
    std::printf("replayed %zu inputs\n", replayed);
    return 0;
}
