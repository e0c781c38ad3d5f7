#pragma once

// ORBIZO3_THREAD_SANITIZER is 1 in ThreadSanitizer builds (GCC and Clang) and 0 otherwise. The
// helpers that tell the sanitizer about hand-overs inside Qt test it; in other builds they
// compile to nothing.
#if defined(__SANITIZE_THREAD__)
#define ORBIZO3_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORBIZO3_THREAD_SANITIZER 1
#endif
#endif
#ifndef ORBIZO3_THREAD_SANITIZER
#define ORBIZO3_THREAD_SANITIZER 0
#endif
