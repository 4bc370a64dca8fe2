// Parses arbitrary bytes as a binary script (after a valid header) into a fresh engine,
// quietly, from a pipe and from memory. Lying counts and lengths must neither crash nor read
// outside the data nor allocate past what the data backs.

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
    std::string bytes("KSB\x03", 4);
    bytes.append(reinterpret_cast<const char*>(data), size);
    const Obj<ScriptEngine> engine(ScriptEngine::Create());
    engine->Execute(StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size())),
                    String("fuzz"), ParseLineCount | ParseQuiet);
    const Obj<ScriptEngine> other(ScriptEngine::Create());
    ParseBinary(*other, other->GetCurrentNamespace(), data, static_cast<int>(size), String("fuzz"),
                ParseQuiet);
    return 0;
}
