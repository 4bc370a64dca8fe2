#include "quorlix/stream/Archive.h"

#include "quorlix/core/Endian.h"
#include "quorlix/core/MD5.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/ReportStream.h"
#include "quorlix/stream/StreamPipeCipherTEA.h"
#include "quorlix/stream/internal/ArchiveFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Quorlix {

using namespace Internal;

namespace {

// A new archive file, written in order through a 1 MiB buffer (large writes also leave the page
// cache holding the file in large pieces, which later reads profit from), with the digest of a
// chunk patched in afterwards.
class ArchiveWriter {
public:
    ArchiveWriter() : m_Buffer(k_WriteBuffer) {}
    ~ArchiveWriter() {
        if (m_File != Platform::FileHandle::Invalid)
            Platform::CloseFile(m_File);
        if (!m_Path.empty())
            Platform::DeleteFile(m_Path.c_str());
    }

    bool Create(const std::string& archivePath) {
        const size_t slash = archivePath.rfind('/');
        const std::string folder = slash == std::string::npos ? "." : archivePath.substr(0, slash);
        const std::string name =
            slash == std::string::npos ? archivePath : archivePath.substr(slash + 1);
        m_File = Platform::CreateTemporaryFile(folder.c_str(), ("~$" + name + ".").c_str(), m_Path);
        return m_File != Platform::FileHandle::Invalid;
    }

    bool Write(const void* data, size_t n) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        while (n > 0 && m_Good) {
            const size_t part = std::min(n, m_Buffer.size() - m_Fill);
            std::memcpy(m_Buffer.data() + m_Fill, bytes, part);
            m_Fill += part;
            bytes += part;
            n -= part;
            if (m_Fill == m_Buffer.size())
                FlushBuffer();
        }
        return m_Good;
    }

    bool WriteZeros(uint64_t n) {
        static const unsigned char zeros[64] = {};
        while (n > 0 && m_Good) {
            const size_t part = n < sizeof zeros ? static_cast<size_t>(n) : sizeof zeros;
            Write(zeros, part);
            n -= part;
        }
        return m_Good;
    }

    // Rewrites `n` bytes at `position`: in the buffer while they are still there, else in the
    // file, coming back to its end.
    bool Patch(uint64_t position, const void* data, size_t n) {
        if (!m_Good)
            return false;
        if (position >= m_Written) {
            std::memcpy(m_Buffer.data() + (position - m_Written), data, n);
            return true;
        }
        if (Platform::SeekFile(m_File, static_cast<int64_t>(position), SeekBegin) < 0 ||
            !WriteAll(data, n) ||
            Platform::SeekFile(m_File, static_cast<int64_t>(m_Written), SeekBegin) < 0)
            m_Good = false;
        return m_Good;
    }

    // Syncs the new file and puts it in place of the archive.
    bool Commit(const std::string& archivePath) {
        FlushBuffer();
        Platform::SetPermissionsLike(m_File, archivePath.c_str());
        if (!m_Good || !Platform::SyncFile(m_File))
            return false;
        Platform::CloseFile(m_File);
        m_File = Platform::FileHandle::Invalid;
        if (!Platform::ReplaceFile(m_Path.c_str(), archivePath.c_str()))
            return false;
        m_Path.clear();
        return true;
    }

    uint64_t Position() const { return m_Written + m_Fill; }
    bool Good() const { return m_Good; }

private:
    static constexpr size_t k_WriteBuffer = 1 << 20;

    bool WriteAll(const void* data, size_t n) {
        return Platform::WriteFileFully(m_File, data, n) == static_cast<int64_t>(n);
    }

    void FlushBuffer() {
        if (m_Good && m_Fill > 0 && !WriteAll(m_Buffer.data(), m_Fill))
            m_Good = false;
        m_Written += m_Fill;
        m_Fill = 0;
    }

    Platform::FileHandle m_File = Platform::FileHandle::Invalid;
    std::string m_Path;
    Bytes m_Buffer;
    size_t m_Fill = 0;
    uint64_t m_Written = 0; // bytes that reached the file
    bool m_Good = true;
};

