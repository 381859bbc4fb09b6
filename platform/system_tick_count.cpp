// The machine's steady clock as a wrapping 32-bit millisecond counter.
#include <chrono>

#include "solver_platform.h"

uint32_t SystemTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
