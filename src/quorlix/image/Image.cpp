#include "quorlix/image/Image.h"

namespace Quorlix {

Image* Image::Create() {
    return NewObject<Image>();
}

const TypeInfo* Image::GetImageTypeInfo() noexcept {
    return &TypeOf<Image>();
}

Image::~Image() = default;

} // namespace Quorlix
