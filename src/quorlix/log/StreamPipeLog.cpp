#include "quorlix/log/StreamPipeLog.h"

#include "quorlix/stream/StreamPipeFile.h"

#include <cstring>
#include <vector>

namespace Quorlix {

namespace {

constexpr int k_BlockSize = 65536;

} // namespace

StreamPipeLog* StreamPipeLog::Create() {
    return NewObject<StreamPipeLog>();
}

void StreamPipeLog::SetStreamPipe(StreamPipe* pipe, int slot) {
    if (slot != SlotFile && slot != SlotConsole)
        return;
    CriticalSectionLock lock(m_Section);
    PushDown(slot);
    Obj<StreamPipe> old = m_Slots[slot].m_Pipe;
    // Lock depth moves to the new sub-pipe, so the matching Unlock calls release what they hold.
    for (int i = 0; i < m_LockDepth; ++i)
        if (pipe != nullptr)
            pipe->Lock();
    m_Slots[slot].m_Pipe = pipe;
    const auto* file = dynamic_cast<const StreamPipeFile*>(pipe);
    m_Slots[slot].m_Colorless = file != nullptr && !file->IsTerminal();
    for (int i = 0; i < m_LockDepth; ++i)
        if (old)
            old->Unlock();
}

StreamPipe* StreamPipeLog::GetStreamPipe(int slot) {
    if (slot != SlotFile && slot != SlotConsole)
        return nullptr;
    CriticalSectionLock lock(m_Section);
    return m_Slots[slot].m_Pipe.Get();
}

int64_t StreamPipeLog::TruncateTail(int64_t maxSize, int slot, const char* marker) {
    if (slot != SlotFile && slot != SlotConsole)
        return 0;
    CriticalSectionLock lock(m_Section);
    PushDown(slot);
    StreamPipe* pipe = m_Slots[slot].m_Pipe.Get();
    if (pipe == nullptr)
        return 0;
    const int64_t size = pipe->Seek(0, SeekEnd);
    if (size <= maxSize || maxSize < 0)
        return size;

    // The kept bytes start after the first line feed of the first block; without one, only
    // the block's last byte stays.
    std::vector<char> buffer(k_BlockSize);
    int64_t readAt = size - maxSize;
    pipe->Seek(readAt, SeekBegin);
    const int first = ReadFully(*pipe, buffer.data(), k_BlockSize);
    if (first < 1) {
        pipe->Seek(0, SeekBegin);
        pipe->Truncate();
        return 0;
    }
    const void* feed = std::memchr(buffer.data(), '\n', static_cast<size_t>(first));
    const int skip =
        feed != nullptr ? int(static_cast<const char*>(feed) - buffer.data()) + 1 : first - 1;
    const int64_t keptFrom = readAt + skip;
    const int64_t markerSize = marker != nullptr ? static_cast<int64_t>(std::strlen(marker)) : 0;
    int64_t end = markerSize + (size - keptFrom);

    if (markerSize > keptFrom) {
        // The marker is longer than what goes away: the kept bytes move towards the end, so
        // they are copied last block first, before anything lands on them.
        const int64_t shift = markerSize - keptFrom;
        // Grown first, so every later seek lands inside the data (pipes other than files
        // refuse positions past their end).
        pipe->Seek(size, SeekBegin);
        if (WriteFully(*pipe, marker, shift) != shift) {
            pipe->Seek(size, SeekBegin);
            pipe->Truncate();
            return size;
        }
        for (int64_t blockEnd = size; blockEnd > keptFrom;) {
            const int64_t blockStart =
                blockEnd - keptFrom > k_BlockSize ? blockEnd - k_BlockSize : keptFrom;
            const int n = static_cast<int>(blockEnd - blockStart);
            pipe->Seek(blockStart, SeekBegin);
            if (ReadFully(*pipe, buffer.data(), n) != n) {
                end = 0; // the data did not read back: nothing trustworthy is left
                break;
            }
            pipe->Seek(blockStart + shift, SeekBegin);
            WriteFully(*pipe, buffer.data(), n);
            blockEnd = blockStart;
        }
        if (end != 0) {
            pipe->Seek(0, SeekBegin);
            WriteFully(*pipe, marker, markerSize);
        }
    } else {
        // The write position never passes the read position: copy forwards, block by block.
        pipe->Seek(0, SeekBegin);
        int64_t writeAt = WriteFully(*pipe, marker, markerSize);
        writeAt += WriteFully(*pipe, buffer.data() + skip, first - skip);
        readAt += first;
        int64_t budget = maxSize - first;
        while (budget >= 0) {
            pipe->Seek(readAt, SeekBegin);
            const int n = ReadFully(*pipe, buffer.data(), k_BlockSize);
            if (n < 1)
                break;
            pipe->Seek(writeAt, SeekBegin);
            writeAt += WriteFully(*pipe, buffer.data(), n);
            readAt += n;
            budget -= n;
        }
        end = writeAt;
    }
    pipe->Seek(end, SeekBegin);
    pipe->Truncate();
    return end;
}

StreamPipeLog::~StreamPipeLog() {
    PushDownAll();
}

void StreamPipeLog::PushDown(int slot) {
    SlotState& target = m_Slots[slot];
    if (target.m_Fill > 0 && target.m_Pipe)
        WriteFully(*target.m_Pipe, target.m_Buffer, target.m_Fill);
    target.m_Fill = 0;
}

void StreamPipeLog::PushDownAll() {
    PushDown(SlotConsole);
    PushDown(SlotFile);
}

void StreamPipeLog::Lock() {
    m_Section.Enter();
    ++m_LockDepth;
    if (m_Slots[SlotConsole].m_Pipe)
        m_Slots[SlotConsole].m_Pipe->Lock();
    if (m_Slots[SlotFile].m_Pipe)
        m_Slots[SlotFile].m_Pipe->Lock();
}

void StreamPipeLog::Unlock() {
    if (m_LockDepth == 1)
        PushDownAll();
    if (m_Slots[SlotConsole].m_Pipe)
        m_Slots[SlotConsole].m_Pipe->Unlock();
    if (m_Slots[SlotFile].m_Pipe)
        m_Slots[SlotFile].m_Pipe->Unlock();
    --m_LockDepth;
    m_Section.Leave();
}

int StreamPipeLog::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    return m_Slots[SlotFile].m_Pipe ? m_Slots[SlotFile].m_Pipe->Read(buffer, n) : 0;
}

