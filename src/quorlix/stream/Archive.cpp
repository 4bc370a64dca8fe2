#include "quorlix/stream/Archive.h"

#include "quorlix/core/CriticalSection.h"
#include "quorlix/core/Hash.h"
#include "quorlix/core/MD5.h"
#include "quorlix/core/internal/HexDigit.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/ReportStream.h"
#include "quorlix/stream/StreamPipeChunk.h"
#include "quorlix/stream/StreamPipeCipherTEA.h"
#include "quorlix/stream/StreamPipeCompressZ.h"
#include "quorlix/stream/StreamPipeFileCache.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Quorlix {

const Result RArchiveIllegalPathSeparator = "ArchiveIllegalPathSeparator";
const Result RArchiveIllegalPathEmpty = "ArchiveIllegalPathEmpty";
const Result RArchiveIllegalPathDot = "ArchiveIllegalPathDot";
const Result RArchiveIllegalPathCharacter = "ArchiveIllegalPathCharacter";
const Result RArchiveInvalidPassword = "ArchiveInvalidPassword";
const Result RArchiveInvalidKey = "ArchiveInvalidKey";
const Result RArchiveBusy = "ArchiveBusy";
const Result RArchiveNotFound = "ArchiveNotFound";
const Result RArchiveNotOpen = "ArchiveNotOpen";
const Result RArchiveFileNotFound = "ArchiveFileNotFound";
const Result RArchiveFileExists = "ArchiveFileExists";
const Result RArchiveCorrupted = "ArchiveCorrupted";
const Result RArchiveInvalidChunkID = "ArchiveInvalidChunkID";
const Result RArchiveFatal = "ArchiveFatal";

namespace {

constexpr int k_ShortHead = 32;
constexpr int k_LongHead = 64;
constexpr int k_CopyBlock = 65536;
// Deeper trees are damage: no archive a person made nests this far.
constexpr int k_MaxDirectoryDepth = 1024;

using Bytes = std::vector<unsigned char>;

uint32_t GetU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint64_t GetU64(const unsigned char* p) {
    return GetU32(p) | uint64_t(GetU32(p + 4)) << 32;
}

void PutU32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}

void PutU64(unsigned char* p, uint64_t v) {
    PutU32(p, static_cast<uint32_t>(v));
    PutU32(p + 4, static_cast<uint32_t>(v >> 32));
}

void PutMagic(unsigned char* head, const char* letters) {
    head[0] = 'K';
    head[1] = 'X';
    head[2] = 'P';
    head[3] = 2;
    std::memcpy(head + 4, letters, 4);
}

bool HasMagic(const unsigned char* head, const char* letters) {
    return head[0] == 'K' && head[1] == 'X' && head[2] == 'P' && head[3] == 2 &&
           std::memcmp(head + 4, letters, 4) == 0;
}

uint64_t RoundUp(uint64_t value, uint64_t to) {
    return (value + to - 1) / to * to;
}

unsigned NameHash(std::string_view name) {
    return FastStringHash32(reinterpret_cast<const unsigned char*>(name.data()),
                            static_cast<unsigned>(name.size()), 0);
}

// 32 hexadecimal digits, read as four 32-bit words, most significant digit first.
bool ParseKeyText(std::string_view text, unsigned words[4]) noexcept {
    if (text.size() != 32)
        return false;
    for (int w = 0; w < 4; ++w) {
        unsigned value = 0;
        for (int i = 0; i < 8; ++i) {
            const int digit = Internal::HexDigitValue(static_cast<unsigned char>(text[w * 8 + i]));
            if (digit < 0)
                return false;
            value = value << 4 | static_cast<unsigned>(digit);
        }
        words[w] = value;
    }
    return true;
}

std::string ToStd(const StringRef& text) {
    return std::string(text.GetCPtr(), static_cast<size_t>(text.Size()));
}

void LogDamage(const char* text, bool fatal = false) {
    Stream& line = fatal ? Xreport.pLockFatal() : Xreport.pLockError();
    line << "damaged archive: " << text;
    Xreport.pLF();
    Xreport.pUnlockMessage();
}

// A stored file: what its index record says, and for a file added since the archive was
// opened, where its bytes come from.
struct FileEntry {
    std::string m_Name;
    unsigned m_Hash = 0;
    uint64_t m_First = 0;
    uint64_t m_Second = 0;
    uint64_t m_StoredLength = 0;
    uint64_t m_ChunkOffset = 0; // from the start of the DATA body
    bool m_Added = false;       // not yet written: the fields below apply
    std::string m_Source;       // the bytes to store before enciphering
    std::string m_Temporary;    // compressed copy to delete after Close ("" when none)
    uint64_t m_SourceLength = 0;
    unsigned m_Flags = 0;
    uint64_t m_OldChunkOffset = 0; // an old member's chunk in the archive being updated
};

