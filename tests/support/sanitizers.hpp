#pragma once
// VANTREL_UNDER_TSAN is defined in a ThreadSanitizer build (GCC or Clang).
// ThreadSanitizer defers an asynchronous signal's handler until the thread
// leaves the system call it is in, unless that call is one it knows blocks;
// a write to a terminal is not, so tests of a signal that must end a write
// in progress cannot run under it.

#if defined(__SANITIZE_THREAD__)
#define VANTREL_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VANTREL_UNDER_TSAN 1
#endif
#endif
