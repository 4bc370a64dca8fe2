#include "TextureCacheCommand.h"

#include "quorlix/Quorlix.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

using namespace Quorlix;

namespace QuorlixTool {

namespace {

struct Options {
    std::vector<std::string> m_Paths;
    bool m_Check = false;
};

const char* StatusName(TextureCacheStatus status) {
    switch (status) {
    case k_TextureCacheFresh:
        return "fresh";
    case k_TextureCacheStale:
        return "stale";
    case k_TextureCacheUnreadable:
        return "unreadable";
    default:
        return "missing";
    }
}

// Users name the source file as often as the base path.
std::string BasePath(const std::string& path) {
    for (const char* extension : {".png", ".jp2"}) {
        const size_t n = std::char_traits<char>::length(extension);
        if (path.size() > n && path.compare(path.size() - n, n, extension) == 0)
            return path.substr(0, path.size() - n);
    }
    return path;
}

int Run(const Options& options) {
    DLLInitialize(0);
    int status = 0;
    for (const std::string& path : options.m_Paths) {
        const String base(BasePath(path).c_str());
        TextureCacheStatus cache = Texture::CheckImageCache(base);
        if (options.m_Check) {
            std::printf("%s: %s\n", path.c_str(), StatusName(cache));
            if (cache != k_TextureCacheFresh)
                status = 1;
            continue;
        }
        if (cache == k_TextureCacheFresh) {
            std::printf("%s: fresh\n", path.c_str());
            continue;
        }
        // The load a texture makes, mipmap chain included, writes the cache.
        Obj<Image> image = Texture::LoadImageFile(base, true);
        cache = Texture::CheckImageCache(base);
        if (cache == k_TextureCacheFresh) {
            std::printf("%s: written\n", path.c_str());
        } else if (image->GetWidth() == 0) {
            std::fprintf(stderr, "error: %s: no image file (.png, .jp2) could be read\n",
                         path.c_str());
            status = 1;
        } else {
            std::fprintf(stderr,
                         "error: %s: no cache written (archive or multipart names, and names "
                         "with a .bmg file, get none; or the folder is not writable)\n",
                         path.c_str());
            status = 1;
        }
    }
    DLLDeInitialize(0);
    return status;
}

} // namespace

void AddTextureCacheCommand(CLI::App& texture, std::function<int()>& action) {
    auto options = std::make_shared<Options>();
    CLI::App* cache = texture.add_subcommand(
        "cache", "Write the cache files texture loads read instead of decoding the image");
    cache->add_option("PATH", options->m_Paths, "Image base path without extension")->required();
    cache->add_flag("--check", options->m_Check,
                    "Write nothing; report each cache as fresh, stale, unreadable or missing");
    cache->callback([&action, options] { action = [options] { return Run(*options); }; });
}

} // namespace QuorlixTool