struct DirEntry {
    std::string m_Name;
    unsigned m_Hash = 0;
    uint64_t m_Time = 0;
    bool m_Added = false;
    std::vector<std::unique_ptr<DirEntry>> m_Dirs;
    std::vector<FileEntry> m_Files;

    DirEntry* FindDir(std::string_view name) const {
        const unsigned hash = NameHash(name);
        for (const auto& dir : m_Dirs)
            if (dir->m_Hash == hash && dir->m_Name == name)
                return dir.get();
        return nullptr;
    }
    const FileEntry* FindFile(std::string_view name) const {
        const unsigned hash = NameHash(name);
        for (const FileEntry& file : m_Files)
            if (file.m_Hash == hash && file.m_Name == name)
                return &file;
        return nullptr;
    }
};

enum class OpenState { Closed, Reading, Update };

CriticalSection& DefaultKeySection() {
    static CriticalSection s_Section;
    return s_Section;
}

std::string& DefaultKey() {
    static std::string s_Key;
    return s_Key;
}

} // namespace

namespace Detail {

struct ArchiveState {
    OpenState m_Open = OpenState::Closed;
    std::string m_Path;
    int m_StoreMode = 0;
    unsigned m_StoreParameter = 0;
    int m_CryptMode = 0;
    unsigned m_CryptParameter = 0;
    std::string m_Key;
    uint64_t m_WriteTime = 0;
    bool m_Changed = false; // Close writes only a new archive or a changed one
    // From the file that was opened (reading, or update of an existing archive).
    bool m_HasOldFile = false;
    uint64_t m_ArchiveTime = 0;
    uint64_t m_DataPosition = 0;
    uint64_t m_DataLength = 0; // bytes of the DATA body that really are in the file
    DirEntry m_Root;
};

} // namespace Detail

namespace {

using Detail::ArchiveState;

// Walks `path` down to its directory: "a/b/c" gives the directory a/b and the name "c"; "a/b/"
// gives a/b and "". Null when a directory on the way does not exist.
const DirEntry* WalkToDirectory(const DirEntry& root, std::string_view path,
                                std::string_view& name) {
    const DirEntry* dir = &root;
    for (;;) {
        const size_t slash = path.find('/');
        if (slash == std::string_view::npos) {
            name = path;
            return dir;
        }
        dir = dir->FindDir(path.substr(0, slash));
        if (dir == nullptr)
            return nullptr;
        path.remove_prefix(slash + 1);
    }
}

Result LookupFile(const ArchiveState& state, std::string_view path, const FileEntry*& file) {
    file = nullptr;
    std::string_view name;
    const DirEntry* dir = path.empty() ? nullptr : WalkToDirectory(state.m_Root, path, name);
    if (dir == nullptr || name.empty() || (file = dir->FindFile(name)) == nullptr)
        return RArchiveFileNotFound;
    return nullptr;
}

const DirEntry* LookupDirectory(const ArchiveState& state, std::string_view path) {
    while (!path.empty() && path.back() == '/')
        path.remove_suffix(1);
    if (path.empty())
        return &state.m_Root;
    std::string_view name;
    const DirEntry* dir = WalkToDirectory(state.m_Root, path, name);
    return dir != nullptr ? dir->FindDir(name) : nullptr;
}

// --- reading ---------------------------------------------------------------------------------

// Parses the SDIR chunks of an index body held in memory. Every count, offset and name is
// checked against the bytes that remain before anything is allocated for it.
class IndexParser {
public:
    IndexParser(const Bytes& body, size_t position) : m_Body(body), m_Position(position) {}

