// SPDX-License-Identifier: MIT
#include "runner/FreeMemory.h"

#include <cstdlib> // defines __GLIBC__ with the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace runner {

void ReturnFreeMemory() {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace runner
