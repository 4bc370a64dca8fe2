// Binding host records to a class that a script declared, found through the engine.

#include "quorlix/script/ScriptClass.h"
#include "quorlix/script/ScriptEngine.h"

namespace Quorlix {

int ScriptClass::CreateClassComplete(ScriptEngine* engine, const ClassType_TypeID** outId,
                                     const char* className, int count, ScriptMemberDef* defs) {
    if (engine == nullptr || className == nullptr)
        return 0;
    Obj<ScriptClass> cls = engine->FindClass(className);
    if (cls.Get() == nullptr || static_cast<ScriptObject*>(cls.Get()) == &G_NilObject)
        return 0;
    if (outId != nullptr)
        *outId = cls->GetClassID();
    for (int i = 0; defs != nullptr && i < count; ++i) {
        ScriptMemberDef& def = defs[i];
        if (def.m_Member == nullptr)
            continue;
        if ((def.m_Flags & MemberIsSomeEnum) != 0)
            *def.m_Member = cls->Find_Enum(def.m_Name);
        else
            *def.m_Member = cls->FindMember(def.m_Name, def.m_Type);
    }
    return 1;
}

} // namespace Quorlix
