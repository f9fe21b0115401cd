#pragma once

// The chunk decoder is compiled twice: for any x86-64 processor, and for processors with the bit
// manipulation instructions (LZCNT, BMI1, BMI2). The coder renormalises after every symbol with a
// leading-zero count, which these processors do in one cycle instead of four, on the path that every
// symbol waits for. Each build lives in its own inline namespace, so that the inline functions of the
// two never mix, and the chunk reader picks one at run time (ChunkDecoding.h).
//
// The sources of a build open their namespaces between LAZ_DECODER_TARGET_BEGIN and
// LAZ_DECODER_TARGET_END, after every include: the standard library's templates stay portable.
#if defined(LAZ_BIT_MANIPULATION_BUILD)
#define LAZ_DECODER_BUILD BitManipulation
#if defined(__clang__)
#define LAZ_DECODER_TARGET_BEGIN                                                                             \
    _Pragma("clang attribute push(__attribute__((target(\"lzcnt,bmi,bmi2\"))), apply_to = function)")
#define LAZ_DECODER_TARGET_END _Pragma("clang attribute pop")
#else
#define LAZ_DECODER_TARGET_BEGIN _Pragma("GCC push_options") _Pragma("GCC target(\"lzcnt,bmi,bmi2\")")
#define LAZ_DECODER_TARGET_END _Pragma("GCC pop_options")
#endif
#else
#define LAZ_DECODER_BUILD Portable
#define LAZ_DECODER_TARGET_BEGIN
#define LAZ_DECODER_TARGET_END
#endif

// The per-symbol functions are small but called from every field decoder; inlining them into each
// lets the compiler keep the coder's state in registers across the fields of a point.
#define LAZ_INLINE inline __attribute__((always_inline))
// The same for the call operator of a lambda, written after its parameters.
#define LAZ_INLINE_LAMBDA __attribute__((always_inline))