    Result ParseDirectory(DirEntry& dir, int depth) {
        if (depth > k_MaxDirectoryDepth)
            return Damage("SDIR nesting too deep.");
        if (Remaining() < k_LongHead)
            return Damage("SDIR invalid.");
        const unsigned char* head = Here();
        if (!HasMagic(head, "SDIR")) {
            LogDamage("SDIR invalid.");
            return RArchiveInvalidChunkID;
        }
        dir.m_Time = GetU64(head + 16);
        const uint64_t dirs = GetU32(head + 32);
        const uint64_t files = GetU32(head + 36);
        const uint64_t poolSize = GetU32(head + 40);
        m_Position += k_LongHead;

        const size_t records = m_Position;
        if (Remaining() < files * 64)
            return Damage("SDIR invalid file stat.");
        m_Position += files * 64;
        const size_t dirRecords = m_Position;
        if (Remaining() < dirs * 8)
            return Damage("SDIR invalid sdir nameoffs.");
        m_Position += dirs * 8;
        const size_t fileHashes = m_Position;
        if (Remaining() < files * 4)
            return Damage("SDIR invalid file hash.");
        m_Position += files * 4;
        const size_t dirHashes = m_Position;
        if (Remaining() < dirs * 4)
            return Damage("SDIR invalid sdir hash.");
        m_Position += dirs * 4;
        const size_t pool = m_Position;
        if (Remaining() < poolSize)
            return Damage("SDIR invalid name.");
        m_Position += poolSize;
        const uint64_t padding = (32 - (68 * files + 12 * dirs + poolSize) % 32) % 32;
        if (Remaining() < padding)
            return Damage("SDIR invalid align.");
        m_Position += padding;

        dir.m_Files.resize(files);
        for (uint64_t i = 0; i < files; ++i) {
            const unsigned char* record = m_Body.data() + records + i * 64;
            FileEntry& file = dir.m_Files[i];
            if (!PoolName(pool, poolSize, GetU32(record), file.m_Name))
                return Damage("SDIR invalid name.");
            file.m_Hash = GetU32(m_Body.data() + fileHashes + i * 4);
            file.m_First = GetU64(record + 16);
            file.m_Second = GetU64(record + 24);
            file.m_StoredLength = GetU64(record + 48);
            file.m_ChunkOffset = GetU64(record + 56);
            file.m_OldChunkOffset = file.m_ChunkOffset;
        }
        dir.m_Dirs.reserve(dirs);
        for (uint64_t i = 0; i < dirs; ++i) {
            auto child = std::make_unique<DirEntry>();
            if (!PoolName(pool, poolSize, GetU32(m_Body.data() + dirRecords + i * 8),
                          child->m_Name))
                return Damage("SDIR invalid name.");
            child->m_Hash = GetU32(m_Body.data() + dirHashes + i * 4);
            dir.m_Dirs.push_back(std::move(child));
        }
        // The children's chunks follow in record order, each with its whole subtree.
        for (auto& child : dir.m_Dirs)
            if (Result result = ParseDirectory(*child, depth + 1))
                return result;
        return nullptr;
    }

    size_t Position() const { return m_Position; }

private:
    uint64_t Remaining() const { return m_Body.size() - m_Position; }
    const unsigned char* Here() const { return m_Body.data() + m_Position; }

    bool PoolName(size_t pool, uint64_t poolSize, uint64_t offset, std::string& name) const {
        if (offset >= poolSize)
            return false;
        const char* start = reinterpret_cast<const char*>(m_Body.data() + pool + offset);
        const void* end = std::memchr(start, 0, poolSize - offset);
        if (end == nullptr)
            return false;
        name.assign(start, static_cast<const char*>(end));
        return true;
    }

    static Result Damage(const char* text) {
        LogDamage(text);
        return RArchiveCorrupted;
    }

    const Bytes& m_Body;
    size_t m_Position;
};

Result ReadHead(StreamPipe& file, unsigned char* head, int size, const char* letters,
                const char* damage) {
    if (ReadFully(file, head, size) != size || !HasMagic(head, letters)) {
        LogDamage(damage);
        return RArchiveInvalidChunkID;
    }
    return nullptr;
}

Result ReadArchive(const std::string& path, ArchiveState& state) {
    Obj<StreamPipeFileCache> file = StreamPipeFileCache::Create(path.c_str(), IOReadDefault);
    if (!file->IsOpen())
        return RArchiveNotFound;
    const int64_t fileSize = file->Seek(0, SeekEnd);
    if (fileSize < 0 || file->Seek(0, SeekBegin) != 0)
        return RArchiveNotFound;

    unsigned char arch[k_ShortHead];
    unsigned char indx[k_LongHead];
    unsigned char tree[k_ShortHead];
    unsigned char data[k_ShortHead];
    if (Result result = ReadHead(*file, arch, k_ShortHead, "ARCH", "ARCH invalid."))
        return result;
    if (Result result = ReadHead(*file, indx, k_LongHead, "INDX", "INDX invalid."))
        return result;
    // The index body holds the TREE head and the SDIR chunks, and the DATA head follows it.
    const uint64_t indexLength = GetU64(indx + 8);
    const uint64_t indexLimit = static_cast<uint64_t>(fileSize) - k_ShortHead - k_LongHead;
    if (indexLength < k_ShortHead || indexLength > INT32_MAX ||
        static_cast<uint64_t>(fileSize) < 160 || indexLength > indexLimit - k_ShortHead) {
        LogDamage("INDX invalid.");
        return RArchiveCorrupted;
    }
    Bytes body(indexLength);
    if (static_cast<uint64_t>(ReadFully(*file, body.data(), static_cast<int>(indexLength))) !=
        indexLength) {
        LogDamage("INDX invalid.");
        return RArchiveCorrupted;
    }
    std::memcpy(tree, body.data(), k_ShortHead);
    if (!HasMagic(tree, "TREE")) {
        LogDamage("TREE invalid.");
        return RArchiveInvalidChunkID;
    }
    IndexParser parser(body, k_ShortHead);
    if (Result result = parser.ParseDirectory(state.m_Root, 0))
        return result;
    if (parser.Position() != body.size()) {
        LogDamage("INDX invalid.");
        return RArchiveCorrupted;
    }
    if (Result result = ReadHead(*file, data, k_ShortHead, "DATA", "DATA invalid."))
        return result;
    state.m_ArchiveTime = GetU64(arch + 16);
    state.m_DataPosition = k_ShortHead + k_LongHead + indexLength;
    const uint64_t available = static_cast<uint64_t>(fileSize) - state.m_DataPosition - k_ShortHead;
    state.m_DataLength = std::min(GetU64(data + 8), available);

    const uint64_t expected = GetU64(arch + 8) + k_ShortHead;
    if (static_cast<uint64_t>(fileSize) != expected) {
        Xreport.pLockError() << "damaged archive: archive file size invalid (" << fileSize
                             << " instead of " << expected << ").";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return RArchiveCorrupted;
    }
    return nullptr;
}

// --- writing ---------------------------------------------------------------------------------

// A new archive file, written in order, with the digest of a chunk patched in afterwards.
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
    PutU64(p + 16, dir.m_Time);
    PutU32(p + 32, static_cast<uint32_t>(dirs));
    PutU32(p + 36, static_cast<uint32_t>(files));
    PutU32(p + 40, static_cast<uint32_t>(pool.size()));
    p += k_LongHead;
    for (size_t i = 0; i < files; ++i, p += 64) {
        const FileEntry& file = dir.m_Files[i];
        PutU32(p, fileNames[i]);
        PutU64(p + 16, file.m_First);
        PutU64(p + 24, file.m_Second);
        PutU64(p + 48, file.m_StoredLength);
        PutU64(p + 56, file.m_ChunkOffset);
    }
    for (size_t i = 0; i < dirs; ++i, p += 8)
        PutU32(p, dirNames[i]);
    for (size_t i = 0; i < files; ++i, p += 4)
        PutU32(p, dir.m_Files[i].m_Hash);
    for (size_t i = 0; i < dirs; ++i, p += 4)
        PutU32(p, dir.m_Dirs[i]->m_Hash);
    if (!pool.empty())
        std::memcpy(p, pool.data(), pool.size());
    for (const auto& child : dir.m_Dirs)
        AppendDirectory(*child, out);
}

