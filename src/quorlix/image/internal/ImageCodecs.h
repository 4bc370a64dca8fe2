#pragma once
// The image file forms, each a reader or writer over a pipe. Readers fill an image that the
// caller has cleared and leave it empty (Clear) on failure; `name` is the file name their
// messages quote.

#include "quorlix/core/Result.h"

namespace Quorlix {

class Image;
class StreamPipe;

namespace Internal {

EResult ReadBmg(Image& image, StreamPipe& pipe, const char* name);
EResult WriteBmg(const Image& image, StreamPipe& pipe, const char* name);
EResult WriteTga(const Image& image, StreamPipe& pipe, const char* name);
EResult ReadPng(Image& image, StreamPipe& pipe, const char* name);
EResult WritePng(const Image& image, StreamPipe& pipe, const char* name, int option);
EResult ReadJp2(Image& image, StreamPipe& pipe, const char* name);

} // namespace Internal
} // namespace Quorlix
