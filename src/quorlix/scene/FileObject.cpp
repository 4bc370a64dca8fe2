#include "quorlix/scene/FileObject.h"

namespace Quorlix {

FileObject* FileObject::Create() {
    return NewObject<FileObject>();
}
const TypeInfo* FileObject::GetFileObjectTypeInfo() noexcept {
    return &TypeOf<FileObject>();
}
FileObject::~FileObject() = default;

} // namespace Quorlix
