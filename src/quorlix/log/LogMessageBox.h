#pragma once
// The message dialog of LogMsg: a caption, the message text, "OK" and "View Log File". Shown as
// a modal system message box only where dialogs are available (Platform::DialogsAvailable).
//
// Flags: bits 2 to 7 tick "always display this", "display only once", "never display this",
// "send error report", "show log console" and "exit application"; bits 18, 19, 20, 23, 22, 21
// disable them. The library acts on none of these choices; they come back in Show's result.

#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

class QUORLIX_API LogMessageBox {
public:
    /// Show's result when the dialog could not be created.
    static constexpr unsigned k_Failed = 0xFFFFFFFFu;

    /// An empty box (reference count 0).
    static LogMessageBox* Create();

    LogMessageBox();
    virtual ~LogMessageBox() = default;
    LogMessageBox(const LogMessageBox&) = delete;
    LogMessageBox& operator=(const LogMessageBox&) = delete;

    virtual void SetCaption(const char* caption);
    virtual void SetMessage(const char* message);
    virtual void SetFlags(unsigned flags);
    virtual void SetFont(const char* name, int size);
    /// Shows the dialog and waits for it to end; does nothing while it is already open. "View
    /// Log File" (offered only while a log console exists) shows the console, saves its
    /// document to GetLogDocumentPath() and keeps the dialog open. Returns 1 plus 4, 8, 16, 32,
    /// 64 and 128 for each ticked choice when ended with "OK" or Escape, 1 when closed by the
    /// window, and k_Failed after writing the error line "DialogBoxParam failed" when the
    /// dialog cannot be created.
    virtual unsigned Show();

    unsigned GetResult() const noexcept { return m_Result; }

private:
    bool m_Open = false;
    unsigned m_Flags = 0;
    int m_FontSize = 8;
    String m_FontName;
    String m_Caption;
    String m_Message;
    unsigned m_Result = 0;
};

} // namespace Quorlix
