#include "quorlix/script/Object.h"

namespace Quorlix {

Object* Object::Create() {
    return NewObject<Object>();
}

Object::~Object() = default;

} // namespace Quorlix
