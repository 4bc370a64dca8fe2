#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

bool StreamPipe::Truncate() { return false; }

void StreamPipe::Color(int, int) {}

void StreamPipe::Clear() {}

} // namespace Quorlix
