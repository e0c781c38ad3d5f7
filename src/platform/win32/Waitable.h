#pragma once

#ifndef _WIN32

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/win32/Win32Object.h"

namespace Korvane {
namespace Platform {

// An object WaitForSingleObject can wait on: an event, or a thread (signalled when it ends).
class Waitable : public Win32Object {
public:
    Waitable(Win32ObjectKind kind, bool manualReset, bool initiallySignalled);

    void set();
    void reset();
    // True when signalled within timeoutMs (0xFFFFFFFF: no limit). An auto-reset object is
    // reset by the wait it releases.
    bool wait(std::uint32_t timeoutMs);

private:
    const bool manualReset;
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled;
};

}  // namespace Platform
}  // namespace Korvane

#endif
