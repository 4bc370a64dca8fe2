#include "quorlix/sound/SoundScene.h"

#include "quorlix/core/Timer.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/math/Matrix4f.h"
#include "quorlix/platform/Time.h"
#include "quorlix/platform/Window.h"
#include "quorlix/scene/FileObject.h"
#include "quorlix/scene/Sound.h"
#include "quorlix/sound/SoundDevice.h"
#include "quorlix/sound/SoundReceiver.h"

#include <algorithm>
#include <cmath>

namespace Quorlix {

namespace {

// The device the emitters share and how many players and listeners use it.
Obj<SoundDevice> G_SharedDevice;
int G_SharedUsers = 0;

SoundDevice* AcquireSharedDevice() {
    if (!G_SharedDevice) {
        G_SharedDevice =
            SoundDevice::Create(SoundDevice::SDTypeHardware, SoundDevice::SpeakerType(0),
                                SoundDevice::Quality(0), nullptr);
        if (!G_SharedDevice)
            return nullptr;
    }
    ++G_SharedUsers;
    return G_SharedDevice;
}

void ReleaseSharedDevice() {
    if (G_SharedUsers <= 0 || --G_SharedUsers > 0)
        return;
    // Our handle is one reference; anything beyond it keeps the device (and its module) alive.
    const int32_t count = BlockRefCount(G_SharedDevice.Get());
    if (count > 1) {
        Xerr.pLockWarn() << "SoundDevice.RefCount = " << count;
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    G_SharedDevice = nullptr;
}

Vector3f RowOf(const Matrix4f& m, int row) {
    return Vector3f(m.Get(row, 0), m.Get(row, 1), m.Get(row, 2));
}

// Velocity of a move from `last` to `now` over `elapsed` seconds; none for the first advance
// or a zero interval.
Vector3f VelocityOf(const Vector3f& now, const Vector3f* last, double elapsed) {
    if (last == nullptr || !(elapsed > 0.0))
        return Vector3f(0.0f, 0.0f, 0.0f);
    const float k = static_cast<float>(1.0 / elapsed);
    return Vector3f((now.GetX() - last->GetX()) * k, (now.GetY() - last->GetY()) * k,
                    (now.GetZ() - last->GetZ()) * k);
}

} // namespace

// --- SoundEmitterPlayer ---------------------------------------------------------------------

SoundEmitterPlayer::~SoundEmitterPlayer() {
    if (m_Source)
        m_Source->Stop();
    m_Source = nullptr;
    if (m_UsesDevice)
        ReleaseSharedDevice();
}

EResult SoundEmitterPlayer::Load(const TSoundEmitter& emitter) {
    if (!GetSoundEnable() || m_Source)
        return SOK;
    // An emitter without a file is silent: nothing to load, and no device needed for it.
    const auto* s = static_cast<const SSoundEmitter*>(emitter.GetSNode());
    if (s == nullptr || s->m_FileObject.Get() == nullptr)
        return SOK;
    String name;
    if (Failed(FormFileName(s->m_FileObject.Get(), String("Sounds/").Ref(), name)))
        return SOK;
    const Platform::WaitCursor cursor;
    const int64_t start = Platform::PerformanceCounter();
    if (!m_UsesDevice) {
        if (AcquireSharedDevice() == nullptr) {
            Xerr.pLockError() << "no SoundDevice.";
            Xerr.pLF();
            Xerr.pUnlockMessage();
            return EFail;
        }
        m_UsesDevice = true;
    }
    m_Source = SoundSource::Create(G_SharedDevice, name, SoundSource::k_Flag3D,
                                   AudioSrcFile::CacheStreaming);
    if (!m_Source)
        return EFail;
    const double ms = static_cast<double>(Platform::PerformanceCounter() - start) / 1e6;
    Xerr.pLockInfo() << "Loaded Sound " << name.GetCPtr() << " in "
                     << static_cast<int>(std::lround(ms)) << " ms.";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return SOK;
}

EResult SoundEmitterPlayer::Play(const TSoundEmitter& emitter, bool loop) {
    if (!GetSoundEnable())
        return SOK;
    const EResult loaded = Load(emitter);
    if (Failed(loaded))
        return loaded;
    if (!m_Source)
        return SOK; // silent
    return m_Source->Play(loop, 0.0) ? SOK : EFail;
}

void SoundEmitterPlayer::Stop() {
    if (m_Source)
        m_Source->Stop();
}

// --- SoundScene -----------------------------------------------------------------------------

struct SoundScene::Emitter {
    Obj<TNode> m_Node;
    SoundEmitterPlayer m_Player;
    Vector3f m_Last{0.0f, 0.0f, 0.0f};
    bool m_HasLast = false;
    bool m_Seen = false;
    bool m_Failed = false; // a load failed: not retried while the node stays collected
};

struct SoundScene::Listener {
    Obj<TNode> m_Node;
    Obj<SoundReceiver> m_Receiver;
    Vector3f m_Last{0.0f, 0.0f, 0.0f};
    bool m_HasLast = false;
    bool m_Seen = false;
    ~Listener() {
        m_Receiver = nullptr;
        ReleaseSharedDevice();
    }
};

SoundScene::SoundScene() = default;
SoundScene::~SoundScene() = default;

SoundEmitterPlayer* SoundScene::FindPlayer(const TSoundEmitter& emitter) const noexcept {
    for (const auto& e : m_Emitters)
        if (e->m_Node.Get() == &emitter)
            return &e->m_Player;
    return nullptr;
}

SoundReceiver* SoundScene::GetListener() const noexcept {
    return m_Listener ? m_Listener->m_Receiver.Get() : nullptr;
}

void SoundScene::AdvanceEmitter(TSoundEmitter& emitter, const Matrix4f& world, double elapsed) {
    Emitter* e = nullptr;
    for (const auto& candidate : m_Emitters)
        if (candidate->m_Node.Get() == &emitter)
            e = candidate.get();
    if (e == nullptr) {
        m_Emitters.push_back(std::make_unique<Emitter>());
        e = m_Emitters.back().get();
        e->m_Node = &emitter;
    }
    e->m_Seen = true;
    if (e->m_Failed || !GetSoundEnable())
        return;
    const bool starting = !e->m_Player.IsLoaded();
    if (starting) {
        if (Failed(e->m_Player.Load(emitter))) {
            e->m_Failed = true;
            return;
        }
        if (!e->m_Player.IsLoaded())
            return; // no file: silent
    }
    SoundSource* source = e->m_Player.GetSource();
    const Vector3f position = RowOf(world, 3);
    const Vector3f velocity = VelocityOf(position, e->m_HasLast ? &e->m_Last : nullptr, elapsed);
    e->m_Last = position;
    e->m_HasLast = true;
    source->SetPosition(position, false);
    source->SetVelocity(velocity, false);
    source->SetConeOrientation(RowOf(world, 2), false);
    source->CommitSettings();
    // Placed first: a device mixing on its own thread would otherwise play the first moments
    // at the listener, unattenuated.
    if (starting && !source->Play(true, 0.0))
        e->m_Failed = true;
}

void SoundScene::AdvanceReceiver(TSoundReceiver& receiver, const Matrix4f& world, double elapsed) {
    if (m_Listener && m_Listener->m_Node.Get() != &receiver) {
        if (std::find(m_Warned.begin(), m_Warned.end(), &receiver) == m_Warned.end()) {
            m_Warned.push_back(&receiver);
            Xerr.pLockWarn()
                << "SoundScene: more than one TSoundReceiver; only the first is heard.";
            Xerr.pLF();
            Xerr.pUnlockMessage();
        }
        return;
    }
    if (!GetSoundEnable())
        return;
    if (!m_Listener) {
        // Only what plays needs a listener: without an emitter's device, nothing is loaded.
        if (!G_SharedDevice)
            return;
        SoundDevice* device = AcquireSharedDevice();
        m_Listener = std::make_unique<Listener>();
        m_Listener->m_Node = &receiver;
        m_Listener->m_Receiver = device->CreateSoundReceiver();
    }
    Listener& l = *m_Listener;
    l.m_Seen = true;
    if (!l.m_Receiver)
        return;
    const Vector3f position = RowOf(world, 3);
    const Vector3f velocity = VelocityOf(position, l.m_HasLast ? &l.m_Last : nullptr, elapsed);
    l.m_Last = position;
    l.m_HasLast = true;
    SoundReceiver& r = *l.m_Receiver;
    r.SetPosition(position, false);
    r.SetVelocity(velocity, false);
    r.SetOrientation(RowOf(world, 2), RowOf(world, 1), false);
    r.CommitSettings();
}

void SoundScene::EndUpdate() {
    std::erase_if(m_Emitters, [](const std::unique_ptr<Emitter>& e) { return !e->m_Seen; });
    for (const auto& e : m_Emitters)
        e->m_Seen = false;
    if (m_Listener) {
        if (!m_Listener->m_Seen)
            m_Listener.reset();
        else
            m_Listener->m_Seen = false;
    }
}

} // namespace Quorlix
