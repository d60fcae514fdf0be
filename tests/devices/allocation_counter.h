// Counts global operator new calls while counting is on. The executable that
// links allocation_counter.cpp has its operator new and delete replaced.
#pragma once

namespace AllocationCounter {

void Start();
// Stops counting; the number of allocations since Start.
int Stop();

} // namespace AllocationCounter
