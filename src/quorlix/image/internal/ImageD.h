#pragma once
// Image_D, the concrete image: the operations of Image over the fields it declares.

#include "quorlix/image/Image.h"

namespace Quorlix {

class Image_D final : public Image {
public:
    Image_D() noexcept = default;
    ~Image_D() override;

    bool Allocate(int bytesPerPixel, int width, int height, uint32_t format) override;
    int GetBytesPerPixel() const override { return m_BytesPerPixel; }
    int GetWidth() const override { return m_Width; }
    int GetHeight() const override { return m_Height; }
    uint32_t GetFormat() const override { return m_Format; }
    unsigned char* GetData() const override { return m_Data; }
    Image* GetMipMap() const override { return m_MipMap.Get(); }

    uint32_t GetPixel(int x, int y) const override;
    void SetPixel(int x, int y, uint32_t color) override;
    int GetLuminance(int x, int y) const override;
    void SetLuminance(int x, int y, int value) override;
    void GetSpanR8G8B8A8(int x, int y, int dx, int dy, int count,
                         unsigned char* out) const override;
    void SetSpanR8G8B8A8(int x, int y, int dx, int dy, int count, const unsigned char* in) override;

    void Reformat(const Image* source, int mode) override;
    void MipMap(int mode) override;
    void FillRect(int x, int y, int w, int h, uint32_t color) override;
    void FillChecker(int x, int y, int w, int h, int cellWidth, int cellHeight, uint32_t a,
                     uint32_t b) override;

    EResult ImportStream(const char* name, StreamPipe* pipe) override;
    EResult ImportFile(const char* basePath) override;
    EResult ExportStream(const char* name, StreamPipe* pipe, int option) override;
    EResult ExportFile(const char* path, int option) override;
};

} // namespace Quorlix
