#pragma once
// The common base of the four sound classes and the process-wide sound switch.
//
// Sound objects are made by a sound module that the library loads at run time. Each one keeps
// what must outlive its destructor: the module it came from and, for objects a device made,
// one reference on that device. Both are dropped only after the module's own destroy function
// has returned, by the wrapper that AttachSoundObject puts into the object's type record, so
// no module code is ever unmapped while it still runs.

#include "quorlix/core/Memory.h"
#include "quorlix/platform/Export.h"

namespace Quorlix {

namespace Platform {
struct DynamicLibrary;
}

class SoundDevice;

class QUORLIX_API SoundObject {
public:
    SoundObject() noexcept = default;
    SoundObject(const SoundObject&) = delete;
    SoundObject& operator=(const SoundObject&) = delete;
    virtual ~SoundObject();

    /// The module handle this object keeps loaded (null when it keeps none of its own).
    Platform::DynamicLibrary* GetModuleHandle() const noexcept { return m_Module; }
    /// The device this object keeps alive (null for devices and free audio files).
    SoundDevice* GetHolder() const noexcept { return m_Holder; }

private:
    friend QUORLIX_API void AttachSoundObject(SoundObject*, Platform::DynamicLibrary*,
                                              SoundDevice*);
    friend void SoundObjectDestroy(const void* payload);

    Platform::DynamicLibrary* m_Module = nullptr;
    SoundDevice* m_Holder = nullptr; // one reference taken
};

/// Makes `object` (a counted block whose most derived class starts with SoundObject) keep
/// `module` (ownership of that handle moves to the object) and one new reference on `holder`.
/// Either may be null. Its type record's destroy function is wrapped once: the wrapper runs the
/// type's own destroy function, then drops the device reference, then unloads the module.
QUORLIX_API void AttachSoundObject(SoundObject* object, Platform::DynamicLibrary* module,
                                   SoundDevice* holder);

/// The process-wide sound switch: on at start-up unless the environment names
/// XPDISABLE_SOUNDS. While off, emitters load and play nothing and report success.
QUORLIX_API void SetSoundEnable(bool enable) noexcept;
QUORLIX_API bool GetSoundEnable() noexcept;

} // namespace Quorlix
