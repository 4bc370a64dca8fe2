#pragma once
// FileObject: a named object that stands for a file, member 1 "FileName".

#include "quorlix/core/String.h"
#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

namespace Quorlix {

class QUORLIX_API FileObject : public Object {
public:
    static FileObject* Create();
    static const TypeInfo* GetFileObjectTypeInfo() noexcept;
    FileObject() noexcept = default;
    ~FileObject() override;

    /// The file's path as scripts gave it (empty when fresh).
    const StringRef& GetFileName() const noexcept { return m_FileName.Ref(); }
    void SetFileName(const StringRef& name) noexcept { m_FileName = name; }

private:
    String m_FileName;
};

} // namespace Quorlix
