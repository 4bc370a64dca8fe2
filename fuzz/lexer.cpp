// Lexer fuzzer: the same bytes through the memory lexer and through a pipe lexer whose pipe
// delivers them in small pieces must give the same tokens, values, texts, lines and columns,
// and every token but the last must consume input.
//
// Input: byte 0 holds the lexer flags (low 6 bits) and the pipe's piece size (top 2 bits:
// 1, 3, 7919 or 8192 bytes per read); the rest is the text.

#include "quorlix/script/Lexer.h"
#include "quorlix/core/Memory.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace Quorlix;

namespace {

#define EXPECT(c)                                                                                  \
    ((c) ? void() : (std::fprintf(stderr, "lexer: line %d: %s\n", __LINE__, #c), std::abort()))

// Delivers at most `piece` bytes of the inner pipe per read.
class PiecePipe final : public StreamPipe {
public:
    PiecePipe(StreamPipe* inner, int piece) : m_Inner(inner), m_Piece(piece) {}
    void Lock() override {}
    void Unlock() override {}
    int Read(void* buffer, int n) override { return m_Inner->Read(buffer, std::min(n, m_Piece)); }
    int Read() override { return m_Inner->Read(); }
    int Peek() override { return -2; }
    int PeekAt(int) override { return -2; }
    int Skip(int n) override { return m_Inner->Skip(n); }
    int Write(const void*, int) override { return 0; }
    void Flush() override {}
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override {
        created = accessed = written = 0;
    }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }

private:
    Obj<StreamPipe> m_Inner;
    int m_Piece;
};

bool HasText(LexType type) {
    return type == LexString || (type >= LexIdentifier && type <= LexColonIdentifier) ||
           type == LexDotIdentifierFunction || type == LexDotIdentifierElement;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > (1u << 24))
        return 0;
    const unsigned flags = data[0] & 63u;
    static const int k_Pieces[] = {1, 3, 7919, Lexer::k_BufferSize};
    const int piece = k_Pieces[data[0] >> 6];
    const auto* text = data + 1;
    const int length = static_cast<int>(size - 1);

    Lexer memory(text, length, flags);
    Obj<StreamPipe> inner = StreamPipeMemory::Create(text, length);
    Obj<StreamPipe> pipe = NewObject<PiecePipe>(inner.Get(), piece);
    Lexer piped(pipe.Get(), flags);
    const auto* before = static_cast<const uint8_t*>(memory.GetReadPtr());
    for (int tokens = 0;; ++tokens) {
        EXPECT(tokens <= length);
        const LexType type = memory.Lex();
        EXPECT(piped.Lex() == type);
        EXPECT(piped.GetTextLength() == memory.GetTextLength());
        EXPECT(std::memcmp(piped.GetText(), memory.GetText(),
                           static_cast<size_t>(memory.GetTextLength())) == 0);
        EXPECT(memory.GetText()[memory.GetTextLength()] == 0);
        if (!HasText(type))
            EXPECT(piped.GetU64() == memory.GetU64());
        EXPECT(piped.GetLineCount() == memory.GetLineCount());
        EXPECT(piped.GetColumnCount() == memory.GetColumnCount());
        const auto* at = static_cast<const uint8_t*>(memory.GetReadPtr());
        EXPECT(at >= text && at <= text + length);
        if (type == LexEOF) {
            EXPECT(at == text + length);
            break;
        }
        EXPECT(at > before);
        before = at;
    }
    return 0;
}
