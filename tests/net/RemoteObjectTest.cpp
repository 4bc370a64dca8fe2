// Remote objects: the sender's blocks and values read back by a second engine, the receive
// rule against a peer that sends more than assignments, and a real peer process on loopback.

#include "quorlix/net/RemoteObject.h"
#include "net/NetTestSupport.h"
#include "quorlix/core/Memory.h"
#include "quorlix/library/Library.h"
#include "quorlix/net/StreamPipeTCP.h"
#include "quorlix/scene/SceneClassIndex.h"
#include "quorlix/script/ClassTable.h"
#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/ScriptEngine.h"
#include "quorlix/script/ScriptNamespace.h"
#include "quorlix/script/ScriptStreamAlpha.h"
#include "quorlix/stream/StreamPipeMemory.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace Quorlix;

namespace {

class RemoteObjectTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { DLLInitialize(0); }
    static void TearDownTestSuite() { DLLDeInitialize(0); }
};

// What the sender wrote after the stream's header line.
std::string Written(const StreamPipeMemory& pipe) {
    const std::string all(reinterpret_cast<const char*>(pipe.GetData()),
                          static_cast<size_t>(pipe.GetSize()));
    return all.substr(all.find('\n') + 1);
}

// A sender writing to memory, and what it wrote as a pipe a receiver reads.
struct Sender {
    Obj<StreamPipeMemory> m_Pipe{StreamPipeMemory::Create()};
    Obj<ScriptStream> m_Stream{NewObject<ScriptStreamAlpha>(m_Pipe.Get())};
    Obj<RemoteObject> m_Remote{RemoteObject::Create()};
    Sender() { m_Remote->SetSendStream(m_Stream.Get()); }
    StreamPipe* Sent() const {
        return StreamPipeMemory::Create(m_Pipe->GetData(), static_cast<int>(m_Pipe->GetSize()));
    }
};

// A receiving engine with `object` named `name`; Receive runs `script` (a pipe or text).
struct Receiver {
    Obj<ScriptEngine> m_Engine{ScriptEngine::Create()};
    Obj<RemoteObject> m_Remote{RemoteObject::Create()};
    explicit Receiver(const struct Probe& probe);
    void Name(ScriptObject* object, const char* name) {
        m_Engine->GetCurrentNamespace()->DefObject(object, String(name));
    }
    void Receive(StreamPipe* pipe) {
        m_Remote->SetReceivePipe(pipe);
        m_Remote->Receive();
    }
    void Receive(const std::string& text) {
        const std::string script = "//KS 0.3 F010219x\n" + text;
        Receive(StreamPipeMemory::Create(script.data(), static_cast<int>(script.size())));
    }
};

// Every kind of value Send takes, on one script class, with an object class and an enumeration.
// The members are defined in their declaration order, between Begin() and End().
struct Probe {
    Obj<ScriptClass> m_Shade{ScriptClass::Create()};
    Obj<ScriptClass> m_Part{ScriptClass::Create()};
    Obj<ScriptClass> m_Class{ScriptClass::Create()};
    const ClassType_Enum* m_Bright = nullptr;
    const ClassMember_F32* m_Weight = nullptr;
    const ClassMember_String* m_Tag = nullptr;

    bool Begin() {
        m_Shade->DefClassEnum("RemoteShade", nullptr);
        m_Shade->DefMemberEnum("Dim", 0, 0);
        m_Bright = m_Shade->DefMemberEnum("Bright", 1, 0);
        m_Shade->EndClass();
        m_Part->DefClassObject("RemotePart", nullptr);
        m_Weight = static_cast<const ClassMember_F32*>(
            m_Part->DefMemberVar("Weight", BuiltinTypeID(k_ClassF32), 0, nullptr));
        m_Tag = static_cast<const ClassMember_String*>(
            m_Part->DefMemberVar("Tag", BuiltinTypeID(k_ClassString), 0, nullptr));
        m_Part->EndClass();
        m_Class->DefClassObject("RemoteProbe", nullptr);
        return true;
    }
    template <class M>
    const M* Add(const char* name, int type) {
        const ClassType_MemberID* m = m_Class->DefMemberVar(name, BuiltinTypeID(type), 0, nullptr);
        EXPECT_NE(m, nullptr) << name;
        return static_cast<const M*>(m);
    }

