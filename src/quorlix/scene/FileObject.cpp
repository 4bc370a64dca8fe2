#include "quorlix/scene/FileObject.h"
#include "quorlix/script/ScriptTypes.h"

#include <cstring>

namespace Quorlix {

FileObject* FileObject::Create() {
    return NewObject<FileObject>();
}
const TypeInfo* FileObject::GetFileObjectTypeInfo() noexcept {
    return &TypeOf<FileObject>();
}
FileObject::~FileObject() = default;

EResult FormFileName(const ScriptObject* file, const StringRef& prefix, String& out) {
    if (file == nullptr || !file->IsA(BuiltinTypeID(k_ClassFileObject))) {
        out.Clear();
        return ENotFound;
    }
    static constexpr char k_Absolute[] = "absolute://";
    static constexpr int k_AbsoluteSize = sizeof(k_Absolute) - 1;
    const FileObject& object = static_cast<const FileObject&>(*file);
    const StringRef& name = object.GetFileName();
    if (name.Size() >= k_AbsoluteSize &&
        std::memcmp(name.GetCPtr(), k_Absolute, k_AbsoluteSize) == 0) {
        out.AssignSlice(name, k_AbsoluteSize, name.Size() - k_AbsoluteSize);
        return SOK;
    }
    out = String(object.GetStoragePath(), prefix) + name;
    return SOK;
}

} // namespace Quorlix
