#ifndef _WIN32

#include "platform/win32/OverlappedTransfer.h"

namespace Korvane {
namespace Platform {

void OverlappedTransfer::complete(std::uint32_t error, std::uint32_t transferred) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
        result = error;
        bytes = transferred;
    }
    finished.notify_all();
}

bool OverlappedTransfer::outcome(bool wait, std::uint32_t& error, std::uint32_t& transferred) {
    std::unique_lock<std::mutex> lock(mutex);
    if (!done && !wait) return false;
    finished.wait(lock, [this] { return done; });
    error = result;
    transferred = bytes;
    return true;
}

}  // namespace Platform
}  // namespace Korvane

#endif
