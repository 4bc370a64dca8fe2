// Makes a string, hashes it and tells which library file it ran against.
#include "quorlix/Quorlix.h"

#include <cstdio>

int main() {
    using namespace Quorlix;
    const String path = String("scenes/") + "castle.kss";
    const String copy = path; // shares the buffer
    const unsigned hash = path.Hash32();
    const unsigned direct = FastStringHash32(reinterpret_cast<const unsigned char*>(path.GetCPtr()),
                                             static_cast<unsigned>(path.Size()), 0);
    std::printf("consumer: %s hash %08X\n", path.GetCPtr(), hash);
    std::printf("consumer: library %s\n", DLLGetModulePath());
    return hash == direct && copy.GetCPtr() == path.GetCPtr() ? 0 : 1;
}
