// Runs arbitrary bytes as a compiled script (after a valid header) into a fresh engine. Every
// count, length, identifier and value type comes from the input and must be checked.

#include "quorlix/library/Library.h"
#include "quorlix/script/Parser.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace Quorlix;

namespace {

bool Initialize() {
    setenv("QUORLIX_NO_DIALOGS", "1", 1);
    DLLInitialize(0);
    (void)Storage::SetReadPath(String("/nonexistent-quorlix-fuzz/"));
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool initialized = Initialize();
    (void)initialized;
    if (size > (1u << 20))
        return 0;
    std::string bytes("KSC\x01", 4);
    bytes.append(reinterpret_cast<const char*>(data), size);
    const Obj<ScriptEngine> engine(ScriptEngine::Create());
    engine->Execute(StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size())),
                    String("fuzz"), ParseQuiet);
    return 0;
}
