#include "quorlix/stream/Archive.h"

#include "quorlix/core/Endian.h"
#include "quorlix/core/MD5.h"
#include "quorlix/stream/ReportStream.h"
#include "quorlix/stream/StreamPipeFileCache.h"
#include "quorlix/stream/internal/ArchiveFormat.h"

#include <cstring>

namespace Quorlix {

using namespace Internal;

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
        if (!Digest(digest, LoadLE64(indx + 8)))
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
        uint64_t remaining = LoadLE64(data + 8);
        for (int64_t ordinal = 0; remaining > 0; ++ordinal) {
            if (remaining < k_LongHead || ReadFully(m_File, file, k_LongHead) != k_LongHead)
                return Damage("FILE head invalid, EOF.");
            if (!HasMagic(file, "FILE"))
                return Damage("FILE invalid.", RArchiveInvalidChunkID);
            const uint64_t length = LoadLE64(file + 8);
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
        const uint64_t expected = LoadLE64(arch + 8) + k_ShortHead;
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
