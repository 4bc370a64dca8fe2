#include "TextureFontCommand.h"
#include "ToolFiles.h"

#include "quorlix/Quorlix.h"

#include <CLI/CLI.hpp>

#include <cctype>
#include <cstdio>
#include <memory>
#include <string>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

struct Options {
    std::string m_Name = "Tahoma";
    std::string m_Output;
    float m_Height = 32.0f;
    float m_Width = 0.0f;
    float m_ImageWidth = 256.0f;
    float m_ImageHeight = 256.0f;
    bool m_HasMap = false;
    std::string m_Map;
};

bool EndsWithPng(const std::string& path) {
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    for (char& c : tail)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".png";
}

int RenderFont(const Options& options) {
    DLLInitialize(0);
    int status = 1;
    {
        Obj<FontTexture2D> font(FontTexture2D::Create());
        font->m_FontName = String(options.m_Name.c_str());
        font->m_CharacterSize = Vector2f(options.m_Width, options.m_Height);
        font->m_ImageSize = Vector2f(options.m_ImageWidth, options.m_ImageHeight);
        if (options.m_HasMap)
            font->m_CharacterMap = String(options.m_Map.c_str());
        const bool complete = font->CreateFontImage();
        Image* image = font->GetGeneratedImage();
        if (image == nullptr || image->GetData() == nullptr) {
            std::fprintf(stderr, "error: no font image for \"%s\"\n", options.m_Name.c_str());
        } else {
            Obj<StreamPipeMemory> data(StreamPipeMemory::Create());
            if (Failed(image->ExportStream(options.m_Output.c_str(), data, 0)) ||
                !WriteWhole(options.m_Output, *data)) {
                std::fprintf(stderr, "error: cannot write %s\n", options.m_Output.c_str());
            } else {
                std::printf("face: %s\n", font->GetFaceName().GetCPtr());
                status = complete ? 0 : 1;
            }
        }
    }
    DLLDeInitialize(0);
    return status;
}

} // namespace

void AddTextureFontCommand(CLI::App& texture, std::function<int()>& action) {
    auto options = std::make_shared<Options>();
    CLI::App* font = texture.add_subcommand(
        "font", "Render a font's character map into an image and write it as PNG");
    font->add_option("--name", options->m_Name, "Font family (default Tahoma)");
    font->add_option("--size", options->m_Height, "Glyph height in pixels (default 32)");
    font->add_option("--cell-width", options->m_Width,
                     "Fixed cell width in pixels; 0 for proportional cells (default)");
    font->add_option("--image-width", options->m_ImageWidth, "Image width (default 256)");
    font->add_option("--image-height", options->m_ImageHeight, "Image height (default 256)");
    font->add_option("--map", options->m_Map,
                     "Characters to render (default the printable ASCII characters)");
    font->add_option("-o,--output", options->m_Output, "PNG file to write (replaced whole)")
        ->required();
    font->callback([&action, options, font] {
        options->m_HasMap = font->count("--map") > 0;
        action = [options] {
            if (!EndsWithPng(options->m_Output)) {
                std::fprintf(stderr, "error: %s: the font image is written as .png\n",
                             options->m_Output.c_str());
                return 2;
            }
            const auto inRange = [](float v) { return v >= 0.0f && v <= 8192.0f; };
            if (!(options->m_Height >= 1.0f && options->m_Height <= 8192.0f) ||
                !inRange(options->m_Width) || !inRange(options->m_ImageWidth) ||
                !inRange(options->m_ImageHeight)) {
                std::fprintf(stderr, "error: sizes are pixels from 0 to 8192 (glyphs 1 and "
                                     "more)\n");
                return 2;
            }
            return RenderFont(*options);
        };
    });
}

} // namespace QuorlixTool
