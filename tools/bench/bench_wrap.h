// Names for the linker's --wrap of a call, as the benchmarks time them:
//   int RealX() REAL("mangled");   the original call
//   int WrapX() WRAP("mangled");   the replacement every caller reaches
// The mangled names go to -Wl,--wrap in tools/bench/CMakeLists.txt.
#pragma once

#define BENCH_STRINGIZE_(x) #x
#define BENCH_STRINGIZE(x) BENCH_STRINGIZE_(x)
#define BENCH_LABEL(name) BENCH_STRINGIZE(__USER_LABEL_PREFIX__) name
#define REAL(mangled) __asm__(BENCH_LABEL("__real_" mangled))
#define WRAP(mangled) __asm__(BENCH_LABEL("__wrap_" mangled))
