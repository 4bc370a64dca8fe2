#include "quorlix/stream/internal/ArchiveMemberPipe.h"

#include "quorlix/core/Obj.h"

#include <cstring>

namespace Quorlix::Internal {

ArchiveFileHandles* ArchiveFileHandles::Create(const std::string& path) {
    return NewObject<ArchiveFileHandles>(path);
}

ArchiveFileHandles::ArchiveFileHandles(const std::string& path) : m_Path(path) {}

ArchiveFileHandles::~ArchiveFileHandles() {
    Close();
}

Platform::FileHandle ArchiveFileHandles::Take() {
    {
        CriticalSectionLock lock(m_Section);
        if (m_KeptCount > 0)
            return m_Kept[--m_KeptCount];
    }
    return Platform::OpenFile(m_Path.c_str(), Platform::FileAccessRead,
                              Platform::FileDisposition::OpenExisting);
}

void ArchiveFileHandles::Give(Platform::FileHandle file) {
    if (file == Platform::FileHandle::Invalid)
        return;
    {
        CriticalSectionLock lock(m_Section);
        if (!m_Closed && m_KeptCount < k_Kept) {
            m_Kept[m_KeptCount++] = file;
            return;
        }
    }
    Platform::CloseFile(file);
}

void ArchiveFileHandles::Close() {
    CriticalSectionLock lock(m_Section);
    m_Closed = true;
    while (m_KeptCount > 0)
        Platform::CloseFile(m_Kept[--m_KeptCount]);
}

ArchiveMemberPipe* ArchiveMemberPipe::Create(ArchiveFileHandles* handles, Platform::FileHandle file,
                                             int64_t start, int64_t length) {
    return NewObject<ArchiveMemberPipe>(handles, file, start, length);
}

ArchiveMemberPipe::ArchiveMemberPipe(ArchiveFileHandles* handles, Platform::FileHandle file,
                                     int64_t start, int64_t length)
    : BufferedReader(m_Buffer), m_Handles(handles), m_File(file), m_Start(start > 0 ? start : 0),
      m_Length(length > 0 ? length : 0) {
    // start + length must stay a valid file position.
    if (m_Length > INT64_MAX - m_Start)
        m_Length = INT64_MAX - m_Start;
}

ArchiveMemberPipe::~ArchiveMemberPipe() {
    if (m_Handles)
        m_Handles->Give(m_File);
    else
        Platform::CloseFile(m_File);
}

int ArchiveMemberPipe::FillBuffer(unsigned char* data, int size) {
    const int64_t left = LeftInFile();
    const size_t want = left < size ? static_cast<size_t>(left) : static_cast<size_t>(size);
    if (want == 0)
        return 0;
    const int64_t count = Platform::ReadFile(m_File, data, want);
    if (count <= 0)
        return 0;
    m_FileRead += count;
    return static_cast<int>(count);
}

int ArchiveMemberPipe::ReadAndRefill(unsigned char* data, int size) {
    // One call serves the rest and refills the buffer with what follows in the range.
    const int64_t left = LeftInFile();
    const int rest = size < left ? size : static_cast<int>(left);
    SetBuffered(0);
    if (rest <= 0)
        return 0;
    const int64_t after = left - rest;
    int64_t count = Platform::ReadFileScatter(
        m_File, data, static_cast<size_t>(rest), GetBuffer(),
        after < k_BufferSize ? static_cast<size_t>(after) : static_cast<size_t>(k_BufferSize));
    if (count <= 0)
        return 0;
    m_FileRead += count;
    if (count > rest) {
        SetBuffered(static_cast<int>(count - rest));
        count = rest;
    }
    return static_cast<int>(count);
}

int ArchiveMemberPipe::Read(void* buffer, int n) {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Read(buffer, n);
}

int ArchiveMemberPipe::Read() {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Read();
}

int ArchiveMemberPipe::Peek() {
    CriticalSectionLock lock(m_Section);
    return BufferedReader::Peek();
}

int ArchiveMemberPipe::PeekAt(int offset) {
    CriticalSectionLock lock(m_Section);
    if (offset < 0 || offset >= m_Length - Position())
        return -1;
    return BufferedReader::PeekAt(offset);
}

int ArchiveMemberPipe::Skip(int n) {
    CriticalSectionLock lock(m_Section);
    if (n <= 0)
        return 0;
    // What is buffered is consumed; the rest is passed over in the file without reading it.
    const int buffered = GetBuffered();
    const int taken = BufferedReader::Skip(n < buffered ? n : buffered);
    const int64_t left = LeftInFile();
    const int rest = n - taken < left ? n - taken : static_cast<int>(left);
    if (rest <= 0 || Platform::SeekFile(m_File, rest, SeekCurrent) < 0)
        return taken;
    m_FileRead += rest;
    return taken + rest;
}

int64_t ArchiveMemberPipe::Seek(int64_t offset, int origin) {
    CriticalSectionLock lock(m_Section);
    const int64_t position = Position();
    const int64_t target = ClampedSeekTarget(offset, origin, position, m_Length);
    if (target < 0)
        return -1;
    // Within the buffer nothing needs to move.
    if (target >= position && target - position <= GetBuffered()) {
        BufferedReader::Skip(static_cast<int>(target - position));
        return target;
    }
    if (Platform::SeekFile(m_File, m_Start + target, SeekBegin) != m_Start + target) {
        Platform::SeekFile(m_File, m_Start + m_FileRead, SeekBegin);
        return -1;
    }
    DropBuffered();
    m_FileRead = target;
    return target;
}

void ArchiveMemberPipe::GetFileTime(uint64_t& created, uint64_t& accessed, uint64_t& written) {
    CriticalSectionLock lock(m_Section);
    created = m_Times[0];
    accessed = m_Times[1];
    written = m_Times[2];
}

bool ArchiveMemberPipe::SetFileTime(uint64_t created, uint64_t accessed, uint64_t written) {
    CriticalSectionLock lock(m_Section);
    const uint64_t times[3] = {created, accessed, written};
    for (int i = 0; i < 3; ++i)
        if (times[i] != 0)
            m_Times[i] = times[i];
    return false;
}

} // namespace Quorlix::Internal
