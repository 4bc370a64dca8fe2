#pragma once
// FileObject: a named object that stands for a file, member 1 "FileName".

#include "quorlix/core/Result.h"
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

    /// The folder the file's name is relative to, set by whoever loaded the object (not a
    /// script member); empty by default.
    const StringRef& GetStoragePath() const noexcept { return m_StoragePath.Ref(); }
    void SetStoragePath(const StringRef& path) noexcept { m_StoragePath = path; }

private:
    String m_FileName;
    String m_StoragePath;
};

/// The name of the file that `file` stands for, with `prefix` (an image path, say): a FileName
/// beginning with "absolute://" gives the rest of it as it stands; any other gives the storage
/// path, the prefix and the FileName joined without separators. SOK, or ENotFound with `out`
/// cleared when `file` is null or not a FileObject.
QUORLIX_API EResult FormFileName(const ScriptObject* file, const StringRef& prefix, String& out);

} // namespace Quorlix
