// The resource pipe on its own: naming modules and resources, the mode and length rules, and
// the seek rule of its ends. What every pipe shares is in StreamPipeConformanceTest.cpp.

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

TEST(StreamPipeResource, FindsTheLibrarysOwnResourceByEveryModuleName) {
    const std::string library =
        Platform::ModulePathOfAddress(reinterpret_cast<const void*>(&StreamPipeResource::Create));
    for (const std::string& path :
         {std::string("Quorlix010219/ABOUT.txt"), std::string("libQuorlix010219.so/about"),
          std::string("QUORLIX010219.DLL/About.x.y"), library + "/ABOUT"})
        EXPECT_EQ(Text(path), k_About) << path;
    for (const std::string& path :
         {std::string("Quorlix010219/MISSING"), std::string("Quorlix010219/"), std::string("ABOUT"),
          std::string("/ABOUT"), std::string("Quorlix0102/ABOUT"),
          std::string("QuorlixStreamTests/ABOUT"), std::string("libstdc++/ABOUT"),
          std::string("Quorlix010219/.ABOUT")})
        EXPECT_EQ(Text(path), "") << path;
}

TEST(StreamPipeResource, CannotBeCreatedOrTruncated) {
    EXPECT_EQ(Text("Quorlix010219/ABOUT", 16), k_About);
    EXPECT_EQ(Text("Quorlix010219/ABOUT", 1 | 2), k_About);
    for (unsigned mode : {4u, 8u, 12u, 20u, 24u, 28u, 1u | 14u})
        EXPECT_EQ(Text("Quorlix010219/ABOUT", mode), "") << mode;
}

TEST(StreamPipeResource, PartsLongerThan260CharactersGiveAnEmptyPipe) {
    // The name part counts up to the end, its extension included.
    EXPECT_EQ(Text("Quorlix010219/ABOUT." + std::string(254, 'x')), k_About);
    EXPECT_EQ(Text("Quorlix010219/ABOUT." + std::string(255, 'x')), "");
    std::string library =
        Platform::ModulePathOfAddress(reinterpret_cast<const void*>(&StreamPipeResource::Create));
    const size_t slash = library.rfind('/');
    ASSERT_LT(library.size(), 200u);
    // The same module, spelled out to 260 characters.
    std::string padded =
        library.substr(0, slash + 1) + std::string((260 - library.size()) % 2, '/');
    for (size_t i = 0; i < (260 - library.size()) / 2; ++i)
        padded += "./";
    padded += library.substr(slash + 1);
    ASSERT_EQ(padded.size(), 260u);
    EXPECT_EQ(Text(padded + "/ABOUT"), k_About);
    EXPECT_EQ(Text("/" + padded + "/ABOUT"), "");
}

TEST(StreamPipeResource, SeeksFromTheEndBackwardsAndNeverOntoIt) {
    Obj<StreamPipeResource> pipe = StreamPipeResource::Create("Quorlix010219/ABOUT", 1);
    const int64_t size = static_cast<int64_t>(k_About.size());
    ASSERT_EQ(pipe->GetSize(), size);
    EXPECT_EQ(pipe->Seek(5, SeekBegin), 5);
    EXPECT_EQ(pipe->Seek(0, SeekEnd), -1);
    EXPECT_EQ(pipe->Seek(size, SeekBegin), -1);
    EXPECT_EQ(pipe->Seek(-1, SeekEnd), -1);
    EXPECT_EQ(pipe->Read(), k_About[5]); // failed seeks kept the position
    EXPECT_EQ(pipe->Seek(1, SeekEnd), size - 1);
    EXPECT_EQ(pipe->Read(), '\n');
    EXPECT_EQ(pipe->Seek(size, SeekEnd), 0);
    EXPECT_EQ(pipe->Seek(size + 1, SeekEnd), -1);
    EXPECT_EQ(pipe->Seek(0, 2), -1);
    EXPECT_EQ(pipe->Read(), 'Q');
}

} // namespace