    bool m_Begun = Begin();
    const ClassMember_Object* m_Object = Add<ClassMember_Object>("Object", k_ClassScriptObject);
    const ClassMember_MemberID* m_Member = Add<ClassMember_MemberID>("Member", k_ClassMemberID);
    const ClassMember_Enum* m_Enum = Add<ClassMember_Enum>("Enum", k_ClassEnum);
    const ClassMember_Bool* m_Bool = Add<ClassMember_Bool>("Bool", k_ClassBool);
    const ClassMember_String* m_String = Add<ClassMember_String>("String", k_ClassString);
    const ClassMember_I32* m_I32 = Add<ClassMember_I32>("I32", k_ClassI32);
    const ClassMember_I64* m_I64 = Add<ClassMember_I64>("I64", k_ClassI64);
    const ClassMember_U32* m_U32 = Add<ClassMember_U32>("U32", k_ClassU32);
    const ClassMember_U64* m_U64 = Add<ClassMember_U64>("U64", k_ClassU64);
    const ClassMember_F32* m_F32 = Add<ClassMember_F32>("F32", k_ClassF32);
    const ClassMember_F64* m_F64 = Add<ClassMember_F64>("F64", k_ClassF64);
    const ClassMember_Vector2f* m_V2 = Add<ClassMember_Vector2f>("V2", k_ClassVector2f);
    const ClassMember_Vector3f* m_V3 = Add<ClassMember_Vector3f>("V3", k_ClassVector3f);
    const ClassMember_Vector4f* m_V4 = Add<ClassMember_Vector4f>("V4", k_ClassVector4f);
    const ClassMember_Matrix4f* m_M4 = Add<ClassMember_Matrix4f>("M4", k_ClassMatrix4f);
    const ClassMember_Quaternionf* m_Q = Add<ClassMember_Quaternionf>("Q", k_ClassQuaternionf);
    const ClassMember_Spheref* m_S = Add<ClassMember_Spheref>("S", k_ClassSpheref);
    bool m_Ended = (m_Class->EndClass(), true);

    Obj<ScriptObject> New() const {
        return Obj<ScriptObject>(ScriptObject::Create(m_Class->GetClassID()));
    }
    Obj<ScriptObject> NewPart() const {
        return Obj<ScriptObject>(ScriptObject::Create(m_Part->GetClassID()));
    }
};

// The receiver declared the classes it mirrors.
Receiver::Receiver(const Probe& probe) {
    m_Remote->SetEngine(m_Engine.Get());
    Array<Obj<ScriptClass>> classes;
    classes.Add(probe.m_Shade);
    classes.Add(probe.m_Part);
    classes.Add(probe.m_Class);
    m_Engine->ImportClassList(classes);
}

bool Contains(const std::vector<std::string>& messages, const std::string& text) {
    return std::any_of(messages.begin(), messages.end(),
                       [&](const std::string& m) { return m.find(text) != std::string::npos; });
}

TEST_F(RemoteObjectTest, SelectAndFlushOpenAndCloseBlocksOnce) {
    Sender sender;
    sender.m_Remote->Flush();
    EXPECT_EQ(Written(*sender.m_Pipe), "");
    sender.m_Remote->Select(String("a"));
    sender.m_Remote->Flush();
    sender.m_Remote->Flush();
    sender.m_Remote->Select(String("b"));
    sender.m_Remote->Select(String("c"));
    sender.m_Remote->Flush();
    // The text stream ends its lines as text files here do.
    EXPECT_EQ(Written(*sender.m_Pipe), ":a .{\n};\n:b .{\n};\n:c .{\n};\n");
}

