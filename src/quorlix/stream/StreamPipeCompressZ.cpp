#include "quorlix/stream/StreamPipeCompressZ.h"

#include "quorlix/platform/Memory.h"
#include "quorlix/platform/OutOfMemory.h"
#include "quorlix/stream/ReportStream.h"

#include <zlib.h>

#include <cstring>

namespace Quorlix {

namespace {

enum : int {
    FlagHeaderCrc = 2,
    FlagExtra = 4,
    FlagName = 8,
    FlagComment = 16,
    FlagReserved = 0xE0
};

void WarnRandomSeek(const char* function) {
    Xreport.pLockWarn() << "StreamPipeCompressZ::" << function
                        << ": random seek within compressed file not supported.";
    Xreport.pLF();
    Xreport.pUnlockMessage();
}

} // namespace

StreamPipeCompressZ* StreamPipeCompressZ::Create(StreamPipe* inner) {
    return NewObject<StreamPipeCompressZ>(inner);
}

StreamPipeCompressZ::StreamPipeCompressZ(StreamPipe* inner) : StreamPipeFilter(inner) {
    m_Input = static_cast<unsigned char*>(Platform::AllocatePages(k_InputSize));
    m_Stream = static_cast<z_stream*>(Platform::HeapAllocate(sizeof(z_stream)));
    if (m_Input == nullptr || m_Stream == nullptr)
        Platform::ReportOutOfMemory();
    std::memset(m_Stream, 0, sizeof(z_stream));
    const int status = inflateInit2(m_Stream, -MAX_WBITS);
    if (status == Z_MEM_ERROR)
        Platform::ReportOutOfMemory();
    if (status != Z_OK) {
        m_Status = StatusDamaged;
        return;
    }
    Restart();
}

StreamPipeCompressZ::~StreamPipeCompressZ() {
    inflateEnd(m_Stream);
    Platform::HeapFree(m_Stream);
    Platform::FreePages(m_Input, k_InputSize);
}

void StreamPipeCompressZ::Restart() {
    DropBuffered();
    m_InputPosition = m_InputFill = 0;
    m_InputEnded = false;
    m_Transparent = false;
    m_Status = StatusDecoding;
    ReadHeader(true);
}

bool StreamPipeCompressZ::HaveInput(int count) {
    if (m_InputFill - m_InputPosition >= count)
        return true;
    std::memmove(m_Input, m_Input + m_InputPosition,
                 static_cast<size_t>(m_InputFill - m_InputPosition));
    m_InputFill -= m_InputPosition;
    m_InputPosition = 0;
    while (m_InputFill < count && !m_InputEnded) {
        const int got = m_Inner->Read(m_Input + m_InputFill, k_InputSize - m_InputFill);
        if (got <= 0)
            m_InputEnded = true;
        else
            m_InputFill += got;
    }
    return m_InputFill >= count;
}

int StreamPipeCompressZ::NextByte() {
    return HaveInput(1) ? m_Input[m_InputPosition++] : -1;
}

bool StreamPipeCompressZ::SkipInput(int64_t count) {
    while (count > 0) {
        if (!HaveInput(1))
            return false;
        const int available = m_InputFill - m_InputPosition;
        const int take = count < available ? static_cast<int>(count) : available;
        m_InputPosition += take;
        count -= take;
    }
    return true;
}

void StreamPipeCompressZ::ReadHeader(bool first) {
    if (!HaveInput(2) || m_Input[m_InputPosition] != 0x1F || m_Input[m_InputPosition + 1] != 0x8B) {
        // Not gzip at all: pass it through. After a member it is padding (a cipher
        // pipe below rounds to whole blocks with zeros) or trailing garbage, never
        // data.
        if (first)
            m_Transparent = true;
        else
            m_Status = StatusEnded;
        return;
    }
    m_InputPosition += 2;
    const int method = NextByte();
    const int flags = NextByte();
    bool good = method == Z_DEFLATED && flags >= 0 && (flags & FlagReserved) == 0 &&
                SkipInput(6); // time, extra flags, operating system
    if (good && (flags & FlagExtra) != 0) {
        const int low = NextByte();
        const int high = NextByte();
        good = high >= 0 && SkipInput(low | high << 8);
    }
    for (int text : {FlagName, FlagComment}) {
        if (good && (flags & text) != 0) {
            int c;
            while ((c = NextByte()) > 0) {
            }
            good = c == 0;
        }
    }
    if (good && (flags & FlagHeaderCrc) != 0)
        good = SkipInput(2);
    if (!good || inflateReset(m_Stream) != Z_OK) {
        m_Status = StatusDamaged;
        return;
    }
    m_Crc = 0; // the CRC-32 of nothing
    m_MemberSize = 0;
    m_Status = StatusDecoding;
}

bool StreamPipeCompressZ::EndMember() {
    unsigned char trailer[8];
    for (unsigned char& byte : trailer) {
        const int c = NextByte();
        if (c < 0) {
            m_Status = StatusDamaged;
            return false;
        }
        byte = static_cast<unsigned char>(c);
    }
    const auto word = [&](int at) {
        return uint32_t{trailer[at]} | uint32_t{trailer[at + 1]} << 8 |
               uint32_t{trailer[at + 2]} << 16 | uint32_t{trailer[at + 3]} << 24;
    };
    if (word(0) != m_Crc || word(4) != m_MemberSize) {
        m_Status = StatusDamaged;
        return false;
    }
    ReadHeader(false);
    return m_Status == StatusDecoding;
}

int StreamPipeCompressZ::Decode(unsigned char* out, int n) {
    if (n <= 0)
        return 0;
    if (m_Transparent) {
        const int buffered = m_InputFill - m_InputPosition;
        int count = n < buffered ? n : buffered;
        std::memcpy(out, m_Input + m_InputPosition, static_cast<size_t>(count));
        m_InputPosition += count;
        if (count < n && !m_InputEnded) {
            const int got = m_Inner->Read(out + count, n - count);
            if (got > 0)
                count += got;
            else
                m_InputEnded = true;
        }
        return count;
    }
    int produced = 0;
    while (produced < n && m_Status == StatusDecoding) {
        if (m_InputPosition == m_InputFill)
            HaveInput(1);
        const int available = m_InputFill - m_InputPosition;
        const int wanted = n - produced;
        m_Stream->next_in = m_Input + m_InputPosition;
        m_Stream->avail_in = static_cast<uInt>(available);
        m_Stream->next_out = out + produced;
        m_Stream->avail_out = static_cast<uInt>(wanted);
        const int status = inflate(m_Stream, Z_NO_FLUSH);
        m_InputPosition += available - static_cast<int>(m_Stream->avail_in);
        const int got = wanted - static_cast<int>(m_Stream->avail_out);
        // Every byte produced counts, whichever call produced it.
        m_Crc = static_cast<uint32_t>(crc32(m_Crc, out + produced, static_cast<uInt>(got)));
        m_MemberSize += static_cast<uint32_t>(got);
        produced += got;
        if (status == Z_STREAM_END)
            EndMember();
        else if (status != Z_OK)
            m_Status = StatusDamaged; // corrupt data, or the input ended inside the member
    }
    return produced;
}

int64_t StreamPipeCompressZ::Seek(int64_t offset, int origin) {
    if (offset != 0 || origin != SeekBegin) {
        WarnRandomSeek("Seek");
        return -1;
    }
    return SeekCompressed(0, SeekBegin);
}

int64_t StreamPipeCompressZ::SeekCompressed(int64_t offset, int origin) {
    if (offset != 0) {
        WarnRandomSeek("SeekCompressed");
        return -1;
    }
    if (origin == SeekCurrent)
        return m_Inner->Seek(0, SeekCurrent);
    if (origin != SeekBegin && origin != SeekEnd)
        return -1;
    m_Inner->Flush();
    const int64_t position = m_Inner->Seek(0, origin);
    if (origin == SeekBegin && position >= 0) {
        Restart();
    } else {
        // At the end, or wherever a failed seek left the inner pipe: nothing to
        // decode.
        DropBuffered();
        m_InputPosition = m_InputFill = 0;
        m_InputEnded = true;
        m_Transparent = false;
        m_Status = StatusEnded;
    }
    return position;
}

} // namespace Quorlix
