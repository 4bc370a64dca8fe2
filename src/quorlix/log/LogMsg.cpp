#include "quorlix/log/LogMsg.h"
#include "quorlix/log/ResultName.h"

#include "quorlix/log/LogMessageBox.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/platform/Dialog.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <atomic>
#include <cstdio>

namespace Quorlix {

namespace {

constinit std::atomic<int> G_Language{LogMsgLanguageNeutral};

// Whether this thread shows a LogMsg dialog now. Per thread: another thread's dialog ending
// must not clear it while this thread's dialog is still open.
thread_local bool t_ShowingDialog = false;
// The thread that was told about a recursive call, -1 while none was; one notice at a time
// for the whole process.
constinit std::atomic<int64_t> G_RecursionThread{-1};

constexpr unsigned k_DialogFlags = 0x300044;

// Writes `text` with "#1" to "#8" replaced by the arguments; a '#' followed by anything else
// ends the replacing.
void WriteExpanded(Stream& out, const char* text, const ErrArg* const* args, ErrArgForm form) {
    const char* run = text;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p != '#')
            continue;
        if (p[1] < '1' || p[1] > '8')
            break;
        out.Write(run, static_cast<int>(p - run));
        args[p[1] - '1']->Write(out, form);
        ++p;
        run = p + 1;
    }
    out << run;
}

// The NUL-terminated content of a memory pipe.
String ContentOf(StreamPipeMemory& memory) {
    return String(reinterpret_cast<const char*>(memory.GetData()), memory.GetSize());
}

} // namespace

EResult LogMsg(EResult code, const char* location, const char* function, ErrAction,
               const char* description, const ErrArg& a1, const ErrArg& a2, const ErrArg& a3,
               const ErrArg& a4, const ErrArg& a5, const ErrArg& a6, const ErrArg& a7,
               const ErrArg& a8) {
    const ErrArg* const args[8] = {&a1, &a2, &a3, &a4, &a5, &a6, &a7, &a8};
    const char* const label = GetResultClassLabel(code);
    const char* const name = GetResultName(code);

    Xerr.pColor(GetResultClassColor(code), 0);
    Xerr << label << " [";
    Xerr.pHex(static_cast<uint32_t>(code), 1) << "] " << name << ':';
    if (description != nullptr) {
        Xerr << "\n  Description:";
        WriteExpanded(Xerr, description, args, ErrArgForm::Log);
    }
    if (location != nullptr)
        Xerr << "\n  Location:" << location;
    if (function != nullptr)
        Xerr << "\n  Function:" << function;
    Xerr.pColor(7, 0);
    Xerr.pLF();

    if (!Platform::DialogsAvailable())
        return code;

    char caption[64];
    std::snprintf(caption, sizeof caption, "%s [%x] %s", label, static_cast<unsigned>(code), name);
    Obj<StreamPipeMemory> memory = StreamPipeMemory::Create();
    Stream message(memory);
    if (description != nullptr) {
        message << "Description:\n";
        WriteExpanded(message, description, args, ErrArgForm::Dialog);
        message << "\n\n";
    }
    message << "Location:\n" << (location != nullptr ? location : "");
    if (function != nullptr)
        message << "\nFunction:\n" << function;
    const String text = ContentOf(*memory);

    const int64_t thread = Platform::CurrentThreadId();
    if (t_ShowingDialog) {
        int64_t nobody = -1;
        if (G_RecursionThread.compare_exchange_strong(nobody, thread))
            Platform::ShowSystemMessage("Error [80000000] EInfiniteRecursion",
                                        "LogMsg was called recursive.\n"
                                        "Any further error messages will be suppressed.");
        return code;
    }
    t_ShowingDialog = true;
    unsigned result;
    {
        Obj<LogMessageBox> box = LogMessageBox::Create();
        box->SetCaption(caption);
        box->SetMessage(text.GetCPtr());
        box->SetFlags(k_DialogFlags);
        result = box->Show();
    }
    if (result == LogMessageBox::k_Failed)
        Platform::ShowSystemMessage(caption, text.GetCPtr());
    t_ShowingDialog = false;
    int64_t told = thread;
    G_RecursionThread.compare_exchange_strong(told, -1);
    return code;
}

EResult LogMsg(EResult code, const char* location, const char* function, ErrAction action) {
    return LogMsg(code, location, function, action, nullptr);
}

void SetLogMsgLanguage(LogMsgLanguage language) {
    G_Language.store(language);
}

LogMsgLanguage GetLogMsgLanguage() {
    return static_cast<LogMsgLanguage>(G_Language.load());
}

} // namespace Quorlix
