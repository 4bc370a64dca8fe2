#include "quorlix/stream/StreamPipeFilter.h"

#include "quorlix/stream/StreamPipeNull.h"

namespace Quorlix {

StreamPipeFilter::StreamPipeFilter(StreamPipe* inner)
    : m_Inner(inner != nullptr ? inner : StreamPipeNull::GetSingleton()) {}

} // namespace Quorlix
