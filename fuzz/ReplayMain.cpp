// Runs a fuzz target's LLVMFuzzerTestOneInput once on every file of the folders (or on the
// files) named on the command line, without libFuzzer, so that CTest replays the corpora in
// every build. A crash names the input it was given last.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Only some targets define it; as with libFuzzer, it runs once before the first input.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

namespace {

// The inputs named by one argument, in a fixed order; none when it names nothing usable.
std::vector<fs::path> inputsOf(const fs::path& argument)
{
    std::error_code error;
    if (fs::is_regular_file(argument, error))
        return {fs::absolute(argument)};
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& entry : fs::directory_iterator(argument, error)) {
        if (entry.is_regular_file(error))
            inputs.push_back(fs::absolute(entry.path()));
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder or input>...\n", argv[0]);
        return 2;
    }
    // Gathered first: an initializer may change the current folder.
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::vector<fs::path> found = inputsOf(argv[i]);
        if (found.empty()) {
            std::fprintf(stderr, "%s: no inputs in %s (missing or empty)\n", argv[0], argv[i]);
            return 1;
        }
        inputs.insert(inputs.end(), found.begin(), found.end());
    }

    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& input : inputs) {
        std::fprintf(stderr, "replaying %s\n", input.c_str());
        std::ifstream file(input, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", input.c_str());
            return 1;
        }
        const std::string bytes{std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>()};
        // A copy of exactly the input's size, so that the sanitizers catch a read past its end.
        const std::vector<uint8_t> data(bytes.begin(), bytes.end());
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::fprintf(stderr, "replayed %zu inputs\n", inputs.size());
    return 0;
}
