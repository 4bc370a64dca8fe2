#include "quorlix/stream/internal/PipeLog.h"

#include "quorlix/core/DebugLog.h"
#include "quorlix/core/Library.h"
#include "quorlix/platform/Console.h"

#include <string>

namespace Quorlix::Detail {

void LogPipeWarning(const String& text) {
    WriteDebugLine(text.GetCPtr());
}

void LogBreakSignal() noexcept {
    static const char k_Line[] = "[BREAK SIGNAL]\n";
    Platform::WriteStandardError(k_Line, sizeof k_Line - 1);
    G_SIGABORT = 1;
}

String QuoteC(const char* text, int length, char quote) {
    std::string out;
    if (quote != 0)
        out += quote;
    if (text == nullptr) {
        out += "(NULL)";
    } else {
        static const char k_Hex[] = "0123456789ABCDEF";
        for (int i = 0; length < 0 ? text[i] != '\0' : i < length; ++i) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            switch (c) {
            case 8:
                out += "\\b";
                break;
            case 9:
                out += "\\t";
                break;
            case 10:
                out += "\\n";
                break;
            case 12:
                out += "\\f";
                break;
            case 13:
                out += "\\r";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\'':
                out += "\\'";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (c >= 32 && c <= 126) {
                    out += static_cast<char>(c);
                } else {
                    out += "\\x";
                    out += k_Hex[c >> 4];
                    out += k_Hex[c & 15];
                }
            }
        }
    }
    if (quote != 0)
        out += quote;
    return String(out.data(), static_cast<int>(out.size()));
}

} // namespace Quorlix::Detail
