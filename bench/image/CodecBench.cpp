// Decoding a 2048 x 2048 RGBA picture from PNG and from JPEG 2000 through the image readers,
// beside libpng and OpenJPEG decoding the same bytes straight into a buffer of their own; and
// the peak memory of one decode beside the image it makes.

#include "BenchRatios.h"
#include "BenchSupport.h"
#include "quorlix/core/Obj.h"
#include "quorlix/image/Image.h"
#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/library/Library.h"
#include "quorlix/platform/Memory.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <openjpeg.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

using namespace Quorlix;

namespace {

constexpr int k_Size = 2048;
constexpr size_t k_ImageBytes = size_t(k_Size) * k_Size * 4;
constexpr size_t k_RowBytes = size_t(k_Size) * 4;
constexpr double k_MiB = 1024.0 * 1024.0;

std::string g_Png;
std::string g_Jp2;

using ReadFunction = EResult (*)(Image&, StreamPipe&, const char*);

Obj<Image> MakePicture() {
    return QuorlixBench::MakePicture(k_Size);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The PNG through opj_compress (lossless, its default); empty when that is not installed.
std::string CompressJp2(const std::string& png) {
    if (std::system("command -v opj_compress >/dev/null 2>&1") != 0)
        return {};
    const std::filesystem::path folder = std::filesystem::temp_directory_path();
    const std::filesystem::path in = folder / "quorlix-codecbench.png";
    const std::filesystem::path out = folder / "quorlix-codecbench.jp2";
    std::ofstream(in, std::ios::binary).write(png.data(), std::streamsize(png.size()));
    const std::string command =
        "opj_compress -i '" + in.string() + "' -o '" + out.string() + "' >/dev/null 2>&1";
    std::string jp2 = std::system(command.c_str()) == 0 ? ReadFile(out) : std::string();
    std::error_code ignored;
    std::filesystem::remove(in, ignored);
    std::filesystem::remove(out, ignored);
    return jp2;
}

// The peak resident size starts again from the present one (Linux); false when it cannot.
bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return clear.good();
}

void Decode(benchmark::State& state, ReadFunction read, const std::string& file) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create(file.data(), int(file.size()));
    Obj<Image> image = Image::Create();
    for (auto _ : state) {
        image->Clear();
        pipe->Seek(0, SeekBegin);
        if (read(*image, *pipe, "bench") != SOK) {
            state.SkipWithError("the reader failed");
            return;
        }
        benchmark::DoNotOptimize(image->GetData());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k_ImageBytes));
}

// Peak memory of one decode: what it adds to the resident size beyond the image and one row.
// Runs before the timed decodes, whose freed buffers would otherwise still count.
void DecodeMemory(benchmark::State& state, ReadFunction read, const std::string& file) {
    Obj<StreamPipeMemory> pipe = StreamPipeMemory::Create(file.data(), int(file.size()));
    Obj<Image> image = Image::Create();
    for (auto _ : state) {
        if (!ResetPeak()) {
            state.SkipWithError("the peak resident size cannot be reset here");
            return;
        }
        const size_t before = Platform::PeakResidentBytes();
        if (read(*image, *pipe, "bench") != SOK) {
            state.SkipWithError("the reader failed");
            return;
        }
        const double grown = double(Platform::PeakResidentBytes() - before);
        state.counters["image_MiB"] = double(k_ImageBytes) / k_MiB;
        state.counters["peak_growth_MiB"] = grown / k_MiB;
        state.counters["beyond_image_and_row_KiB"] =
            (grown - double(k_ImageBytes + k_RowBytes)) / 1024.0;
    }
}

// libpng alone: its simplified reader from memory into a new buffer, rows bottom-up as ours.
void LibpngAlone(benchmark::State& state) {
    for (auto _ : state) {
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        std::unique_ptr<unsigned char[]> buffer(new unsigned char[k_ImageBytes]);
        if (!png_image_begin_read_from_memory(&image, g_Png.data(), g_Png.size())) {
            state.SkipWithError(image.message);
            return;
        }
        image.format = PNG_FORMAT_RGBA;
        if (!png_image_finish_read(&image, nullptr, buffer.get(), -int(k_RowBytes), nullptr)) {
            state.SkipWithError(image.message);
            return;
        }
        benchmark::DoNotOptimize(buffer.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k_ImageBytes));
}

struct MemorySource {
    const std::string* m_Bytes;
    size_t m_Position;
};

