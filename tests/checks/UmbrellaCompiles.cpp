// The umbrella header alone, built with the tree's warnings as errors: an embedder that
// includes it gets a complete, warning-free interface.
#include "quorlix/Quorlix.h"

int main() {
    const Quorlix::String name("umbrella");
    return name.Size() == 8 && name.Hash32() == name.Ref().Hash32() ? 0 : 1;
}
