#pragma once
// The binary lexer: reads the binary script form, in which every token is its kind byte (the
// LexType value) followed by a fixed little-endian payload, and hands the parser the same
// tokens the text lexer gives for the equivalent text, plus the kinds only this form carries:
// Bool, vectors, the matrix, the sphere, typed arrays and class and member tokens.
//
// The reader of a binary file consumes its 4-byte header ('K','S','B',3) itself; the lexer
// starts at the first token. Nothing in the stream is trusted: every length and count is checked
// against the bytes that remain (memory) or the storage grows only as bytes arrive (pipe), so
// a lying count costs no more memory than the data really holds.

#include "quorlix/core/Array.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Lexer.h"

#include <cstdint>

namespace Quorlix {

class QUORLIX_API LexerBinary : public Lexer {
public:
    /// Error code of a kind byte outside the binary table (beside the text lexer's 1..3).
    static constexpr int k_ErrorUnknownKind = 4;
    /// Most bytes one array token may occupy once read.
    static constexpr int64_t k_MaxArrayBytes = int64_t{1} << 30;

    /// Reads `pipe` (held counted) from its current position.
    LexerBinary(StreamPipe* pipe, unsigned flags);
    /// Reads the `size` bytes at `data` in place: the block must outlive the lexer.
    LexerBinary(const void* data, int size, unsigned flags);
    ~LexerBinary() override;

    /// Reads one token. Blank and CRLF tokens are dropped when their skip flag is set. Faults:
    /// Error 1 for a payload cut short by the end of the data (the next token is EOF); Error 2
    /// for a String of 8192 bytes or more (logged; its payload is consumed so that the next
    /// token is read in step) and for an array past k_MaxArrayBytes (consumed likewise); Error
    /// 4 for an unknown kind byte (logged "Invalid symbol 0x.. in binary script stream.").
    LexType Lex() override;
    /// There are no lines: the same as Lex.
    LexType LexSkipToEOL() override;
    /// Where the next byte is read (memory lexers: inside the block).
    const void* GetReadPtr() const override;
    /// Memory lexers only, `p` inside the block or at its end; otherwise logs the fatal line
    /// "Lexer::SetReadPtr: illegal seek position." and changes nothing.
    void SetReadPtr(const void* p) override;
    /// A binary stream has no lines: with line counting on, line 1 and, as the column, the
    /// offset of the read position from the first token plus 1; 0 otherwise.
    int GetLineCount() override;
    int GetColumnCount() override;

    /// Vector, Matrix4f and Spheref tokens: their floats in storage order.
    const float* GetFloats() const noexcept { return m_Floats; }
    /// Array tokens: the element count and the elements, packed little-endian in the element
    /// type's size (the compact kinds 70 and 71 arrive widened, as Array_I32; Bool elements are
    /// one byte each, non-zero true). Array_String elements are in GetStrings. Valid until the
    /// next Lex.
    int GetArrayCount() const noexcept { return m_ArrayCount; }
    const unsigned char* GetArrayData() const noexcept { return m_ArrayBytes.Data(); }
    const Array<String>& GetStrings() const noexcept { return m_Strings; }
    /// ClassToken, MemberToken and ClassMemberToken: the class index as stored (0..65535,
    /// unchecked) and, for the member tokens, the member index (0..255).
    int GetClassIndex() const noexcept { return m_ClassIndex; }
    int GetMemberIndex() const noexcept { return m_MemberIndex; }
    /// Whether a skipped Blank or CRLF token came right before the current token (what a gap
    /// between two names is in text).
    bool GetGapBefore() const noexcept { return m_GapBefore; }

    /// The next `n` bytes after the current token when they are already in memory (no read is
    /// made); null otherwise. With SkipRaw, for readers that take a run of fixed-size tokens
    /// straight from the bytes; the next Lex goes on after what was skipped.
    const unsigned char* PeekRaw(int n) const noexcept {
        return !m_Ended && n <= m_Size - m_Pos ? m_Data + m_Pos : nullptr;
    }
    /// Moves past `n` bytes that PeekRaw gave.
    void SkipRaw(int n) noexcept { m_Pos += n; }

private:
    int ReadByte();
    /// Copies `n` bytes; false (everything up to the end consumed) when fewer remain.
    bool ReadBytes(void* out, int64_t n);
    /// `n` (at most 64) payload bytes: in place when they are known to remain, else copied
    /// into `scratch`; null (everything up to the end consumed) when fewer remain.
    const unsigned char* Payload(unsigned char* scratch, int n);
    bool SkipBytes(int64_t n);
    bool Fill();
    /// Bytes known to remain: memory lexers exactly, pipe lexers only what is buffered.
    int64_t Known() const noexcept;
    bool ReadU32(uint32_t& value);
    LexType Truncated();
    LexType Fixed(LexType type, int bytes);
    LexType Floats(LexType type, int count);
    LexType Name(LexType type);
    LexType Text();
    LexType NumberArray(int kind);
    LexType StringArray();
    /// Every token kind, and what a token needs when its bytes are not all in memory.
    LexType LexAny();

    Obj<StreamPipe> m_Pipe;                // null for a memory lexer
    const unsigned char* m_Data = nullptr; // memory: the block; pipe: the read buffer
    int64_t m_Size = 0;                    // valid bytes at m_Data
    int64_t m_Pos = 0;                     // next byte at m_Data
    int64_t m_Consumed = 0;                // pipe: bytes of earlier buffers
    unsigned char* m_Buffer = nullptr;     // pipe lexers: the read buffer
    bool m_Ended = false;                  // an explicit EOF or the data ran out
    bool m_GapBefore = false;
    bool m_LineCount = false;
    bool m_HeldPayload = false; // an array token's elements are held until the next token
    int m_ArrayCount = 0;
    int m_ClassIndex = 0;
    int m_MemberIndex = 0;
    float m_Floats[16] = {};
    Array<unsigned char> m_ArrayBytes;
    Array<String> m_Strings;
    char m_Token[k_BufferSize + 1];
};

} // namespace Quorlix
