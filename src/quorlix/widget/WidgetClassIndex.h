#pragma once
// Class indexes of the widget classes and of their enumerations (the class identifier is
// 0xFFFFF000 + index, e.g. SWindow -3900 is index 196). Identifiers are fixed: files and peers
// carry them.

namespace Quorlix {

enum WidgetClass : int {
    k_ClassSWindow = 196,                 // -3900
    k_ClassTWindow = 197,                 // -3899
    k_ClassWidgetStyle = 198,             // -3898
    k_ClassFontStyle = 199,               // -3897
    k_ClassWEvent = 200,                  // -3896
    k_ClassWEventHandler = 201,           // -3895
    k_ClassWEventCallback = 202,          // -3894
    k_ClassWidget = 203,                  // -3893
    k_ClassWFrame = 204,                  // -3892
    k_ClassWTabFrame = 205,               // -3891
    k_ClassWLabel = 206,                  // -3890
    k_ClassWImage = 207,                  // -3889
    k_ClassWText = 208,                   // -3888
    k_ClassWTransform = 209,              // -3887
    k_ClassWChannel = 210,                // -3886
    k_ClassTileCollection = 211,          // -3885
    k_ClassWidgetResizeModeEnum = 212,    // -3884
    k_ClassWidgetAlignmentModeEnum = 213, // -3883
    k_ClassWEventTypeEnum = 214,          // -3882
};

} // namespace Quorlix
