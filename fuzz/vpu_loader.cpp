// Runs arbitrary bytes as a compiled script (after a valid header) into a fresh engine. Every
// count, length, identifier and value type comes from the input and must be checked.

#include "ScriptFuzz.h"

using namespace Quorlix;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QuorlixFuzz::StartScriptLibrary();
    if (size > QuorlixFuzz::k_MaxScriptInput)
        return 0;
    QuorlixFuzz::ExecuteAfterHeader(std::string("KSC\x01", 4), data, size, ParseQuiet);
    return 0;
}
