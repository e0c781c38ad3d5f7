#ifndef _WIN32

#include "platform/win32/Waitable.h"

#include <chrono>

namespace Korvane {
namespace Platform {

Waitable::Waitable(Win32ObjectKind kind, bool manualReset, bool initiallySignalled)
    : Win32Object(kind), manualReset(manualReset), signalled(initiallySignalled) {}

void Waitable::set() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        signalled = true;
    }
    changed.notify_all();
}

void Waitable::reset() {
    std::lock_guard<std::mutex> lock(mutex);
    signalled = false;
}

bool Waitable::wait(std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex);
    auto isSignalled = [this] { return signalled; };
    if (timeoutMs == 0xFFFFFFFFu) {
        changed.wait(lock, isSignalled);
    } else if (!changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), isSignalled)) {
        return false;
    }
    if (!manualReset) signalled = false;
    return true;
}

}  // namespace Platform
}  // namespace Korvane

#endif
