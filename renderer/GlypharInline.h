// How the renderer asks compilers to inline and unroll, private to it: the
// hot paths are as fast at -O2 as at -O3 because the code says so here, not
// because of the optimization level a user builds with.
#ifndef GLYPHAR_INLINE_H
#define GLYPHAR_INLINE_H

// Unrolls the loop that follows n times: loops whose trip count is a
// constant (pixels a word, bytes a pixel, rows a band) are unrolled at -O2 as
// at -O3, so that their arrays stay in registers.
#define GLYPHAR_PRAGMA(x) _Pragma(#x)
#if defined(__clang__) || defined(__GNUC__)
#define GLYPHAR_UNROLL(n) GLYPHAR_PRAGMA(GCC unroll n)
#else
#define GLYPHAR_UNROLL(n)
#endif

// Inlined at -O2 as at -O3: a single character's few calls cost as much as
// its pixels.
#if defined(__GNUC__)
#define GLYPHAR_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define GLYPHAR_ALWAYS_INLINE inline
#endif

#if defined(__GNUC__)
#define GLYPHAR_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define GLYPHAR_NOINLINE __declspec(noinline)
#else
#define GLYPHAR_NOINLINE
#endif

// A branch that is taken most of the time on text: -O2 and -O3 lay its code
// out in line alike, where otherwise one of them jumps out and back.
#if defined(__GNUC__)
#define GLYPHAR_LIKELY(x) __builtin_expect(!!(x), 1)
#else
#define GLYPHAR_LIKELY(x) (x)
#endif

#endif  // GLYPHAR_INLINE_H
