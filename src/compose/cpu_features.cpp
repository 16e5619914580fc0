#include "compose/cpu_features.h"

#include "compose/attachment.h"

namespace {

struct Features {
    bool avx2 = false;
    bool avx512 = false;
    bool clmul = false;
    bool wideClmul = false;
};

// Asked during static initialisation, so the processor facts are filled in first.
const Features kFeatures = [] {
    Features f;
#if defined(__x86_64__)
    __builtin_cpu_init();
    f.avx2 = __builtin_cpu_supports("avx2") != 0;
    f.avx512 = f.avx2 && __builtin_cpu_supports("avx512bw") != 0 &&
               __builtin_cpu_supports("avx512vl") != 0 &&
               __builtin_cpu_supports("avx512vbmi") != 0 &&
               __builtin_cpu_supports("avx512vbmi2") != 0 && __builtin_cpu_supports("bmi2") != 0;
    f.clmul = __builtin_cpu_supports("pclmul") != 0 && __builtin_cpu_supports("sse4.1") != 0;
    f.wideClmul = f.clmul && __builtin_cpu_supports("avx512f") != 0 &&
                  __builtin_cpu_supports("vpclmulqdq") != 0;
#endif
    return f;
}();

WideEncoder g_widest = WideEncoder::All;

}  // namespace

void LimitWideEncoder(WideEncoder widest) {
    g_widest = widest;
}

bool UseAvx2() {
    return kFeatures.avx2 && g_widest != WideEncoder::Portable;
}

bool UseAvx512() {
    return kFeatures.avx512 && g_widest == WideEncoder::All;
}

bool UseClmul() {
    return kFeatures.clmul && g_widest != WideEncoder::Portable;
}

bool UseWideClmul() {
    return kFeatures.wideClmul && g_widest == WideEncoder::All;
}
