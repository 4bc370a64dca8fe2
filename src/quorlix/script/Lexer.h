#pragma once
// The text lexer: turns the bytes of an ascii script, read from a pipe (8192 bytes at a time) or
// from a memory block (in place), into tokens, one per call of Lex. The parser pulls tokens and
// reads the current token's kind and value. Byte based: bytes 128..255 are ordinary characters
// inside strings and give Char tokens elsewhere.
//
// The binary lexer derives from this class and yields the same token kinds from the binary
// script form; the kinds marked "binary" below come only from it.
//
// Names, numbers and quoted strings go into a fixed 8192-byte token buffer: no allocation per
// token. Raw block strings (#bs ... ##) may be longer; they grow a buffer of their own.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>

namespace Quorlix {

class Stream;

/// Token kinds (values as stored in binary files and compared by the parser).
enum LexType : int {
    LexError = 0, // value: the error code (1 malformed, 2 limit, 3 control byte in a string)
    LexBool = 8,  // binary
    LexString = 9,
    LexI32 = 10,
    LexI64 = 11,
    LexU32 = 12,
    LexU64 = 13,
    LexF32 = 14,
    LexF64 = 15,
    LexVector2f = 16, // 16..23 binary
    LexVector2d = 17,
    LexVector3f = 18,
    LexVector3d = 19,
    LexVector4f = 20,
    LexVector4d = 21,
    LexMatrix4f = 22,
    LexMatrix4d = 23,
    LexSpheref = 34, // binary
    LexSphered = 35,
    LexArrayBool = 72, // 72..87, 98, 99 binary
    LexArrayString = 73,
    LexArrayI32 = 74,
    LexArrayI64 = 75,
    LexArrayU32 = 76,
    LexArrayU64 = 77,
    LexArrayF32 = 78,
    LexArrayF64 = 79,
    LexArrayVector2f = 80,
    LexArrayVector2d = 81,
    LexArrayVector3f = 82,
    LexArrayVector3d = 83,
    LexArrayVector4f = 84,
    LexArrayVector4d = 85,
    LexArrayMatrix4f = 86,
    LexArrayMatrix4d = 87,
    LexArraySpheref = 98,
    LexArraySphered = 99,
    LexIdentifier = 160,
    LexDotIdentifier = 161,
    LexColonIdentifier = 162,
    LexId = 163, // $hex: value U32
    LexAt = 164,
    LexDotIdentifierFunction = 165, // .name directly followed by (
    LexDotIdentifierElement = 166,  // .name directly followed by [
    LexClassToken = 168,            // binary
    LexMemberToken = 169,           // binary
    LexClassMemberToken = 170,      // binary
    LexParenthesisL = 176,
    LexParenthesisR = 177,
    LexBracketL = 178,
    LexBracketR = 179,
    LexBraceL = 180,
    LexBraceR = 181,
    LexOperatorLT = 192,
    LexOperatorGT = 193,
    LexOperatorLE = 194,
    LexOperatorGE = 195,
    LexOperatorEQ = 196,
    LexOperatorNE = 197,
    LexOperatorAdd = 209,
    LexOperatorSub = 210,
    LexOperatorMul = 211,
    LexOperatorDiv = 212,
    LexOperatorMod = 213,
    LexOperatorShiftL = 214,
    LexOperatorShiftR = 215,
    LexOperatorComplement = 216, // not from the text lexer (~ gives Char)
    LexOperatorBinaryAnd = 217,
    LexOperatorBinaryOr = 218,
    LexOperatorBinaryXor = 219,
    LexOperatorNot = 220,
    LexOperatorLogicAnd = 221,
    LexOperatorLogicOr = 222,
    LexOperatorLogicXor = 223,
    LexAssign = 224,
    LexAssignAdd = 225, // 225..239 reserved, in the order of the operators 209..223
    LexAssignLogicXor = 239,
    LexDot = 240,
    LexColon = 241,
    LexComma = 242,
    LexSemicolon = 243,
    LexQuestion = 244,
    LexBlank = 251, // only when blanks are not skipped
    LexCRLF = 252,  // one CR or one LF, only when line ends are not skipped
    LexChar = 254,  // value: the byte
    LexEOF = 255,
};

class QUORLIX_API Lexer {
public:
    /// Constructor flags.
    enum Flag : unsigned {
        FlagLineCount = 1, // enables GetLineCount and GetColumnCount
        FlagCombineUnary = 2,
        FlagSkipBlank = 4,
        FlagSkipCRLF = 8,
        FlagSkipDoubleSlashComment = 16,
        FlagSkipCrossComment = 32,
    };
    static constexpr int k_BufferSize = 8192;

    /// Reads `pipe` (held counted) 8192 bytes at a time; the first block is read here.
    Lexer(StreamPipe* pipe, unsigned flags);
    /// Lexes the `size` bytes at `data` in place: the block must outlive the lexer.
    Lexer(const void* data, int size, unsigned flags);
    virtual ~Lexer();
    Lexer(const Lexer&) = delete;
    Lexer& operator=(const Lexer&) = delete;

