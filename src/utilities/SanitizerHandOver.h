#pragma once

#include "utilities/ThreadSanitizer.h"

#if ORBIZO3_THREAD_SANITIZER
#include <mutex>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#endif

namespace Korvane {
namespace Utilities {

// Orders a queued call from another thread into the GUI thread for ThreadSanitizer. Qt copies
// the call's arguments into an event and posts it under its own locks; Qt is not instrumented,
// so the sanitizer would see the slot read memory that another thread wrote with no order in
// between. In ThreadSanitizer builds one process-wide recursive mutex stands for that queue:
// - the emitting thread holds a Sending from the emit until every copy of the arguments it still
//   owns is gone (a reference count dropped after the unlock would be unordered again);
// - an application event filter, installed by watchDeliveries on the GUI thread, takes and
//   releases the mutex before each queued call is delivered to an object of the GUI thread.
// The sender never waits for the receiver while holding it, so the receiver waits at most for
// the end of one emit. In other builds everything here does nothing.
class SanitizerHandOver {
public:
    // Tag for a Sending that begins later, at its first begin().
    struct Later {};
    static constexpr Later later{};

    class Sending {
    public:
        Sending() { begin(); }
        explicit Sending(Later) {}
        ~Sending() {
#if ORBIZO3_THREAD_SANITIZER
            if (held) mutex().unlock();
#endif
        }
        Sending(const Sending&) = delete;
        Sending& operator=(const Sending&) = delete;

        // Call right before the emit; once is enough.
        void begin() {
#if ORBIZO3_THREAD_SANITIZER
            if (held) return;
            mutex().lock();
            held = true;
#endif
        }

    private:
#if ORBIZO3_THREAD_SANITIZER
        bool held = false;
#endif
    };

    // Emits through emitIt (a callable holding one emit whose arguments are temporaries) while
    // holding a Sending.
    template <typename Emit>
    static void emitQueued(Emit&& emitIt) {
        Sending handOver;
        emitIt();
    }

    // Marks where a job begins that another thread handed over while holding a Sending (for
    // example a lambda given to a thread pool, whose queue the sanitizer cannot see). Call it
    // first thing in the job.
    static void received() {
#if ORBIZO3_THREAD_SANITIZER
        mutex().lock();
        mutex().unlock();
#endif
    }

    // Installs the delivery filter on the application object once (again after a new
    // application object). GUI thread only.
    static void watchDeliveries() {
#if ORBIZO3_THREAD_SANITIZER
        QCoreApplication* application = QCoreApplication::instance();
        if (application == nullptr ||
            application->findChild<QObject*>(kFilterName, Qt::FindDirectChildrenOnly) != nullptr)
            return;
        application->installEventFilter(new DeliveryFilter(application));
#endif
    }

private:
#if ORBIZO3_THREAD_SANITIZER
    static constexpr const char* kFilterName = "orbizo3.sanitizer.handover";

    static std::recursive_mutex& mutex() {
        static std::recursive_mutex instance;
        return instance;
    }

    class DeliveryFilter : public QObject {
    public:
        explicit DeliveryFilter(QObject* parent) : QObject(parent) {
            setObjectName(QLatin1String(kFilterName));
        }
        bool eventFilter(QObject* /*watched*/, QEvent* event) override {
            if (event->type() == QEvent::MetaCall) {
                mutex().lock();
                mutex().unlock();
            }
            return false;
        }
    };
#endif
};

}  // namespace Utilities
}  // namespace Korvane
