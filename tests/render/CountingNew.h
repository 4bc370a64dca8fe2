#pragma once
// Allocations through the global operator new since the program started: the test program
// replaces the operator, so a test can tell that a stretch of code made none.

#include <cstdint>

namespace QuorlixTest {

uint64_t GlobalNewCount() noexcept;

} // namespace QuorlixTest
