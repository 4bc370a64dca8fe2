#pragma once
// Object (class "Object", -4032): a script object with a name, member 1 "Name". Named scene,
// resource and widget classes derive from it, and so may script classes.

#include "quorlix/platform/Export.h"
#include "quorlix/script/ScriptObject.h"

namespace Quorlix {

class QUORLIX_API Object : public ScriptObject {
public:
    /// A new object with an empty name (count 0).
    static Object* Create();

    Object() noexcept = default;
    ~Object() override;

    const StringRef& GetName() const noexcept { return m_Name; }
    const char* GetNameCPtr() const noexcept { return m_Name.GetCPtr(); }
    void SetName(const StringRef& name) noexcept { m_Name = name; }
    void SetName(const char* name) { m_Name.FromCPtr(name); }

    /// Member 1 of class Object ("Name", String).
    static const ClassMember_String* NameMember() noexcept {
        return MemberIDOf<ClassMember_String>(1, k_ClassObject);
    }

private:
    String m_Name;
};

} // namespace Quorlix