int StreamPipeLog::Read() {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    return m_Slots[SlotFile].m_Pipe ? m_Slots[SlotFile].m_Pipe->Read() : -1;
}

int StreamPipeLog::Peek() {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    return m_Slots[SlotFile].m_Pipe ? m_Slots[SlotFile].m_Pipe->Peek() : -1;
}

int StreamPipeLog::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    return m_Slots[SlotFile].m_Pipe ? m_Slots[SlotFile].m_Pipe->PeekAt(offset) : -2;
}

int StreamPipeLog::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    return m_Slots[SlotFile].m_Pipe ? m_Slots[SlotFile].m_Pipe->Skip(n) : 0;
}

int StreamPipeLog::Write(const void* data, int n) {
    CriticalSectionLock lock(m_Section);
    const bool collect = m_LockDepth > 0 && data != nullptr && n > 0 && n < k_BufferSize;
    int result = 0;
    for (int slot : {SlotConsole, SlotFile}) {
        SlotState& target = m_Slots[slot];
        if (!target.m_Pipe)
            continue;
        if (!collect || target.m_Fill + n > k_BufferSize)
            PushDown(slot);
        if (collect) {
            std::memcpy(target.m_Buffer + target.m_Fill, data, static_cast<size_t>(n));
            target.m_Fill += n;
            result = n;
        } else {
            result = target.m_Pipe->Write(data, n);
        }
    }
    return result;
}

bool StreamPipeLog::Truncate() {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    bool result = false;
    for (int slot : {SlotConsole, SlotFile})
        if (m_Slots[slot].m_Pipe)
            result = m_Slots[slot].m_Pipe->Truncate();
    return result;
}

void StreamPipeLog::Flush() {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    for (int slot : {SlotConsole, SlotFile})
        if (m_Slots[slot].m_Pipe)
            m_Slots[slot].m_Pipe->Flush();
}

int64_t StreamPipeLog::Seek(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    int64_t result = 0;
    for (int slot : {SlotConsole, SlotFile})
        if (m_Slots[slot].m_Pipe)
            result = m_Slots[slot].m_Pipe->Seek(offset, origin);
    return result;
}

int64_t StreamPipeLog::SeekCompressed(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    int64_t result = 0;
    for (int slot : {SlotConsole, SlotFile})
        if (m_Slots[slot].m_Pipe)
            result = m_Slots[slot].m_Pipe->SeekCompressed(offset, origin);
    return result;
}

void StreamPipeLog::GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    created = accessed = written = 0;
    for (int slot : {SlotConsole, SlotFile})
        if (m_Slots[slot].m_Pipe)
            m_Slots[slot].m_Pipe->GetFileTime(created, accessed, written);
}

bool StreamPipeLog::SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    bool result = false;
    for (int slot : {SlotConsole, SlotFile})
        if (m_Slots[slot].m_Pipe)
            result = m_Slots[slot].m_Pipe->SetFileTime(created, accessed, written);
    return result;
}

void StreamPipeLog::Color(int foreground, int background) {
    CriticalSectionLock lock(m_Section);
    for (int slot : {SlotConsole, SlotFile}) {
        SlotState& target = m_Slots[slot];
        if (!target.m_Pipe || target.m_Colorless)
            continue;
        PushDown(slot);
        target.m_Pipe->Color(foreground, background);
    }
}

void StreamPipeLog::Clear() {
    CriticalSectionLock lock(m_Section);
    PushDownAll();
    for (int slot : {SlotConsole, SlotFile})
        if (m_Slots[slot].m_Pipe)
            m_Slots[slot].m_Pipe->Clear();
}

} // namespace Quorlix
