#include "quorlix/stream/StreamPipe.h"

namespace Quorlix {

bool StreamPipe::Truncate() {
    return false;
}

void StreamPipe::Color(int, int) {}

void StreamPipe::Clear() {}

int64_t ClampedSeekTarget(int64_t offset, int origin, int64_t position, int64_t length) noexcept {
    int64_t base;
    switch (origin) {
    case SeekBegin:
        base = 0;
        break;
    case SeekCurrent:
        base = position;
        break;
    case SeekEnd:
        base = length;
        break;
    default:
        return -1;
    }
    int64_t target;
    if (__builtin_add_overflow(base, offset, &target))
        target = offset < 0 ? 0 : length;
    return target < 0 ? 0 : target > length ? length : target;
}

int ReadFully(StreamPipe& pipe, void* buffer, int n) {
    auto* bytes = static_cast<char*>(buffer);
    int got = 0;
    while (got < n) {
        const int piece = pipe.Read(bytes + got, n - got);
        if (piece <= 0)
            break;
        got += piece;
    }
    return got;
}

int64_t WriteFully(StreamPipe& pipe, const void* data, int64_t n) {
    constexpr int64_t k_Piece = 1 << 30; // a pipe takes an int count
    const auto* bytes = static_cast<const char*>(data);
    int64_t done = 0;
    while (done < n) {
        const int64_t rest = n - done;
        const int piece =
            pipe.Write(bytes + done, static_cast<int>(rest < k_Piece ? rest : k_Piece));
        if (piece <= 0)
            break;
        done += piece;
    }
    return done;
}

} // namespace Quorlix
