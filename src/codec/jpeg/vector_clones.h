// Hot loops of the encoder are written as lanes side by side (the eight
// columns of a block, its 64 coefficients), so that the compiler turns
// them into vector code. Marked with this, such a function is built twice,
// for processors with AVX2 (eight 32-bit lanes, variable shifts) and for
// any other, and the choice is made once when the program loads.
#pragma once

// Windows has no load-time choice of a function (ifunc), so its build keeps
// the plain one.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(_WIN32)
#define TAMARIND_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TAMARIND_VECTOR_CLONES
#endif
