#pragma once
// Positional sound in the scene: emitters play a sound file from their place, the receiver is
// where the listener hears from.

#include "quorlix/platform/Export.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Node.h"

namespace Quorlix {

/// Class SSoundEmitter (-3984).
class QUORLIX_API SSoundEmitter : public SLeaf {
public:
    static SSoundEmitter* Create();
    static const TypeInfo* GetSSoundEmitterTypeInfo() noexcept;

    SSoundEmitter() noexcept = default;
    ~SSoundEmitter() override;

    /// Member 1 "FileObject" (0x1200): the sound file; null for silence. Its row refuses
    /// objects of other classes.
    Obj<FileObject> m_FileObject;
};

/// Class TSoundEmitter (-3983); a fresh one refers to a fresh SSoundEmitter.
class QUORLIX_API TSoundEmitter : public TLeaf {
public:
    static TSoundEmitter* Create();
    static const TypeInfo* GetTSoundEmitterTypeInfo() noexcept;

    TSoundEmitter() : TLeaf(SSoundEmitter::Create()) {}
    ~TSoundEmitter() override;

protected:
    explicit TSoundEmitter(SNode* s) : TLeaf(s) {}
};

/// Class SSoundReceiver (-3982): no members of its own.
class QUORLIX_API SSoundReceiver : public SLeaf {
public:
    static SSoundReceiver* Create();
    static const TypeInfo* GetSSoundReceiverTypeInfo() noexcept;

    SSoundReceiver() noexcept = default;
    ~SSoundReceiver() override;
};

/// Class TSoundReceiver (-3981); a fresh one refers to a fresh SSoundReceiver.
class QUORLIX_API TSoundReceiver : public TLeaf {
public:
    static TSoundReceiver* Create();
    static const TypeInfo* GetTSoundReceiverTypeInfo() noexcept;

    TSoundReceiver() : TLeaf(SSoundReceiver::Create()) {}
    ~TSoundReceiver() override;

protected:
    explicit TSoundReceiver(SNode* s) : TLeaf(s) {}
};

} // namespace Quorlix
