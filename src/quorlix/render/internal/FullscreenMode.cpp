#include "quorlix/render/internal/FullscreenMode.h"

#include "quorlix/log/LogStream.h"

namespace Quorlix::Internal {

namespace {

bool Matches(int have, int wanted) {
    return have == 0 || have == wanted;
}

bool Matches(const Platform::DisplayMode& mode, const Platform::DisplayMode& wanted) {
    return Matches(mode.m_Width, wanted.m_Width) && Matches(mode.m_Height, wanted.m_Height) &&
           Matches(mode.m_Depth, wanted.m_Depth) &&
           (wanted.m_RefreshRate == 0 || Matches(mode.m_RefreshRate, wanted.m_RefreshRate));
}

Stream& operator<<(Stream& stream, const Platform::DisplayMode& mode) {
    return stream << mode.m_Width << "x" << mode.m_Height << "x" << mode.m_Depth << "@"
                  << mode.m_RefreshRate;
}

} // namespace

int FindFullscreenMode(const Platform::DisplayMode* modes, int count,
                       const Platform::DisplayMode& requested, Platform::DisplayMode& chosen) {
    Xerr.pLockInfo() << "InitializeWindow: detecting fullscreen modes...";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    if (modes == nullptr || count < 0)
        count = 0;
    for (int i = 0; i < count; ++i) {
        Xout.pLockInfo() << "InitializeWindow: mode " << i << ": " << modes[i];
        Xout.pLF();
        Xout.pUnlockMessage();
    }

    int retries[2] = {0, 0};
    switch (requested.m_Depth) {
    case 16:
        retries[0] = 24;
        retries[1] = 32;
        break;
    case 24:
        retries[0] = 32;
        retries[1] = 16;
        break;
    case 32:
        retries[0] = 24;
        retries[1] = 16;
        break;
    default:
        break;
    }
    Platform::DisplayMode wanted = requested;
    for (int attempt = 0;; ++attempt) {
        for (int i = 0; i < count; ++i) {
            if (Matches(modes[i], wanted)) {
                chosen = wanted;
                return i;
            }
        }
        if (attempt == 2 || retries[attempt] == 0)
            break;
        wanted.m_Depth = retries[attempt];
        Xerr.pLockInfo() << "InitializeWindow: Retrying with " << wanted;
        Xerr.pLF();
        Xerr.pUnlockMessage();
    }
    Xerr.pLockError() << "EnumDisplaySettings: requested mode is not available.";
    Xerr.pLF();
    Xerr.pUnlockMessage();
    return -1;
}

} // namespace Quorlix::Internal
