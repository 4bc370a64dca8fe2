#pragma once
// The chunk layout of archive files and the archive's tree in memory, shared by the parts that
// parse the index, read members, write archives and verify them. Private to the stream module.

#include "quorlix/core/Hash.h"
#include "quorlix/core/Result.h"
#include "quorlix/core/String.h"
#include "quorlix/stream/Archive.h"
#include "quorlix/stream/internal/ArchiveMemberPipe.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Quorlix::Internal {

constexpr int k_ShortHead = 32; // ARCH, TREE and DATA heads
constexpr int k_LongHead = 64;  // INDX, SDIR and FILE heads
constexpr int k_CopyBlock = 65536;
// Deeper trees are damage: no archive a person made nests this far.
constexpr int k_MaxDirectoryDepth = 1024;

using Bytes = std::vector<unsigned char>;

inline void PutMagic(unsigned char* head, const char* letters) {
    head[0] = 'K';
    head[1] = 'X';
    head[2] = 'P';
    head[3] = 2;
    std::memcpy(head + 4, letters, 4);
}

inline bool HasMagic(const unsigned char* head, const char* letters) {
    return head[0] == 'K' && head[1] == 'X' && head[2] == 'P' && head[3] == 2 &&
           std::memcmp(head + 4, letters, 4) == 0;
}

inline uint64_t RoundUp(uint64_t value, uint64_t to) {
    return (value + to - 1) / to * to;
}

inline unsigned NameHash(std::string_view name) {
    return FastStringHash32(reinterpret_cast<const unsigned char*>(name.data()),
                            static_cast<unsigned>(name.size()), 0);
}

inline std::string ToStd(const StringRef& text) {
    return std::string(text.GetCPtr(), static_cast<size_t>(text.Size()));
}

/// 32 hexadecimal digits, read as four 32-bit words, most significant digit first.
bool ParseKeyText(std::string_view text, unsigned words[4]) noexcept;

/// Logs "damaged archive: " + `text` at error level, or fatal level.
void LogDamage(const char* text, bool fatal = false);

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
    Bytes m_Compressed;         // the compressed bytes when held in memory instead of m_Source
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
    uint64_t m_DataLength = 0;         // bytes of the DATA body that really are in the file
    uint64_t m_HeldBytes = 0;          // compressed members held in memory until Close
    Obj<ArchiveFileHandles> m_Handles; // on the opened file, for member pipes
    DirEntry m_Root;
};

/// The file record of `path`, or RArchiveFileNotFound.
Result LookupFile(const ArchiveState& state, std::string_view path, const FileEntry*& file);
/// The directory `path` names ("" and "/" the root; trailing '/' allowed), or null.
const DirEntry* LookupDirectory(const ArchiveState& state, std::string_view path);

/// Opens the archive file at `path` for reading: checks the ARCH, INDX, TREE and DATA heads,
/// parses the directory tree into `state` and checks the file size. Damage is logged.
Result ReadArchive(const std::string& path, ArchiveState& state);

} // namespace Quorlix::Internal