// OpenJPEG alone: its decoder over the bytes in memory, the components interleaved into a new
// buffer bottom-up.
void OpenJpegAlone(benchmark::State& state) {
    for (auto _ : state) {
        MemorySource source{&g_Jp2, 0};
        opj_stream_t* stream = opj_stream_create(1 << 16, OPJ_TRUE);
        opj_stream_set_user_data(stream, &source, nullptr);
        opj_stream_set_user_data_length(stream, g_Jp2.size());
        opj_stream_set_read_function(stream, [](void* out, OPJ_SIZE_T n, void* user) {
            auto& s = *static_cast<MemorySource*>(user);
            const size_t count = std::min(n, s.m_Bytes->size() - s.m_Position);
            std::memcpy(out, s.m_Bytes->data() + s.m_Position, count);
            s.m_Position += count;
            return count > 0 ? count : OPJ_SIZE_T(-1);
        });
        opj_stream_set_skip_function(stream, [](OPJ_OFF_T n, void* user) -> OPJ_OFF_T {
            auto& s = *static_cast<MemorySource*>(user);
            const OPJ_OFF_T count = std::clamp<OPJ_OFF_T>(
                n, -OPJ_OFF_T(s.m_Position), OPJ_OFF_T(s.m_Bytes->size() - s.m_Position));
            s.m_Position = size_t(OPJ_OFF_T(s.m_Position) + count);
            return count;
        });
        opj_stream_set_seek_function(stream, [](OPJ_OFF_T at, void* user) -> OPJ_BOOL {
            auto& s = *static_cast<MemorySource*>(user);
            if (at < 0 || size_t(at) > s.m_Bytes->size())
                return OPJ_FALSE;
            s.m_Position = size_t(at);
            return OPJ_TRUE;
        });
        opj_codec_t* codec = opj_create_decompress(OPJ_CODEC_JP2);
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        opj_setup_decoder(codec, &parameters);
        opj_image_t* decoded = nullptr;
        const bool ok = opj_read_header(stream, codec, &decoded) &&
                        opj_decode(codec, stream, decoded) && opj_end_decompress(codec, stream) &&
                        decoded->numcomps == 4;
        if (ok) {
            std::unique_ptr<unsigned char[]> buffer(new unsigned char[k_ImageBytes]);
            for (int c = 0; c < 4; ++c) {
                const OPJ_INT32* in = decoded->comps[c].data;
                for (int y = 0; y < k_Size; ++y) {
                    unsigned char* out = buffer.get() + size_t(k_Size - 1 - y) * k_RowBytes + c;
                    for (int x = 0; x < k_Size; ++x, out += 4)
                        *out = static_cast<unsigned char>(*in++);
                }
            }
            benchmark::DoNotOptimize(buffer.get());
        }
        if (decoded != nullptr)
            opj_image_destroy(decoded);
        opj_destroy_codec(codec);
        opj_stream_destroy(stream);
        if (!ok) {
            state.SkipWithError("OpenJPEG failed");
            return;
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(k_ImageBytes));
}

} // namespace

int main(int argc, char** argv) {
    DLLInitialize(0);
    {
        Obj<Image> picture = MakePicture();
        Obj<StreamPipeMemory> out = StreamPipeMemory::Create();
        if (Internal::WritePng(*picture, *out, "bench", 0) != SOK) {
            std::printf("CodecBench: the PNG writer failed\n");
            return 1;
        }
        g_Png.assign(reinterpret_cast<const char*>(out->GetData()), size_t(out->GetSize()));
    }
    g_Jp2 = CompressJp2(g_Png);
    std::printf("CodecBench: %d x %d RGBA, PNG %.1f MiB", k_Size, k_Size,
                double(g_Png.size()) / k_MiB);
    if (g_Jp2.empty())
        std::printf("; opj_compress is not installed, the JPEG 2000 case is skipped\n");
    else
        std::printf(", JPEG 2000 %.1f MiB\n", double(g_Jp2.size()) / k_MiB);

    // Registration order is run order: the memory measurements come first.
    const auto run = [](void (*measure)(benchmark::State&, ReadFunction, const std::string&),
                        ReadFunction read, const std::string& file) {
        return [=, &file](benchmark::State& state) { measure(state, read, file); };
    };
    benchmark::RegisterBenchmark("BM_Image_PngDecodeMemory",
                                 run(DecodeMemory, Internal::ReadPng, g_Png))
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
    if (!g_Jp2.empty())
        benchmark::RegisterBenchmark("BM_Image_Jp2DecodeMemory",
                                     run(DecodeMemory, Internal::ReadJp2, g_Jp2))
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Image_ReadPng", run(Decode, Internal::ReadPng, g_Png))
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_Image_LibpngAlone", LibpngAlone)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    if (!g_Jp2.empty()) {
        benchmark::RegisterBenchmark("BM_Image_ReadJp2", run(Decode, Internal::ReadJp2, g_Jp2))
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_Image_OpenJpegAlone", OpenJpegAlone)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    const int result = QuorlixBench::RunAndCompare(
        argc, argv,
        {{"BM_Image_ReadPng/real_time", "BM_Image_LibpngAlone/real_time"},
         {"BM_Image_ReadJp2/real_time", "BM_Image_OpenJpegAlone/real_time"}},
        {},
        {{"BM_Image_PngDecodeMemory/iterations:1", "beyond image + row <= 1 MiB",
          "beyond_image_and_row_KiB", 1024}},
        {{"BM_Image_ReadPng/real_time", "BM_Image_LibpngAlone/real_time",
          "within 1.1x of libpng alone", 1 / 1.1},
         {"BM_Image_ReadJp2/real_time", "BM_Image_OpenJpegAlone/real_time",
          "within 1.1x of OpenJPEG alone", 1 / 1.1}});
    DLLDeInitialize(0);
    return result;
}
