#include "quorlix/script/WeakObjTarget.h"

namespace Quorlix {

WeakObjTarget* WeakObjTarget::Create(ScriptObject* target) {
    return NewObject<WeakObjTarget>(target);
}

} // namespace Quorlix