TEST_F(RemoteObjectTest, EverySentValueReadsBackInAnotherEngine) {
    const Probe probe;
    Receiver receiver(probe);
    const Obj<ScriptObject> target = probe.New();
    receiver.Name(target.Get(), "probe");
    {
        // Nil is its class name alone, and the receiver stores nil over an object.
        target->Set(probe.m_Object, probe.NewPart().Get());
        Sender sender;
        sender.m_Remote->Select(String("probe"));
        sender.m_Remote->Send(probe.m_Object, nullptr);
        sender.m_Remote->Flush();
        EXPECT_EQ(Written(*sender.m_Pipe), ":probe .{\n.Object Nil;\n};\n");
        receiver.Receive(sender.Sent());
        EXPECT_EQ(receiver.m_Engine->GetErrorCount(), 0);
        EXPECT_TRUE(target->Get(probe.m_Object)->IsNil());
    }
    const std::string text = "quote \" back \\ bell \x07 tab \t line\nend \x7f";
    const Matrix4f matrix(1, -2, 3, 0.5f, 5, 6, -7, 8, 9, 10, 11.25f, 12, -13, 14, 15, 1e-3f);
    // Object values: one member that differs, none, and several, each a whole body.
    for (int differing = 0; differing < 3; ++differing) {
        const Obj<ScriptObject> part = probe.NewPart();
        if (differing >= 1)
            part->Set(probe.m_Weight, 2.5f);
        if (differing >= 2)
            part->Set(probe.m_Tag, String("p;}{"));
        Sender sender;
        RemoteObject& send = *sender.m_Remote;
        send.Select(String("probe"));
        send.Send(probe.m_Object, part.Get());
        send.Send(probe.m_Member, probe.m_I64);
        send.Send(probe.m_Enum, probe.m_Bright);
        send.Send(probe.m_String, String(text.data(), static_cast<int>(text.size())));
        // Plain values: sent now, compared once the receiver has read them.
        std::vector<std::function<void()>> expectations;
        const auto value = [&](auto member, auto sent) {
            send.Send(member, sent);
            expectations.push_back(
                [&target, member, sent] { EXPECT_EQ(target->Get(member), sent); });
        };
        value(probe.m_Bool, true);
        value(probe.m_I32, -2147483647 - 1);
        value(probe.m_I64, int64_t{-9000000000000000000});
        value(probe.m_U32, 4294967295u);
        value(probe.m_U64, uint64_t{18000000000000000000u});
        value(probe.m_F32, -1.25e-7f);
        value(probe.m_F64, 3.141592653589793);
        value(probe.m_V2, Vector2f(1.5f, -2));
        value(probe.m_V3, Vector3f(0.1f, 0.2f, 0.3f));
        value(probe.m_V4, Vector4f(1, 2, 3, 4));
        value(probe.m_M4, matrix);
        value(probe.m_Q, Quaternionf(0.5f, -0.5f, 0.5f, -0.5f));
        value(probe.m_S, Spheref(Vector3f(1, 2, 3), 4));
        send.Flush();
        receiver.m_Engine->ResetErrorCount();
        QuorlixTest::LogCapture errors;
        receiver.Receive(sender.Sent());
        SCOPED_TRACE(Written(*sender.m_Pipe));
        EXPECT_EQ(receiver.m_Engine->GetErrorCount(), 0) << errors.Text();
        ScriptObject* got = target->Get(probe.m_Object);
        ASSERT_STREQ(got->GetObjectClassName(), "RemotePart");
        EXPECT_NE(got, part.Get());
        EXPECT_EQ(got->Get(probe.m_Weight), differing >= 1 ? 2.5f : 0.0f);
        EXPECT_EQ(got->Get(probe.m_Tag), String(differing >= 2 ? "p;}{" : ""));
        // Identifiers are equal in their class and member index (the bits between are free).
        const auto same = [](const void* a, const void* b) {
            return a != nullptr && ClassIndexOf(a) == ClassIndexOf(b) &&
                   MemberIndexOf(static_cast<const ClassType_MemberID*>(a)) ==
                       MemberIndexOf(static_cast<const ClassType_MemberID*>(b));
        };
        EXPECT_TRUE(same(target->Get(probe.m_Member), probe.m_I64));
        EXPECT_TRUE(same(target->Get(probe.m_Enum), probe.m_Bright));
        const String gotText = target->Get(probe.m_String);
        EXPECT_EQ(std::string(gotText.GetCPtr(), static_cast<size_t>(gotText.Size())), text);
        for (const std::function<void()>& expect : expectations)
            expect();
    }
    target->Set(probe.m_Object, static_cast<ScriptObject*>(&G_NilObject));
}

