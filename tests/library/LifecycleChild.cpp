// A program the lifecycle tests run as a child process, so that crashes and the library's
// unload routine happen in a process of their own.
//
// usage: LifecycleChild MODE ERRLOG
//   crash   initialise, log to ERRLOG, trace a little, set the trace globals, fault
//   stuck   the same, while another thread holds the error log's lock for ever
//   heap    the same, while another thread holds the allocator's lock for ever (exits with 4
//           when the lock could not be taken)
//   exit    initialise, log to ERRLOG, trace a little, exit without de-initialising
//   break   the same as exit, with the break flag set

#include "quorlix/library/Library.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/log/Trace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <malloc.h>
#include <string>
#include <thread>
#include <unistd.h>

using namespace Quorlix;

// An address in the first page, which is never mapped; volatile so that the store is made.
volatile int* volatile G_Nowhere = reinterpret_cast<int*>(uintptr_t{8});

namespace {

// malloc_stats prints each arena's figures to standard error while it holds that arena's lock.
// With standard error on a full pipe that nobody reads, the print never ends and the main
// arena (the one the main thread allocates from) stays locked for good.
bool HoldAllocatorLock() {
    int ends[2];
    if (::pipe(ends) != 0)
        return false;
    ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
    static const char k_Fill[4096] = {};
    while (::write(ends[1], k_Fill, sizeof k_Fill) > 0) {
    }
    if (errno != EAGAIN)
        return false;
    ::fcntl(ends[1], F_SETFL, 0);
    ::dup2(ends[1], 2);
    // Both threads start before the lock is taken: starting a thread allocates. The prover
    // calls mallinfo2, which locks every arena in turn, so it must not come back.
    static std::atomic<bool> s_Returned{false};
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        (void)::mallinfo2();
        s_Returned = true;
    }).detach();
    std::thread([] { ::malloc_stats(); }).detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return !s_Returned;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3)
        return 2;
    const std::string mode = argv[1];
    DLLInitialize(0);
    InitLogStreams(false, false, argv[2], nullptr, -1, 0, false, false);
    NewTrace("LifecycleChild");
    TraceTop_("LoadScene");
    TracePos_("ParseNodes");
    if (mode == "stuck") {
        std::thread([] {
            Xerr.pLock();
            while (true)
                std::this_thread::sleep_for(std::chrono::seconds(1));
        }).detach();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    } else if (mode == "heap") {
        if (!HoldAllocatorLock())
            return 4;
    } else if (mode == "crash") {
        static const char level[] = "level \"one\"";
        TraceGlobal1_(level);
        TraceGlobal2_(reinterpret_cast<const void*>(uintptr_t{16}));
    } else {
        G_SIGABORT = mode == "break" ? 1 : 0;
        return 0;
    }
    *G_Nowhere = 1;
    return 3;
}
