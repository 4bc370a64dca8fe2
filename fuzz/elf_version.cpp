// Version record fuzzer: the input is a whole file. The reader over memory and the reader over
// the same bytes on disc must agree, and a record they find must carry the signature.

#include "quorlix/platform/VersionRecord.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace Quorlix::Platform;

#define EXPECT(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "elf_version: line %d: %s\n", __LINE__, #c), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    VersionRecord fromMemory{};
    const bool inMemory = ParseVersionRecord(data, size, fromMemory);
    if (inMemory)
        EXPECT(fromMemory.m_Signature == k_VersionRecordSignature);

    static const std::string path =
        std::string(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp") +
        "/elf_version." + std::to_string(::getpid());
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        const bool written = std::fwrite(data, 1, size, file) == size;
        std::fclose(file);
        VersionRecord fromFile{};
        const bool onDisc = ReadVersionRecord(path.c_str(), fromFile);
        std::remove(path.c_str());
        // An empty file is no regular file with content: both readers refuse it.
        if (written) {
            EXPECT(onDisc == inMemory);
            EXPECT(!onDisc || std::memcmp(&fromFile, &fromMemory, sizeof fromFile) == 0);
        }
    }
    return 0;
}
