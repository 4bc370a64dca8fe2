#pragma once
// Class indexes of the image and image-layer classes and of the enumerations their members take
// (the class identifier is 0xFFFFF000 + index, e.g. Image -3958 is index 138). Identifiers are
// fixed: files and peers carry them.

namespace Quorlix {

enum ImageClass : int {
    k_ClassImage = 138,           // -3958
    k_ClassExpressionLayer = 176, // -3920
    k_ClassImageLayer = 177,      // -3919
    k_ClassGroupLayer = 178,      // -3918
    k_ClassTransformLayer = 179,  // -3917

    // Enumerations.
    k_ClassTransformLayerCombineModeEnum = 180, // -3916
};

} // namespace Quorlix
