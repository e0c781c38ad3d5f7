#pragma once

#include "utilities/ThreadSanitizer.h"

#if ORBIZO3_THREAD_SANITIZER
#include <mutex>
#include <shared_mutex>
#else
#include <QReadWriteLock>
#endif

namespace Korvane {
namespace Utilities {

// A reader/writer lock and its two lockers: QReadWriteLock, QReadLocker and QWriteLocker, except
// in ThreadSanitizer builds. There Qt's lock, whose slow path passes its private block between
// threads through uninstrumented atomics, is replaced by the standard library's, which the
// sanitizer sees. Both are non-recursive; the lockers take a pointer and hold the lock for their
// lifetime.
#if ORBIZO3_THREAD_SANITIZER
using ReadWriteLock = std::shared_mutex;

class ReadLocker {
public:
    explicit ReadLocker(ReadWriteLock* lock) : guard(*lock) {}

private:
    std::shared_lock<ReadWriteLock> guard;
};

class WriteLocker {
public:
    explicit WriteLocker(ReadWriteLock* lock) : guard(*lock) {}

private:
    std::unique_lock<ReadWriteLock> guard;
};
#else
using ReadWriteLock = QReadWriteLock;
using ReadLocker = QReadLocker;
using WriteLocker = QWriteLocker;
#endif

}  // namespace Utilities
}  // namespace Korvane
