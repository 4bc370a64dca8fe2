#include "quorlix/log/Trace.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/log/internal/CrashLog.h"
#include "quorlix/platform/Threading.h"
#include "quorlix/stream/Stream.h"

#include <atomic>
#include <cstdint>

namespace Quorlix {

namespace {

constexpr int k_Slots = 32;
constexpr int k_Points = 256;

enum TraceKind : uint8_t { k_Position = 0, k_Enter = 1, k_Leave = 2 };

// Each slot belongs to one thread, which alone writes its ring; other threads only read it
// while printing. Slot ids are atomic so a thread that looks for its slot never sees a torn id.
std::atomic<uint32_t> G_SlotThread[k_Slots];
uint32_t G_SlotNext[k_Slots];
const char* G_RingText[k_Slots][k_Points];
uint8_t G_RingKind[k_Slots][k_Points];

std::atomic<const void*> G_TraceGlobal1{nullptr};
std::atomic<const void*> G_TraceGlobal2{nullptr};

CriticalSection& TraceLock() {
    static CriticalSection s_Lock;
    return s_Lock;
}

int FindSlot(uint32_t thread) {
    for (int slot = k_Slots; slot-- > 0;) {
        if (G_SlotThread[slot].load(std::memory_order_relaxed) == thread)
            return slot;
    }
    return -1;
}

void Record(int slot, const char* text, TraceKind kind) {
    const uint32_t next = G_SlotNext[slot];
    G_RingText[slot][next] = text;
    G_RingKind[slot][next] = kind;
    G_SlotNext[slot] = (next + 1) & (k_Points - 1);
}

void Trace(const char* text, TraceKind kind) {
    const int slot = FindSlot(Platform::CurrentThreadId());
    if (slot >= 0) {
        Record(slot, text, kind);
        return;
    }
    Stream& line = kind == k_Enter ? Xerr.pLockError() : Xerr.pLockWarn();
    line << "Unexpected Trace from " << text << ".";
    line.pLF();
    Xerr.pUnlockMessage();
}

// Indentation of the call picture: the last (depth & 15) characters of this text.
constexpr char k_Bars[] = "  | | | | | | | | | ";
constexpr int k_BarsLength = sizeof k_Bars - 1;

const char* Marker(uint8_t kind) {
    switch (kind) {
    case k_Position:
        return "| ";
    case k_Enter:
        return "|\\";
    case k_Leave:
        return "|/";
    default:
        return "ERR";
    }
}

// The start of a ring line: two blanks, the age in three digits, the indentation and the
// marker. Returns its length (at most 2 + 3 + 16 + 3).
size_t RingLineHead(char* out, int age, int depth, uint8_t kind) {
    size_t length = 0;
    out[length++] = ' ';
    out[length++] = ' ';
    out[length++] = static_cast<char>('0' + age / 100 % 10);
    out[length++] = static_cast<char>('0' + age / 10 % 10);
    out[length++] = static_cast<char>('0' + age % 10);
    const int indent = depth & 15;
    for (const char* bar = k_Bars + k_BarsLength - indent; *bar != '\0'; ++bar)
        out[length++] = *bar;
    for (const char* marker = Marker(kind); *marker != '\0'; ++marker)
        out[length++] = *marker;
    return length;
}

// Walks the ring of `slot` from the oldest entry, calling `line(head, headLength, text)` for
// every entry that was written.
template <class Line>
void WalkRing(int slot, uint32_t start, Line line) {
    int depth = 8;
    for (int i = 0; i < k_Points; ++i) {
        const uint32_t index = (start + static_cast<uint32_t>(i)) & (k_Points - 1);
        const uint8_t kind = G_RingKind[slot][index];
        const char* text = G_RingText[slot][index];
        if (kind == k_Leave)
            depth -= 2;
        if (text != nullptr) {
            char head[32];
            line(head, RingLineHead(head, k_Points - 1 - i, depth, kind), text);
        }
        if (kind == k_Enter)
            depth += 2;
    }
}

void PrintSlot(int slot, uint32_t thread, const char* caller) {
    Xerr.pLock();
    Xerr.pLockError() << "<Trace " << caller << " for ThreadId=0x";
    Xerr.pHex(thread, 1) << (thread == Platform::CurrentThreadId() ? " (dead)" : " (alive)") << ":";
    Xerr.pLF();
    Xerr.pUnlockMessage();

    const uint32_t start = G_SlotNext[slot];
    WalkRing(slot, start, [](const char* head, size_t headLength, const char* text) {
        Xerr.Write(head, static_cast<int>(headLength));
        Xerr << text;
        Xerr.pLF();
    });

    const uint32_t now = G_SlotNext[slot];
    if (now != start) {
        Xerr.pLockWarn() << "Thread is still running and replaced "
                         << static_cast<int>((now - start) & (k_Points - 1)) << " traces.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    Xerr.pLockError() << "Trace>";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    Xerr.pFlush();
    Xerr.pUnlock();
}

} // namespace

void NewTrace(const char* name) {
    const uint32_t thread = Platform::CurrentThreadId();
    int slot;
    {
        CriticalSectionLock lock(TraceLock());
        slot = FindSlot(thread);
        if (slot >= 0) {
            Xerr.pLockError() << "Thread tracing was already enabled. " << name << ".";
            Xerr.pLF();
            Xerr.pUnlockMessage();
            Record(slot, name, k_Enter);
            return;
        }
        slot = FindSlot(0);
        if (slot >= 0) {
            for (int i = 0; i < k_Points; ++i) {
                G_RingText[slot][i] = nullptr;
                G_RingKind[slot][i] = k_Position;
            }
            G_SlotNext[slot] = 0;
            G_SlotThread[slot].store(thread, std::memory_order_relaxed);
            Record(slot, name, k_Enter);
        }
    }
    if (slot < 0) {
        Xerr.pLockWarn() << "Too many Trace threads. Skipping " << name << ".";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return;
    }
    Xerr.pLockDebug() << "NewTrace: " << name << " T:";
    Xerr.pHex(thread, 3) << " S:" << slot << ".";
    Xerr.pLF();
    Xerr.pUnlockMessage();
}

void EndTrace(const char* name) {
    CriticalSectionLock lock(TraceLock());
    const int slot = FindSlot(Platform::CurrentThreadId());
    if (slot < 0) {
        Xerr.pLockError() << "Thread tracing was already disabled. " << name << ".";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return;
    }
    Record(slot, name, k_Leave);
    G_SlotThread[slot].store(0, std::memory_order_relaxed);
}

void TraceTop_(const char* text) {
    Trace(text, k_Enter);
}

void TracePos_(const char* text) {
    Trace(text, k_Position);
}

void TraceEnd_(const char* text) {
    Trace(text, k_Leave);
}

void CheckTrace(const char* caller) {
    bool printed = false;
    for (int slot = k_Slots; slot-- > 0;) {
        const uint32_t thread = G_SlotThread[slot].load(std::memory_order_relaxed);
        if (thread == 0)
            continue;
        PrintSlot(slot, thread, caller);
        printed = true;
    }
    if (printed)
        Platform::SleepMilliseconds(1000);
}

namespace Internal {

// PrintSlot's text through the crash log: no lock, no allocation, no stream.
void CheckTraceForCrash(const char* caller, CrashLog& log) noexcept {
    const uint32_t self = Platform::CurrentThreadIdUncached();
    bool printed = false;
    for (int slot = k_Slots; slot-- > 0;) {
        const uint32_t thread = G_SlotThread[slot].load(std::memory_order_relaxed);
        if (thread == 0)
            continue;
        printed = true;
        char hex[8];
        int digits = 0;
        for (uint32_t rest = thread; rest != 0 || digits == 0; rest >>= 4)
            hex[7 - digits++] = "0123456789ABCDEF"[rest & 15];
        log.Begin(LogError);
        log.Add("<Trace ");
        log.Add(caller);
        log.Add(" for ThreadId=0x");
        log.Add(hex + 8 - digits, static_cast<size_t>(digits));
        log.Add(thread == self ? " (dead):" : " (alive):");
        log.End();
        const uint32_t start = G_SlotNext[slot];
        WalkRing(slot, start, [&log](const char* head, size_t headLength, const char* text) {
            log.BeginPlain();
            log.Add(head, headLength);
            log.Add(text);
            log.End();
        });
        const uint32_t now = G_SlotNext[slot];
        if (now != start) {
            char count[4];
            const uint32_t replaced = (now - start) & (k_Points - 1);
            int length = 0;
            if (replaced >= 100)
                count[length++] = static_cast<char>('0' + replaced / 100);
            if (replaced >= 10)
                count[length++] = static_cast<char>('0' + replaced / 10 % 10);
            count[length++] = static_cast<char>('0' + replaced % 10);
            log.Begin(LogWarn);
            log.Add("Thread is still running and replaced ");
            log.Add(count, static_cast<size_t>(length));
            log.Add(" traces.");
            log.End();
        }
        log.Line(LogError, "Trace>", 6);
    }
    if (printed)
        Platform::SleepMilliseconds(1000);
}

} // namespace Internal

void TraceGlobal1_(const void* text) {
    G_TraceGlobal1.store(text, std::memory_order_relaxed);
}

const void* GetTraceGlobal1_() {
    return G_TraceGlobal1.load(std::memory_order_relaxed);
}

void TraceGlobal2_(const void* text) {
    G_TraceGlobal2.store(text, std::memory_order_relaxed);
}

const void* GetTraceGlobal2_() {
    return G_TraceGlobal2.load(std::memory_order_relaxed);
}

} // namespace Quorlix
