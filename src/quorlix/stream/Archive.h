#pragma once
// Archive files (".kxp"): one file that packs a directory tree of files, each stored as it is,
// compressed with zlib, or enciphered with TEA, with MD5 digests over the index and over every
// stored member.
//
// The digests are unkeyed and the TEA key travels beside the data, so these only guard against
// accidental damage and casual inspection; they are neither encryption nor tamper protection.
//
// Layout: a sequence of chunks, each opening with an 8-byte magic ("KXP", version 2, four
// letters) in a 32- or 64-byte head; all integers little-endian:
//   ARCH head | INDX head | INDX body: TREE head, SDIR chunks in depth-first pre-order |
//   DATA head | DATA body: FILE chunks (64-byte head, stored bytes, zero padding to 32).
// Enciphered members are a whole number of 8-byte blocks; their length before enciphering is
// kept in bytes 16-23 of the FILE head (0 in archives that do not record it, whose members then
// read with up to 7 zero bytes appended).
//
// Paths inside an archive use '/' as separator, have no leading separator and are
// case-sensitive byte strings.
//
// An Archive is a counted object: closed after Create, open for reading after OpenExisting, open
// for update after OpenNew or OpenUpdate. Close writes an updated archive to a temporary file in
// the archive's folder and renames it over the archive only when all of it was written. Streams
// from OpenStream hold their own file and stay valid after Close. Reading operations may run
// on several threads at once; updates belong to one thread.

#include "quorlix/core/Array.h"
#include "quorlix/core/Result.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/stream/StreamPipe.h"

#include <cstdint>

namespace Quorlix {

extern QUORLIX_API const Result RArchiveIllegalPathSeparator;
extern QUORLIX_API const Result RArchiveIllegalPathEmpty;
extern QUORLIX_API const Result RArchiveIllegalPathDot;
extern QUORLIX_API const Result RArchiveIllegalPathCharacter;
extern QUORLIX_API const Result RArchiveInvalidPassword;
extern QUORLIX_API const Result RArchiveInvalidKey;
extern QUORLIX_API const Result RArchiveBusy;
extern QUORLIX_API const Result RArchiveNotFound;
extern QUORLIX_API const Result RArchiveNotOpen;
extern QUORLIX_API const Result RArchiveFileNotFound;
extern QUORLIX_API const Result RArchiveFileExists;
extern QUORLIX_API const Result RArchiveCorrupted;
extern QUORLIX_API const Result RArchiveInvalidChunkID;
extern QUORLIX_API const Result RArchiveFatal;

/// Supplies files to AddFile from somewhere other than the local file system; no such source
/// exists yet, so AddFile takes a null one.
class VirtualFileSystem;

namespace Internal {
struct ArchiveState;
}

class QUORLIX_API Archive {
public:
    /// How added files are stored.
    enum StoreMode : int {
        StoreModeStore = 0,    // as they are
        StoreModeCompress = 1, // zlib-compressed when that saves at least 32 bytes
    };
    /// How added files are enciphered.
    enum CryptMode : int {
        CryptModeNone = 0,
        CryptModeTEA = 1, // TEA, electronic codebook, with the archive's key
    };
    /// ListFiles flags. ListSkipInvalid goes on past names that fail ValidateFileName (each is
    /// logged with its name and left out) instead of ending the listing at the first; the
    /// result is then the first such failure.
    enum : unsigned { ListRecursive = 0x1, ListSkipInvalid = 0x2 };
    /// FILE head flag bits.
    enum : unsigned {
        FlagCompressionMask = 0x07,
        FlagCompressZLib = 0x01,
        FlagCipherMask = 0x38,
        FlagCipherTEA = 0x08,
    };

    static Archive* Create();
    Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;
    /// Closes first (which writes a pending update).
    virtual ~Archive();

