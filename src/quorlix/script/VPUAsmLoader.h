#pragma once
// Executes a compiled script: the instruction words that follow the header ('K','S','C',1)
// create objects in a namespace under their numbers and set their members, without parsing.
// Nothing in the program is trusted: counts, lengths, class and member identifiers and the
// value type of every member set are checked before anything is read, allocated or written.

#include "quorlix/core/Obj.h"
#include "quorlix/core/Result.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptObject.h"
#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

class ScriptNamespace;

class QUORLIX_API VPUAsmLoader {
public:
    /// Most bytes of a program (1 GiB, exclusive).
    static constexpr int64_t k_MaxProgramBytes = int64_t{1} << 30;

    /// Holds `pipe` (counted), positioned after the header.
    explicit VPUAsmLoader(StreamPipe* pipe);

    /// Reads the rest of the pipe and runs it into `ns` (a memory pipe's block in place). On
    /// opcode 0 or at the end of the data `result` is set to the current object (the last
    /// created or selected; the nil object when none) and SOK returned; data behind an opcode 0
    /// is not run, and its size is logged as a warning. A program of k_MaxProgramBytes or
    /// more is refused at once (EOverflow). An illegal opcode logs "VPUAsmLoader::Execute:
    /// illegal opcode: " and its number (EUnimplemented); any other fault (a truncated
    /// instruction, an invalid class or member, a value type other than the member's, object
    /// number 0, a member set without a current object, an undefined object) logs
    /// "VPUAsmLoader::Execute: " and the reason (EFail or EInvalidArgument). After a fault
    /// `result` is untouched; what was created before it stays defined.
    EResult Execute(ScriptNamespace* ns, Obj<ScriptObject>& result);

private:
    Obj<StreamPipe> m_Pipe;
};

} // namespace Quorlix