TEST_F(RemoteObjectTest, ReceiveRefusesAllButMemberAssignmentsOneStatementAtATime) {
    const Probe probe;
    const std::string included = ::testing::TempDir() + "remote_include.kss";
    std::ofstream(included) << "//KS 0.3 F010219x\n:probe .{ .I32 99; };\n";
    const std::pair<const char*, std::string> refused[] = {
        {"class", "class RemoteIntruder .{ .X 1; };"},
        {"enum", "enum RemoteIntruderEnum .{ .A 1; };"},
        {"include", "include \"" + included + "\";"},
        {"global var", "var intruder = 1;"},
        {"global var assignment", ":intruder = 2;"},
        {"new named object", "RemotePart:intruder .{ .Weight 1.0; };"},
        {"print", "print \"intruder\";"},
        {"anonymous object", "RemotePart .{ .Weight 1.0; };"},
        {"class change of a named object", "RemotePart:probe .{ .Weight 1.0; };"},
    };
    for (const auto& [kind, statement] : refused) {
        SCOPED_TRACE(statement);
        Receiver receiver(probe);
        const Obj<ScriptObject> target = probe.New();
        receiver.Name(target.Get(), "probe");
        QuorlixTest::LogCapture errors;
        QuorlixTest::LogCapture out(Xout);
        receiver.Receive(":probe .{ .I32 1; };\n" + statement + "\n:probe .{ .Bool True; };\n");
        EXPECT_TRUE(
            Contains(errors.Messages(),
                     std::string("RemoteObject::Receive: refused statement: ") + kind + "."))
            << errors.Text();
        EXPECT_EQ(receiver.m_Engine->GetErrorCount(), 1) << errors.Text();
        EXPECT_EQ(target->Get(probe.m_I32), 1);
        EXPECT_TRUE(target->Get(probe.m_Bool));
        EXPECT_EQ(out.Text().find("intruder"), std::string::npos);
        EXPECT_EQ(receiver.m_Engine->FindClass("RemoteIntruder")->IsNil(), true);
        EXPECT_TRUE(receiver.m_Engine->FindObject(String("intruder"))->IsNil());
        EXPECT_EQ(receiver.m_Engine->FindObject(String("probe")), target.Get());
    }
    std::remove(included.c_str());
}

// Endless valid assignments, produced as they are read and never held.
class EndlessPipe final : public StreamPipe {
public:
    int64_t m_Delivered = 0;
    void Lock() override {}
    void Unlock() override {}
    int Read(void* buffer, int n) override {
        auto* out = static_cast<char*>(buffer);
        for (int i = 0; i < n; ++i, ++m_Delivered)
            out[i] = At(m_Delivered);
        return n;
    }
    int Read() override { return static_cast<unsigned char>(At(m_Delivered++)); }
    int Peek() override { return static_cast<unsigned char>(At(m_Delivered)); }
    int PeekAt(int offset) override { return static_cast<unsigned char>(At(m_Delivered + offset)); }
    int Skip(int n) override {
        m_Delivered += n;
        return n;
    }
    int Write(const void*, int) override { return 0; }
    void Flush() override {}
    int64_t Seek(int64_t, int) override { return -1; }
    int64_t SeekCompressed(int64_t, int) override { return -1; }
    void GetFileTime(uint64_t& c, uint64_t& a, uint64_t& w) override { c = a = w = 0; }
    bool SetFileTime(uint64_t, uint64_t, uint64_t) override { return false; }

    static constexpr int k_Header = 18; // "//KS 0.3 F010219x\n"
    static constexpr int k_Line = 30;   // ":probe .{ .I32 NNNNNNNNNN; };\n", the n-th line sets n

private:
    char At(int64_t i) {
        if (i < k_Header)
            return "//KS 0.3 F010219x\n"[i];
        const int64_t n = (i - k_Header) / k_Line + 1;
        if (n != m_LineNumber) {
            m_LineNumber = n;
            std::snprintf(m_Line, sizeof m_Line, ":probe .{ .I32 %10d; };\n", static_cast<int>(n));
        }
        return m_Line[(i - k_Header) % k_Line];
    }
    int64_t m_LineNumber = 0;
    char m_Line[k_Line + 1] = {};
};

TEST_F(RemoteObjectTest, ReceiveStopsAtTheLimitAndRunsOnlyWholeLinesBeforeIt) {
    const Probe probe;
    Receiver receiver(probe);
    const Obj<ScriptObject> target = probe.New();
    receiver.Name(target.Get(), "probe");
    const Obj<EndlessPipe> endless(NewObject<EndlessPipe>());
    QuorlixTest::LogCapture errors;
    receiver.Receive(endless.Get());
    // Read a little past the limit to find it exceeded, and not on.
    EXPECT_GT(endless->m_Delivered, RemoteObject::k_MaxReceive);
    EXPECT_LE(endless->m_Delivered, RemoteObject::k_MaxReceive + (64 << 10));
    EXPECT_TRUE(Contains(errors.Messages(), "RemoteObject::Receive: script larger than"))
        << errors.Text();
    EXPECT_EQ(target->Get(probe.m_I32),
              (RemoteObject::k_MaxReceive - EndlessPipe::k_Header) / EndlessPipe::k_Line);
    EXPECT_EQ(receiver.m_Engine->GetErrorCount(), 0);
}

