#include "quorlix/stream/Archive.h"

#include "quorlix/core/Endian.h"
#include "quorlix/platform/File.h"
#include "quorlix/stream/ReportStream.h"
#include "quorlix/stream/StreamPipeChunk.h"
#include "quorlix/stream/StreamPipeCipherTEA.h"
#include "quorlix/stream/StreamPipeCompressZ.h"
#include "quorlix/stream/internal/ArchiveFormat.h"
#include "quorlix/stream/internal/ArchiveMemberPipe.h"

#include <string>
#include <string_view>

namespace Quorlix {

using namespace Internal;

namespace {

// A handle on the archive file for one operation, given back (or closed) on every way out that
// does not hand it on.
class FileGuard {
public:
    explicit FileGuard(const ArchiveState& state) : m_Handles(state.m_Handles) {
        m_File = m_Handles ? m_Handles->Take()
                           : Platform::OpenFile(state.m_Path.c_str(), Platform::FileAccessRead,
                                                Platform::FileDisposition::OpenExisting);
    }
    ~FileGuard() {
        if (m_Handles)
            m_Handles->Give(m_File);
        else
            Platform::CloseFile(m_File);
    }
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;
    Platform::FileHandle Get() const { return m_File; }
    ArchiveFileHandles* Handles() const { return m_Handles.Get(); }
    Platform::FileHandle Release() {
        const Platform::FileHandle file = m_File;
        m_File = Platform::FileHandle::Invalid;
        return file;
    }

private:
    Obj<ArchiveFileHandles> m_Handles;
    Platform::FileHandle m_File;
};

// The FILE head at the file's position, whole and with its magic.
bool ReadFileHead(Platform::FileHandle file, unsigned char (&head)[k_LongHead]) {
    return Platform::ReadFileFully(file, head, k_LongHead) == k_LongHead && HasMagic(head, "FILE");
}

} // namespace

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
    FileGuard file(state);
    const int64_t head = static_cast<int64_t>(state.m_DataPosition + k_ShortHead + offset);
    if (Platform::SeekFile(file.Get(), head, SeekBegin) != head) {
        LogDamage("FILE seek failed.", true);
        return nullptr;
    }
    unsigned char fileHead[k_LongHead];
    if (!ReadFileHead(file.Get(), fileHead)) {
        LogDamage("FILE chunk missing.");
        return nullptr;
    }
    if (LoadLE64(fileHead + 8) != entry->m_StoredLength) {
        LogDamage("FILE size different from SDIR size.");
        return nullptr;
    }
    const unsigned flags = LoadLE32(fileHead + 28);
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
    // The member's own window on the file, so enciphered members stay seekable to 0.
    ArchiveFileHandles* handles = file.Handles();
    Obj<StreamPipe> pipe = ArchiveMemberPipe::Create(handles, file.Release(), head + k_LongHead,
                                                     static_cast<int64_t>(entry->m_StoredLength));
    pipe->SetFileTime(entry->m_Second, entry->m_First, entry->m_Second);
    if (cipher == 1) {
        pipe = StreamPipeCipherTEA::Create(pipe, key);
        // Cut the block padding off when the head records the length before enciphering.
        const uint64_t plain = LoadLE64(fileHead + 16);
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
    const FileGuard file(*m_State);
    const int64_t head =
        static_cast<int64_t>(m_State->m_DataPosition + k_ShortHead + entry->m_OldChunkOffset);
    unsigned char fileHead[k_LongHead];
    if (entry->m_OldChunkOffset >= m_State->m_DataLength ||
        Platform::SeekFile(file.Get(), head, SeekBegin) != head ||
        !ReadFileHead(file.Get(), fileHead))
        return RArchiveCorrupted;
    info.m_Flags = LoadLE32(fileHead + 28);
    const uint64_t plain = LoadLE64(fileHead + 16);
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

} // namespace Quorlix
