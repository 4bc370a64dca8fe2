#pragma once
// What the library exports, a toolchain seam and so part of the platform layer. The library is
// built with hidden visibility: hosts see only declarations marked QUORLIX_API (public classes,
// free functions and variables). Private helpers live in the namespace Internal and are never
// marked.

#define QUORLIX_API __attribute__((visibility("default")))
