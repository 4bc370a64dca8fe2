#include "quorlix/stream/internal/ArchiveFormat.h"

#include "quorlix/core/Endian.h"
#include "quorlix/stream/ReportStream.h"
#include "quorlix/stream/StreamPipeFileCache.h"

#include <algorithm>
#include <climits>

namespace Quorlix::Internal {

namespace {

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
        dir.m_Time = LoadLE64(head + 16);
        const uint64_t dirs = LoadLE32(head + 32);
        const uint64_t files = LoadLE32(head + 36);
        const uint64_t poolSize = LoadLE32(head + 40);
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
            if (!PoolName(pool, poolSize, LoadLE32(record), file.m_Name))
                return Damage("SDIR invalid name.");
            file.m_Hash = LoadLE32(m_Body.data() + fileHashes + i * 4);
            file.m_First = LoadLE64(record + 16);
            file.m_Second = LoadLE64(record + 24);
            file.m_StoredLength = LoadLE64(record + 48);
            file.m_ChunkOffset = LoadLE64(record + 56);
            file.m_OldChunkOffset = file.m_ChunkOffset;
        }
        dir.m_Dirs.reserve(dirs);
        for (uint64_t i = 0; i < dirs; ++i) {
            auto child = std::make_unique<DirEntry>();
            if (!PoolName(pool, poolSize, LoadLE32(m_Body.data() + dirRecords + i * 8),
                          child->m_Name))
                return Damage("SDIR invalid name.");
            child->m_Hash = LoadLE32(m_Body.data() + dirHashes + i * 4);
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

} // namespace

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
    const uint64_t indexLength = LoadLE64(indx + 8);
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
    state.m_ArchiveTime = LoadLE64(arch + 16);
    state.m_DataPosition = k_ShortHead + k_LongHead + indexLength;
    const uint64_t available = static_cast<uint64_t>(fileSize) - state.m_DataPosition - k_ShortHead;
    state.m_DataLength = std::min(LoadLE64(data + 8), available);

    const uint64_t expected = LoadLE64(arch + 8) + k_ShortHead;
    if (static_cast<uint64_t>(fileSize) != expected) {
        Xreport.pLockError() << "damaged archive: archive file size invalid (" << fileSize
                             << " instead of " << expected << ").";
        Xreport.pLF();
        Xreport.pUnlockMessage();
        return RArchiveCorrupted;
    }
    return nullptr;
}

} // namespace Quorlix::Internal
