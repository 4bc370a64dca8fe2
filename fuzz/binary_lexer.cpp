// Parses arbitrary bytes as a binary script (after a valid header) into a fresh engine,
// quietly, from a pipe and from memory. Lying counts and lengths must neither crash nor read
// outside the data nor allocate past what the data backs.

#include "ScriptFuzz.h"

using namespace Quorlix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuorlixFuzz::StartScriptLibrary();
    if (size > QuorlixFuzz::k_MaxScriptInput)
        return 0;
    QuorlixFuzz::ExecuteAfterHeader(std::string("KSB\x03", 4), data, size,
                                    ParseLineCount | ParseQuiet);
    const Obj<ScriptEngine> other(ScriptEngine::Create());
    ParseBinary(*other, other->GetCurrentNamespace(), data, static_cast<int>(size), String("fuzz"),
                ParseQuiet);
    return 0;
}
