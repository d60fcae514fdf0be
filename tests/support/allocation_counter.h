// Counts global operator new calls while counting is on. An executable that
// links the allocation counter (tavelin_test_allocations) has every global
// operator new and delete replaced; tavelin_add_test(... COUNTS_ALLOCATIONS)
// links it and labels the suite alloc.
#pragma once

namespace AllocationCounter {

void Start();
// Stops counting; the number of allocations since Start.
int Stop();

} // namespace AllocationCounter