void LogSizeChanged() {
    Xreport.pLockWarn() << "file size changed during archive update?";
    Xreport.pLF();
    Xreport.pUnlockMessage();
}

void LogWriteFailure(const std::string& path, const char* what) {
    Xreport.pLockError() << "Archive::Close: " << what << " ";
    Xreport.pQuotedC(path.c_str(), static_cast<int>(path.size()), '"') << ".";
    Xreport.pLF();
    Xreport.pUnlockMessage();
}

// Gives every file its chunk offset, in the order the chunks are written: pre-order over the
// directories, files in record order.
void AssignOffsets(DirEntry& dir, uint64_t& offset) {
    for (FileEntry& file : dir.m_Files) {
        file.m_ChunkOffset = offset;
        offset += k_LongHead + RoundUp(file.m_StoredLength, 32);
    }
    for (auto& child : dir.m_Dirs)
        AssignOffsets(*child, offset);
}

void AppendDirectory(const DirEntry& dir, Bytes& out) {
    const size_t files = dir.m_Files.size();
    const size_t dirs = dir.m_Dirs.size();
    Bytes pool;
    std::vector<uint32_t> fileNames(files), dirNames(dirs);
    for (size_t i = 0; i < files; ++i) {
        fileNames[i] = static_cast<uint32_t>(pool.size());
        pool.insert(pool.end(), dir.m_Files[i].m_Name.begin(), dir.m_Files[i].m_Name.end());
        pool.push_back(0);
    }
    for (size_t i = 0; i < dirs; ++i) {
        dirNames[i] = static_cast<uint32_t>(pool.size());
        pool.insert(pool.end(), dir.m_Dirs[i]->m_Name.begin(), dir.m_Dirs[i]->m_Name.end());
        pool.push_back(0);
    }
    const size_t bodySize = 68 * files + 12 * dirs + pool.size();
    const size_t start = out.size();
    out.resize(start + k_LongHead + RoundUp(bodySize, 32), 0);
    unsigned char* p = out.data() + start;
    PutMagic(p, "SDIR");
    StoreLE64(p + 16, dir.m_Time);
    StoreLE32(p + 32, static_cast<uint32_t>(dirs));
    StoreLE32(p + 36, static_cast<uint32_t>(files));
    StoreLE32(p + 40, static_cast<uint32_t>(pool.size()));
    p += k_LongHead;
    for (size_t i = 0; i < files; ++i, p += 64) {
        const FileEntry& file = dir.m_Files[i];
        StoreLE32(p, fileNames[i]);
        StoreLE64(p + 16, file.m_First);
        StoreLE64(p + 24, file.m_Second);
        StoreLE64(p + 48, file.m_StoredLength);
        StoreLE64(p + 56, file.m_ChunkOffset);
    }
    for (size_t i = 0; i < dirs; ++i, p += 8)
        StoreLE32(p, dirNames[i]);
    for (size_t i = 0; i < files; ++i, p += 4)
        StoreLE32(p, dir.m_Files[i].m_Hash);
    for (size_t i = 0; i < dirs; ++i, p += 4)
        StoreLE32(p, dir.m_Dirs[i]->m_Hash);
    if (!pool.empty())
        std::memcpy(p, pool.data(), pool.size());
    for (const auto& child : dir.m_Dirs)
        AppendDirectory(*child, out);
}

