// AVX and wider, chosen at run time where the processor has them, in every x86 build: the
// tools' and the program's, 32 and 64 bits. MinGW's GCC does not align the stack for the
// spills of AVX's 32-byte registers, so the Windows builds assemble every aligned vector
// move as an unaligned one (CMakeLists.txt), which costs nothing on data that is aligned.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#include <immintrin.h>
#define AURECHO_WIDE_VECTORS 1
#endif
