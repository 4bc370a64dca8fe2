// Runs a fuzz target's entry point over saved inputs without libFuzzer, so that the seed
// corpus and every input that once failed are replayed by the normal test build.
//
// usage: replay_<target> PATH...   (each PATH is a file or a directory of files)

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int ran = 0;
    for (int i = 1; i < argc; ++i) {
        // A directory's files in name order, so that a run is repeatable; dot files are not
        // inputs. A missing path fails as an unreadable file.
        std::vector<fs::path> inputs{argv[i]};
        if (fs::is_directory(inputs[0])) {
            inputs.clear();
            for (const fs::directory_entry& entry : fs::directory_iterator(argv[i]))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    inputs.push_back(entry.path());
            std::sort(inputs.begin(), inputs.end());
        }
        for (const fs::path& path : inputs) {
            std::ifstream file(path, std::ios::binary);
            if (!file) {
                std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
                return 2;
            }
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                             std::istreambuf_iterator<char>());
            // Named first: a failure aborts the process, and this names the culprit.
            std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++ran;
        }
    }
    std::printf("replay: %d inputs ran\n", ran);
    return ran > 0 ? 0 : 1; // nothing to run means a misplaced corpus, not a pass
}
