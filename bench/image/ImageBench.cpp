// Reading a 2048 x 2048 RGBA BMG file through ImportStream beside a plain read() of the same
// bytes (the file sits in the page cache, so both measure copying, not the disc), and building
// the mipmap chain of that image beside a memcpy of its bytes.

#include "BenchRatios.h"
#include "quorlix/core/Obj.h"
#include "quorlix/image/Image.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Quorlix;

namespace {

constexpr int k_Size = 2048;
constexpr int64_t k_ImageBytes = int64_t{k_Size} * k_Size * 4;
constexpr int64_t k_FileBytes = 16 + k_ImageBytes;

const std::string& FilePath() {
    static const std::string s_Path = [] {
        const char* folder = std::getenv("TMPDIR");
        return std::string(folder != nullptr && *folder ? folder : "/tmp") + "/QuorlixImageBench." +
               std::to_string(::getpid()) + ".bmg";
    }();
    return s_Path;
}

Obj<Image> PatternImage() {
    Obj<Image> image(Image::Create());
    image->Allocate(4, k_Size, k_Size, 0);
    const std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(size_t(k_ImageBytes), 7);
    std::memcpy(image->GetData(), bytes.data(), bytes.size());
    return image;
}

// Writes the file once and reads it once, so every benchmark finds it in the page cache.
bool PrepareFile() {
    if (PatternImage()->ExportFile(FilePath().c_str(), 0) != SOK)
        return false;
    std::vector<char> buffer(static_cast<size_t>(k_FileBytes));
    const int fd = ::open(FilePath().c_str(), O_RDONLY | O_CLOEXEC);
    const bool read = fd >= 0 && ::read(fd, buffer.data(), buffer.size()) == k_FileBytes;
    ::close(fd);
    return read;
}

void BM_Posix_ReadFile(benchmark::State& state) {
    std::vector<char> buffer(static_cast<size_t>(k_FileBytes));
    int64_t total = 0;
    for (auto _ : state) {
        const int fd = ::open(FilePath().c_str(), O_RDONLY | O_CLOEXEC);
        total = 0;
        for (ssize_t n; (n = ::read(fd, buffer.data() + total, size_t(k_FileBytes - total))) > 0;)
            total += n;
        ::close(fd);
        benchmark::DoNotOptimize(buffer.data());
    }
    if (total != k_FileBytes)
        state.SkipWithError("short read");
    state.SetBytesProcessed(state.iterations() * k_FileBytes);
}

void BM_Image_ImportBmg(benchmark::State& state) {
    Obj<Image> image(Image::Create());
    EResult result = SOK;
    for (auto _ : state) {
        const Obj<StreamPipe> pipe(Storage::OpenStream(String(FilePath().c_str()), IORead));
        result = image->ImportStream(FilePath().c_str(), pipe.Get());
        benchmark::DoNotOptimize(image->GetData());
    }
    if (result != SOK || image->GetWidth() != k_Size)
        state.SkipWithError("import failed");
    state.SetBytesProcessed(state.iterations() * k_FileBytes);
}

void BM_Memcpy_Image(benchmark::State& state) {
    Obj<Image> image = PatternImage();
    std::vector<unsigned char> copy(static_cast<size_t>(k_ImageBytes));
    for (auto _ : state) {
        std::memcpy(copy.data(), image->GetData(), copy.size());
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(state.iterations() * k_ImageBytes);
}

void MipMap(benchmark::State& state, int mode) {
    Obj<Image> image = PatternImage();
    image->MipMap(mode); // the levels exist from here on; each pass filters them again
    for (auto _ : state) {
        image->MipMap(mode);
        benchmark::DoNotOptimize(image->GetMipMap()->GetData());
    }
    state.SetBytesProcessed(state.iterations() * k_ImageBytes);
}

void BM_Image_MipMap(benchmark::State& state) {
    MipMap(state, 0);
}

void BM_Image_MipMapAlphaWeighted(benchmark::State& state) {
    MipMap(state, 1);
}

BENCHMARK(BM_Posix_ReadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Image_ImportBmg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Memcpy_Image)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Image_MipMap)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Image_MipMapAlphaWeighted)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!PrepareFile()) {
        std::fprintf(stderr, "ImageBench: cannot write %s\n", FilePath().c_str());
        ::unlink(FilePath().c_str());
        return 1;
    }
    const int result = QuorlixBench::RunAndCompare(
        argc, argv,
        {{"BM_Image_ImportBmg", "BM_Posix_ReadFile", true},
         {"BM_Image_MipMap", "BM_Memcpy_Image", true},
         {"BM_Image_MipMapAlphaWeighted", "BM_Memcpy_Image", true}},
        {}, {}, {{"BM_Image_ImportBmg", "BM_Posix_ReadFile", "at least 0.8 of read()", 0.8}});
    ::unlink(FilePath().c_str());
    return result;
}
