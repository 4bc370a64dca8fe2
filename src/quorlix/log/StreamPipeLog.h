#pragma once
// The log fan-out pipe behind the log streams: output goes to a console (slot 1) and then a
// file (slot 0), input comes from the file. Either slot may be empty. Every operation holds the
// pipe's lock, and Lock/Unlock also hold both sub-pipes, so a whole message written between
// them reaches each sub-pipe without another thread's output inside it.
//
// While locked, writes collect in a small buffer per slot and go down with the next flush,
// colour change or other operation, and at the last Unlock: a message costs one write per
// sub-pipe instead of one per insertion. File pipes that are not terminals ignore colours, so
// their colour calls are left out and do not split the message.

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Obj.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

class QUORLIX_API StreamPipeLog final : public StreamPipe {
public:
    enum Slot : int { SlotFile = 0, SlotConsole = 1 };

    /// A log pipe with both slots empty (reference count 0).
    static StreamPipeLog* Create();

    /// Puts `pipe` (may be null) into slot 0 or 1; other slots are ignored. Safe while the
    /// calling thread holds Lock: the new sub-pipe takes over the old one's lock depth.
    void SetStreamPipe(StreamPipe* pipe, int slot);
    /// The sub-pipe in slot 0 or 1 (null when empty or another slot is asked for).
    StreamPipe* GetStreamPipe(int slot);

    /// Keeps only about the last `maxSize` bytes of the sub-pipe in `slot`, starting after the
    /// first line feed of the kept part, behind `marker` when one is given. Returns the size
    /// after the cut (0 for an empty slot); a pipe no larger than `maxSize`, or a negative
    /// `maxSize`, is left as it is and its size returned. The pipe's position ends at its end.
    int64_t TruncateTail(int64_t maxSize, int slot, const char* marker);

    /// Takes the pipe's lock, then the console's and the file's.
    void Lock() override;
    void Unlock() override;
    // Input: the file only; empty slot: Read() and Peek() -1, PeekAt -2, counts 0.
    int Read(void* buffer, int n) override;
    int Read() override;
    int Peek() override;
    int PeekAt(int offset) override;
    int Skip(int n) override;
    // Output: the console, then the file; the result of the last call made (0 or false when
    // both slots are empty). A write collected while locked counts as accepted.
    int Write(const void* data, int n) override;
    bool Truncate() override;
    void Flush() override;
    int64_t Seek(int64_t offset, int origin) override;
    int64_t SeekCompressed(int64_t offset, int origin) override;
    void GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) override;
    bool SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) override;
    void Color(int foreground, int background) override;
    void Clear() override;

    StreamPipeLog() = default;
    ~StreamPipeLog() override;

private:
    static constexpr int k_BufferSize = 4096;

    struct SlotState {
        Obj<StreamPipe> m_Pipe;
        bool m_Colorless = false; // a file pipe that is not a terminal: Color does nothing
        int m_Fill = 0;
        char m_Buffer[k_BufferSize];
    };

    /// Writes what slot `slot` collected to its sub-pipe.
    void PushDown(int slot);
    void PushDownAll();

    CriticalSection m_Section;
    SlotState m_Slots[2];
    int m_LockDepth = 0; // Lock calls not yet unlocked; changed only under m_Section
};

} // namespace Quorlix
