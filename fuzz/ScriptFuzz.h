#pragma once
// What the script fuzz targets share: the library started once, includes kept away from real
// files, and the input executed after a valid header in a fresh engine.

#include "quorlix/library/Library.h"
#include "quorlix/script/Parser.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/stream/Storage.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace QuorlixFuzz {

/// Inputs larger than this are skipped: they only slow the search.
constexpr size_t k_MaxScriptInput = 1u << 20;

inline void StartScriptLibrary() {
    static const bool started = [] {
        setenv("QUORLIX_NO_DIALOGS", "1", 1);
        Quorlix::DLLInitialize(0);
        // Includes resolve below a folder that does not exist, so no input reaches real files.
        (void)Quorlix::Storage::SetReadPath(Quorlix::String("/nonexistent-quorlix-fuzz/"));
        return true;
    }();
    (void)started;
}

/// Executes `header` followed by the input through a memory pipe in a fresh engine.
inline void ExecuteAfterHeader(const std::string& header, const uint8_t* data, size_t size,
                               unsigned flags) {
    std::string bytes = header;
    bytes.append(reinterpret_cast<const char*>(data), size);
    const Quorlix::Obj<Quorlix::ScriptEngine> engine(Quorlix::ScriptEngine::Create());
    engine->Execute(Quorlix::StreamPipeMemory::Create(bytes.data(), static_cast<int>(bytes.size())),
                    Quorlix::String("fuzz"), flags);
}

} // namespace QuorlixFuzz
