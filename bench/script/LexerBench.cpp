// The text lexer over a generated scene script of about 10 MB (100,000 transform objects with
// dotted members, vectors in parentheses, strings and arrays of numbers), from memory and
// through a memory pipe, beside a memchr scan of the same bytes.

#include "BenchRatios.h"
#include "quorlix/script/Lexer.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstring>
#include <memory>
#include <random>
#include <string>

using namespace Quorlix;

namespace {

constexpr unsigned k_Flags = Lexer::FlagCombineUnary | Lexer::FlagSkipBlank | Lexer::FlagSkipCRLF |
                             Lexer::FlagSkipDoubleSlashComment | Lexer::FlagSkipCrossComment;

const std::string& Script() {
    static const std::string s_Script = [] {
        std::mt19937 random(5);
        std::string text = "//KS 0.3 F010219x\n";
        text.reserve(11 << 20);
        for (int i = 0; i < 100000; ++i) {
            const int a = static_cast<int>(random() % 2000) - 1000;
            text += "STransform:SNode" + std::to_string(i) + " . {\n";
            text += "    .Translation (" + std::to_string(a) + ".25, " +
                    std::to_string(random() % 100) + ", -3.125);\n";
            text += "    .Scale (1, 1.5, 1);\n";
            text += "    .Name \"node" + std::to_string(i) + "\";\n";
            text += "    .Weights [0.5, 1, " + std::to_string(random() % 1000) + ".75, -2];\n";
            text += "};\n";
        }
        return text;
    }();
    return s_Script;
}

template <class MakeLexer>
void LexAll(benchmark::State& state, MakeLexer make) {
    const std::string& text = Script();
    int64_t tokens = 0;
    for (auto _ : state) {
        const std::unique_ptr<Lexer> lexer = make();
        int64_t count = 0;
        LexType type;
        while ((type = lexer->Lex()) != LexEOF && type != LexError)
            ++count;
        if (type != LexEOF)
            state.SkipWithError("lexing stopped before the end");
        tokens = count;
        benchmark::DoNotOptimize(count);
    }
    state.counters["tokens"] = static_cast<double>(tokens);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

void BM_Lexer_LexMemory(benchmark::State& state) {
    const std::string& text = Script();
    LexAll(state, [&] {
        return std::make_unique<Lexer>(text.data(), static_cast<int>(text.size()), k_Flags);
    });
}

void BM_Lexer_LexPipe(benchmark::State& state) {
    const std::string& text = Script();
    Obj<StreamPipeMemory> pipe =
        StreamPipeMemory::Create(text.data(), static_cast<int>(text.size()));
    LexAll(state, [&] {
        pipe->Seek(0, SeekBegin);
        return std::make_unique<Lexer>(pipe.Get(), k_Flags);
    });
}

// The floor: one pass over the bytes at memchr speed, counting line ends.
void BM_Memchr_CountLines(benchmark::State& state) {
    const std::string& text = Script();
    for (auto _ : state) {
        const char* p = text.data();
        const char* end = p + text.size();
        int64_t lines = 0;
        while ((p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)))) !=
               nullptr) {
            ++lines;
            ++p;
        }
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_Lexer_LexMemory)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Lexer_LexPipe)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_Memchr_CountLines)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    using QuorlixBench::Comparison;
    using QuorlixBench::Goal;
    return QuorlixBench::RunAndCompare(
        argc, argv,
        {
            Comparison{"BM_Lexer_LexMemory/repeats:5", "BM_Memchr_CountLines/repeats:5", true},
            Comparison{"BM_Lexer_LexPipe/repeats:5", "BM_Memchr_CountLines/repeats:5", true},
        },
        {
            Goal{"BM_Lexer_LexMemory/repeats:5", "at least 200 MB/s", 0, 200e6},
            Goal{"BM_Lexer_LexPipe/repeats:5", "at least 200 MB/s", 0, 200e6},
        });
}
