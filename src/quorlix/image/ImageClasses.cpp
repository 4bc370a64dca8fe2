#include "quorlix/image/ImageClasses.h"

namespace Quorlix {

void BindImageClasses() {}
void BindImageEnumerations() {}

} // namespace Quorlix