// Fills `size` bytes from `file`, zero-filling what it no longer has. False when the file
// delivered fewer bytes, or had more than `size`.
class SourceReader {
public:
    SourceReader(const std::string& path, uint64_t size) : m_Left(size) {
        m_File = Platform::OpenFile(path.c_str(), Platform::FileAccessRead,
                                    Platform::FileDisposition::OpenExisting);
        m_Exact = m_File != Platform::FileHandle::Invalid;
    }
    ~SourceReader() {
        if (m_File != Platform::FileHandle::Invalid)
            Platform::CloseFile(m_File);
    }
    // The next piece of at most `n` bytes; 0 at the recorded end.
    size_t Next(unsigned char* buffer, size_t n) {
        if (m_Left < n)
            n = static_cast<size_t>(m_Left);
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
    bool m_Exact;
};

} // namespace

// --- Archive ---------------------------------------------------------------------------------

Archive* Archive::Create() {
    return NewObject<Archive>();
}

Archive::Archive() : m_State(new ArchiveState) {}

Archive::~Archive() {
    Close();
    delete m_State;
}

bool ParseArchiveKey(const StringRef& key, unsigned words[4]) noexcept {
    return ParseKeyText(std::string_view(key.GetCPtr(), static_cast<size_t>(key.Size())), words);
}

Result Archive::ValidateFileName(const StringRef& path) {
    const char* p = path.GetCPtr();
    const int n = path.Size();
    for (int i = 0; i < n; ++i)
        if (p[i] == '\\')
            return RArchiveIllegalPathSeparator;
    for (int i = 0; i < n; ++i)
        if (std::strchr("<>|?*\":", p[i]) != nullptr) // a NUL byte matches the terminator
            return RArchiveIllegalPathCharacter;
    // A leading '/' is an empty first component: stored paths are relative.
    if (n > 0 && p[0] == '/')
        return RArchiveIllegalPathEmpty;
    for (int i = 0; i + 1 < n; ++i)
        if (p[i] == '/' && p[i + 1] == '/')
            return RArchiveIllegalPathEmpty;
    for (int i = 0; i < n; ++i)
        if (p[i] == '.' && (i + 1 == n || p[i + 1] == '/'))
            return RArchiveIllegalPathDot;
    return nullptr;
}

Result Archive::SplitPathName(const StringRef& path, String& dir, String& name) {
    const int slash = path.RSearch('/');
    dir = slash < 0 ? String() : String(path.GetCPtr(), slash);
    name = String(path.GetCPtr() + slash + 1, path.Size() - slash - 1);
    return nullptr;
}

