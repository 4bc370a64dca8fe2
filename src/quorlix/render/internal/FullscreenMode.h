#pragma once
// The full-screen mode search of RenderPipe::InitializeWindow, over a list of display modes, so
// that it can be run on lists no display of this machine has.

#include "quorlix/platform/Window.h"

namespace Quorlix::Internal {

/// Searches `modes` (`count` of them) for `requested` (width, height, depth; the refresh rate
/// too when it is not 0), logging "InitializeWindow: detecting fullscreen modes..." (info) and
/// one output-log line per mode. When no mode has the depth, the search is repeated with the
/// next depth of the retry order (16: 24, 32; 24: 32, 16; 32: 24, 16; other depths have none),
/// each announced by "InitializeWindow: Retrying with " and the settings. A mode field of 0
/// means the display does not say (the offscreen driver's one 0 x 0 mode, Xvfb's refresh rate
/// 0) and matches any request. Returns the index of the mode and sets `chosen` to what the
/// switch asks for (the request at the depth found); -1 after logging "EnumDisplaySettings:
/// requested mode is not available." when none matches.
int FindFullscreenMode(const Platform::DisplayMode* modes, int count,
                       const Platform::DisplayMode& requested, Platform::DisplayMode& chosen);

} // namespace Quorlix::Internal
