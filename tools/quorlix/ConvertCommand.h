#pragma once
// "quorlix convert": executes a script in a fresh engine and writes every object tree it built
// to another file in the ascii, binary or compiled form.

#include "quorlix/core/Array.h"
#include "quorlix/core/Obj.h"

#include <functional>

namespace CLI {
class App;
}

namespace Quorlix {
class ScriptEngine;
class ScriptObject;
} // namespace Quorlix

namespace QuorlixTool {

/// The roots convert writes: the objects of the root namespace that no other listed object's
/// tree reaches, in the namespace's order. Variables (boxed values) are script state, not
/// objects, and are left out; objects of child namespaces are written only as far as a root's
/// tree reaches them. Objects that reach each other in a cycle: the first listed becomes a root.
Quorlix::Array<Quorlix::Obj<Quorlix::ScriptObject>>
FindExportRoots(const Quorlix::ScriptEngine& engine);

/// Adds "convert" to `app`. Parsing it sets `action`, which returns the exit status: 0 when the
/// output was written, 1 when the input had errors or the output could not be written (nothing
/// is left at the output path then), 2 for an output form that cannot be told.
void AddConvertCommand(CLI::App& app, std::function<int()>& action);

} // namespace QuorlixTool
