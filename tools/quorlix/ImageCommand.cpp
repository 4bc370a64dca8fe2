#include "ImageCommand.h"
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
    std::string m_Input;
    std::string m_Output;
    bool m_MipMap = false;
};

// The extension of `path` in lower case, without the dot; empty when it has none.
std::string ExtensionOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool Readable(const std::string& path) {
    const std::string e = ExtensionOf(path);
    return e == "bmg" || e == "png" || e == "jp2";
}

bool Writable(const std::string& path) {
    const std::string e = ExtensionOf(path);
    return e == "bmg" || e == "png" || e == "tga";
}

const char* ChannelNames(int bytesPerPixel) {
    switch (bytesPerPixel) {
    case 1:
        return "luminance";
    case 2:
        return "luminance, alpha";
    case 3:
        return "red, green, blue";
    case 4:
        return "red, green, blue, alpha";
    default:
        return "none";
    }
}

// `path` read into `image`; false (with a line on standard error) when it cannot be.
bool Load(const std::string& path, Image& image) {
    Obj<StreamPipe> pipe = Storage::OpenStream(String(path.c_str()), 0);
    if (!pipe || pipe.Get() == StreamPipeNull::GetSingleton() || pipe->Peek() < 0) {
        std::fprintf(stderr, "error: cannot open %s\n", path.c_str());
        return false;
    }
    if (Failed(image.ImportStream(path.c_str(), pipe)) || image.GetData() == nullptr) {
        std::fprintf(stderr, "error: cannot read the image in %s\n", path.c_str());
        return false;
    }
    return true;
}

int Info(const Options& options) {
    DLLInitialize(0);
    int status = 1;
    {
        Obj<Image> image(Image::Create());
        if (Load(options.m_Input, *image)) {
            int levels = 0;
            for (const Image* level = image; level != nullptr; level = level->GetMipMap())
                ++levels;
            std::printf("file: %s\nsize: %d x %d\nchannels: %d (%s)\nformat: %u\nmip levels: %d\n",
                        options.m_Input.c_str(), image->GetWidth(), image->GetHeight(),
                        image->GetBytesPerPixel(), ChannelNames(image->GetBytesPerPixel()),
                        image->GetFormat(), levels);
            status = 0;
        }
    }
    DLLDeInitialize(0);
    return status;
}

// The image written in memory first, so that a failure leaves no half file.
bool Save(Image& image, const std::string& path) {
    Obj<StreamPipeMemory> data(StreamPipeMemory::Create());
    return Succeeded(image.ExportStream(path.c_str(), data, 0)) && WriteWhole(path, *data);
}

int Convert(const Options& options) {
    DLLInitialize(0);
    int status = 1;
    {
        Obj<Image> image(Image::Create());
        if (Load(options.m_Input, *image)) {
            if (options.m_MipMap) {
                // Colour weighted by alpha, so transparent texels do not darken their neighbours.
                image->MipMap(1);
            }
            const bool levelsMissing = options.m_MipMap && image->GetMipMap() == nullptr &&
                                       (image->GetWidth() > 1 || image->GetHeight() > 1);
            if (levelsMissing) {
                std::fprintf(stderr,
                             "error: no mipmap levels for a %d x %d image (sizes must be powers "
                             "of two); %s not written\n",
                             image->GetWidth(), image->GetHeight(), options.m_Output.c_str());
            } else if (!Save(*image, options.m_Output)) {
                std::fprintf(stderr, "error: cannot write %s\n", options.m_Output.c_str());
            } else {
                status = 0;
            }
        }
    }
    DLLDeInitialize(0);
    return status;
}

} // namespace

void AddImageCommand(CLI::App& app, std::function<int()>& action) {
    auto options = std::make_shared<Options>();
    CLI::App* image = app.add_subcommand("image", "Inspect and convert image files");
    image->require_subcommand(1);

    CLI::App* info = image->add_subcommand("info", "Print the size, channels, format and mipmap "
                                                   "levels of an image file");
    info->add_option("FILE", options->m_Input, "Image file (.bmg, .png, .jp2)")->required();
    info->callback([&action, options] {
        action = [options] {
            if (!Readable(options->m_Input)) {
                std::fprintf(stderr, "error: %s: the image forms read are .bmg, .png and .jp2\n",
                             options->m_Input.c_str());
                return 2;
            }
            return Info(*options);
        };
    });

    CLI::App* convert = image->add_subcommand("convert", "Read an image file and write it in "
                                                         "another form");
    convert->add_option("IN", options->m_Input, "Image file to read (.bmg, .png, .jp2)")
        ->required();
    convert
        ->add_option("OUT", options->m_Output, "File to write (.bmg, .png, .tga; replaced whole)")
        ->required();
    convert->add_flag("--mipmap", options->m_MipMap,
                      "Add the chain of mipmap levels (power-of-two sizes; .bmg output only)");
    convert->callback([&action, options] {
        action = [options] {
            if (!Readable(options->m_Input)) {
                std::fprintf(stderr, "error: %s: the image forms read are .bmg, .png and .jp2\n",
                             options->m_Input.c_str());
                return 2;
            }
            if (!Writable(options->m_Output)) {
                std::fprintf(stderr, "error: %s: the image forms written are .bmg, .png and .tga\n",
                             options->m_Output.c_str());
                return 2;
            }
            if (options->m_MipMap && ExtensionOf(options->m_Output) != "bmg") {
                std::fprintf(stderr, "error: --mipmap: only .bmg files carry mipmap levels\n");
                return 2;
            }
            return Convert(*options);
        };
    });
}

} // namespace QuorlixTool
