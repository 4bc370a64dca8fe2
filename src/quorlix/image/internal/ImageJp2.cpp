// JPEG 2000 reading (JP2 files and raw codestreams) through OpenJPEG over a StreamPipe.
//
// OpenJPEG needs no global set-up and every decode has its own codec and stream, so threads may
// import at once without any shared state here.

#include "quorlix/image/Image.h"
#include "quorlix/image/internal/ImageCodecs.h"
#include "quorlix/log/LogStream.h"
#include "quorlix/stream/StreamPipe.h"

#include <openjpeg.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Quorlix {

namespace {

// OpenJPEG holds every component as 32-bit samples; the size refusal is what bounds that. A
// fuzzing build keeps it smaller so that a run stays fast and within its memory.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr OPJ_UINT32 k_MaxSize = 1024;
#else
constexpr OPJ_UINT32 k_MaxSize = Image::k_MaxImportSize;
#endif

constexpr OPJ_SIZE_T k_BufferSize = 8192;
constexpr int k_Piece = 1 << 30; // the most one pipe call moves

constexpr unsigned char k_Jp2Signature[12] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50,
                                              0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
constexpr unsigned char k_J2kSignature[4] = {0xFF, 0x4F, 0xFF, 0x51};

// The pipe as an OpenJPEG stream, from the pipe's position on. The signature bytes, read to
// choose the codec, are served again from m_Prefix, so choosing needs no look-ahead. OpenJPEG
// seeks (to count tile parts, for one), so the pipe must be able to.
struct Source {
    StreamPipe* m_Pipe = nullptr;
    unsigned char m_Prefix[sizeof k_Jp2Signature] = {};
    int m_PrefixSize = 0;
    int64_t m_Base = -1;    // pipe position of stream offset 0; -1 when the pipe cannot say
    int64_t m_Position = 0; // stream offset of the next byte
};

OPJ_SIZE_T ReadSource(void* buffer, OPJ_SIZE_T n, void* user) {
    auto& source = *static_cast<Source*>(user);
    auto* out = static_cast<unsigned char*>(buffer);
    OPJ_SIZE_T done = 0;
    while (done < n && source.m_Position < source.m_PrefixSize)
        out[done++] = source.m_Prefix[source.m_Position++];
    while (done < n) {
        const int piece = static_cast<int>(std::min<OPJ_SIZE_T>(n - done, k_Piece));
        const int got = source.m_Pipe->Read(out + done, piece);
        if (got <= 0)
            break;
        done += static_cast<OPJ_SIZE_T>(got);
        source.m_Position += got;
    }
    return done > 0 ? done : static_cast<OPJ_SIZE_T>(-1);
}

OPJ_BOOL SeekSource(OPJ_OFF_T offset, void* user) {
    auto& source = *static_cast<Source*>(user);
    if (offset < 0 || source.m_Base < 0)
        return OPJ_FALSE;
    // Within the prefix the pipe stays just behind it.
    const int64_t target = source.m_Base + std::max<int64_t>(offset, source.m_PrefixSize);
    if (source.m_Pipe->Seek(target, SeekBegin) != target)
        return OPJ_FALSE;
    source.m_Position = offset;
    return OPJ_TRUE;
}

OPJ_OFF_T SkipSource(OPJ_OFF_T n, void* user) {
    auto& source = *static_cast<Source*>(user);
    if (n < 0)
        return SeekSource(source.m_Position + n, user) ? n : -1;
    OPJ_OFF_T done = 0;
    if (source.m_Position < source.m_PrefixSize) {
        done = std::min<OPJ_OFF_T>(n, source.m_PrefixSize - source.m_Position);
        source.m_Position += done;
    }
    while (done < n) {
        const int piece = static_cast<int>(std::min<OPJ_OFF_T>(n - done, k_Piece));
        const int got = source.m_Pipe->Skip(piece);
        if (got <= 0)
            break;
        done += got;
        source.m_Position += got;
    }
    return done > 0 || n == 0 ? done : -1;
}

// OpenJPEG's messages end with a line feed of their own.
void LogMessage(Stream& line, const char* message) {
    size_t length = std::strlen(message);
    while (length > 0 && (message[length - 1] == '\n' || message[length - 1] == '\r'))
        --length;
    line << "ImportFileJP2: ";
    line.Write(message, static_cast<int>(length));
    line.pLF();
    Xerr.pUnlockMessage();
}

void OnError(const char* message, void*) {
    LogMessage(Xerr.pLockError(), message);
}

void OnWarning(const char* message, void*) {
    LogMessage(Xerr.pLockWarn(), message);
}

void OnInfo(const char*, void*) {}

void LogError(const char* text) {
    Stream& line = Xerr.pLockError();
    line << text;
    line.pLF();
    Xerr.pUnlockMessage();
}

// The channel value of one sample: signed samples moved up by half their range, precisions
// above 8 bits shifted down to 8, then the low byte.
inline unsigned char SampleByte(OPJ_INT32 sample, OPJ_UINT32 precision, OPJ_UINT32 isSigned) {
    int64_t value = sample;
    if (isSigned != 0 && precision > 0)
        value += int64_t{1} << (std::min<OPJ_UINT32>(precision, 32) - 1);
    if (precision > 8)
        value >>= std::min<OPJ_UINT32>(precision - 8, 32);
    return static_cast<unsigned char>(value);
}

// Decodes the opened stream into `image`; on failure the caller clears the image.
EResult Decode(Image& image, opj_codec_t* codec, opj_stream_t* stream, opj_image_t*& decoded,
               const char* name) {
    if (!opj_read_header(stream, codec, &decoded) || decoded == nullptr ||
        decoded->x1 <= decoded->x0 || decoded->y1 <= decoded->y0) {
        LogError("ImportFileJP2: cannot load image data.");
        return EFail;
    }
    const OPJ_UINT32 width = decoded->x1 - decoded->x0;
    const OPJ_UINT32 height = decoded->y1 - decoded->y0;
    const OPJ_UINT32 channels = decoded->numcomps;
    if (channels < 1 || channels > 4)
        return EFail;
    if (width > k_MaxSize || height > k_MaxSize) {
        Stream& line = Xerr.pLockError();
        line << "ImportFileJP2: image too large (" << unsigned(width) << " x " << unsigned(height)
             << ") in \"" << name << "\".";
        line.pLF();
        Xerr.pUnlockMessage();
        return EFail;
    }
    // Every component must cover the whole image sample for sample: a subsampled one holds
    // fewer samples than the rows below read.
    for (OPJ_UINT32 c = 0; c < channels; ++c) {
        if (decoded->comps[c].dx != 1 || decoded->comps[c].dy != 1) {
            LogError("ImportFileJP2: subsampled components are not supported.");
            return EFail;
        }
    }
    if (!opj_decode(codec, stream, decoded) || !opj_end_decompress(codec, stream)) {
        LogError("ImportFileJP2: cannot load image data.");
        return EFail;
    }
    for (OPJ_UINT32 c = 0; c < channels; ++c) {
        const opj_image_comp_t& comp = decoded->comps[c];
        if (comp.data == nullptr || comp.w != width || comp.h != height || comp.dx != 1 ||
            comp.dy != 1) {
            LogError("ImportFileJP2: cannot load image data.");
            return EFail;
        }
    }
    if (!image.Allocate(static_cast<int>(channels), static_cast<int>(width),
                        static_cast<int>(height), 0))
        return EFail;
    unsigned char* data = image.GetData();
    for (OPJ_UINT32 c = 0; c < channels; ++c) {
        const opj_image_comp_t& comp = decoded->comps[c];
        for (OPJ_UINT32 y = 0; y < height; ++y) {
            const OPJ_INT32* in = comp.data + size_t(y) * width;
            unsigned char* out = data + size_t(height - 1 - y) * width * channels + c;
            for (OPJ_UINT32 x = 0; x < width; ++x, out += channels)
                *out = SampleByte(in[x], comp.prec, comp.sgnd);
        }
    }
    return SOK;
}

} // namespace