// Fills `size` bytes from `file`, zero-filling what it no longer has. False when the file
// delivered fewer bytes, or had more than `size`.
// Bytes held in memory (a compressed member) are read from there instead.
class SourceReader {
public:
    SourceReader(const std::string& path, uint64_t size) : m_Left(size) {
        m_File = Platform::OpenFile(path.c_str(), Platform::FileAccessRead,
                                    Platform::FileDisposition::OpenExisting);
        m_Exact = m_File != Platform::FileHandle::Invalid;
    }
    explicit SourceReader(const Bytes& held)
        : m_File(Platform::FileHandle::Invalid), m_Left(held.size()), m_Held(held.data()),
          m_Exact(true) {}
    ~SourceReader() {
        if (m_File != Platform::FileHandle::Invalid)
            Platform::CloseFile(m_File);
    }
    // The next piece of at most `n` bytes; 0 at the recorded end.
    size_t Next(unsigned char* buffer, size_t n) {
        if (m_Left < n)
            n = static_cast<size_t>(m_Left);
        if (m_Held != nullptr) {
            std::memcpy(buffer, m_Held, n);
            m_Held += n;
            m_Left -= n;
            return n;
        }
        const size_t done = m_File != Platform::FileHandle::Invalid
                                ? static_cast<size_t>(Platform::ReadFileFully(m_File, buffer, n))
                                : 0;
        if (done < n) {
            std::memset(buffer + done, 0, n - done);
            m_Exact = false;
        }
        m_Left -= n;
        if (m_Left == 0 && m_Exact && m_File != Platform::FileHandle::Invalid) {
            unsigned char extra;
            if (Platform::ReadFile(m_File, &extra, 1) != 0)
                m_Exact = false;
        }
        return n;
    }
    bool Exact() const { return m_Exact; }

private:
    Platform::FileHandle m_File;
    uint64_t m_Left;
    const unsigned char* m_Held = nullptr;
    bool m_Exact;
};

} // namespace

namespace {

Result MakeDirFailure(const StringRef& path, const char* why) {
    Xreport.pLockError() << "Archive::MakeDir: ";
    Xreport.pQuotedC(path, '"') << ": " << why << ".";
    Xreport.pLF();
    Xreport.pUnlockMessage();
    return RArchiveFatal;
}

} // namespace

Result Archive::MakeDir(const StringRef& path) {
    if (m_State->m_Open != OpenState::Update)
        return MakeDirFailure(path, "the archive is not open for update");
    if (Result result = ValidateFileName(path))
        return MakeDirFailure(path, result);
    // Existing folders are walked first, so a refused path leaves the tree as it was.
    std::string_view rest(path.GetCPtr(), path.Size());
    DirEntry* dir = &m_State->m_Root;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        DirEntry* child = dir->FindDir(name);
        if (child == nullptr) {
            if (dir->FindFile(name) != nullptr)
                return MakeDirFailure(path, "a file of that name is in the way");
            break;
        }
        dir = child;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        auto made = std::make_unique<DirEntry>();
        made->m_Name = std::string(name);
        made->m_Hash = NameHash(name);
        made->m_Added = true;
        m_State->m_Changed = true;
        DirEntry* child = made.get();
        dir->m_Dirs.push_back(std::move(made));
        dir = child;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    }
    return nullptr;
}

