#pragma once
// Registration of the widget classes and their enumerations. The library's start-up calls it
// from InitializeSceneClasses, after the scene classes SWindow and TWindow derive from.

#include "quorlix/platform/Export.h"

namespace Quorlix {

/// SWindow, TWindow, the styles, the event classes, every widget class, TileCollection and
/// the enumerations Widget.ResizeModeEnum, Widget.AlignmentModeEnum and WEvent.TypeEnum.
QUORLIX_API void InitializeGUIClasses();

} // namespace Quorlix
