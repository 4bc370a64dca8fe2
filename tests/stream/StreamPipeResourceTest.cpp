// The resource pipe on its own: naming modules and resources, the mode and length rules, and
// its last byte. What every pipe shares is in StreamPipeConformanceTest.cpp.

#include "quorlix/stream/StreamPipeResource.h"
#include "quorlix/core/Obj.h"
#include "quorlix/platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>

using namespace Quorlix;

namespace {

const std::string k_About = "Quorlix runtime library, version 010219.\n";

std::string Text(const std::string& path, unsigned mode = IOReadDefault) {
    Obj<StreamPipeResource> pipe = StreamPipeResource::Create(path.c_str(), mode);
    std::string text(static_cast<size_t>(pipe->GetSize()), '\0');
    text.resize(static_cast<size_t>(pipe->Read(text.data(), static_cast<int>(text.size()))));
    return text;
}

const std::string k_Library =
    Platform::ModulePathOfAddress(reinterpret_cast<const void*>(&StreamPipeResource::Create));

TEST(StreamPipeResource, FindsResourcesByModuleNameForReadingOnly) {
    for (const std::string& path :
         {std::string("Quorlix010219/ABOUT.txt"), std::string("libQuorlix010219.so/about"),
          std::string("QUORLIX010219.DLL/About.x.y"), k_Library + "/ABOUT"})
        EXPECT_EQ(Text(path), k_About) << path;
    for (const char* path :
         {"Quorlix010219/MISSING", "Quorlix010219/", "ABOUT", "/ABOUT", "Quorlix0102/ABOUT",
          "QuorlixStreamTests/ABOUT", "libstdc++/ABOUT", "Quorlix010219/.ABOUT"})
        EXPECT_EQ(Text(path), "") << path;
    EXPECT_EQ(Text("Quorlix010219/ABOUT", 16), k_About);
    EXPECT_EQ(Text("Quorlix010219/ABOUT", 1 | 2), k_About);
    for (unsigned mode : {4u, 8u, 12u, 20u, 24u, 28u, 1u | 14u})
        EXPECT_EQ(Text("Quorlix010219/ABOUT", mode), "") << mode; // cannot create or truncate
    // From the end the offset counts backwards, and the end itself is no position.
    Obj<StreamPipeResource> pipe = StreamPipeResource::Create("Quorlix010219/ABOUT", 1);
    EXPECT_EQ(pipe->Seek(0, SeekEnd), -1);
    EXPECT_EQ(pipe->Seek(1, SeekEnd), static_cast<int64_t>(k_About.size()) - 1);
    EXPECT_EQ(pipe->Read(), '\n');
}

TEST(StreamPipeResource, NamesLongerThan260CharactersGiveAnEmptyPipe) {
    // The name part counts up to the end, its extension included.
    EXPECT_EQ(Text("Quorlix010219/ABOUT." + std::string(254, 'x')), k_About);
    EXPECT_EQ(Text("Quorlix010219/ABOUT." + std::string(255, 'x')), "");
    const size_t slash = k_Library.rfind('/');
    ASSERT_LT(k_Library.size(), 200u);
    // The same module, spelled out to 260 characters.
    std::string padded =
        k_Library.substr(0, slash + 1) + std::string((260 - k_Library.size()) % 2, '/');
    for (size_t i = 0; i < (260 - k_Library.size()) / 2; ++i)
        padded += "./";
    padded += k_Library.substr(slash + 1);
    ASSERT_EQ(padded.size(), 260u);
    EXPECT_EQ(Text(padded + "/ABOUT"), k_About);
    EXPECT_EQ(Text("/" + padded + "/ABOUT"), "");
}

} // namespace
