#include "quorlix/script/Lexer.h"

#include "quorlix/script/internal/ScriptLog.h"
#include "quorlix/stream/Stream.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>

namespace Quorlix {

namespace {

// Character classes; a byte may have several bits.
enum : unsigned {
    k_ClassEnd = 2,
    k_ClassLineEnd = 4,
    k_ClassBlank = 8,
    k_ClassDigit = 16,
    k_ClassNameStart = 32,
    k_ClassQuote = 64,
    k_ClassDot = 128,
    k_ClassColon = 256,
    k_ClassIdPrefix = 512,
    k_ClassCross = 1024,
    k_ClassHexDigit = 2048,
    k_ClassName = k_ClassDigit | k_ClassNameStart,
};

// Indexed by byte + 1; entry 0 is the end of input.
constexpr std::array<uint16_t, 257> MakeClasses() {
    std::array<uint16_t, 257> t{};
    const auto set = [&t](int c, unsigned bits) { t[static_cast<size_t>(c + 1)] |= bits; };
    set(-1, k_ClassEnd);
    set('\r', k_ClassLineEnd);
    set('\n', k_ClassLineEnd);
    set(' ', k_ClassBlank);
    set('\t', k_ClassBlank);
    for (int c = '0'; c <= '9'; ++c)
        set(c, k_ClassDigit | k_ClassHexDigit);
    for (int c = 'A'; c <= 'Z'; ++c)
        set(c, k_ClassNameStart);
    for (int c = 'a'; c <= 'z'; ++c)
        set(c, k_ClassNameStart);
    for (int c = 'A'; c <= 'F'; ++c) {
        set(c, k_ClassHexDigit);
        set(c + 32, k_ClassHexDigit);
    }
    set('_', k_ClassNameStart);
    set('"', k_ClassQuote);
    set('.', k_ClassDot);
    set(':', k_ClassColon);
    set('$', k_ClassIdPrefix);
    set('#', k_ClassCross);
    return t;
}
constexpr std::array<uint16_t, 257> k_Classes = MakeClasses();

inline unsigned ClassOf(int c) noexcept {
    return k_Classes[static_cast<size_t>(c + 1)];
}

inline int HexValue(int c) noexcept {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr std::array<const char*, 256> MakeNames() {
    std::array<const char*, 256> t{};
    for (const char*& name : t)
        name = "???";
    t[0] = "Error";
    const char* const values[] = {"Bool",     "String",   "I32",      "I64",
                                  "U32",      "U64",      "F32",      "F64",
                                  "Vector2f", "Vector2d", "Vector3f", "Vector3d",
                                  "Vector4f", "Vector4d", "Matrix4f", "Matrix4d"};
    for (size_t i = 0; i < 16; ++i)
        t[8 + i] = values[i];
    t[34] = "Spheref";
    t[35] = "Sphered";
    const char* const arrays[] = {
        "Array_Bool",     "Array_String",   "Array_I32",      "Array_I64",
        "Array_U32",      "Array_U64",      "Array_F32",      "Array_F64",
        "Array_Vector2f", "Array_Vector2d", "Array_Vector3f", "Array_Vector3d",
        "Array_Vector4f", "Array_Vector4d", "Array_Matrix4f", "Array_Matrix4d"};
    for (size_t i = 0; i < 16; ++i)
        t[72 + i] = arrays[i];
    t[98] = "Array_Spheref";
    t[99] = "Array_Sphered";
    const char* const names[] = {"Identifier", "DotIdentifier",         "ColonIdentifier",     "Id",
                                 "At",         "DotIdentifierFunction", "DotIdentifierElement"};
    for (size_t i = 0; i < 7; ++i)
        t[160 + i] = names[i];
    t[168] = "ClassToken";
    t[169] = "MemberToken";
    t[170] = "ClassMemberToken";
    const char* const brackets[] = {"ParenthesisL", "ParenthesisR", "BracketL",
                                    "BracketR",     "BraceL",       "BraceR"};
    for (size_t i = 0; i < 6; ++i)
        t[176 + i] = brackets[i];
    const char* const compare[] = {"OperatorLT", "OperatorGT", "OperatorLE",
                                   "OperatorGE", "OperatorEQ", "OperatorNE"};
    for (size_t i = 0; i < 6; ++i)
        t[192 + i] = compare[i];
    const char* const operatorNames[] = {
        "OperatorAdd",       "OperatorSub",      "OperatorMul",       "OperatorDiv",
        "OperatorMod",       "OperatorShiftL",   "OperatorShiftR",    "OperatorComplement",
        "OperatorBinaryAnd", "OperatorBinaryOr", "OperatorBinaryXor", "OperatorNot",
        "OperatorLogicAnd",  "OperatorLogicOr",  "OperatorLogicXor"};
    const char* const assignNames[] = {
        "AssignAdd",       "AssignSub",    "AssignMul",        "AssignDiv",       "AssignMod",
        "AssignShiftL",    "AssignShiftR", "AssignComplement", "AssignBinaryAnd", "AssignBinaryOr",
        "AssignBinaryXor", "AssignNot",    "AssignLogicAnd",   "AssignLogicOr",   "AssignLogicXor"};
    for (size_t i = 0; i < 15; ++i) {
        t[209 + i] = operatorNames[i];
        t[225 + i] = assignNames[i];
    }
    t[224] = "Assign";
    const char* const punctuation[] = {"Dot", "Colon", "Comma", "Semicolon", "Question"};
    for (size_t i = 0; i < 5; ++i)
        t[240 + i] = punctuation[i];
    t[251] = "Blank";
    t[252] = "CRLF";
    t[254] = "Char";
    t[255] = "EOF";
    return t;
}
constexpr std::array<const char*, 256> k_Names = MakeNames();

// Indexed by kind + 1 (entry 0 for -1).
constexpr std::array<const char*, 257> MakeSpellings() {
    std::array<const char*, 257> t{};
    for (const char*& s : t)
        s = "???";
    const auto set = [&t](int type, const char* s) { t[static_cast<size_t>(type + 1)] = s; };
    set(LexOperatorLT, "<");
    set(LexOperatorGT, ">");
    set(LexOperatorLE, "<=");
    set(LexOperatorGE, ">=");
    set(LexOperatorEQ, "==");
    set(LexOperatorNE, "!=");
    set(LexOperatorAdd, "+");
    set(LexOperatorSub, "-");
    set(LexOperatorMul, "*");
    set(LexOperatorDiv, "/");
    set(LexOperatorMod, "%");
    set(LexOperatorShiftL, "<<");
    set(LexOperatorShiftR, ">>");
    set(LexOperatorComplement, "~");
    set(LexOperatorBinaryAnd, "&");
    set(LexOperatorBinaryOr, "|");
    set(LexOperatorBinaryXor, "^");
    set(LexOperatorNot, "!");
    set(LexOperatorLogicAnd, "&&");
    set(LexOperatorLogicOr, "||");
    set(LexOperatorLogicXor, "^^");
    return t;
}
constexpr std::array<const char*, 257> k_Spellings = MakeSpellings();

constexpr std::array<uint8_t, 257> MakePrecedences() {
    std::array<uint8_t, 257> t{};
    for (uint8_t& p : t)
        p = 255;
    const auto set = [&t](int type, uint8_t p) { t[static_cast<size_t>(type + 1)] = p; };
    set(LexOperatorMul, 4);
    set(LexOperatorDiv, 4);
    set(LexOperatorMod, 4);
    set(LexOperatorAdd, 5);
    set(LexOperatorSub, 5);
    set(LexOperatorShiftL, 6);
    set(LexOperatorShiftR, 6);
    for (int type = LexOperatorLT; type <= LexOperatorGE; ++type)
        set(type, 7);
    set(LexOperatorEQ, 8);
    set(LexOperatorNE, 8);
    set(LexOperatorBinaryAnd, 9);
    set(LexOperatorBinaryXor, 10);
    set(LexOperatorBinaryOr, 11);
    set(LexOperatorLogicAnd, 12);
    set(LexOperatorLogicXor, 13);
    set(LexOperatorLogicOr, 14);
    return t;
}
constexpr std::array<uint8_t, 257> k_Precedences = MakePrecedences();

// Whether a decimal float text that the conversion found out of range is too large (rather
// than too small): its first significant digit stands at a positive power of ten.
bool IsHuge(const char* text, int length) noexcept {
    int i = 0;
    int magnitude = 0;
    while (i < length && text[i] == '0')
        ++i;
    bool significant = false;
    while (i < length && text[i] >= '0' && text[i] <= '9') {
        ++magnitude;
        ++i;
        significant = true;
    }
    if (i < length && text[i] == '.') {
        ++i;
        while (!significant && i < length && text[i] == '0') {
            --magnitude;
            ++i;
        }
        while (i < length && text[i] >= '0' && text[i] <= '9')
            ++i;
    }
    int exponent = 0;
    if (i < length && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negative = i < length && text[i] == '-';
        if (i < length && (text[i] == '-' || text[i] == '+'))
            ++i;
        for (; i < length; ++i)
            exponent = std::min(exponent * 10 + (text[i] - '0'), 1 << 24);
        if (negative)
            exponent = -exponent;
    }
    return magnitude + exponent > 0;
}

} // namespace

Lexer::Lexer(StreamPipe* pipe, unsigned flags) : m_Pipe(pipe), m_Flags(flags) {
    m_Buffer = new unsigned char[k_BufferSize];
    m_Ptr = m_End = m_LineScan = m_Buffer;
    Fill();
}

Lexer::Lexer(const void* data, int size, unsigned flags) : m_Flags(flags) {
    m_Start = static_cast<const unsigned char*>(data);
    m_Ptr = m_End = m_LineScan = m_Start;
    if (data != nullptr && size > 0)
        m_End = m_Start + size;
}

Lexer::~Lexer() {
    delete[] m_Buffer;
}

// Reads the next block behind the unread bytes [m_Ptr, m_End) (none, or one kept for a look
// ahead), which move to the buffer start. False at the end of input and for memory lexers.
bool Lexer::Fill() {
    if (m_Buffer == nullptr || !m_Pipe)
        return false;
    const int keep = static_cast<int>(m_End - m_Ptr);
    if ((m_Flags & FlagLineCount) != 0) {
        ScanLines(m_Ptr);
        m_ColumnCarry += static_cast<int>(m_Ptr - m_LineScan);
        m_LineScan = m_Buffer;
    }
    // The mark survives when it points at the unread bytes or at their end, so a sign that
    // opens the next block still joins its number.
    m_UnaryMark = m_UnaryMark != nullptr && m_UnaryMark >= m_Ptr && m_UnaryMark <= m_End
                      ? m_Buffer + (m_UnaryMark - m_Ptr)
                      : nullptr;
    if (keep > 0)
        std::memmove(m_Buffer, m_Ptr, static_cast<size_t>(keep));
    const int count = m_Pipe->Read(m_Buffer + keep, k_BufferSize - keep);
    m_Ptr = m_Buffer;
    m_End = m_Buffer + keep + (count > 0 ? count : 0);
    return count > 0;
}

int Lexer::PeekNext() {
    if (m_End - m_Ptr >= 2)
        return m_Ptr[1];
    if (m_Ptr == m_End)
        return -1;
    Fill();
    return m_End - m_Ptr >= 2 ? m_Ptr[1] : -1;
}

void Lexer::ScanLines(const unsigned char* upTo) noexcept {
    if (m_LineScan == nullptr || upTo <= m_LineScan)
        return;
    const unsigned char* p = m_LineScan;
    const unsigned char* last = nullptr;
    int lines = 0;
    while (p < upTo) {
        const void* found = std::memchr(p, '\n', static_cast<size_t>(upTo - p));
        if (found == nullptr)
            break;
        ++lines;
        p = last = static_cast<const unsigned char*>(found) + 1;
    }
    if (last != nullptr) {
        m_Line += lines;
        m_LineScan = last;
        m_ColumnCarry = 0;
    }
}

void Lexer::SkipLine() {
    for (;;) {
        const unsigned char* p = m_Ptr;
        while (p < m_End && *p != '\n' && *p != '\r')
            ++p;
        m_Ptr = p;
        if (p < m_End || !Fill())
            return;
    }
}

void Lexer::Put(int c) noexcept {
    if (m_TextLength < k_BufferSize - 1)
        m_TextBuffer[m_TextLength++] = static_cast<char>(c);
    else
        m_TextOverflow = true;
}

// Appends the run of bytes of `mask` classes to the token text; past the buffer the rest is
// consumed and the overflow noted.
void Lexer::TakeRun(unsigned mask) {
    for (;;) {
        const unsigned char* p = m_Ptr;
        const unsigned char* end = m_End;
        const unsigned char* q = p;
        while (q < end && (k_Classes[*q + 1u] & mask) != 0)
            ++q;
        const int n = static_cast<int>(q - p);
        if (n <= k_BufferSize - 1 - m_TextLength) {
            if (n > 0)
                std::memcpy(m_TextBuffer + m_TextLength, p, static_cast<size_t>(n));
            m_TextLength += n;
        } else {
            m_TextOverflow = true;
        }
        m_Ptr = q;
        if (q < end || !Fill())
            return;
    }
}

void Lexer::SkipRun(unsigned mask) {
    for (;;) {
        const unsigned char* p = m_Ptr;
        while (p < m_End && (k_Classes[*p + 1u] & mask) != 0)
            ++p;
        m_Ptr = p;
        if (p < m_End || !Fill())
            return;
    }
}

LexType Lexer::SetToken(LexType type) noexcept {
    m_Type = type;
    m_Value.m_U64 = 0;
    m_Text = "";
    m_TextLength = 0;
    return type;
}

LexType Lexer::SetError(int code) noexcept {
    SetToken(LexError);
    m_Value.m_I32 = code;
    return LexError;
}

LexType Lexer::SetText(LexType type, const char* text, int length) noexcept {
    m_Type = type;
    m_Text = text;
    m_TextLength = length;
    m_Value.m_Pointer = text;
    return type;
}

LexType Lexer::Lex() {
    // Skipped blanks and line ends go in one run: a line end and the indentation behind it
    // would otherwise cost a dispatch each.
    const unsigned skipped = ((m_Flags & FlagSkipBlank) != 0 ? k_ClassBlank : 0u) |
                             ((m_Flags & FlagSkipCRLF) != 0 ? k_ClassLineEnd : 0u);
    for (;;) {
        if (skipped != 0 && m_Ptr < m_End && (k_Classes[*m_Ptr + 1u] & skipped) != 0) {
            SkipRun(skipped);
            m_UnaryMark = m_Ptr;
        }
        if (m_Ptr == m_End)
            return SetToken(LexEOF);
        const int c = *m_Ptr;
        const unsigned cls = ClassOf(c);
        if ((cls & k_ClassNameStart) != 0)
            return LexName(LexIdentifier);
        if ((cls & k_ClassDigit) != 0)
            return LexNumber(false);
        LexType type;
        switch (c) {
        case '\r':
        case '\n':
            Advance();
            m_UnaryMark = m_Ptr;
            if ((m_Flags & FlagSkipCRLF) != 0)
                continue;
            return SetToken(LexCRLF);
        case ' ':
        case '\t':
            SkipRun(k_ClassBlank);
            m_UnaryMark = m_Ptr;
            if ((m_Flags & FlagSkipBlank) != 0)
                continue;
            return SetToken(LexBlank);
        case '#':
            if ((m_Flags & FlagSkipCrossComment) != 0) {
                SkipLine();
                continue;
            }
            return LexCross();
        case '"':
            return LexQuoted();
        case '.':
            Advance();
            if ((ClassOf(Current()) & k_ClassNameStart) == 0)
                return SetToken(LexDot);
            if (LexName(LexDotIdentifier) == LexError)
                return LexError;
            if (Current() == '(' || Current() == '[') {
                m_Type = Current() == '(' ? LexDotIdentifierFunction : LexDotIdentifierElement;
                m_UnaryMark = m_Ptr;
            }
            return m_Type;
        case ':':
            Advance();
            if ((ClassOf(Current()) & k_ClassNameStart) == 0)
                return SetToken(LexColon);
            return LexName(LexColonIdentifier);
        case '$': {
            Advance();
            uint32_t id = 0;
            for (int digit; (digit = HexValue(Current())) >= 0; Advance())
                id = id * 16 + static_cast<uint32_t>(digit);
            SetToken(LexId);
            m_Value.m_U32 = id;
            return LexId;
        }
        case '+':
        case '-': {
            const bool marked = m_Ptr == m_UnaryMark;
            Advance();
            if (marked && (m_Flags & FlagCombineUnary) != 0 &&
                (ClassOf(Current()) & k_ClassDigit) != 0)
                return LexNumber(c == '-');
            type = c == '+' ? LexOperatorAdd : LexOperatorSub;
            break;
        }
        case '/':
            Advance();
            if (Current() == '/' && (m_Flags & FlagSkipDoubleSlashComment) != 0) {
                SkipLine();
                continue;
            }
            type = LexOperatorDiv;
            break;
        case '<':
            Advance();
            type = Current() == '='   ? LexOperatorLE
                   : Current() == '<' ? LexOperatorShiftL
                                      : LexOperatorLT;
            if (type != LexOperatorLT)
                Advance();
            break;
        case '>':
            Advance();
            type = Current() == '='   ? LexOperatorGE
                   : Current() == '>' ? LexOperatorShiftR
                                      : LexOperatorGT;
            if (type != LexOperatorGT)
                Advance();
            break;
        case '=':
            type = Pair('=', LexOperatorEQ, LexAssign);
            break;
        case '!':
            type = Pair('=', LexOperatorNE, LexOperatorNot);
            break;
        case '&':
            type = Pair('&', LexOperatorLogicAnd, LexOperatorBinaryAnd);
            break;
        case '|':
            type = Pair('|', LexOperatorLogicOr, LexOperatorBinaryOr);
            break;
        case '^':
            type = Pair('^', LexOperatorLogicXor, LexOperatorBinaryXor);
            break;
        case '*':
            Advance();
            type = LexOperatorMul;
            break;
        case '%':
            Advance();
            type = LexOperatorMod;
            break;
        case '(':
            Advance();
            type = LexParenthesisL;
            break;
        case '[':
            Advance();
            type = LexBracketL;
            break;
        case '{':
            Advance();
            type = LexBraceL;
            break;
        case ',':
            Advance();
            type = LexComma;
            break;
        case ';':
            Advance();
            type = LexSemicolon;
            break;
        // These leave the mark where it was: a sign after them is an operator.
        case ')':
            Advance();
            return SetToken(LexParenthesisR);
        case ']':
            Advance();
            return SetToken(LexBracketR);
        case '}':
            Advance();
            return SetToken(LexBraceR);
        case '?':
            Advance();
            return SetToken(LexQuestion);
        case '@':
            Advance();
            return SetToken(LexAt);
        default:
            Advance();
            SetToken(LexChar);
            m_Value.m_I32 = c;
            return LexChar;
        }
        m_UnaryMark = m_Ptr;
        return SetToken(type);
    }
}

// The current byte starts a one- or two-byte operator: `pair` when `second` follows.
LexType Lexer::Pair(int second, LexType pair, LexType single) {
    Advance();
    if (Current() != second)
        return single;
    Advance();
    return pair;
}

LexType Lexer::LexSkipToEOL() {
    SkipLine();
    return Lex();
}

LexType Lexer::LexName(LexType type) {
    m_TextLength = 0;
    m_TextOverflow = false;
    TakeRun(k_ClassName);
    if (m_TextOverflow)
        return SetError(2);
    m_TextBuffer[m_TextLength] = 0;
    return SetText(type, m_TextBuffer, m_TextLength);
}

LexType Lexer::LexNumber(bool negative) {
    m_TextLength = 0;
    m_TextOverflow = false;
    const int first = *m_Ptr;
    Advance();
    if (Current() == 'x') {
        Advance();
        return LexHex(negative);
    }
    Put(first);
    TakeRun(k_ClassDigit);
    bool isFloat = false;
    if (Current() == '.') {
        Put('.');
        Advance();
        TakeRun(k_ClassDigit);
        isFloat = true;
    }
    if (Current() == 'e' || Current() == 'E') {
        Put(Current());
        Advance();
        if (Current() == '+' || Current() == '-') {
            Put(Current());
            Advance();
        }
        if ((ClassOf(Current()) & k_ClassDigit) == 0)
            return SetError(1);
        TakeRun(k_ClassDigit);
        isFloat = true;
    }
    const int suffix = Current();
    if (suffix == 'F' || suffix == 'f' || isFloat) {
        if (suffix == 'F' || suffix == 'f')
            Advance();
        if (m_TextOverflow)
            return SetError(2);
        return LexFloat(negative, suffix == 'F');
    }
    if (suffix == 'i' || suffix == 'I' || suffix == 'u' || suffix == 'U' || suffix == 'b')
        Advance();
    if (m_TextOverflow)
        return SetError(2);
    uint64_t magnitude = 0;
    for (int i = 0; i < m_TextLength; ++i) {
        const auto digit = static_cast<uint64_t>(m_TextBuffer[i] - '0');
        if (magnitude > (UINT64_MAX - digit) / 10)
            return SetError(2);
        magnitude = magnitude * 10 + digit;
    }
    return LexInteger(magnitude, negative, suffix);
}

// After "<digit>x": hexadecimal digits and a suffix.
LexType Lexer::LexHex(bool negative) {
    TakeRun(k_ClassHexDigit);
    const int suffix = Current();
    if (suffix == 'i' || suffix == 'I' || suffix == 'u' || suffix == 'U')
        Advance();
    if (m_TextOverflow)
        return SetError(2);
    uint64_t magnitude = 0;
    for (int i = 0; i < m_TextLength; ++i) {
        if ((magnitude >> 32) > 0x0FFFFFFFu)
            return SetError(2);
        magnitude = magnitude * 16 + static_cast<uint64_t>(HexValue(m_TextBuffer[i]));
    }
    return LexInteger(magnitude, negative, suffix);
}

// The kind of an integer literal from its magnitude, sign and suffix; Error 2 out of range.
LexType Lexer::LexInteger(uint64_t magnitude, bool negative, int suffix) {
    constexpr uint64_t k_I64Limit = uint64_t{1} << 63;
    const uint64_t value = negative ? 0 - magnitude : magnitude;
    LexType type;
    switch (suffix) {
    case 'i':
        if (magnitude > (negative ? 0x80000000u : 0x7FFFFFFFu))
            return SetError(2);
        type = LexI32;
        break;
    case 'u':
        if (negative || magnitude > 0xFFFFFFFFu)
            return SetError(2);
        type = LexU32;
        break;
    case 'I':
        if (magnitude > (negative ? k_I64Limit : k_I64Limit - 1))
            return SetError(2);
        type = LexI64;
        break;
    case 'U':
        if (negative)
            return SetError(2);
        type = LexU64;
        break;
    default:
        if (negative) {
            if (magnitude > k_I64Limit)
                return SetError(2);
            type = magnitude <= 0x80000000u ? LexI32 : LexI64;
        } else {
            type = magnitude < 0x80000000u    ? LexI32
                   : magnitude <= 0xFFFFFFFFu ? LexU32
                   : magnitude < k_I64Limit   ? LexI64
                                              : LexU64;
        }
        break;
    }
    SetToken(type);
    if (type == LexI32 || type == LexU32)
        m_Value.m_U32 = static_cast<uint32_t>(value);
    else
        m_Value.m_U64 = value;
    return type;
}

// Converts the collected float text, independent of the process locale.
LexType Lexer::LexFloat(bool negative, bool isDouble) {
    double value = 0;
    const auto [end, error] = std::from_chars(m_TextBuffer, m_TextBuffer + m_TextLength, value,
                                              std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        if (IsHuge(m_TextBuffer, m_TextLength))
            return SetError(2);
        value = 0;
    } else if (error != std::errc() || end != m_TextBuffer + m_TextLength) {
        return SetError(1);
    }
    if (negative)
        value = -value;
    if (isDouble) {
        SetToken(LexF64);
        m_Value.m_F64 = value;
        return LexF64;
    }
    if (std::fabs(value) > FLT_MAX)
        return SetError(2);
    SetToken(LexF32);
    m_Value.m_F32 = static_cast<float>(value);
    return LexF32;
}

LexType Lexer::LexQuoted() {
    Advance();
    m_TextLength = 0;
    m_TextOverflow = false;
    int error = 0;
    // A fault does not end the string: it is read to its closing quote (or a control byte), so
    // that lexing goes on behind it; the first fault is reported.
    for (;;) {
        const unsigned char* p = m_Ptr;
        const unsigned char* end = m_End;
        const unsigned char* q = p;
        while (q < end && *q >= 32 && *q != '"' && *q != '\\')
            ++q;
        const int n = static_cast<int>(q - p);
        if (n <= k_BufferSize - 1 - m_TextLength) {
            if (n > 0)
                std::memcpy(m_TextBuffer + m_TextLength, p, static_cast<size_t>(n));
            m_TextLength += n;
        } else {
            m_TextOverflow = true;
        }
        m_Ptr = q;
        if (q == end) {
            if (Fill())
                continue;
            error = error != 0 ? error : 3;
            break;
        }
        if (*q == '"') {
            Advance();
            break;
        }
        if (*q < 32) {
            error = error != 0 ? error : 3;
            break;
        }
        Advance(); // the backslash
        int byte;
        switch (Current()) {
        case '"':
        case '\'':
        case '\\':
            byte = Current();
            break;
        case 'b':
            byte = 8;
            break;
        case 'f':
            byte = 12;
            break;
        case 'n':
            byte = 10;
            break;
        case 'r':
            byte = 13;
            break;
        case 't':
            byte = 9;
            break;
        case 'x': {
            Advance();
            const int high = HexValue(Current());
            if (high < 0) {
                error = error != 0 ? error : 1;
                continue;
            }
            Advance();
            const int low = HexValue(Current());
            if (low < 0) {
                error = error != 0 ? error : 1;
                continue;
            }
            byte = high * 16 + low;
            break;
        }
        default:
            error = error != 0 ? error : 1;
            continue;
        }
        Advance();
        Put(byte);
    }
    if (error == 0 && m_TextOverflow)
        error = 2;
    if (error != 0)
        return SetError(error);
    m_TextBuffer[m_TextLength] = 0;
    return SetText(LexString, m_TextBuffer, m_TextLength);
}

// At '#' with cross comments off: "#bs" opens a raw block string; any other '#' is consumed
// as Error 1 so that the parser's statement loop moves on.
LexType Lexer::LexCross() {
    Advance();
    if (Current() != 'b' || PeekNext() != 's')
        return SetError(1);
    Advance();
    Advance();
    const int c = Current();
    if (c == ' ' || c == '\t') {
        Advance();
    } else {
        if (c == '\r')
            Advance();
        if (Current() == '\n')
            Advance();
    }
    m_RawUsed = 0;
    m_TextOverflow = false;
    for (;;) {
        const unsigned char* p = m_Ptr;
        const unsigned char* q = m_End;
        if (p < q) {
            const void* cross = std::memchr(p, '#', static_cast<size_t>(q - p));
            if (cross != nullptr)
                q = static_cast<const unsigned char*>(cross);
        }
        AppendRaw(p, static_cast<int>(q - p));
        m_Ptr = q;
        if (q == m_End) {
            if (Fill())
                continue;
            break; // the end of input closes the string
        }
        Advance();
        if (Current() == '#') {
            Advance();
            break;
        }
        const unsigned char cross = '#';
        AppendRaw(&cross, 1);
    }
    if (m_TextOverflow)
        return SetError(2);
    char* text = m_Tmp.IsEmpty() ? m_TextBuffer : &m_Tmp[0];
    text[m_RawUsed] = 0;
    return SetText(LexString, text, m_RawUsed);
}

// Raw text goes to the token buffer until it is full, then to the temporary array, which grows
// by doubling up to the limit.
void Lexer::AppendRaw(const unsigned char* data, int n) {
    if (n <= 0 || m_TextOverflow)
        return;
    const bool inTmp = !m_Tmp.IsEmpty();
    const int64_t capacity = inTmp ? m_Tmp.Size() : k_BufferSize;
    const int64_t needed = int64_t{m_RawUsed} + n + 1; // with the terminator
    if (needed > capacity) {
        if (needed - 1 > m_RawStringLimit) {
            m_TextOverflow = true;
            return;
        }
        const int64_t grown =
            std::min(std::max(needed, capacity * 2), int64_t{m_RawStringLimit} + 1);
        Internal::LogScriptDebug("Lexer::Lex allocating Tmp(", m_RawUsed, ").");
        m_Tmp.Resize(static_cast<int>(grown));
        if (!inTmp)
            std::memcpy(&m_Tmp[0], m_TextBuffer, static_cast<size_t>(m_RawUsed));
    }
    char* text = m_Tmp.IsEmpty() ? m_TextBuffer : &m_Tmp[0];
    std::memcpy(text + m_RawUsed, data, static_cast<size_t>(n));
    m_RawUsed += n;
}

const void* Lexer::GetReadPtr() const {
    return m_Ptr;
}

void Lexer::SetReadPtr(const void* p) {
    const auto* target = static_cast<const unsigned char*>(p);
    const std::less<const unsigned char*> before;
    if (m_Buffer != nullptr || target == nullptr || m_Start == nullptr || before(target, m_Start) ||
        before(m_End, target)) {
        Internal::LogScriptFatal("Lexer::SetReadPtr: illegal seek position.");
        return;
    }
    if ((m_Flags & FlagLineCount) != 0 && target < m_LineScan) {
        m_Line -= static_cast<int>(std::count(target, m_LineScan, '\n'));
        const unsigned char* lineStart = target;
        while (lineStart > m_Start && lineStart[-1] != '\n')
            --lineStart;
        m_LineScan = lineStart;
    }
    m_Ptr = target;
}

int Lexer::GetLineCount() {
    if ((m_Flags & FlagLineCount) == 0)
        return 0;
    ScanLines(m_Ptr);
    return m_Line;
}

int Lexer::GetColumnCount() {
    if ((m_Flags & FlagLineCount) == 0)
        return 0;
    GetLineCount();
    return static_cast<int>(m_Ptr - m_LineScan) + 1 + m_ColumnCarry;
}

void Lexer::SetFlag(unsigned flag, bool on) noexcept {
    m_Flags = on ? m_Flags | flag : m_Flags & ~flag;
}

bool Lexer::GetCombineUnary() const noexcept {
    return (m_Flags & FlagCombineUnary) != 0;
}
void Lexer::SetCombineUnary(bool on) noexcept {
    SetFlag(FlagCombineUnary, on);
}
bool Lexer::GetSkipBlank() const noexcept {
    return (m_Flags & FlagSkipBlank) != 0;
}
void Lexer::SetSkipBlank(bool on) noexcept {
    SetFlag(FlagSkipBlank, on);
}
bool Lexer::GetSkipCRLF() const noexcept {
    return (m_Flags & FlagSkipCRLF) != 0;
}
void Lexer::SetSkipCRLF(bool on) noexcept {
    SetFlag(FlagSkipCRLF, on);
}
bool Lexer::GetSkipDoubleSlashComment() const noexcept {
    return (m_Flags & FlagSkipDoubleSlashComment) != 0;
}
void Lexer::SetSkipDoubleSlashComment(bool on) noexcept {
    SetFlag(FlagSkipDoubleSlashComment, on);
}
bool Lexer::GetSkipCrossComment() const noexcept {
    return (m_Flags & FlagSkipCrossComment) != 0;
}
void Lexer::SetSkipCrossComment(bool on) noexcept {
    SetFlag(FlagSkipCrossComment, on);
}

void Lexer::SetRawStringLimit(int bytes) noexcept {
    m_RawStringLimit = std::max(bytes, k_BufferSize - 1);
}

const char* Lexer::LexTypeToString(int type) noexcept {
    return type >= 0 && type < 256 ? k_Names[static_cast<size_t>(type)] : "???";
}

const char* Lexer::OperatorSpelling(int type) noexcept {
    return type >= -1 && type < 256 ? k_Spellings[static_cast<size_t>(type + 1)] : "???";
}

int Lexer::OperatorPrecedence(int type) noexcept {
    return type >= -1 && type < 256 ? k_Precedences[static_cast<size_t>(type + 1)] : 255;
}

void Lexer::PrintLex(Stream& stream) const {
    stream << LexTypeToString(m_Type) << ' ';
    switch (m_Type) {
    case LexString:
        stream.pQuotedC(m_Text, m_TextLength, '"');
        break;
    case LexI32:
        stream << m_Value.m_I32;
        break;
    case LexI64:
        stream << m_Value.m_I64;
        break;
    case LexU32:
        stream << m_Value.m_U32;
        break;
    case LexU64:
        stream << m_Value.m_U64;
        break;
    case LexF32:
        stream << m_Value.m_F32;
        break;
    case LexF64:
        stream << m_Value.m_F64;
        break;
    case LexDotIdentifier:
        stream << '.';
        [[fallthrough]];
    case LexIdentifier:
    case LexColonIdentifier:
    case LexDotIdentifierFunction:
    case LexDotIdentifierElement:
        stream.Write(m_Text, m_TextLength);
        break;
    case LexId:
        stream << '$';
        stream.pHex(m_Value.m_U32, 1);
        break;
    case LexChar:
        stream << static_cast<char>(m_Value.m_I32);
        break;
    default:
        if (m_Type >= 16) {
            stream << "[Unknown 0x";
            stream.pHex(static_cast<unsigned>(m_Type), 1);
            stream << "]";
        } else {
            stream << m_Value.m_I32; // Error codes, Bool
        }
        break;
    }
    stream.pLF();
}

} // namespace Quorlix
