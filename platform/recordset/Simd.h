// Whether the record set's scans use SSE2: wherever the compiler offers it,
// unless FILLAHEAD_PLAIN_LOOPS asks for the plain loops every scan also has
// (the sanitizer build does, so that those run somewhere too).
#pragma once

#if defined(__SSE2__) && !defined(FILLAHEAD_PLAIN_LOOPS)
#define FILLAHEAD_SSE2 1
#include <emmintrin.h>
#endif
