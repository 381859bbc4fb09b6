// The versions of the fast path this build holds, and the choice among them.
#include "fast_path.h"

#include <array>

// Each version lives in its own namespace, built from the same sources with its own
// instruction set; see solver/CMakeLists.txt.
#define VELMO_DECLARE_FAST_PATH(isa)  \
    namespace isa {                   \
    extern const CFastPath kFastPath; \
    }
#if defined(VELMO_HAVE_AVX2)
VELMO_DECLARE_FAST_PATH(isa_avx2)
#endif
#if defined(VELMO_HAVE_SSE4)
VELMO_DECLARE_FAST_PATH(isa_sse4)
#endif
VELMO_DECLARE_FAST_PATH(isa_scalar)

namespace {

// Whether this processor runs a version: the features its build was given. Asked here,
// in code built for any x86-64, never inside a version itself.
#if defined(VELMO_HAVE_AVX2)
bool RunsAvx2() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}
#endif
#if defined(VELMO_HAVE_SSE4)
bool RunsSse4() {
    return __builtin_cpu_supports("sse4.2") && __builtin_cpu_supports("popcnt");
}
#endif
bool RunsAnywhere() {
    return true;
}

const auto kPaths = std::to_array<CFastPathVersion>({
#if defined(VELMO_HAVE_AVX2)
    {&isa_avx2::kFastPath, RunsAvx2},
#endif
#if defined(VELMO_HAVE_SSE4)
    {&isa_sse4::kFastPath, RunsSse4},
#endif
    {&isa_scalar::kFastPath, RunsAnywhere},
});

}  // namespace

std::span<const CFastPathVersion> AllFastPaths() {
    return kPaths;
}

const CFastPath& BestFastPath() {
    static const CFastPath* const best = [] {
        for (const CFastPathVersion& version : kPaths) {
            if (version.supported()) return version.path;
        }
        return kPaths.back().path;
    }();
    return *best;
}
