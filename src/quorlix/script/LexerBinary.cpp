#include "quorlix/script/LexerBinary.h"

#include "quorlix/script/internal/ScriptLog.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <functional>
#include <string>

namespace Quorlix {

namespace {

// Pipe reads of a payload go in pieces of this size, so storage grows only as bytes arrive.
constexpr int64_t k_Piece = 64 * 1024;

uint32_t LoadU32(const unsigned char* p) noexcept {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint64_t LoadU64(const unsigned char* p) noexcept {
    return static_cast<uint64_t>(LoadU32(p)) | static_cast<uint64_t>(LoadU32(p + 4)) << 32;
}

// Element bytes in the stream of an array kind; 0 for kinds that are no number array.
constexpr int StreamElementSize(int kind) noexcept {
    switch (kind) {
    case 70:
    case LexArrayBool:
        return 1;
    case 71:
        return 2;
    case LexArrayI32:
    case LexArrayU32:
    case LexArrayF32:
        return 4;
    case LexArrayI64:
    case LexArrayU64:
    case LexArrayF64:
    case LexArrayVector2f:
        return 8;
    case LexArrayVector3f:
        return 12;
    case LexArrayVector4f:
    case LexArraySpheref:
        return 16;
    case LexArrayMatrix4f:
        return 64;
    default:
        return 0;
    }
}

// What follows a kind byte, looked up once per token.
enum KindShape : uint8_t {
    ShapeInvalid,
    ShapeBare, // no payload
    ShapeBlank,
    ShapeCRLF,
    ShapeEnd,
    ShapeBool,
    ShapeString,
    ShapeFixed4,
    ShapeFixed8,
    ShapeId,
    ShapeFloats2,
    ShapeFloats3,
    ShapeFloats4,
    ShapeFloats16,
    ShapeStringArray,
    ShapeNumberArray,
    ShapeName,
    ShapeClassToken,  // class index (2 bytes)
    ShapeMemberToken, // member index, class index (3 bytes)
};

constexpr std::array<uint8_t, 256> MakeShapes() {
    std::array<uint8_t, 256> shapes{};
    const auto range = [&shapes](int from, int to, KindShape shape) {
        for (int kind = from; kind <= to; ++kind)
            shapes[static_cast<size_t>(kind)] = shape;
    };
    range(LexAt, LexAt, ShapeBare);
    range(LexParenthesisL, LexBraceR, ShapeBare);
    range(LexOperatorLT, LexOperatorNE, ShapeBare);
    range(LexOperatorAdd, LexAssign, ShapeBare);
    range(LexDot, LexQuestion, ShapeBare);
    range(LexBlank, LexBlank, ShapeBlank);
    range(LexCRLF, LexCRLF, ShapeCRLF);
    range(LexEOF, LexEOF, ShapeEnd);
    range(LexBool, LexBool, ShapeBool);
    range(LexString, LexString, ShapeString);
    range(LexI32, LexI32, ShapeFixed4);
    range(LexU32, LexU32, ShapeFixed4);
    range(LexF32, LexF32, ShapeFixed4);
    range(LexI64, LexI64, ShapeFixed8);
    range(LexU64, LexU64, ShapeFixed8);
    range(LexF64, LexF64, ShapeFixed8);
    range(LexId, LexId, ShapeId);
    range(LexVector2f, LexVector2f, ShapeFloats2);
    range(LexVector3f, LexVector3f, ShapeFloats3);
    range(LexVector4f, LexVector4f, ShapeFloats4);
    range(LexSpheref, LexSpheref, ShapeFloats4);
    range(LexMatrix4f, LexMatrix4f, ShapeFloats16);
    range(LexArrayString, LexArrayString, ShapeStringArray);
    for (int kind = 0; kind < 256; ++kind)
        if (StreamElementSize(kind) != 0)
            shapes[static_cast<size_t>(kind)] = ShapeNumberArray;
    range(LexIdentifier, LexColonIdentifier, ShapeName);
    range(LexDotIdentifierFunction, LexDotIdentifierElement, ShapeName);
    range(LexClassToken, LexClassToken, ShapeClassToken);
    range(LexMemberToken, LexClassMemberToken, ShapeMemberToken);
    return shapes;
}

constexpr std::array<uint8_t, 256> k_Shapes = MakeShapes();

} // namespace

LexerBinary::LexerBinary(StreamPipe* pipe, unsigned flags)
    : Lexer(nullptr, 0, flags), m_Pipe(pipe), m_LineCount((flags & FlagLineCount) != 0) {
    m_Buffer = new unsigned char[k_BufferSize];
    m_Data = m_Buffer;
    m_Token[0] = '\0';
    m_Text = m_Token;
}

LexerBinary::LexerBinary(const void* data, int size, unsigned flags)
    : Lexer(nullptr, 0, flags), m_Data(static_cast<const unsigned char*>(data)),
      m_Size(data != nullptr && size > 0 ? size : 0), m_LineCount((flags & FlagLineCount) != 0) {
    m_Token[0] = '\0';
    m_Text = m_Token;
}

LexerBinary::~LexerBinary() {
    delete[] m_Buffer;
}

bool LexerBinary::Fill() {
    if (m_Buffer == nullptr || !m_Pipe)
        return false;
    m_Consumed += m_Size;
    m_Pos = m_Size = 0;
    const int count = m_Pipe->Read(m_Buffer, k_BufferSize);
    m_Size = count > 0 ? count : 0;
    return m_Size > 0;
}

int64_t LexerBinary::Known() const noexcept {
    return m_Size - m_Pos;
}

int LexerBinary::ReadByte() {
    if (m_Pos == m_Size && !Fill())
        return -1;
    return m_Data[m_Pos++];
}

const unsigned char* LexerBinary::Payload(unsigned char* scratch, int n) {
    if (m_Size - m_Pos >= n) {
        const unsigned char* in = m_Data + m_Pos;
        m_Pos += n;
        return in;
    }
    return ReadBytes(scratch, n) ? scratch : nullptr;
}

bool LexerBinary::ReadBytes(void* out, int64_t n) {
    auto* to = static_cast<unsigned char*>(out);
    if (n <= 0)
        return true;
    if (m_Size - m_Pos >= n) {
        std::memcpy(to, m_Data + m_Pos, static_cast<size_t>(n));
        m_Pos += n;
        return true;
    }
    while (n > 0) {
        if (m_Pos == m_Size && !Fill())
            return false;
        const int64_t take = std::min(n, m_Size - m_Pos);
        std::memcpy(to, m_Data + m_Pos, static_cast<size_t>(take));
        m_Pos += take;
        to += take;
        n -= take;
    }
    return true;
}

bool LexerBinary::SkipBytes(int64_t n) {
    while (n > 0) {
        if (m_Pos == m_Size && !Fill())
            return false;
        const int64_t take = std::min(n, m_Size - m_Pos);
        m_Pos += take;
        n -= take;
    }
    return true;
}

bool LexerBinary::ReadU32(uint32_t& value) {
    unsigned char scratch[4];
    const unsigned char* bytes = Payload(scratch, 4);
    if (bytes == nullptr)
        return false;
    value = LoadU32(bytes);
    return true;
}

// The data ended inside a payload: nothing of it is handed on, and the next token is the end.
LexType LexerBinary::Truncated() {
    m_Ended = true;
    m_Pos = m_Size;
    m_Type = LexError;
    m_Value.m_I64 = 1;
    return m_Type;
}

LexType LexerBinary::Fixed(LexType type, int bytes) {
    unsigned char scratch[8];
    const unsigned char* raw = Payload(scratch, bytes);
    if (raw == nullptr)
        return Truncated();
    m_Value.m_U64 = bytes == 8 ? LoadU64(raw) : (bytes == 4 ? LoadU32(raw) : raw[0]);
    m_Type = type;
    return type;
}

LexType LexerBinary::Floats(LexType type, int count) {
    unsigned char scratch[64];
    const unsigned char* raw = Payload(scratch, count * 4);
    if (raw == nullptr)
        return Truncated();
    for (int i = 0; i < count; ++i)
        m_Floats[i] = std::bit_cast<float>(LoadU32(raw + 4 * i));
    m_Type = type;
    return type;
}

LexType LexerBinary::Name(LexType type) {
    const int length = ReadByte();
    if (length < 0 || !ReadBytes(m_Token, length))
        return Truncated();
    m_Token[length] = '\0';
    m_Text = m_Token;
    m_TextLength = length;
    m_Type = type;
    return type;
}

LexType LexerBinary::Text() {
    uint32_t length = 0;
    if (!ReadU32(length))
        return Truncated();
    if (length >= static_cast<uint32_t>(k_BufferSize)) {
        Internal::LogScriptError("buffer limit exceeded by 'String' in binary script stream.");
        // Consumed all the same: the tokens behind it stay readable.
        if (!SkipBytes(length))
            return Truncated();
        m_Type = LexError;
        m_Value.m_I64 = 2;
        return m_Type;
    }
    if (!ReadBytes(m_Token, length))
        return Truncated();
    m_Token[length] = '\0';
    m_Text = m_Token;
    m_TextLength = static_cast<int>(length);
    m_Type = LexString;
    return m_Type;
}

LexType LexerBinary::NumberArray(int kind) {
    m_HeldPayload = true;
    uint32_t count = 0;
    if (!ReadU32(count))
        return Truncated();
    const int64_t size = StreamElementSize(kind);
    const int64_t widen = kind == 70 || kind == 71 ? 4 : size;
    const int64_t bytes = static_cast<int64_t>(count) * size;
    const bool memory = !m_Pipe;
    if (memory && bytes > Known())
        return Truncated();
    if (static_cast<int64_t>(count) * widen > k_MaxArrayBytes) {
        if (!SkipBytes(bytes))
            return Truncated();
        m_Type = LexError;
        m_Value.m_I64 = 2;
        return m_Type;
    }
    m_ArrayBytes.Clear();
    if (memory) {
        m_ArrayBytes.Resize(static_cast<int>(bytes));
        if (bytes > 0)
            (void)ReadBytes(&m_ArrayBytes[0], bytes);
    } else {
        // Grown piece by piece: a count the pipe does not back costs at most one piece more.
        for (int64_t done = 0; done < bytes;) {
            const int64_t piece = std::min(k_Piece, bytes - done);
            if (m_ArrayBytes.Capacity() < done + piece)
                m_ArrayBytes.Reserve(static_cast<int>(
                    std::min(bytes, std::max<int64_t>(done + piece, 2 * m_ArrayBytes.Capacity()))));
            m_ArrayBytes.Resize(static_cast<int>(done + piece));
            if (!ReadBytes(&m_ArrayBytes[static_cast<int>(done)], piece)) {
                m_ArrayBytes.Clear();
                return Truncated();
            }
            done += piece;
        }
    }
    if (widen != size) {
        // Sign-extended into a second array, as Array_I32 holds them.
        Array<unsigned char> wide;
        wide.Resize(static_cast<int>(static_cast<int64_t>(count) * 4));
        const unsigned char* from = m_ArrayBytes.Data();
        unsigned char* to = count > 0 ? &wide[0] : nullptr;
        for (uint32_t i = 0; i < count; ++i) {
            int32_t v = 0;
            if (size == 1)
                v = static_cast<int8_t>(from[i]);
            else
                v = static_cast<int16_t>(from[2 * i] | from[2 * i + 1] << 8);
            const auto u = static_cast<uint32_t>(v);
            for (int b = 0; b < 4; ++b)
                to[4 * i + b] = static_cast<unsigned char>(u >> (8 * b));
        }
        m_ArrayBytes.Swap(wide);
    }
    m_ArrayCount = static_cast<int>(count);
    m_Type = kind == 70 || kind == 71 ? LexArrayI32 : static_cast<LexType>(kind);
    return m_Type;
}

LexType LexerBinary::StringArray() {
    m_HeldPayload = true;
    uint32_t count = 0;
    if (!ReadU32(count))
        return Truncated();
    // Each string takes its length word at least.
    if (!m_Pipe && static_cast<int64_t>(count) * 4 > Known())
        return Truncated();
    m_Strings.Clear();
    int64_t total = 0;
    bool tooLarge = false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        if (!ReadU32(length) || (!m_Pipe && length > Known())) {
            m_Strings.Clear();
            return Truncated();
        }
        total += static_cast<int64_t>(length) + static_cast<int64_t>(sizeof(String));
        if (tooLarge || total > k_MaxArrayBytes) {
            tooLarge = true;
            m_Strings.Clear();
            if (!SkipBytes(length))
                return Truncated();
            continue;
        }
        // Read in pieces, for the same reason as number arrays.
        std::string text;
        for (int64_t done = 0; done < length;) {
            const int64_t piece = std::min<int64_t>(k_Piece, length - done);
            text.resize(static_cast<size_t>(done + piece));
            if (!ReadBytes(text.data() + done, piece)) {
                m_Strings.Clear();
                return Truncated();
            }
            done += piece;
        }
        m_Strings.Add(String(text.data(), static_cast<int>(text.size())));
    }
    if (tooLarge) {
        m_Type = LexError;
        m_Value.m_I64 = 2;
        return m_Type;
    }
    m_ArrayCount = static_cast<int>(count);
    m_Type = LexArrayString;
    return m_Type;
}

// Most tokens of a scene are punctuation and member tokens whose bytes are all in memory: they
// are read here, everything else in LexAny.
LexType LexerBinary::Lex() {
    if (m_HeldPayload) {
        m_HeldPayload = false;
        m_ArrayBytes.Clear();
        m_Strings.Clear();
        m_ArrayCount = 0;
    }
    m_GapBefore = false;
    m_Value.m_U64 = 0;
    if (m_Size - m_Pos >= 4 && !m_Ended) {
        const unsigned char* p = m_Data + m_Pos;
        const int kind = p[0];
        const uint8_t shape = k_Shapes[static_cast<size_t>(kind)];
        if (shape == ShapeBare) {
            m_Pos += 1;
            m_Type = static_cast<LexType>(kind);
            return m_Type;
        }
        if (shape == ShapeMemberToken) {
            m_Pos += 4;
            m_MemberIndex = p[1];
            m_ClassIndex = p[2] | p[3] << 8;
            m_Type = static_cast<LexType>(kind);
            return m_Type;
        }
    }
    return LexAny();
}

LexType LexerBinary::LexAny() {
    for (;;) {
        const int kind = m_Pos < m_Size && !m_Ended ? m_Data[m_Pos++] : m_Ended ? -1 : ReadByte();
        if (kind < 0) {
            m_Ended = true;
            m_Type = LexEOF;
            return m_Type;
        }
        switch (k_Shapes[static_cast<size_t>(kind)]) {
        case ShapeBare:
            m_Type = static_cast<LexType>(kind);
            return m_Type;
        case ShapeMemberToken:
        case ShapeClassToken: {
            unsigned char scratch[3];
            const int n = kind == LexClassToken ? 2 : 3;
            const unsigned char* raw = Payload(scratch, n);
            if (raw == nullptr)
                return Truncated();
            m_MemberIndex = n == 3 ? raw[0] : 0;
            m_ClassIndex = raw[n - 2] | raw[n - 1] << 8;
            m_Type = static_cast<LexType>(kind);
            return m_Type;
        }
        case ShapeFixed4:
            return Fixed(static_cast<LexType>(kind), 4);
        case ShapeFixed8:
            return Fixed(static_cast<LexType>(kind), 8);
        case ShapeId:
            return Fixed(LexId, 4);
        case ShapeFloats2:
            return Floats(LexVector2f, 2);
        case ShapeFloats3:
            return Floats(LexVector3f, 3);
        case ShapeFloats4:
            return Floats(static_cast<LexType>(kind), 4);
        case ShapeFloats16:
            return Floats(LexMatrix4f, 16);
        case ShapeName:
            return Name(static_cast<LexType>(kind));
        case ShapeString:
            return Text();
        case ShapeBool:
            (void)Fixed(LexBool, 1);
            if (m_Type == LexBool)
                m_Value.m_U64 = m_Value.m_U64 != 0 ? 1 : 0;
            return m_Type;
        case ShapeNumberArray:
            return NumberArray(kind);
        case ShapeStringArray:
            return StringArray();
        case ShapeBlank:
            if (!GetSkipBlank()) {
                m_Type = LexBlank;
                return m_Type;
            }
            m_GapBefore = true;
            continue;
        case ShapeCRLF:
            if (!GetSkipCRLF()) {
                m_Type = LexCRLF;
                return m_Type;
            }
            m_GapBefore = true;
            continue;
        case ShapeEnd:
            m_Ended = true;
            m_Type = LexEOF;
            return m_Type;
        default:
            break;
        }
        {
            Stream& stream = Xerr.pLockError();
            stream << "Invalid symbol 0x";
            stream.pHex(static_cast<unsigned>(kind), 2);
            stream << " in binary script stream.";
            Xerr.pLF();
            Xerr.pUnlockMessage();
        }
        m_Type = LexError;
        m_Value.m_I64 = k_ErrorUnknownKind;
        return m_Type;
    }
}

LexType LexerBinary::LexSkipToEOL() {
    return Lex();
}

const void* LexerBinary::GetReadPtr() const {
    return m_Data + m_Pos;
}

void LexerBinary::SetReadPtr(const void* p) {
    const auto* target = static_cast<const unsigned char*>(p);
    const std::less<const unsigned char*> before;
    if (m_Pipe || target == nullptr || m_Data == nullptr || before(target, m_Data) ||
        before(m_Data + m_Size, target)) {
        Internal::LogScriptFatal("Lexer::SetReadPtr: illegal seek position.");
        return;
    }
    m_Pos = target - m_Data;
    m_Ended = false;
}

int LexerBinary::GetLineCount() {
    return m_LineCount ? 1 : 0;
}

int LexerBinary::GetColumnCount() {
    return m_LineCount ? static_cast<int>(std::min<int64_t>(m_Consumed + m_Pos + 1, INT32_MAX)) : 0;
}

} // namespace Quorlix
