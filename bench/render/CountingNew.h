#pragma once
// Allocations through the global operator new since the program started: the benchmark program
// replaces the operator, so a benchmark can tell that a stretch of code made none.

#include <cstdint>

namespace QuorlixBench {

uint64_t GlobalNewCount() noexcept;

} // namespace QuorlixBench
