#pragma once
// Modal message dialogs. They are SDL message boxes, shown only when the process may wait for a
// person: a display exists (DISPLAY or WAYLAND_DISPLAY is set) and QUORLIX_NO_DIALOGS is not set.
// Tests, tools and servers therefore never block on one. Texts are Windows-1252 bytes; they are
// converted to UTF-8 for the window system.

#include "quorlix/platform/Export.h"

namespace Quorlix::Platform {

/// A button of a message dialog: the value ShowMessageDialog returns for it and its label.
struct QUORLIX_API DialogButton {
    int m_Id;
    const char* m_Text;
};

/// ShowMessageDialog results besides the button ids (which must not be negative).
constexpr int k_DialogClosed = -1; // closed by the window's close control
constexpr int k_DialogFailed = -2; // the dialog could not be created

/// Stands in for the window system: receives every dialog instead of SDL.
using MessageDialogHook = int (*)(const char* caption, const char* text,
                                  const DialogButton* buttons, int count);

/// Installs `hook` (null removes it) and returns the previous one. With a hook installed,
/// dialogs count as available whatever the environment says.
QUORLIX_API MessageDialogHook SetMessageDialogHook(MessageDialogHook hook);

/// Whether ShowMessageDialog may be called: a hook is installed, or a display exists and
/// QUORLIX_NO_DIALOGS is not set.
QUORLIX_API bool DialogsAvailable();

/// Shows a modal dialog with `caption`, `text` and `count` buttons; the first button answers
/// Return and Escape. Returns the id of the button pressed, k_DialogClosed, or k_DialogFailed
/// (no window system, or it refused the dialog).
QUORLIX_API int ShowMessageDialog(const char* caption, const char* text,
                                  const DialogButton* buttons, int count);

/// The message of last resort, for when no dialog can be shown: `caption` and `text`, each on
/// a line of its own, on standard error. Never waits.
QUORLIX_API void ShowSystemMessage(const char* caption, const char* text);

} // namespace Quorlix::Platform
