// The versions of the engine this build holds, and the choice among them.
#include "engine.h"

#include <array>

// Each version lives in its own namespace, built from the same sources with its own
// instruction set; see solver/CMakeLists.txt.
#define VELMO_DECLARE_ENGINE(isa) \
    namespace isa {               \
    extern const CEngine kEngine; \
    }
#if defined(VELMO_HAVE_AVX512)
VELMO_DECLARE_ENGINE(isa_avx512)
#endif
#if defined(VELMO_HAVE_AVX2)
VELMO_DECLARE_ENGINE(isa_avx2)
#endif
#if defined(VELMO_HAVE_SSE4)
VELMO_DECLARE_ENGINE(isa_sse4)
#endif
VELMO_DECLARE_ENGINE(isa_scalar)

namespace {

// Whether this processor runs a version: the features its build was given. Asked here,
// in code built for any x86-64, never inside a version itself.
#if defined(VELMO_HAVE_AVX512)
bool RunsAvx512() {
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
           __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512bitalg") &&
           __builtin_cpu_supports("avx512vpopcntdq") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}
#endif
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

const auto kVersions = std::to_array<CEngineVersion>({
#if defined(VELMO_HAVE_AVX512)
    {&isa_avx512::kEngine, RunsAvx512},
#endif
#if defined(VELMO_HAVE_AVX2)
    {&isa_avx2::kEngine, RunsAvx2},
#endif
#if defined(VELMO_HAVE_SSE4)
    {&isa_sse4::kEngine, RunsSse4},
#endif
    {&isa_scalar::kEngine, RunsAnywhere},
});

}  // namespace

std::span<const CEngineVersion> AllEngineVersions() {
    return kVersions;
}

const CEngine& BestEngine() {
    static const CEngine* const best = [] {
        for (const CEngineVersion& version : kVersions) {
            if (version.supported()) return version.engine;
        }
        return kVersions.back().engine;
    }();
    return *best;
}
