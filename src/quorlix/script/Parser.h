#pragma once
// The script parser: executes a script while reading it. Each statement is carried out at once
// (a class is defined, a variable set, an object created or changed), so a script is at the
// same time a data file and a small program. Errors are reported with the file name, line and
// column and parsing goes on with the next statement; what parsed stays defined.

#include "quorlix/core/Obj.h"
#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptObject.h"

namespace Quorlix {

class ScriptEngine;
class ScriptNamespace;
class StreamPipe;

/// Parse flags: bit 0 counts lines (messages carry real positions), bit 1 restricts the script
/// to member assignments (below), bit 31 is quiet (no messages; a file with errors returns nil).
/// Other bits are ignored.
///
/// Restricted scripts come from peers that are not trusted (remote objects). Only statements
/// that change members of objects already named in the namespace are carried out, and if
/// blocks around them; member values may be anonymous objects (`Class . { ... }`). Class and
/// enumeration declarations, includes, `var`, `print`, assignments to global variables, other
/// expressions, objects under a name not yet defined and objects whose class would replace a
/// named one are refused one statement at a time ("RemoteObject::Receive: refused statement:
/// <kind>."), counted as errors, and the next statement runs. The compiled form is refused whole.
enum ParseFlag : unsigned {
    ParseLineCount = 1u,
    ParseRestricted = 2u,
    ParseQuiet = 0x80000000u,
};

/// Recognises the form of the script in `pipe` by its first bytes and parses or loads it into
/// `ns`; `name` names it in messages. Returns the namespace's result object, or the nil object
/// (never null).
QUORLIX_API Obj<ScriptObject> Parse(ScriptEngine& engine, ScriptNamespace* ns, StreamPipe* pipe,
                                    const StringRef& name, unsigned flags);
/// Parses the ascii script text `script` (no header) into `ns`.
QUORLIX_API Obj<ScriptObject> Parse(ScriptEngine& engine, ScriptNamespace* ns,
                                    const StringRef& script, const StringRef& name, unsigned flags);
/// Parses the binary script tokens in the `size` bytes at `data` (what follows the 4-byte
/// header of a binary file) into `ns`.
QUORLIX_API Obj<ScriptObject> ParseBinary(ScriptEngine& engine, ScriptNamespace* ns,
                                          const void* data, int size, const StringRef& name,
                                          unsigned flags);

} // namespace Quorlix
