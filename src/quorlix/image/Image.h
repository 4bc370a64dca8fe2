#pragma once
// Image (class "Image", -3958): the raster image object. It has no script members; its pixels
// and file formats come with the image reader and writers.

#include "quorlix/platform/Export.h"
#include "quorlix/script/Object.h"

namespace Quorlix {

class QUORLIX_API Image : public Object {
public:
    /// A new empty image (count 0).
    static Image* Create();
    /// The type record that native Image objects carry.
    static const TypeInfo* GetImageTypeInfo() noexcept;

    Image() noexcept = default;
    ~Image() override;
};

} // namespace Quorlix
