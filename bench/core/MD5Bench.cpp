// MD5Generator throughput beside OpenSSL's MD5 over the same bytes, in one buffer and in the
// 4 KiB pieces that a reader of files feeds it. The aim is at least 0.8 of OpenSSL's throughput.

#include "BenchRatios.h"
#include "quorlix/core/MD5.h"

#include <openssl/evp.h>

#include <cstring>
#include <random>
#include <vector>

using namespace Quorlix;

namespace {

// 0: the whole buffer in one call, else the piece size.
size_t Piece(const benchmark::State& state, size_t n) {
    return state.range(1) == 0 ? n : static_cast<size_t>(state.range(1));
}

void BM_MD5Generator_Digest(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const size_t piece = Piece(state, n);
    const std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(n, 1321);
    MD5Generator generator;
    MD5 digest;
    for (auto _ : state) {
        for (size_t at = 0; at < n; at += piece)
            generator.Update(bytes.data() + at, static_cast<int64_t>(std::min(piece, n - at)));
        generator.Final(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_MD5Generator_Digest)->Args({64, 0})->Args({1 << 20, 0})->Args({1 << 20, 4096});

void BM_OpenSSL_MD5(benchmark::State& state) {
    const auto n = static_cast<size_t>(state.range(0));
    const size_t piece = Piece(state, n);
    const std::vector<unsigned char> bytes = QuorlixBench::RandomBytes(n, 1321);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const EVP_MD* md5 = EVP_md5();
    unsigned char digest[EVP_MAX_MD_SIZE];
    {
        // Both must compute the same digest, or the comparison means nothing.
        unsigned int length = 0;
        EVP_DigestInit_ex(context, md5, nullptr);
        EVP_DigestUpdate(context, bytes.data(), n);
        EVP_DigestFinal_ex(context, digest, &length);
        MD5Generator generator;
        MD5 ours;
        generator.Update(bytes.data(), static_cast<int64_t>(n));
        generator.Final(ours);
        if (length != 16 || std::memcmp(digest, ours.m_Bytes, 16) != 0)
            state.SkipWithError("digests differ");
    }
    for (auto _ : state) {
        unsigned int length = 0;
        EVP_DigestInit_ex(context, md5, nullptr);
        for (size_t at = 0; at < n; at += piece)
            EVP_DigestUpdate(context, bytes.data() + at, std::min(piece, n - at));
        EVP_DigestFinal_ex(context, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(context);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}
BENCHMARK(BM_OpenSSL_MD5)->Args({64, 0})->Args({1 << 20, 0})->Args({1 << 20, 4096});

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    std::vector<Comparison> comparisons;
    for (const char* args : {"64/0", "1048576/0", "1048576/4096"})
        comparisons.push_back({std::string("BM_MD5Generator_Digest/") + args,
                               std::string("BM_OpenSSL_MD5/") + args, true});
    return QuorlixBench::RunAndCompare(argc, argv, comparisons);
}
