// SPDX-License-Identifier: MIT
#pragma once
// Memory given back to the system, from the runner's platform layer. After a large output is
// dropped, the allocator keeps the freed heap for later use; a window that showed a quarter of a
// gigabyte of output should not hold it for the rest of its life.

namespace runner {

// Returns the allocator's free memory to the system where the C library can (glibc's malloc_trim);
// does nothing elsewhere.
void ReturnFreeMemory();

} // namespace runner
