// Stand-ins for the PNG and JPEG 2000 codecs: every call fails. Replaced when the PNG and JPEG
// 2000 codecs land.

#include "quorlix/image/internal/ImageCodecs.h"

namespace Quorlix::Internal {

EResult ReadPng(Image&, StreamPipe&, const char*) {
    return EFail;
}

EResult WritePng(const Image&, StreamPipe&, const char*, int) {
    return EFail;
}

EResult ReadJp2(Image&, StreamPipe&, const char*) {
    return EFail;
}

} // namespace Quorlix::Internal
