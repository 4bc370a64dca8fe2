#include "quorlix/render/RenderClasses.h"

namespace Quorlix {

void BindRenderClasses() {}
void BindShaderClasses() {}
void BindTextureClasses() {}
void BindRenderMaterialClass() {}
void BindRenderEnumerations() {}

} // namespace Quorlix
