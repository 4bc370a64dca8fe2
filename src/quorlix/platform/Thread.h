#pragma once
// Threads of the library's own (a server's accept loop, texture loads), behind an opaque handle.

#include "quorlix/platform/Export.h"

namespace Quorlix::Platform {

struct JoinableThread;

/// Runs `body(context)` on a new thread; null when no thread could be made.
QUORLIX_API JoinableThread* StartThread(void (*body)(void*), void* context);
/// The same; on failure `error` receives the system's error number (for SystemErrorText).
QUORLIX_API JoinableThread* StartThread(void (*body)(void*), void* context, int& error);
/// Waits for the thread to end and frees the handle (null is ignored).
QUORLIX_API void JoinThread(JoinableThread* thread);
/// Raises the calling thread's scheduling priority one step above normal. False when the
/// system refuses (an unprivileged process may not raise it).
QUORLIX_API bool RaiseCurrentThreadPriority() noexcept;

} // namespace Quorlix::Platform
