#pragma once
// A tagged value that fills a placeholder ("#1" to "#8") of a LogMsg description. Each kind has
// a log form (written to the error stream) and a dialog form (written into the message dialog).
// An ErrArg holds no copy of what a text or vector argument points to: it lives only as long
// as the LogMsg call it is passed to.

#include "quorlix/core/Result.h"
#include "quorlix/platform/Export.h"

#include <cstdint>

namespace Quorlix {

class Stream;

/// Which text of an argument to write.
enum class ErrArgForm { Log, Dialog };

class QUORLIX_API ErrArg {
public:
    enum Kind : int32_t {
        KindNone = 0,
        KindBool = 1,
        KindInt = 2,
        KindInt64 = 3,
        KindUnsigned = 4,
        KindUnsigned64 = 5,
        KindFloat = 6,
        KindDouble = 7,
        KindText = 8,
        KindVector2 = 9,
        KindVector3 = 10,
        KindVector4 = 11, // also quaternions
        KindMatrix4 = 12,
        KindResult = 13,
        KindSystemError = 14,
    };

    /// Kind 0: prints nothing.
    constexpr ErrArg() noexcept : m_Kind(KindNone), m_Unsigned64(0) {}
    constexpr ErrArg(bool value) noexcept : m_Kind(KindBool), m_Bool(value) {}
    constexpr ErrArg(int value) noexcept : m_Kind(KindInt), m_Int(value) {}
    constexpr ErrArg(long value) noexcept : m_Kind(KindInt64), m_Int64(value) {}
    constexpr ErrArg(long long value) noexcept : m_Kind(KindInt64), m_Int64(value) {}
    constexpr ErrArg(unsigned value) noexcept : m_Kind(KindUnsigned), m_Unsigned(value) {}
    constexpr ErrArg(unsigned long value) noexcept : m_Kind(KindUnsigned64), m_Unsigned64(value) {}
    constexpr ErrArg(unsigned long long value) noexcept
        : m_Kind(KindUnsigned64), m_Unsigned64(value) {}
    constexpr ErrArg(float value) noexcept : m_Kind(KindFloat), m_Float(value) {}
    constexpr ErrArg(double value) noexcept : m_Kind(KindDouble), m_Double(value) {}
    /// A null text prints "(NULL)".
    constexpr ErrArg(const char* text) noexcept : m_Kind(KindText), m_Text(text) {}
    constexpr ErrArg(char* text) noexcept : m_Kind(KindText), m_Text(text) {}
    constexpr ErrArg(EResult code) noexcept : m_Kind(KindResult), m_Int(code) {}
    /// Any other pointer would silently become a bool; vectors use the factories below.
    template <class T>
    ErrArg(T*) = delete;

    /// Vectors and matrices as consecutive floats: 2, 3, 4 or 16 of them, in memory order.
    /// A null pointer prints "(NULL)".
    static constexpr ErrArg Vector2(const float* xy) noexcept { return ErrArg(KindVector2, xy); }
    static constexpr ErrArg Vector3(const float* xyz) noexcept { return ErrArg(KindVector3, xyz); }
    static constexpr ErrArg Vector4(const float* xyzw) noexcept {
        return ErrArg(KindVector4, xyzw);
    }
    static constexpr ErrArg Matrix4(const float* rows) noexcept {
        return ErrArg(KindMatrix4, rows);
    }
    /// An operating-system error number (errno); prints the system's text for it.
    static constexpr ErrArg SystemError(int error) noexcept {
        ErrArg arg;
        arg.m_Kind = KindSystemError;
        arg.m_Int = error;
        return arg;
    }

    Kind GetKind() const noexcept { return static_cast<Kind>(m_Kind); }

    /// Writes the argument's text in the given form:
    ///  - bool: log "0"/"1", dialog "True"/"False";
    ///  - integers in decimal;
    ///  - float and double: log as the stream writes them, dialog with 7 and 18 significant
    ///    digits and a "." appended when the text has none;
    ///  - vectors and matrices: "(" the floats separated by "," ")";
    ///  - EResult: "[" the code in upper-case hexadecimal "] " and its name;
    ///  - system error: "[" the number in upper-case hexadecimal "] " and the system's text
    ///    without a trailing line feed, carriage return and full stop.
    void Write(Stream& out, ErrArgForm form) const;

private:
    constexpr ErrArg(Kind kind, const float* floats) noexcept : m_Kind(kind), m_Floats(floats) {}

    int32_t m_Kind;
    union alignas(8) {
        bool m_Bool;
        int32_t m_Int;
        int64_t m_Int64;
        uint32_t m_Unsigned;
        uint64_t m_Unsigned64;
        float m_Float;
        double m_Double;
        const char* m_Text;
        const float* m_Floats;
    };
};

/// The shared empty argument: stands for every argument a caller leaves out.
extern QUORLIX_API const ErrArg G_EmptyErrArg;

} // namespace Quorlix
