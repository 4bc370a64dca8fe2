// Archive reader fuzzer: the input is a whole archive file. Opening, listing, reading every
// member and full verification must answer with a result, never crash or read out of bounds, and
// an archive that verifies must also open.

#include "quorlix/core/Obj.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/stream/Archive.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace Quorlix;

#define EXPECT(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "archive_reader: line %d: %s\n", __LINE__, #c), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        return std::string(tmp != nullptr ? tmp : "/tmp") + "/archive_reader." +
               std::to_string(::getpid()) + ".kxp";
    }();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(input), static_cast<std::streamsize>(size));

    const Result verified = Archive::TestExisting(String(path.c_str()), 0);
    Obj<Archive> archive = Archive::Create();
    const Result opened = archive->OpenExisting(String(path.c_str()));
    if (verified == nullptr)
        EXPECT(opened == nullptr);
    if (opened == nullptr) {
        archive->SetCryptMode(Archive::CryptModeTEA, 0, String("00112233445566778899aabbccddeeff"));
        Array<String> names;
        archive->ListFiles(names, String(""), Archive::ListRecursive);
        char buffer[4096];
        for (const String& name : names) {
            int64_t first, second;
            archive->GetFileTime(name, first, second);
            Result result = nullptr;
            Obj<StreamPipe> pipe = archive->OpenStream(name, IOReadDefault, result);
            EXPECT((pipe != nullptr) == (result == nullptr));
            // Members may inflate without bound: read a bounded amount, in two passes.
            for (int pass = 0; pipe && pass < 2; ++pass) {
                for (int total = 0, n;
                     total < (1 << 20) && (n = pipe->Read(buffer, sizeof buffer)) > 0;)
                    total += n;
                pipe->Seek(0, SeekBegin);
            }
        }
        archive->Close();
    }
    ::unlink(path.c_str());
    return 0;
}
