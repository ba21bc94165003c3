#pragma once

#include <cstddef>

namespace veltrane::bench::heap {

// The heap's high-water mark, for the programs that link heap_peak.cpp: while counting, every block
// the C library's allocator hands out (operator new included) is counted until it is freed. Counting
// is off by default, so timed cases pay only a test of a flag per allocation.
void startCounting(); // the peak starts at what is in use now
void stopCounting();
// Bytes in use at the highest point since startCounting, above what was in use then.
std::size_t peakAboveStart();

} // namespace veltrane::bench::heap
