#pragma once
// LogMsg: how a failure that a person should see is reported. It writes a coloured record to
// Xerr and, where dialogs are available, shows the message dialog:
//
//     return LogMsg(EFail, "Loader::Open", "open", ErrActionDefault,
//                   "Cannot open #1 (#2).", path, ErrArg::SystemError(errno));
//
// The description may hold placeholders "#1" to "#8", filled with the arguments' texts; a '#'
// followed by anything else ends the expansion and the rest is written as it is.

#include "quorlix/core/Result.h"
#include "quorlix/log/ErrArg.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

/// What LogMsg should do beyond reporting. Every caller passes ErrActionDefault; LogMsg does
/// not act on it.
enum ErrAction : int { ErrActionDefault = 2 };

/// The language of LogMsg texts. Stored for the host; nothing in the library reads it.
enum LogMsgLanguage : int { LogMsgLanguageNeutral = 0, LogMsgLanguageEnglish = 1 };

/// Reports `code` and returns it unchanged. `location` names the reporting class and method,
/// `function` the operation or system call that failed; either may be null.
///
/// The record on Xerr, in the class colour: the class label, " [", the code in upper-case
/// hexadecimal, "] ", its name and ":"; then "\n  Description:" and the expanded description,
/// "\n  Location:" and the location, "\n  Function:" and the function (each when given); then a
/// line feed. Its pipe calls are not held together by the stream's lock, so another thread's
/// output may fall between them.
///
/// The dialog (only when Platform::DialogsAvailable()): caption "Error [80000008] EFail" (the
/// code in lower case), message "Description:\n" text "\n\n" (when given), "Location:\n"
/// location, "\nFunction:\n" function (when given). When the dialog cannot be created, caption
/// and message go to standard error instead. A LogMsg made by a thread while its own dialog is
/// open (from a window procedure) writes its record but shows no dialog; the first such call in
/// the process while dialogs are open says so on standard error.
QUORLIX_API EResult LogMsg(EResult code, const char* location, const char* function,
                           ErrAction action, const char* description,
                           const ErrArg& a1 = G_EmptyErrArg, const ErrArg& a2 = G_EmptyErrArg,
                           const ErrArg& a3 = G_EmptyErrArg, const ErrArg& a4 = G_EmptyErrArg,
                           const ErrArg& a5 = G_EmptyErrArg, const ErrArg& a6 = G_EmptyErrArg,
                           const ErrArg& a7 = G_EmptyErrArg, const ErrArg& a8 = G_EmptyErrArg);
/// The same without a description.
QUORLIX_API EResult LogMsg(EResult code, const char* location, const char* function,
                           ErrAction action);

QUORLIX_API void SetLogMsgLanguage(LogMsgLanguage language);
QUORLIX_API LogMsgLanguage GetLogMsgLanguage();

} // namespace Quorlix
