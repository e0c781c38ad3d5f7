#pragma once

#include "utilities/ThreadSanitizer.h"

#if ORBIZO3_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

namespace Korvane {
namespace Utilities {

// States for ThreadSanitizer that the current thread holds an exclusive lock whose lock and
// unlock run inside Qt (QRecursiveMutex): Qt is not instrumented, so without this the sanitizer
// sees no order between two threads that take the lock one after the other. Declare it right
// after the locker, on the same lock: it is built once the lock is held and destroyed before the
// lock is released. Recursive holds nest. In other builds it does nothing.
class SanitizerLockHold {
public:
    explicit SanitizerLockHold(const void* lock) : lock(const_cast<void*>(lock)) {
#if ORBIZO3_THREAD_SANITIZER
        __tsan_mutex_pre_lock(this->lock, 0);
        __tsan_mutex_post_lock(this->lock, 0, 0);
#endif
    }
    ~SanitizerLockHold() {
#if ORBIZO3_THREAD_SANITIZER
        __tsan_mutex_pre_unlock(lock, 0);
        __tsan_mutex_post_unlock(lock, 0);
#endif
    }
    SanitizerLockHold(const SanitizerLockHold&) = delete;
    SanitizerLockHold& operator=(const SanitizerLockHold&) = delete;

private:
    [[maybe_unused]] void* lock;
};

}  // namespace Utilities
}  // namespace Korvane
