// Parses arbitrary bytes as an ascii script (after a valid header line) into a fresh engine,
// quietly. Every construct must end cleanly: no crash, no unbounded recursion or allocation.

#include "ScriptFuzz.h"

using namespace Quorlix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuorlixFuzz::StartScriptLibrary();
    if (size > QuorlixFuzz::k_MaxScriptInput)
        return 0;
    QuorlixFuzz::ExecuteAfterHeader("//KS 0.3 F010219x\n", data, size, ParseLineCount | ParseQuiet);
    // The text form of the same bytes, through the memory lexer.
    const Obj<ScriptEngine> other(ScriptEngine::Create());
    other->Execute(String(reinterpret_cast<const char*>(data), static_cast<int>(size)),
                   String("fuzz"), ParseQuiet);
    return 0;
}