    /// A read pipe on the stored file `path`: the archive file behind a chunk window, a TEA
    /// decipher pipe and a gzip decoder as the member needs. Null, with the reason in `result`,
    /// on failure. Only reading is supported (other modes are warned about and read anyway).
    virtual StreamPipe* OpenStream(const StringRef& path, unsigned ioMode, Result& result) const;
    /// Starts an empty archive to be written to `archivePath` on Close.
    [[nodiscard]] virtual Result OpenNew(const StringRef& archivePath);
    /// Opens an archive for reading: checks its heads, reads its directory tree and its size.
    [[nodiscard]] virtual Result OpenExisting(const StringRef& archivePath);
    /// Archives on other hosts are not supported: RArchiveNotFound.
    [[nodiscard]] virtual Result OpenExistingRemote(const StringRef& host,
                                                    const StringRef& archivePath);
    /// Writes the archive after an update (see above), else releases it.
    [[nodiscard]] virtual Result Close();
    /// Creates a directory and the missing ones above it, in an archive open for update.
    /// RArchiveFatal, logged with the reason and with nothing created, when the archive is not
    /// open for update, the path fails ValidateFileName or a file stands where a folder must go.
    [[nodiscard]] virtual Result MakeDir(const StringRef& path);
    [[nodiscard]] virtual Result SetStoreMode(StoreMode mode, unsigned parameter);
    /// Mode 0 needs an empty key; mode 1 a key of 32 hexadecimal digits (four 32-bit words,
    /// most significant digit first). Else RArchiveInvalidKey.
    [[nodiscard]] virtual Result SetCryptMode(CryptMode mode, unsigned parameter,
                                              const StringRef& key);
    /// Adds the local file `sourceFile` as `path` to an archive open for update. Its directory
    /// must exist. With compression, the compressed form is made now and kept until Close: in
    /// `tempFile` when one is given; else in memory for sources of up to 64 MiB as long as all
    /// members held stay within 256 MiB, in a new temporary file otherwise. Sources stored as
    /// they are are read again on Close.
    [[nodiscard]] virtual Result AddFile(const StringRef& path, const StringRef& sourceFile,
                                         const StringRef& tempFile, VirtualFileSystem* files);
    /// A stored file's two times; a directory's time (path ending in '/'); the archive's time
    /// (empty path). Times are 100-ns counts since 1601.
    [[nodiscard]] virtual Result GetFileTime(const StringRef& path, int64_t& first,
                                             int64_t& second);
    /// Appends the subdirectories ("name/") and then the files of directory `dir` to `out`, with
    /// `dir` as prefix; ListRecursive descends into each subdirectory after naming it.
    [[nodiscard]] virtual Result ListFiles(Array<String>& out, const StringRef& dir,
                                           unsigned flags);
    /// Splits at the last '/': `dir` before it (empty when there is none), `name` after it.
    [[nodiscard]] virtual Result SplitPathName(const StringRef& path, String& dir, String& name);
    /// Null for a path that may be stored, else the RArchiveIllegalPath... result.
    [[nodiscard]] virtual Result ValidateFileName(const StringRef& path);

    /// Reads the whole archive and checks every digest and the file size. Logs the result at
    /// information level when it is a failure. `flags` is reserved (0).
    [[nodiscard]] static Result TestExisting(const StringRef& archivePath, unsigned flags);

    /// The key that archives opened afterwards start with (crypt mode TEA), so that enciphered
    /// members read through the storage layer; empty clears it. RArchiveInvalidKey, with the
    /// old key kept, for a key that is neither empty nor 32 hexadecimal digits. Thread-safe.
    [[nodiscard]] static Result SetDefaultKey(const StringRef& key);

    /// Opens an existing archive for update: Close writes it anew from its members (copied
    /// byte for byte) and the files added since.
    [[nodiscard]] Result OpenUpdate(const StringRef& archivePath);
    /// The time written into new file records, new directories and the ARCH head on Close;
    /// 0 (the default) takes the current time. Makes archives reproducible.
    void SetWriteTime(uint64_t fileTime) noexcept;
    /// Whether the archive is open for reading or for update.
    bool IsOpen() const noexcept;
    /// What the index and the FILE head say about a stored file.
    struct FileInfo {
        uint64_t m_StoredLength = 0; // bytes after the FILE head, without padding
        uint64_t m_PlainLength = 0;  // bytes before enciphering (the stored length when not
                                     // enciphered or not recorded)
        unsigned m_Flags = 0;        // FILE head storage flags
        int64_t m_First = 0;         // the record's two times
        int64_t m_Second = 0;
    };
    [[nodiscard]] Result GetFileInfo(const StringRef& path, FileInfo& info) const;

private:
    Internal::ArchiveState* m_State;
};

/// Parses a key text of 32 hexadecimal digits into four words; false for anything else.
QUORLIX_API bool ParseArchiveKey(const StringRef& key, unsigned words[4]) noexcept;

} // namespace Quorlix