namespace Internal {

EResult ReadJp2(Image& image, StreamPipe& pipe, const char* name) {
    Source source;
    source.m_Pipe = &pipe;
    source.m_Base = pipe.Seek(0, SeekCurrent);
    source.m_PrefixSize = ReadFully(pipe, source.m_Prefix, sizeof source.m_Prefix);
    OPJ_CODEC_FORMAT format = OPJ_CODEC_UNKNOWN;
    if (source.m_PrefixSize == sizeof k_Jp2Signature &&
        std::memcmp(source.m_Prefix, k_Jp2Signature, sizeof k_Jp2Signature) == 0)
        format = OPJ_CODEC_JP2;
    else if (source.m_PrefixSize >= int(sizeof k_J2kSignature) &&
             std::memcmp(source.m_Prefix, k_J2kSignature, sizeof k_J2kSignature) == 0)
        format = OPJ_CODEC_J2K;
    if (format == OPJ_CODEC_UNKNOWN) {
        LogError("ImportFileJP2: input image has unknown format.");
        image.Clear();
        return EFail;
    }

    opj_codec_t* codec = opj_create_decompress(format);
    opj_stream_t* stream = opj_stream_create(k_BufferSize, OPJ_TRUE);
    opj_image_t* decoded = nullptr;
    EResult result = EFail;
    if (codec != nullptr && stream != nullptr) {
        opj_set_error_handler(codec, OnError, nullptr);
        opj_set_warning_handler(codec, OnWarning, nullptr);
        opj_set_info_handler(codec, OnInfo, nullptr);
        opj_dparameters_t parameters;
        opj_set_default_decoder_parameters(&parameters);
        opj_stream_set_user_data(stream, &source, nullptr);
        opj_stream_set_read_function(stream, ReadSource);
        opj_stream_set_skip_function(stream, SkipSource);
        opj_stream_set_seek_function(stream, SeekSource);
        // OpenJPEG bounds boxes and tile parts by the length and asserts that it never reads
        // past it; a pipe that cannot tell its length gets the largest a pipe can hold, and a
        // short read ends the decode instead.
        int64_t length = INT32_MAX;
        if (source.m_Base >= 0) {
            const int64_t end = pipe.Seek(0, SeekEnd);
            const int64_t resume = source.m_Base + source.m_PrefixSize;
            if (pipe.Seek(resume, SeekBegin) != resume)
                source.m_Base = -1;
            else if (end >= resume)
                length = end - source.m_Base;
        }
        opj_stream_set_user_data_length(stream, OPJ_UINT64(length));
        if (opj_setup_decoder(codec, &parameters))
            result = Decode(image, codec, stream, decoded, name);
        else
            LogError("ImportFileJP2: cannot load image data.");
    }
    if (decoded != nullptr)
        opj_image_destroy(decoded);
    if (stream != nullptr)
        opj_stream_destroy(stream);
    if (codec != nullptr)
        opj_destroy_codec(codec);
    if (result != SOK)
        image.Clear();
    return result;
}

} // namespace Internal
} // namespace Quorlix
