#pragma once
// One-line log messages of the object model: a level lock, the parts, a line feed.

#include "quorlix/log/LogStream.h"

namespace Quorlix::Internal {

template <class... Parts>
void LogScript(Stream& (LogStream::*level)(), const Parts&... parts) {
    Stream& stream = (Xerr.*level)();
    (stream << ... << parts);
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

template <class... Parts>
void LogScriptError(const Parts&... parts) {
    LogScript(&LogStream::pLockError, parts...);
}
template <class... Parts>
void LogScriptFatal(const Parts&... parts) {
    LogScript(&LogStream::pLockFatal, parts...);
}
template <class... Parts>
void LogScriptWarn(const Parts&... parts) {
    LogScript(&LogStream::pLockWarn, parts...);
}
template <class... Parts>
void LogScriptDebug(const Parts&... parts) {
    LogScript(&LogStream::pLockDebug, parts...);
}

} // namespace Quorlix::Internal