// The transform both processes name "xf", and the members the sender changes.
struct Transform {
    const ClassType_TypeID* m_Class = BuiltinTypeID(k_ClassSTransform);
    const ClassType_MemberID* Member(const char* name) const {
        return FindClassMember(m_Class, name);
    }
    const ClassMember_Vector3f* m_Translation =
        static_cast<const ClassMember_Vector3f*>(Member("Translation"));
    const ClassMember_Vector3f* m_Rotation =
        static_cast<const ClassMember_Vector3f*>(Member("Rotation"));
    const ClassMember_String* m_Name = static_cast<const ClassMember_String*>(Member("Name"));

    // An engine of its own holding the transform under its name.
    Obj<ScriptEngine> m_Engine{ScriptEngine::Create()};
    Obj<ScriptObject> m_Object{ScriptObject::Create(m_Class)};
    Transform() { m_Engine->GetCurrentNamespace()->DefObject(m_Object.Get(), String("xf")); }
};

// The sending peer: moves its transform and sends the changes. The exit status says how far
// it came (0: all sent).
int SendTransform(int port) {
    Transform xf;
    if (xf.m_Translation == nullptr || xf.m_Rotation == nullptr || xf.m_Name == nullptr)
        return 2;
    xf.m_Object->Set(xf.m_Translation, Vector3f(1, -2, 3.5f));
    xf.m_Object->Set(xf.m_Rotation, Vector3f(0, 90, -45));
    xf.m_Object->Set(xf.m_Name, String("moved \"xf\""));
    const Obj<ClientTCP> client(ClientTCP::Create());
    if (!client->Connect(String("127.0.0.1"), port))
        return 3;
    {
        const Obj<StreamPipeTCP> pipe(StreamPipeTCP::Create(client.Get(), 5));
        const Obj<ScriptStream> stream(NewObject<ScriptStreamAlpha>(pipe.Get()));
        const Obj<RemoteObject> remote(RemoteObject::Create());
        remote->SetSendStream(stream.Get());
        remote->Select(String("xf"));
        remote->Send(xf.m_Translation, xf.m_Object->Get(xf.m_Translation));
        remote->Send(xf.m_Rotation, xf.m_Object->Get(xf.m_Rotation));
        remote->Send(xf.m_Name, xf.m_Object->Get(xf.m_Name));
        remote->Flush();
        pipe->Flush();
    }
    return client->Disconnect() ? 0 : 4;
}

TEST_F(RemoteObjectTest, AnotherProcessMovesATransformOverLoopback) {
    using QuorlixTest::ConnectionQueue;
    const int before = QuorlixTest::OpenDescriptors();
    {
        const Obj<ServerTCP> server = QuorlixTest::LoopbackServer(&ConnectionQueue::Keep);
        ASSERT_GT(server->GetPort(), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            alarm(20); // a peer that hangs ends by itself
            _exit(SendTransform(server->GetPort()));
        }
        // The receiver's own engine and transform.
        Transform xf;
        {
            const Obj<ClientTCP> connection = ConnectionQueue::Instance().Take();
            if (connection != nullptr) {
                // Reads until the peer closes; five seconds at most per wait.
                const Obj<RemoteObject> remote(RemoteObject::Create());
                remote->SetEngine(xf.m_Engine.Get());
                remote->SetReceivePipe(StreamPipeTCP::Create(connection.Get(), 5));
                remote->Receive();
                EXPECT_EQ(xf.m_Engine->GetErrorCount(), 0);
            }
            EXPECT_NE(connection, nullptr);
        }
        int status = -1;
        for (int waited = 0; waited < 200 && waitpid(child, &status, WNOHANG) == 0; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (!WIFEXITED(status) && !WIFSIGNALED(status)) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        EXPECT_EQ(xf.m_Object->Get(xf.m_Translation), Vector3f(1, -2, 3.5f));
        EXPECT_EQ(xf.m_Object->Get(xf.m_Rotation), Vector3f(0, 90, -45));
        EXPECT_EQ(xf.m_Object->Get(xf.m_Name), String("moved \"xf\""));
        server->Stop();
        ConnectionQueue::Instance().Clear();
    }
    EXPECT_EQ(QuorlixTest::OpenDescriptors(), before);
}

} // namespace
