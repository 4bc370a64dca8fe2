#pragma once
// Threads of the library's own (a server's accept loop), behind an opaque handle.

#include "quorlix/platform/Export.h"

namespace Quorlix::Platform {

struct JoinableThread;

/// Runs `body(context)` on a new thread; null when no thread could be made.
QUORLIX_API JoinableThread* StartThread(void (*body)(void*), void* context);
/// Waits for the thread to end and frees the handle (null is ignored).
QUORLIX_API void JoinThread(JoinableThread* thread);

} // namespace Quorlix::Platform
