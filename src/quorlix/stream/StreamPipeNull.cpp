#include "quorlix/stream/StreamPipeNull.h"

namespace Quorlix {

StreamPipeNull* StreamPipeNull::Create() {
    return NewObject<StreamPipeNull>();
}

StreamPipeNull* StreamPipeNull::GetSingleton() noexcept {
    return PermanentObject<StreamPipeNull>();
}

} // namespace Quorlix