Result Archive::SetStoreMode(StoreMode mode, unsigned parameter) {
    m_State->m_StoreMode = mode;
    m_State->m_StoreParameter = parameter;
    return nullptr;
}

Result Archive::SetCryptMode(CryptMode mode, unsigned parameter, const StringRef& key) {
    m_State->m_CryptMode = mode;
    m_State->m_CryptParameter = parameter;
    m_State->m_Key = ToStd(key);
    unsigned words[4];
    if (mode != CryptModeNone ? !ParseArchiveKey(key, words) : key.Size() != 0)
        return RArchiveInvalidKey;
    return nullptr;
}

void Archive::SetWriteTime(uint64_t fileTime) noexcept {
    m_State->m_WriteTime = fileTime;
}

bool Archive::IsOpen() const noexcept {
    return m_State->m_Open != OpenState::Closed;
}

Result Archive::OpenNew(const StringRef& archivePath) {
    if (IsOpen())
        return RArchiveBusy;
    m_State->m_Root = DirEntry();
    m_State->m_Root.m_Added = true;
    m_State->m_HasOldFile = false;
    m_State->m_Changed = true;
    m_State->m_Path = ToStd(archivePath);
    m_State->m_Open = OpenState::Update;
    return nullptr;
}

Result Archive::OpenExisting(const StringRef& archivePath) {
    if (IsOpen())
        return RArchiveBusy;
    m_State->m_Root = DirEntry();
    m_State->m_Path = ToStd(archivePath);
    if (Result result = ReadArchive(m_State->m_Path, *m_State)) {
        m_State->m_Root = DirEntry();
        return result;
    }
    m_State->m_HasOldFile = true;
    m_State->m_Open = OpenState::Reading;
    DefaultKeySection().Enter();
    if (!DefaultKey().empty()) {
        m_State->m_CryptMode = CryptModeTEA;
        m_State->m_Key = DefaultKey();
    }
    DefaultKeySection().Leave();
    return nullptr;
}

Result Archive::SetDefaultKey(const StringRef& key) {
    unsigned words[4];
    if (key.Size() != 0 && !ParseArchiveKey(key, words))
        return RArchiveInvalidKey;
    DefaultKeySection().Enter();
    DefaultKey() = ToStd(key);
    DefaultKeySection().Leave();
    return nullptr;
}

Result Archive::OpenUpdate(const StringRef& archivePath) {
    if (Result result = OpenExisting(archivePath))
        return result;
    m_State->m_Open = OpenState::Update;
    m_State->m_Changed = false;
    return nullptr;
}

Result Archive::OpenExistingRemote(const StringRef&, const StringRef&) {
    return RArchiveNotFound;
}

