#pragma once
// Allocations through the global operator new since the program started: a test or benchmark
// program that links CountingNew.cpp replaces the operator, so it can tell that a stretch of code
// made none.

#include <cstdint>

namespace QuorlixTest {

uint64_t GlobalNewCount() noexcept;

} // namespace QuorlixTest