namespace {

// Compresses `source` into the gzip file `target` at level 9. The compressed size, or -1.
int64_t CompressZLib(const std::string& source, const std::string& target) {
    gzFile out = gzopen(target.c_str(), "wb9");
    if (out == nullptr) {
        Xreport.pLockError() << "CompressZLib: " << zError(Z_ERRNO);
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return -1;
    }
    Platform::FileHandle in = Platform::OpenFile(source.c_str(), Platform::FileAccessRead,
                                                 Platform::FileDisposition::OpenExisting);
    std::vector<unsigned char> buffer(k_CopyBlock);
    bool good = in != Platform::FileHandle::Invalid;
    while (good) {
        const int64_t got = Platform::ReadFile(in, buffer.data(), buffer.size());
        if (got <= 0) {
            good = got == 0;
            break;
        }
        if (gzwrite(out, buffer.data(), static_cast<unsigned>(got)) != got) {
            int error = 0;
            Xreport.pLockError() << "CompressZLib: " << gzerror(out, &error);
            Xreport.pLF();
            Xreport.pUnlockMessage();
            good = false;
        }
    }
    if (in != Platform::FileHandle::Invalid)
        Platform::CloseFile(in);
    if (gzclose(out) != Z_OK) {
        Xreport.pLockError() << "CompressZLib: failed gzclose";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        good = false;
    }
    Platform::PathInfo info;
    return good && Platform::GetPathInfo(target.c_str(), info) ? info.m_Size : -1;
}

// Members up to this size are compressed in memory and held there until Close, as long as all
// held members stay below the second limit; others go through a temporary file. A temporary
// file per member costs more system time than compressing a typical small member.
constexpr uint64_t k_MemoryMemberLimit = 64u << 20;
constexpr uint64_t k_MemoryHeldLimit = 256u << 20;

void LogZLibFailure(const z_stream& z, int status) {
    Xreport.pLockError() << "CompressZLib: " << (z.msg != nullptr ? z.msg : zError(status));
    Xreport.pLF();
    Xreport.pUnlockMessage();
}

// Reads the whole file at `path` into `out`: 1 when done, 0 when it holds more than `limit`
// bytes after all, -1 when it cannot be read.
int ReadWholeFile(const std::string& path, uint64_t expected, uint64_t limit, Bytes& out) {
    const Platform::FileHandle in = Platform::OpenFile(path.c_str(), Platform::FileAccessRead,
                                                       Platform::FileDisposition::OpenExisting);
    if (in == Platform::FileHandle::Invalid)
        return -1;
    // One byte more than expected, so that the end is seen in the same call.
    out.resize(static_cast<size_t>(std::min(expected, limit) + 1));
    size_t fill = 0;
    int outcome = 1;
    for (;;) {
        const int64_t got = Platform::ReadFile(in, out.data() + fill, out.size() - fill);
        if (got <= 0) {
            outcome = got == 0 ? 1 : -1;
            break;
        }
        fill += static_cast<size_t>(got);
        if (fill == out.size()) {
            if (fill > limit) {
                outcome = 0;
                break;
            }
            out.resize(static_cast<size_t>(std::min<uint64_t>(2 * out.size(), limit + 1)));
        }
    }
    Platform::CloseFile(in);
    out.resize(fill);
    return outcome;
}

// The same gzip stream the gzip file interface writes at level 9 (its header included), made
// from `in` in memory. False after logging a zlib failure.
bool CompressZLibInMemory(const Bytes& in, Bytes& out) {
    z_stream z{};
    int status = deflateInit2(&z, 9, Z_DEFLATED, MAX_WBITS + 16, 8, Z_DEFAULT_STRATEGY);
    if (status != Z_OK) {
        LogZLibFailure(z, status);
        return false;
    }
    out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
    z.next_in = const_cast<unsigned char*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    status = deflate(&z, Z_FINISH);
    const bool good = status == Z_STREAM_END;
    if (!good)
        LogZLibFailure(z, status);
    out.resize(z.total_out);
    out.shrink_to_fit(); // held until Close: the bound is about the source's size
    deflateEnd(&z);
    return good;
}

// Writes held bytes to a new temporary file; its name, or "" when that failed.
std::string SpillToTemporary(const Bytes& bytes) {
    std::string path;
    const Platform::FileHandle file = Platform::CreateTemporaryFile("", "~$", path);
    if (file == Platform::FileHandle::Invalid)
        return std::string();
    const bool good = Platform::WriteFileFully(file, bytes.data(), bytes.size()) ==
                      static_cast<int64_t>(bytes.size());
    Platform::CloseFile(file);
    if (!good) {
        Platform::DeleteFile(path.c_str());
        return std::string();
    }
    return path;
}

void DeleteTemporary(const std::string& path) {
    if (!path.empty() && !Platform::DeleteFile(path.c_str())) {
        Xreport.pLockError() << "could not delete temporary compressed file.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
}

void DeleteTemporaries(DirEntry& dir) {
    for (FileEntry& file : dir.m_Files) {
        if (file.m_Added)
            DeleteTemporary(file.m_Temporary);
        file.m_Temporary.clear();
    }
    for (auto& child : dir.m_Dirs)
        DeleteTemporaries(*child);
}

} // namespace

Result Archive::AddFile(const StringRef& path, const StringRef& sourceFile,
                        const StringRef& tempFile, VirtualFileSystem*) {
    if (m_State->m_Open != OpenState::Update)
        return RArchiveNotOpen;
    if (Result result = ValidateFileName(path))
        return result;
    String dirName, fileName;
    (void)SplitPathName(path, dirName, fileName); // the name is valid, so it splits
    if (fileName.Size() == 0)
        return RArchiveIllegalPathEmpty;
    DirEntry* dir = const_cast<DirEntry*>(LookupDirectory(*m_State, ToStd(dirName)));
    if (dir == nullptr)
        return RArchiveFileNotFound;
    const std::string name = ToStd(fileName);
    if (dir->FindFile(name) != nullptr)
        return RArchiveFileExists;
    FileEntry entry;
    entry.m_Name = name;
    entry.m_Hash = NameHash(name);
    entry.m_Added = true;
    entry.m_Source = ToStd(sourceFile);
    Platform::PathInfo info;
    if (!Platform::GetPathInfo(entry.m_Source.c_str(), info) || info.m_Directory) {
        Xreport.pLockError() << "Archive::AddFile: cannot read ";
        Xreport.pQuotedC(sourceFile, '"') << ".";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return RArchiveFileNotFound;
    }
    entry.m_SourceLength = static_cast<uint64_t>(info.m_Size);
    if (m_State->m_StoreMode == StoreModeCompress && entry.m_SourceLength > 32) {
        // The compressed form is kept until Close: in memory for members of up to 64 MiB while
        // the held ones stay below 256 MiB, else in a temporary file (the given one, or a fresh
        // one, so that the source tree never receives stray files).
        std::string temporary = ToStd(tempFile);
        int64_t compressed = -1;
        Bytes held;
        if (temporary.empty() && entry.m_SourceLength <= k_MemoryMemberLimit) {
            Bytes plain;
            const int read =
                ReadWholeFile(entry.m_Source, entry.m_SourceLength, k_MemoryMemberLimit, plain);
            if (read < 0)
                return RArchiveFatal;
            if (read > 0) {
                if (!CompressZLibInMemory(plain, held))
                    return RArchiveFatal;
                compressed = static_cast<int64_t>(held.size());
            }
        }
        if (compressed < 0) {
            if (temporary.empty()) {
                Platform::FileHandle handle = Platform::CreateTemporaryFile("", "~$", temporary);
                if (handle == Platform::FileHandle::Invalid)
                    return RArchiveFatal;
                Platform::CloseFile(handle);
            }
            compressed = CompressZLib(entry.m_Source, temporary);
            if (compressed < 0) {
                DeleteTemporary(temporary);
                return RArchiveFatal;
            }
        }
        const bool store = static_cast<uint64_t>(compressed) + 31 >= entry.m_SourceLength;
        Xreport.pLockInfo() << "Compressing: ";
        Xreport.pQuotedC(path, '"')
            << "... " << static_cast<uint64_t>(compressed) * 100 / entry.m_SourceLength
            << (store ? "% -> store 100%" : "%");
        Xreport.pLF();
        Xreport.pUnlockMessage();
        if (store) {
            DeleteTemporary(temporary);
        } else {
            if (!held.empty() && m_State->m_HeldBytes + held.size() > k_MemoryHeldLimit) {
                temporary = SpillToTemporary(held);
                if (temporary.empty())
                    return RArchiveFatal;
                held = Bytes();
            }
            if (!held.empty()) {
                m_State->m_HeldBytes += held.size();
                entry.m_Compressed = std::move(held);
            } else {
                entry.m_Source = temporary;
                entry.m_Temporary = temporary;
            }
            entry.m_SourceLength = static_cast<uint64_t>(compressed);
            entry.m_Flags |= FlagCompressZLib;
        }
    }
    if (m_State->m_CryptMode == CryptModeTEA)
        entry.m_Flags |= FlagCipherTEA;
    entry.m_StoredLength = (entry.m_Flags & FlagCipherTEA) != 0 ? RoundUp(entry.m_SourceLength, 8)
                                                                : entry.m_SourceLength;
    dir->m_Files.push_back(std::move(entry));
    m_State->m_Changed = true;
    return nullptr;
}

namespace {

// Copies an old member's chunk (head, bytes and padding) byte for byte.
bool CopyOldChunk(ArchiveWriter& out, Platform::FileHandle old, const ArchiveState& state,
                  const FileEntry& file, Bytes& buffer) {
    const uint64_t size = k_LongHead + RoundUp(file.m_StoredLength, 32);
    if (file.m_OldChunkOffset > state.m_DataLength ||
        state.m_DataLength - file.m_OldChunkOffset < size)
        return false;
    const int64_t at =
        static_cast<int64_t>(state.m_DataPosition + k_ShortHead + file.m_OldChunkOffset);
    if (Platform::SeekFile(old, at, SeekBegin) != at)
        return false;
    for (uint64_t left = size; left > 0;) {
        const size_t want = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
        if (Platform::ReadFileFully(old, buffer.data(), want) != static_cast<int64_t>(want) ||
            !out.Write(buffer.data(), want))
            return false;
        left -= want;
    }
    return true;
}

// Writes a new member's chunk: its head, its bytes (enciphered when asked) and the padding, then
// the head's digest. False when writing failed; `exact` turns false when the source changed.
bool WriteNewChunk(ArchiveWriter& out, const FileEntry& file, const unsigned key[4], Bytes& buffer,
                   bool& exact) {
    unsigned char head[k_LongHead] = {};
    PutMagic(head, "FILE");
    StoreLE64(head + 8, file.m_StoredLength);
    if ((file.m_Flags & Archive::FlagCipherTEA) != 0)
        StoreLE64(head + 16, file.m_SourceLength);
    StoreLE32(head + 28, file.m_Flags);
    const uint64_t headPosition = out.Position();
    if (!out.Write(head, k_LongHead))
        return false;
    MD5Generator digest;
    digest.Update(head, k_ShortHead);
    SourceReader source = file.m_Compressed.empty()
                              ? SourceReader(file.m_Source, file.m_SourceLength)
                              : SourceReader(file.m_Compressed);
    const bool encipher = (file.m_Flags & Archive::FlagCipherTEA) != 0;
    for (uint64_t left = file.m_StoredLength; left > 0;) {
        size_t n = left < buffer.size() ? static_cast<size_t>(left) : buffer.size();
        size_t got = source.Next(buffer.data(), n);
        if (got < n)
            std::memset(buffer.data() + got, 0, n - got); // the zero padding of the last block
        if (encipher)
            for (size_t i = 0; i + 8 <= n; i += 8) {
                unsigned block[2];
                std::memcpy(block, buffer.data() + i, 8);
                EncipherTEA32(block, block, key);
                std::memcpy(buffer.data() + i, block, 8);
            }
        digest.Update(buffer.data(), static_cast<int64_t>(n));
        if (!out.Write(buffer.data(), n))
            return false;
        left -= n;
    }
    // A zero-length member never reads its source: check it the same way.
    if (file.m_StoredLength == 0)
        source.Next(buffer.data(), 0);
    if (!source.Exact()) {
        LogSizeChanged();
        exact = false;
    }
    if (!out.WriteZeros(RoundUp(file.m_StoredLength, 32) - file.m_StoredLength))
        return false;
    MD5 sum;
    digest.Final(sum);
    return out.Patch(headPosition + 48, sum.m_Bytes, 16);
}

bool WriteChunks(ArchiveWriter& out, Platform::FileHandle old, const ArchiveState& state,
                 const DirEntry& dir, const unsigned key[4], Bytes& buffer, bool& exact) {
    for (const FileEntry& file : dir.m_Files) {
        const bool ok = file.m_Added ? WriteNewChunk(out, file, key, buffer, exact)
                                     : CopyOldChunk(out, old, state, file, buffer);
        if (!ok)
            return false;
    }
    for (const auto& child : dir.m_Dirs)
        if (!WriteChunks(out, old, state, *child, key, buffer, exact))
            return false;
    return true;
}

void StampTimes(DirEntry& dir, uint64_t now) {
    if (dir.m_Added)
        dir.m_Time = now;
    for (FileEntry& file : dir.m_Files)
        if (file.m_Added)
            file.m_First = file.m_Second = now;
    for (auto& child : dir.m_Dirs)
        StampTimes(*child, now);
}

void LogSize(const char* label, uint64_t size) {
    Xreport.pLockInfo() << label << size;
    Xreport.pLF();
    Xreport.pUnlockMessage();
}

Result WriteArchive(ArchiveState& state) {
    const uint64_t now = state.m_WriteTime != 0 ? state.m_WriteTime : Platform::CurrentFileTime();
    StampTimes(state.m_Root, now);
    uint64_t dataLength = 0;
    AssignOffsets(state.m_Root, dataLength);
    Bytes index(k_ShortHead, 0);
    PutMagic(index.data(), "TREE");
    AppendDirectory(state.m_Root, index);
    const uint64_t total = k_ShortHead + k_LongHead + index.size() + k_ShortHead + dataLength;
    LogSize("K3DTOTAL: ", total);
    LogSize("ARCHSIZE: ", k_ShortHead);
    LogSize("INDXSIZE: ", k_LongHead + index.size());
    LogSize("TREESIZE: ", index.size());
    LogSize("DATASIZE: ", k_ShortHead + dataLength);

    unsigned key[4] = {};
    bool needKey = false;
    auto scan = [&](auto& self, const DirEntry& dir) -> void {
        for (const FileEntry& file : dir.m_Files)
            needKey |= file.m_Added && (file.m_Flags & Archive::FlagCipherTEA) != 0;
        for (const auto& child : dir.m_Dirs)
            self(self, *child);
    };
    scan(scan, state.m_Root);
    if (needKey && !ParseKeyText(state.m_Key, key))
        return RArchiveInvalidKey;

    ArchiveWriter out;
    if (!out.Create(state.m_Path)) {
        LogWriteFailure(state.m_Path, "cannot create a temporary file beside");
        return RArchiveFatal;
    }
    unsigned char arch[k_ShortHead] = {};
    PutMagic(arch, "ARCH");
    StoreLE64(arch + 8, total - k_ShortHead);
    StoreLE64(arch + 16, now);
    unsigned char indx[k_LongHead] = {};
    PutMagic(indx, "INDX");
    StoreLE64(indx + 8, index.size());
    MD5Generator digest;
    digest.Update(indx, k_ShortHead);
    digest.Update(index.data(), static_cast<int64_t>(index.size()));
    MD5 sum;
    digest.Final(sum);
    std::memcpy(indx + 32, sum.m_Bytes, 16);
    std::memcpy(indx + 48, sum.m_Bytes, 16);
    unsigned char data[k_ShortHead] = {};
    PutMagic(data, "DATA");
    StoreLE64(data + 8, dataLength);
    out.Write(arch, k_ShortHead);
    out.Write(indx, k_LongHead);
    out.Write(index.data(), index.size());
    out.Write(data, k_ShortHead);

    Platform::FileHandle old = Platform::FileHandle::Invalid;
    if (state.m_HasOldFile)
        old = Platform::OpenFile(state.m_Path.c_str(), Platform::FileAccessRead,
                                 Platform::FileDisposition::OpenExisting);
    Bytes buffer(k_CopyBlock);
    bool exact = true;
    const bool written = (!state.m_HasOldFile || old != Platform::FileHandle::Invalid) &&
                         out.Good() &&
                         WriteChunks(out, old, state, state.m_Root, key, buffer, exact);
    if (old != Platform::FileHandle::Invalid)
        Platform::CloseFile(old);
    if (!written || out.Position() != total || !out.Good()) {
        LogWriteFailure(state.m_Path, "could not write");
        return RArchiveFatal;
    }
    if (!out.Commit(state.m_Path)) {
        LogWriteFailure(state.m_Path, "could not replace");
        return RArchiveFatal;
    }
    // The archive is complete and consistent, but a source changed under it: say so.
    return exact ? nullptr : RArchiveFatal;
}

} // namespace

Result Archive::Close() {
    ArchiveState& state = *m_State;
    // Member pipes still out keep their own handles; the kept ones go before the file may be
    // replaced.
    if (state.m_Handles) {
        state.m_Handles->Close();
        state.m_Handles = Obj<ArchiveFileHandles>();
    }
    Result result = nullptr;
    if (state.m_Open == OpenState::Update && state.m_Changed)
        result = WriteArchive(state);
    DeleteTemporaries(state.m_Root);
    state.m_Root = DirEntry();
    state.m_HeldBytes = 0;
    state.m_Open = OpenState::Closed;
    state.m_HasOldFile = false;
    return result;
}

} // namespace Quorlix
