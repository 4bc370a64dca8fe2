// Runs a fuzz target's entry point over saved inputs without libFuzzer, so that the seed
// corpus and every input that once crashed are replayed by the normal test build.
//
// usage: replay_<target> PATH...   (each PATH is a file or a directory of files)

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

namespace {

namespace fs = std::filesystem;

bool ReadFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

// Files of a directory in name order, so that a run is repeatable. Dot files (.gitkeep)
// are not inputs.
std::vector<fs::path> InputsOf(const fs::path& path, std::error_code& error) {
    std::vector<fs::path> inputs;
    if (!fs::is_directory(path, error)) {
        if (!error)
            inputs.push_back(path);
        return inputs;
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
        if (entry.is_regular_file() && entry.path().filename().string().front() != '.')
            inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PATH...\n", argv[0]);
        return 2;
    }
    int ran = 0;
    std::vector<uint8_t> bytes;
    for (int i = 1; i < argc; ++i) {
        const fs::path path(argv[i]);
        if (!fs::exists(path)) {
            std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
            return 2;
        }
        std::error_code error;
        const std::vector<fs::path> inputs = InputsOf(path, error);
        if (error) {
            std::fprintf(stderr, "replay: %s: %s\n", argv[i], error.message().c_str());
            return 2;
        }
        for (const fs::path& input : inputs) {
            if (!ReadFile(input, bytes)) {
                std::fprintf(stderr, "replay: cannot read %s\n", input.c_str());
                return 2;
            }
            // Announce the input first: a failure aborts the process and this names the culprit.
            std::fprintf(stderr, "replay: %s (%zu bytes)\n", input.c_str(), bytes.size());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++ran;
        }
    }
    std::printf("replay: %d inputs ran\n", ran);
    // An empty run means a misplaced corpus, not a pass.
    return ran > 0 ? 0 : 1;
}
