#include "quorlix/image/Image.h"

#include "quorlix/core/Memory.h"
#include "quorlix/image/internal/ImageD.h"

namespace Quorlix {

Image* Image::Create() {
    return NewObject<Image_D>();
}

const TypeInfo* Image::GetImageTypeInfo() noexcept {
    return &TypeOf<Image_D>();
}

Image::~Image() {
    Clear();
}

void Image::Clear() {
    m_Width = m_Height = m_BytesPerPixel = 0;
    if (m_Data != nullptr) {
        BlockRelease(m_Data);
        m_Data = nullptr;
    }
    m_MipMap = nullptr;
}

Image_D::~Image_D() = default;

// ---- scaffold: the image-core branch replaces everything below ----
bool Image_D::Allocate(int bytesPerPixel, int width, int height, uint32_t format) {
    Clear();
    if (bytesPerPixel < 0 || bytesPerPixel > 4 || width < 0 || height < 0)
        return false;
    const uint64_t bytes = uint64_t(bytesPerPixel) * uint64_t(width) * uint64_t(height);
    if (bytes > 0x7FFFFFFFu)
        return false;
    m_BytesPerPixel = bytesPerPixel;
    m_Width = width;
    m_Height = height;
    m_Format = format;
    if (bytes > 0)
        m_Data = static_cast<unsigned char*>(Memory::UninitializedNewArrayRef1(
            int(bytes), int(bytes), TypeOf<unsigned char>()));
    return true;
}
uint32_t Image_D::GetPixel(int, int) const { return 0; }
void Image_D::SetPixel(int, int, uint32_t) {}
int Image_D::GetLuminance(int, int) const { return 0; }
void Image_D::SetLuminance(int, int, int) {}
void Image_D::GetSpanR8G8B8A8(int, int, int, int, int, unsigned char*) const {}
void Image_D::SetSpanR8G8B8A8(int, int, int, int, int, const unsigned char*) {}
void Image_D::Reformat(const Image*, int) {}
void Image_D::MipMap(int) {}
void Image_D::FillRect(int, int, int, int, uint32_t) {}
void Image_D::FillChecker(int, int, int, int, int, int, uint32_t, uint32_t) {}
EResult Image_D::ImportStream(const char*, StreamPipe*) { return ENotFound; }
EResult Image_D::ImportFile(const char*) { return ENotFound; }
EResult Image_D::ExportStream(const char*, StreamPipe*, int) { return ENotFound; }
EResult Image_D::ExportFile(const char*, int) { return ENotFound; }

} // namespace Quorlix