    /// Advances to the next token and returns its kind. Faults give LexError with a code:
    /// 1 malformed (a bad escape, an exponent without digits, a '#' that opens no raw string),
    /// 2 limit (a token past the token buffer, a number out of range for its kind, a raw
    /// string past its limit), 3 a control byte in a quoted string (left for the next token).
    /// Otherwise a faulty token is consumed to its end, so lexing goes on cleanly behind it.
    virtual LexType Lex();
    /// Discards the characters up to (not including) the next CR, LF or the end, then Lex.
    virtual LexType LexSkipToEOL();
    /// Where the next character is read.
    virtual const void* GetReadPtr() const;
    /// Memory lexers only, `p` inside the block or at its end: reads on from `p` (the
    /// character there is loaded). Anything else logs the fatal line "Lexer::SetReadPtr: illegal
    /// seek position." and changes nothing.
    virtual void SetReadPtr(const void* p);
    /// With line counting on: the line of the read position (from 1) and its column (from 1);
    /// 0 otherwise.
    virtual int GetLineCount();
    virtual int GetColumnCount();

    bool GetCombineUnary() const noexcept;
    void SetCombineUnary(bool on) noexcept;
    bool GetSkipBlank() const noexcept;
    void SetSkipBlank(bool on) noexcept;
    bool GetSkipCRLF() const noexcept;
    void SetSkipCRLF(bool on) noexcept;
    bool GetSkipDoubleSlashComment() const noexcept;
    void SetSkipDoubleSlashComment(bool on) noexcept;
    bool GetSkipCrossComment() const noexcept;
    void SetSkipCrossComment(bool on) noexcept;

    /// The current token.
    LexType GetType() const noexcept { return m_Type; }
    int32_t GetI32() const noexcept { return m_Value.m_I32; }
    int64_t GetI64() const noexcept { return m_Value.m_I64; }
    uint32_t GetU32() const noexcept { return m_Value.m_U32; }
    uint64_t GetU64() const noexcept { return m_Value.m_U64; }
    float GetF32() const noexcept { return m_Value.m_F32; }
    double GetF64() const noexcept { return m_Value.m_F64; }
    /// The byte of a Char token, the code of an Error token.
    int GetCode() const noexcept { return m_Value.m_I32; }
    /// The text of a name (Identifier and the dot and colon forms, without the dot or colon) or
    /// of a String (which may hold zero bytes): valid until the next Lex, zero-terminated.
    const char* GetText() const noexcept { return m_Text; }
    int GetTextLength() const noexcept { return m_TextLength; }

    /// The kind's name ("Identifier", "OperatorAdd", ...); "???" for values without one.
    static const char* LexTypeToString(int type) noexcept;
    /// How an operator is written ("<=", "+", "&&"); "???" for other kinds (and -1).
    static const char* OperatorSpelling(int type) noexcept;
    /// Binding strength of a binary operator, lower binding tighter (4 for * / % up to 14 for
    /// ||); 255 for kinds that are not binary operators.
    static int OperatorPrecedence(int type) noexcept;

    /// Writes the current token: its kind's name, a blank, its value, a line end.
    void PrintLex(Stream& stream) const;

protected:
    /// For the binary lexer: a token whose value the caller fills in.
    union Value {
        int32_t m_I32;
        int64_t m_I64;
        uint32_t m_U32;
        uint64_t m_U64;
        float m_F32;
        double m_F64;
        const void* m_Pointer;
    };
    LexType m_Type = LexEOF;
    Value m_Value{};
    const char* m_Text = "";
    int m_TextLength = 0;

    /// Raw block strings whose text passes `bytes` give Error 2 (the rest of the string is
    /// consumed); 1 GiB unless set. Values below 8191 count as 8191.
    void SetRawStringLimit(int bytes) noexcept;

private:
    static constexpr int k_DefaultRawStringLimit = 1 << 30;

    bool Fill();
    void Advance() {
        if (++m_Ptr == m_End)
            Fill();
    }
    int Current() const noexcept { return m_Ptr < m_End ? *m_Ptr : -1; }
    int PeekNext();
    void ScanLines(const unsigned char* upTo) noexcept;
    void SkipLine();
    void SkipRun(unsigned mask);
    void TakeRun(unsigned mask);
    void Put(int c) noexcept;
    void SetFlag(unsigned flag, bool on) noexcept;
    LexType SetToken(LexType type) noexcept;
    LexType SetError(int code) noexcept;
    LexType SetText(LexType type, const char* text, int length) noexcept;
    LexType Pair(int second, LexType pair, LexType single);
    LexType LexName(LexType type);
    LexType LexNumber(bool negative);
    LexType LexHex(bool negative);
    LexType LexInteger(uint64_t magnitude, bool negative, int suffix);
    LexType LexFloat(bool negative, bool isDouble);
    LexType LexQuoted();
    LexType LexCross();
    void AppendRaw(const unsigned char* data, int n);

    Obj<StreamPipe> m_Pipe;                     // null for a memory lexer
    const unsigned char* m_Ptr = nullptr;       // the current character
    const unsigned char* m_End = nullptr;       // end of the valid bytes
    const unsigned char* m_Start = nullptr;     // memory lexers: the block
    const unsigned char* m_LineScan = nullptr;  // LFs before it are counted in m_Line
    const unsigned char* m_UnaryMark = nullptr; // a sign here may join a number
    unsigned char* m_Buffer = nullptr;          // pipe lexers: the read buffer
    int m_Line = 1;
    int m_ColumnCarry = 0; // columns of the current line in earlier pipe blocks
    unsigned m_Flags = 0;
    bool m_TextOverflow = false;
    int m_RawStringLimit = k_DefaultRawStringLimit;
    int m_RawUsed = 0;
    Array<char> m_Tmp; // raw block strings beyond the token buffer; kept for later ones
    char m_TextBuffer[k_BufferSize];
};

} // namespace Quorlix
