/*
 * glyphar's pixel writers, for its tests and benchmarks: which ones this
 * build and CPU can run, and which ones drawing uses. Not installed; drawing
 * picks the best by itself.
 */
#ifndef GLYPHAR_WRITERS_H
#define GLYPHAR_WRITERS_H

#ifdef __cplusplus
extern "C" {
#endif

enum {
    GLYPHAR_WRITERS_PORTABLE = 0, /* plain C++, every CPU */
    GLYPHAR_WRITERS_AVX2 = 1,     /* x86-64 with AVX2, BMI1 and BMI2 */
    GLYPHAR_WRITERS_AVX512 = 2,   /* x86-64 with AVX-512 BW and VL, BMI1 and BMI2 */
    GLYPHAR_WRITERS_NEON = 3      /* 64-bit ARM */
};

/* The writers this build and CPU can run, a bit (1 << GLYPHAR_WRITERS_...)
 * each. */
int GlypharWriterPaths(void);

/* Draws with the given writers from now on, in every thread; -1 goes back to
 * the best the CPU has. Returns 0, and changes nothing, for writers that
 * cannot run here. */
int GlypharUseWriters(int writers);

/* "portable", "AVX2", "AVX-512" or "NEON"; NULL for other values. */
const char *GlypharWritersName(int writers);

#ifdef __cplusplus
}
#endif

#endif /* GLYPHAR_WRITERS_H */
