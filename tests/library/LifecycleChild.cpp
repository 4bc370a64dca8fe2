// A program the lifecycle tests run as a child process, so that crashes and the library's
// unload routine happen in a process of their own.
//
// usage: LifecycleChild MODE ERRLOG
//   crash   initialise, log to ERRLOG, trace a little, set the trace globals, fault
//   stuck   the same, while another thread holds the error log's lock for ever
//   exit    initialise, log to ERRLOG, trace a little, exit without de-initialising
//   break   the same as exit, with the break flag set

#include "quorlix/library/Library.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/log/Trace.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

using namespace Quorlix;

// An address in the first page, which is never mapped; volatile so that the store is made.
volatile int* volatile G_Nowhere = reinterpret_cast<int*>(uintptr_t{8});

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
