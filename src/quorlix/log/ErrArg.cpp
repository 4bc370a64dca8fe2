#include "quorlix/log/ErrArg.h"
#include "quorlix/log/ResultName.h"

#include "quorlix/log/internal/SystemText.h"
#include "quorlix/platform/Process.h"
#include "quorlix/stream/Stream.h"

#include <charconv>
#include <cmath>
#include <string>

namespace Quorlix {

constinit const ErrArg G_EmptyErrArg;

namespace {

// The dialog's number text: the general form with `digits` significant digits and a "." when
// the text has none (so an exponent form gets one too).
template <class T>
void WriteDialogNumber(Stream& out, T value, int digits) {
    char text[48];
    char* end =
        std::to_chars(text, text + sizeof text - 1, value, std::chars_format::general, digits).ptr;
    bool point = false;
    for (const char* p = text; p < end; ++p)
        point = point || *p == '.';
    if (!point)
        *end++ = '.';
    out.Write(text, static_cast<int>(end - text));
}

void WriteFloats(Stream& out, const float* floats, int count) {
    if (floats == nullptr) {
        out << static_cast<const char*>(nullptr);
        return;
    }
    out << '(';
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out << ',';
        out << floats[i];
    }
    out << ')';
}

} // namespace

void ErrArg::Write(Stream& out, ErrArgForm form) const {
    const bool dialog = form == ErrArgForm::Dialog;
    switch (m_Kind) {
    case KindBool:
        if (dialog)
            out << (m_Bool ? "True" : "False");
        else
            out << (m_Bool ? 1 : 0);
        break;
    case KindInt:
        out << m_Int;
        break;
    case KindInt64:
        out << m_Int64;
        break;
    case KindUnsigned:
        out << m_Unsigned;
        break;
    case KindUnsigned64:
        out << m_Unsigned64;
        break;
    case KindFloat:
        if (dialog)
            WriteDialogNumber(out, m_Float, 7);
        else
            out << m_Float;
        break;
    case KindDouble:
        if (dialog)
            WriteDialogNumber(out, m_Double, 18);
        else
            out << m_Double;
        break;
    case KindText:
        out << m_Text;
        break;
    case KindVector2:
        WriteFloats(out, m_Floats, 2);
        break;
    case KindVector3:
        WriteFloats(out, m_Floats, 3);
        break;
    case KindVector4:
        WriteFloats(out, m_Floats, 4);
        break;
    case KindMatrix4:
        WriteFloats(out, m_Floats, 16);
        break;
    case KindResult:
        out << '[';
        out.pHex(static_cast<uint32_t>(m_Int), 1) << "] " << GetResultName(EResult(m_Int));
        break;
    case KindSystemError: {
        const std::string text = Internal::TrimSystemText(Platform::SystemErrorText(m_Int));
        out << '[';
        out.pHex(static_cast<uint32_t>(m_Int), 1) << "] ";
        out.Write(text.data(), static_cast<int>(text.size()));
        break;
    }
    default:
        break; // kind 0 and unknown kinds print nothing
    }
}

} // namespace Quorlix
