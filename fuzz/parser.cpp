// Parses arbitrary bytes as an ascii script (after a valid header line) into a fresh engine,
// quietly. Every construct must end cleanly: no crash, no unbounded recursion or allocation.

#include "quorlix/script/Parser.h"
#include "quorlix/library/Library.h"
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
    // Includes resolve below a folder that does not exist, so no input reaches real files.
    (void)Storage::SetReadPath(String("/nonexistent-quorlix-fuzz/"));
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool initialized = Initialize();
    (void)initialized;
    if (size > (1u << 20))
        return 0;
    std::string bytes = "//KS 0.3 F010219x\n";
    bytes.append(reinterpret_cast<const char*>(data), size);
    const Obj<ScriptEngine> engine(ScriptEngine::Create());
    engine->Execute(StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size())),
                    String("fuzz"), ParseLineCount | ParseQuiet);
    // The text form of the same bytes, through the memory lexer.
    const Obj<ScriptEngine> other(ScriptEngine::Create());
    other->Execute(String(reinterpret_cast<const char*>(data), static_cast<int>(size)),
                   String("fuzz"), ParseQuiet);
    return 0;
}
