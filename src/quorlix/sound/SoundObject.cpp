#include "quorlix/sound/SoundObject.h"

#include "quorlix/log/LogStream.h"
#include "quorlix/platform/DynamicLibrary.h"
#include "quorlix/platform/LoadedModules.h"
#include "quorlix/platform/Process.h"
#include "quorlix/sound/SoundDevice.h"

#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace Quorlix {

namespace {

using DestroyFunction = TypeInfo::DestroyFunction;

// The destroy functions that the wrapper replaced, one per type record. A record lives in the
// module that made the type, so an entry goes stale when that module is unloaded; stale
// entries are dropped whenever a record is (re)wrapped.
struct WrappedRecord {
    const TypeInfo* m_Record;
    DestroyFunction m_Original;
};

std::mutex& WrapLock() {
    static std::mutex s_Lock;
    return s_Lock;
}

std::vector<WrappedRecord>& WrappedRecords() {
    static std::vector<WrappedRecord>* s_Records = new std::vector<WrappedRecord>;
    return *s_Records;
}

DestroyFunction OriginalDestroyOf(const TypeInfo* record) {
    std::lock_guard<std::mutex> guard(WrapLock());
    for (const WrappedRecord& entry : WrappedRecords())
        if (entry.m_Record == record)
            return entry.m_Original;
    return nullptr;
}

// -1 until first asked: the environment is read once, at first use.
std::atomic<int> G_SoundEnable{-1};

} // namespace

SoundObject::~SoundObject() = default;

// Runs in place of the type's own destroy function. The module handle and the device reference
// are taken out first and dropped only after the object is gone, so the module code that
// destroys the object (and anything it releases on the way) is still mapped while it runs.
void SoundObjectDestroy(const void* payload) {
    // The object starts its block: SoundObject is the first base of every sound class.
    SoundObject* object = static_cast<SoundObject*>(const_cast<void*>(payload));
    const DestroyFunction original = OriginalDestroyOf(GetBlockTypeInfo(payload));
    if (original == nullptr) {
        // Only a record changed behind our back gets here; leaking beats running unknown code.
        Xerr.pLockError() << "SoundObject: no destroy function for a sound object; leaked.";
        Xerr.pLF();
        Xerr.pUnlockMessage();
        return;
    }
    Platform::DynamicLibrary* module = std::exchange(object->m_Module, nullptr);
    SoundDevice* holder = std::exchange(object->m_Holder, nullptr);
    original(payload);
    if (holder != nullptr)
        BlockRelease(holder);
    if (module != nullptr)
        Platform::UnloadDynamicLibrary(module);
}

void AttachSoundObject(SoundObject* object, Platform::DynamicLibrary* module, SoundDevice* holder) {
    if (object == nullptr) {
        Platform::UnloadDynamicLibrary(module);
        return;
    }
    {
        TypeInfo* record = const_cast<TypeInfo*>(GetBlockTypeInfo(object));
        std::lock_guard<std::mutex> guard(WrapLock());
        // Wrapping the wrapper would make it call itself; a record that holds something else
        // is new, or was loaded again with its module, and its entry is replaced.
        if (record->m_Destroy != &SoundObjectDestroy) {
            std::vector<WrappedRecord>& records = WrappedRecords();
            std::erase_if(records, [record](const WrappedRecord& entry) {
                return entry.m_Record == record ||
                       Platform::ModuleBaseOfAddress(entry.m_Record) == nullptr;
            });
            records.push_back({record, record->m_Destroy});
            record->m_Destroy = &SoundObjectDestroy;
        }
    }
    if (holder != nullptr)
        BlockAddRef(holder);
    // An object attached twice keeps what it had: one module and one holder reference each.
    if (object->m_Holder != nullptr)
        BlockRelease(object->m_Holder);
    object->m_Holder = holder;
    if (object->m_Module != nullptr && module != nullptr)
        Platform::UnloadDynamicLibrary(object->m_Module);
    if (module != nullptr)
        object->m_Module = module;
}

void SetSoundEnable(bool enable) noexcept {
    G_SoundEnable.store(enable ? 1 : 0);
}

bool GetSoundEnable() noexcept {
    int state = G_SoundEnable.load();
    if (state < 0) {
        const int fromEnvironment = Platform::HasEnvironmentVariable("XPDISABLE_SOUNDS") ? 0 : 1;
        G_SoundEnable.compare_exchange_strong(state, fromEnvironment);
        state = G_SoundEnable.load();
    }
    return state != 0;
}

} // namespace Quorlix
