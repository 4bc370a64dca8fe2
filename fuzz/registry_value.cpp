// Registry value file fuzzer: the input is a whole value file. The decoder must agree with the
// registry reading the same bytes from its store, a file it accepts must encode back to the
// same bytes, and the input taken as a name must round-trip through the name encoding without
// ever becoming a path.

#include "quorlix/core/Registry.h"
#include "quorlix/core/internal/RegistryValue.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace Quorlix;

#define EXPECT(c)                                                                                  \
    ((c) ? void()                                                                                  \
         : (std::fprintf(stderr, "registry_value: line %d: %s\n", __LINE__, #c), std::abort()))

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    RegistryValueType type{};
    const unsigned char* data = nullptr;
    size_t dataSize = 0;
    const bool valid = DecodeRegistryValue(input, size, type, data, dataSize);
    if (valid) {
        EXPECT(data == input + k_RegistryValueHeaderBytes && dataSize + 16 == size);
        std::vector<unsigned char> again;
        EXPECT(EncodeRegistryValue(type, data, dataSize, again));
        EXPECT(again.size() == size && std::memcmp(again.data(), input, size) == 0);
    }

    // The same bytes as a value file in a store of the fuzzer's own.
    static const std::string store = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string path = std::string(tmp != nullptr ? tmp : "/tmp") + "/registry_value." +
                           std::to_string(::getpid());
        ::setenv("QUORLIX_SETTINGS_DIR", path.c_str(), 1);
        // Removed at exit, after the registry below has closed its key.
        static char s_Path[4096];
        std::snprintf(s_Path, sizeof s_Path, "%s", path.c_str());
        std::atexit([] { std::filesystem::remove_all(s_Path); });
        return path;
    }();
    static Registry registry;
    if (!registry.IsOpen() && !registry.CreateKey("Fuzz"))
        return 0;
    const std::string file = store + "/HKEY_CURRENT_USER/Fuzz/=v";
    if (FILE* out = std::fopen(file.c_str(), "wb")) {
        const bool written = std::fwrite(input, 1, size, out) == size;
        std::fclose(out);
        if (written) {
            int bufferSize = 64;
            unsigned char buffer[64];
            const bool read = registry.GetValueDataBinary("v", buffer, bufferSize);
            EXPECT(read == (valid && dataSize <= 64));
            EXPECT(!valid || bufferSize == static_cast<int>(dataSize));
            EXPECT(!read || std::memcmp(buffer, data, dataSize) == 0);
            const uint32_t number = registry.GetValueDataU32("v");
            EXPECT(valid && dataSize == 4
                       ? number == (uint32_t{data[0]} | uint32_t{data[1]} << 8 |
                                    uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24)
                       : number == 0xFFFFFFFFu);
            EXPECT(static_cast<size_t>(registry.GetValueData("v").Size()) <= dataSize);
        }
    }

    // The input as a name: encoded, it is one harmless file name that decodes back.
    const std::string name(reinterpret_cast<const char*>(input),
                           strnlen(reinterpret_cast<const char*>(input), size));
    std::string encoded;
    if (EncodeRegistryName(name.c_str(), encoded)) {
        EXPECT(encoded.size() <= k_RegistryMaxEncodedName);
        EXPECT(encoded.find('/') == std::string::npos && encoded != "." && encoded != "..");
        EXPECT(encoded.empty() || (encoded[0] != '=' && encoded[0] != '~' && encoded[0] != '.'));
        EXPECT(DecodeRegistryName(encoded.c_str()) == name);
    }
    return 0;
}
