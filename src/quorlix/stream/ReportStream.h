#pragma once
// Diagnostics of the stream module. The log streams live above this module, so its messages
// take the log's message form (a level lock, insertions, pLF, pUnlockMessage) on Xreport, which
// builds each message in a buffer of the calling thread and hands it whole to the core report
// sink; the log module points that sink at Xerr, where the message gets its level's prefix.
//
//     Xreport.pLockWarn() << "StreamPipeFile::StreamPipeFile: " << path;
//     Xreport.pLF();
//     Xreport.pUnlockMessage();
//
// Any thread may report at once: every thread builds its own message.

#include "quorlix/platform/Export.h"
#include "quorlix/stream/Stream.h"

namespace Quorlix {

class QUORLIX_API ReportStream : public Stream {
public:
    ReportStream();

    // Level locks: start a Debug, Info, Note, Warn, Error or Fatal message on this thread (a
    // message still open is handed on first). Text written outside a message is dropped.
    Stream& pLockDebug();
    Stream& pLockInfo();
    Stream& pLockNote();
    Stream& pLockWarn();
    Stream& pLockError();
    Stream& pLockFatal();
    /// Hands the thread's message to the report sink and ends it.
    Stream& pUnlockMessage();
};

extern QUORLIX_API ReportStream Xreport;

} // namespace Quorlix
