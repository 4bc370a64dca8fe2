// Remote objects: the blocks Select and Flush write around member assignments.

#include "quorlix/net/RemoteObject.h"
#include "quorlix/core/Memory.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/stream/StreamPipeMemory.h"

#include <gtest/gtest.h>

#include <string>

using namespace Quorlix;

namespace {

// What the sender wrote after the stream's header line.
std::string Written(const StreamPipeMemory& pipe) {
    const std::string all(reinterpret_cast<const char*>(pipe.GetData()),
                          static_cast<size_t>(pipe.GetSize()));
    return all.substr(all.find('\n') + 1);
}

TEST(RemoteObject, SelectAndFlushOpenAndCloseBlocksOnce) {
    Obj<StreamPipeMemory> pipe(StreamPipeMemory::Create());
    Obj<ScriptStream> stream(NewObject<ScriptStreamAlpha>(pipe.Get()));
    Obj<RemoteObject> remote(RemoteObject::Create());
    remote->SetSendStream(stream.Get());
    remote->Flush();
    EXPECT_EQ(Written(*pipe), "");
    remote->Select(String("a"));
    remote->Flush();
    remote->Flush();
    remote->Select(String("b"));
    remote->Select(String("c"));
    remote->Flush();
    // The text stream ends its lines as text files here do.
    EXPECT_EQ(Written(*pipe), ":a .{\n};\n:b .{\n};\n:c .{\n};\n");
}

} // namespace