StreamPipe* Archive::OpenStream(const StringRef& path, unsigned ioMode, Result& result) const {
    const ArchiveState& state = *m_State;
    if (!IsOpen()) {
        result = RArchiveNotOpen;
        return nullptr;
    }
    if ((ioMode & 0xE) != 0 || (ioMode & 1) == 0) {
        Xreport.pLockWarn()
            << "Archive::OpenStream(): stream io mode other than IOReadDefault is not supported.";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    const FileEntry* entry = nullptr;
    if ((result = LookupFile(state, std::string_view(path.GetCPtr(), path.Size()), entry)))
        return nullptr;
    if (entry->m_Added) {
        result = RArchiveBusy; // its bytes reach the archive only on Close
        return nullptr;
    }
    result = RArchiveCorrupted;
    // The record must place the whole chunk inside the DATA body.
    const uint64_t offset = entry->m_OldChunkOffset;
    if (offset > state.m_DataLength || state.m_DataLength - offset < k_LongHead ||
        state.m_DataLength - offset - k_LongHead < entry->m_StoredLength) {
        LogDamage("FILE chunk missing.");
        return nullptr;
    }
    Obj<StreamPipe> file = StreamPipeFileCache::Create(state.m_Path.c_str(), IOReadDefault);
    const int64_t head = static_cast<int64_t>(state.m_DataPosition + k_ShortHead + offset);
    if (file->Seek(head, SeekBegin) != head) {
        LogDamage("FILE seek failed.", true);
        return nullptr;
    }
    unsigned char fileHead[k_LongHead];
    if (ReadFully(*file, fileHead, k_LongHead) != k_LongHead || !HasMagic(fileHead, "FILE")) {
        LogDamage("FILE chunk missing.");
        return nullptr;
    }
    if (GetU64(fileHead + 8) != entry->m_StoredLength) {
        LogDamage("FILE size different from SDIR size.");
        return nullptr;
    }
    const unsigned flags = GetU32(fileHead + 28);
    const unsigned compression = flags & FlagCompressionMask;
    const unsigned cipher = (flags & FlagCipherMask) >> 3;
    if (compression > 1 || cipher > 1) {
        LogDamage("FILE storage flags invalid.");
        return nullptr;
    }
    unsigned key[4];
    if (cipher == 1) {
        result = RArchiveInvalidKey;
        if (state.m_CryptMode != CryptModeTEA || !ParseKeyText(state.m_Key, key))
            return nullptr;
    }
    // The chunk window sits right on the file, so enciphered members stay seekable to 0.
    Obj<StreamPipe> pipe = StreamPipeChunk::Create(file, head + k_LongHead,
                                                   static_cast<int64_t>(entry->m_StoredLength));
    pipe->SetFileTime(entry->m_Second, entry->m_First, entry->m_Second);
    if (cipher == 1) {
        pipe = StreamPipeCipherTEA::Create(pipe, key);
        // Cut the block padding off when the head records the length before enciphering.
        const uint64_t plain = GetU64(fileHead + 16);
        if (plain != 0 && plain < entry->m_StoredLength && entry->m_StoredLength - plain < 8) {
            pipe = StreamPipeChunk::Create(pipe, 0, static_cast<int64_t>(plain));
            pipe->SetFileTime(entry->m_Second, entry->m_First, entry->m_Second);
        }
    }
    if (compression == 1) {
        Obj<StreamPipeCompressZ> decoder = StreamPipeCompressZ::Create(pipe);
        // A compressed member always starts with the gzip magic: without it the member is
        // damaged or, when enciphered, was deciphered with the wrong key.
        if (decoder->IsTransparent() || decoder->IsDamaged()) {
            if (cipher == 1) {
                result = RArchiveInvalidKey;
                Xreport.pLockWarn() << "Archive::OpenStream: ";
                Xreport.pQuotedC(path, '"') << " does not decipher to compressed data: wrong key?";
                Xreport.pLF();
                Xreport.pUnlockMessage();
            } else {
                LogDamage("FILE compressed data invalid.");
            }
            return nullptr;
        }
        pipe = decoder.Get();
    }
    result = nullptr;
    return pipe.Handover();
}

Result Archive::GetFileInfo(const StringRef& path, FileInfo& info) const {
    info = FileInfo();
    if (!IsOpen())
        return RArchiveNotOpen;
    const FileEntry* entry = nullptr;
    if (Result result = LookupFile(*m_State, std::string_view(path.GetCPtr(), path.Size()), entry))
        return result;
    info.m_StoredLength = entry->m_StoredLength;
    info.m_First = static_cast<int64_t>(entry->m_First);
    info.m_Second = static_cast<int64_t>(entry->m_Second);
    info.m_PlainLength = entry->m_StoredLength;
    if (entry->m_Added) {
        info.m_Flags = entry->m_Flags;
        info.m_PlainLength = entry->m_SourceLength;
        return nullptr;
    }
    Obj<StreamPipe> file = StreamPipeFileCache::Create(m_State->m_Path.c_str(), IOReadDefault);
    const int64_t head =
        static_cast<int64_t>(m_State->m_DataPosition + k_ShortHead + entry->m_OldChunkOffset);
    unsigned char fileHead[k_LongHead];
    if (entry->m_OldChunkOffset >= m_State->m_DataLength || file->Seek(head, SeekBegin) != head ||
        ReadFully(*file, fileHead, k_LongHead) != k_LongHead || !HasMagic(fileHead, "FILE"))
        return RArchiveCorrupted;
    info.m_Flags = GetU32(fileHead + 28);
    const uint64_t plain = GetU64(fileHead + 16);
    info.m_PlainLength = (info.m_Flags & FlagCipherMask) != 0 && plain != 0 &&
                                 plain < info.m_StoredLength && info.m_StoredLength - plain < 8
                             ? plain
                             : info.m_StoredLength;
    return nullptr;
}

Result Archive::GetFileTime(const StringRef& path, int64_t& first, int64_t& second) {
    first = second = 0;
    if (!IsOpen())
        return RArchiveNotOpen;
    const std::string_view text(path.GetCPtr(), path.Size());
    if (text.empty()) {
        first = second = static_cast<int64_t>(m_State->m_ArchiveTime);
        return nullptr;
    }
    if (text.back() == '/') {
        const DirEntry* dir = LookupDirectory(*m_State, text);
        if (dir == nullptr)
            return RArchiveFileNotFound;
        first = second = static_cast<int64_t>(dir->m_Time);
        return nullptr;
    }
    const FileEntry* entry = nullptr;
    if (Result result = LookupFile(*m_State, text, entry))
        return result;
    first = static_cast<int64_t>(entry->m_First);
    second = static_cast<int64_t>(entry->m_Second);
    return nullptr;
}

namespace {

Result ListEntries(Archive& archive, const DirEntry& dir, const std::string& prefix,
                   Array<String>& out, unsigned flags) {
    auto check = [&](const std::string& path) -> Result {
        Result result =
            archive.ValidateFileName(String(path.c_str(), static_cast<int>(path.size())));
        // An empty name would list its directory again (or the root as "/").
        if (result == nullptr && (path.empty() || path.back() == '/'))
            result = RArchiveIllegalPathEmpty;
        if (result != nullptr) {
            Xreport.pLockError() << "Archive: security file path error.";
            if ((flags & Archive::ListSkipInvalid) != 0) {
                Xreport << " Skipped ";
                Xreport.pQuotedC(path.c_str(), static_cast<int>(path.size()), '"') << ".";
            }
            Xreport.pLF();
            Xreport.pUnlockMessage();
        }
        return result;
    };
    const bool skip = (flags & Archive::ListSkipInvalid) != 0;
    Result skipped = nullptr;
    for (const auto& child : dir.m_Dirs) {
        const std::string path = prefix + child->m_Name;
        if (Result result = check(path)) {
            if (!skip)
                return result;
            skipped = skipped != nullptr ? skipped : result;
            continue;
        }
        out.Add(String((path + "/").c_str()));
        if ((flags & Archive::ListRecursive) != 0)
            if (Result result = ListEntries(archive, *child, path + "/", out, flags)) {
                if (!skip)
                    return result;
                skipped = skipped != nullptr ? skipped : result;
            }
    }
    for (const FileEntry& file : dir.m_Files) {
        const std::string path = prefix + file.m_Name;
        if (Result result = check(path)) {
            if (!skip)
                return result;
            skipped = skipped != nullptr ? skipped : result;
            continue;
        }
        out.Add(String(path.c_str()));
    }
    return skipped;
}

} // namespace

Result Archive::ListFiles(Array<String>& out, const StringRef& dir, unsigned flags) {
    if (!IsOpen())
        return RArchiveNotOpen;
    std::string prefix = ToStd(dir);
    const DirEntry* directory = LookupDirectory(*m_State, prefix);
    if (directory == nullptr)
        return RArchiveFileNotFound;
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    return ListEntries(*this, *directory, prefix, out, flags);
}

Result Archive::MakeDir(const StringRef& path) {
    if (m_State->m_Open != OpenState::Update)
        return RArchiveNotOpen;
    if (Result result = ValidateFileName(path))
        return result;
    std::string_view rest(path.GetCPtr(), path.Size());
    DirEntry* dir = &m_State->m_Root;
    while (!rest.empty()) {
        const size_t slash = rest.find('/');
        const std::string_view name = rest.substr(0, slash);
        DirEntry* child = dir->FindDir(name);
        if (child == nullptr) {
            auto made = std::make_unique<DirEntry>();
            made->m_Name = std::string(name);
            made->m_Hash = NameHash(name);
            made->m_Added = true;
            m_State->m_Changed = true;
            child = made.get();
            dir->m_Dirs.push_back(std::move(made));
        }
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
    SplitPathName(path, dirName, fileName);
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
        // A compressed copy is kept until Close. Without a given name it is a fresh temporary
        // file, so the source tree never receives stray files.
        std::string temporary = ToStd(tempFile);
        if (temporary.empty()) {
            Platform::FileHandle handle = Platform::CreateTemporaryFile("", "~$", temporary);
            if (handle == Platform::FileHandle::Invalid)
                return RArchiveFatal;
            Platform::CloseFile(handle);
        }
        const int64_t compressed = CompressZLib(entry.m_Source, temporary);
        if (compressed < 0) {
            DeleteTemporary(temporary);
            return RArchiveFatal;
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
            entry.m_Source = temporary;
            entry.m_Temporary = temporary;
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
    PutU64(head + 8, file.m_StoredLength);
    if ((file.m_Flags & Archive::FlagCipherTEA) != 0)
        PutU64(head + 16, file.m_SourceLength);
    PutU32(head + 28, file.m_Flags);
    const uint64_t headPosition = out.Position();
    if (!out.Write(head, k_LongHead))
        return false;
    MD5Generator digest;
    digest.Update(head, k_ShortHead);
    SourceReader source(file.m_Source, file.m_SourceLength);
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
    PutU64(arch + 8, total - k_ShortHead);
    PutU64(arch + 16, now);
    unsigned char indx[k_LongHead] = {};
    PutMagic(indx, "INDX");
    PutU64(indx + 8, index.size());
    MD5Generator digest;
    digest.Update(indx, k_ShortHead);
    digest.Update(index.data(), static_cast<int64_t>(index.size()));
    MD5 sum;
    digest.Final(sum);
    std::memcpy(indx + 32, sum.m_Bytes, 16);
    std::memcpy(indx + 48, sum.m_Bytes, 16);
    unsigned char data[k_ShortHead] = {};
    PutMagic(data, "DATA");
    PutU64(data + 8, dataLength);
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
    Result result = nullptr;
    if (state.m_Open == OpenState::Update && state.m_Changed)
        result = WriteArchive(state);
    DeleteTemporaries(state.m_Root);
    state.m_Root = DirEntry();
    state.m_Open = OpenState::Closed;
    state.m_HasOldFile = false;
    return result;
}

namespace {

class Verifier {
public:
    explicit Verifier(StreamPipe& file) : m_File(file), m_Buffer(k_CopyBlock) {}

    // Reads `size` bytes into the digest in blocks; false at a short read.
    bool Digest(MD5Generator& digest, uint64_t size) {
        while (size > 0) {
            const int n =
                size < m_Buffer.size() ? static_cast<int>(size) : static_cast<int>(m_Buffer.size());
            if (ReadFully(m_File, m_Buffer.data(), n) != n)
                return false;
            digest.Update(m_Buffer.data(), n);
            size -= static_cast<uint64_t>(n);
        }
        return true;
    }

    Result Run() {
        unsigned char arch[k_ShortHead], indx[k_LongHead], data[k_ShortHead], file[k_LongHead];
        if (ReadFully(m_File, arch, k_ShortHead) != k_ShortHead)
            return Damage("ARCH head invalid, EOF.");
        if (!HasMagic(arch, "ARCH"))
            return Damage("ARCH invalid.", RArchiveInvalidChunkID);
        if (ReadFully(m_File, indx, k_LongHead) != k_LongHead)
            return Damage("INDX head invalid, EOF.");
        if (!HasMagic(indx, "INDX"))
            return Damage("INDX invalid.", RArchiveInvalidChunkID);
        MD5Generator digest;
        digest.Update(indx, k_ShortHead);
        if (!Digest(digest, GetU64(indx + 8)))
            return Damage("INDX data invalid, EOF.");
        MD5 sum;
        digest.Final(sum);
        if (std::memcmp(sum.m_Bytes, indx + 32, 16) != 0 ||
            std::memcmp(sum.m_Bytes, indx + 48, 16) != 0)
            return Damage("INDX data invalid, MD5 mismatch.");
        if (ReadFully(m_File, data, k_ShortHead) != k_ShortHead)
            return Damage("DATA head invalid, EOF.");
        if (!HasMagic(data, "DATA"))
            return Damage("DATA invalid.", RArchiveInvalidChunkID);
        uint64_t remaining = GetU64(data + 8);
        for (int64_t ordinal = 0; remaining > 0; ++ordinal) {
            if (remaining < k_LongHead || ReadFully(m_File, file, k_LongHead) != k_LongHead)
                return Damage("FILE head invalid, EOF.");
            if (!HasMagic(file, "FILE"))
                return Damage("FILE invalid.", RArchiveInvalidChunkID);
            const uint64_t length = GetU64(file + 8);
            const uint64_t padding = (32 - length % 32) % 32;
            if (remaining - k_LongHead < length || remaining - k_LongHead - length < padding)
                return Damage("FILE data invalid, EOF.");
            digest.Update(file, k_ShortHead);
            if (!Digest(digest, length))
                return Damage("FILE data invalid, EOF.");
            digest.Final(sum);
            if (std::memcmp(sum.m_Bytes, file + 48, 16) != 0) {
                Xreport.pLockError()
                    << "damaged archive: FILE data invalid, MD5 mismatch, file #" << ordinal;
                Xreport.pLF();
                Xreport.pUnlockMessage();
                return RArchiveCorrupted;
            }
            if (m_File.Skip(static_cast<int>(padding)) != static_cast<int>(padding))
                return Damage("FILE data invalid, EOF.");
            remaining -= k_LongHead + length + padding;
        }
        const int64_t size = m_File.Seek(0, SeekEnd);
        const uint64_t expected = GetU64(arch + 8) + k_ShortHead;
        if (size < 0 || static_cast<uint64_t>(size) != expected) {
            Xreport.pLockError() << "damaged archive: archive file size invalid (" << size
                                 << " instead of " << expected << ").";
            Xreport.pLF();
            Xreport.pUnlockMessage();
            return RArchiveCorrupted;
        }
        return nullptr;
    }

private:
    static Result Damage(const char* text, Result result = RArchiveCorrupted) {
        LogDamage(text);
        return result;
    }

    StreamPipe& m_File;
    Bytes m_Buffer;
};

} // namespace

Result Archive::TestExisting(const StringRef& archivePath, unsigned) {
    Obj<StreamPipeFileCache> file =
        StreamPipeFileCache::Create(archivePath.GetCPtr(), IOReadDefault);
    const Result result = file->IsOpen() ? Verifier(*file).Run() : RArchiveNotFound;
    if (result != nullptr) {
        Xreport.pLockInfo() << "Archive::TestExisting: returns " << result << " for ";
        Xreport.pQuotedC(archivePath, '"') << ".";
        Xreport.pLF();
        Xreport.pUnlockMessage();
    }
    return result;
}

} // namespace Quorlix
