#pragma once
// Class indexes of the render, shader, material and texture classes and of the enumerations
// their members take (the class identifier is 0xFFFFF000 + index, e.g. RenderPipe -3968 is
// index 128). Identifiers are fixed: files and peers carry them.

namespace Quorlix {

enum RenderClass : int {
    k_ClassRenderPipe = 128,       // -3968
    k_ClassRenderChannel = 129,    // -3967
    k_ClassRenderShader = 130,     // -3966
    k_ClassShaderExpression = 131, // -3965
    k_ClassShaderPhong = 132,      // -3964
    k_ClassShaderTexture = 133,    // -3963
    k_ClassShaderLayer = 134,      // -3962
    k_ClassTexture = 139,          // -3957
    k_ClassTexture2D = 140,        // -3956
    k_ClassTileTexture2D = 136,    // -3960
    k_ClassFontTexture2D = 141,    // -3955
    k_ClassRenderMaterial = 137,   // -3959

    // Enumerations.
    k_ClassTexture2DWrapModeEnum = 172, // -3924
};

} // namespace Quorlix
