// Marks memory a pool keeps but nothing may use, so that AddressSanitizer reports a use of it as
// it reports a use of freed heap memory; in other builds the marks cost nothing.
#pragma once

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(ORVEL_ASAN)
#define ORVEL_ASAN 1
#endif

#ifdef ORVEL_ASAN
#include <sanitizer/asan_interface.h>
#define ORVEL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ORVEL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ORVEL_POISON(p, n) ((void)(p), (void)(n))
#define ORVEL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif
