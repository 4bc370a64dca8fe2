#include "quorlix/core/Library.h"

namespace Quorlix {

int G_SIGCRASH = 0;
int G_SIGABORT = 0;

} // namespace Quorlix
