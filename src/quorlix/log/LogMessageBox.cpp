#include "quorlix/log/LogMessageBox.h"

#include "quorlix/log/LogConsole.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/platform/Dialog.h"

namespace Quorlix {

namespace {

enum : int { k_ButtonOk = 1001, k_ButtonViewLog = 1002 };

// The tick states of the six choices, which answer in the same bits as their flags.
constexpr unsigned k_ChoiceBits = 0xFC;

} // namespace

LogMessageBox* LogMessageBox::Create() {
    return NewObject<LogMessageBox>();
}

LogMessageBox::LogMessageBox() : m_FontName("MS Shell Dlg") {}

void LogMessageBox::SetCaption(const char* caption) {
    m_Caption = String(caption);
}

void LogMessageBox::SetMessage(const char* message) {
    m_Message = String(message);
}

void LogMessageBox::SetFlags(unsigned flags) {
    m_Flags = flags;
}

void LogMessageBox::SetFont(const char* name, int size) {
    m_FontName = String(name);
    m_FontSize = size;
}

unsigned LogMessageBox::Show() {
    if (m_Open)
        return m_Result;
    m_Open = true;
    m_Result = k_Failed;
    for (;;) {
        Obj<LogConsole> console = GetLogConsole();
        const Platform::DialogButton buttons[] = {{k_ButtonOk, "OK"},
                                                  {k_ButtonViewLog, "View Log File"}};
        const int pressed = Platform::ShowMessageDialog(m_Caption.GetCPtr(), m_Message.GetCPtr(),
                                                        buttons, console ? 2 : 1);
        if (pressed == Platform::k_DialogFailed) {
            Xerr.pLockError() << "DialogBoxParam failed";
            Xerr.pLF();
            Xerr.pUnlockMessage();
            break;
        }
        if (pressed == k_ButtonViewLog && console) {
            console->Show();
            console->Refresh();
            const String document = GetLogDocumentPath();
            if (!console->SaveDocument(document.GetCPtr())) {
                Xerr.pLockError() << "LogMessageBox: cannot save the log document ";
                Xerr.pQuotedC(document, '"') << ".";
                Xerr.pLF();
                Xerr.pUnlockMessage();
            }
            continue;
        }
        // The choices cannot be changed in a system message box: they answer as ticked.
        m_Result = pressed == Platform::k_DialogClosed ? 1u : 1u | (m_Flags & k_ChoiceBits);
        break;
    }
    m_Open = false;
    return m_Result;
}

} // namespace Quorlix
