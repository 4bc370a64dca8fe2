// quorlix: the command-line program of the engine runtime.

#include "quorlix/Quorlix.h"

#include <cstdio>
#include <cstring>

using namespace Quorlix;

namespace {

int PrintVersion() {
    std::printf("quorlix %s (library %s, %s)\n", k_VersionTag, GetLibraryVersionTag(),
                Platform::LibraryPath().c_str());
    return 0;
}

// A short tour of the string and hash layer.
int Demo() {
    String scene("scenes/");
    String path = scene + "castle.kss";
    std::printf("path            %s (%d characters)\n", path.GetCPtr(), path.Size());
    std::printf("extension at    %d\n", path.RSearch('.'));
    std::printf("hash            %08X\n", path.Hash32());

    String copy = path;
    copy.Replace(0, 'S');
    std::printf("edited copy     %s (original stays %s)\n", copy.GetCPtr(), path.GetCPtr());

    StringHashArray names(4);
    const char* const words[] = {"Camera", "Light", "Mesh", "Light"};
    for (const char* word : words)
        names.Insert(String(word), nullptr);
    void* value = nullptr;
    std::printf("Find(Light)     handle %d\n", names.Find(String("Light"), value));
    names.Remove(String("Light"));
    std::printf("after Remove    handle %d, %d entries left\n", names.Find(String("Light"), value),
                names.EntryCount());
    return 0;
}

void Usage() {
    std::fputs("usage: quorlix --version | demo\n", stderr);
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "version") == 0))
        return PrintVersion();
    if (argc == 2 && std::strcmp(argv[1], "demo") == 0)
        return Demo();
    Usage();
    return 2;
}
