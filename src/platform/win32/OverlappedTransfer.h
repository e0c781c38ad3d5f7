#pragma once

#ifndef _WIN32

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Korvane {
namespace Platform {

// The outcome of one WinUSB bulk transfer, as WinUsb_GetOverlappedResult reports it.
class OverlappedTransfer {
public:
    void complete(std::uint32_t error, std::uint32_t transferred);
    // False while the transfer runs and wait is false; otherwise waits for the outcome.
    bool outcome(bool wait, std::uint32_t& error, std::uint32_t& transferred);

private:
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::uint32_t result = 0;
    std::uint32_t bytes = 0;
};

}  // namespace Platform
}  // namespace Korvane

#endif
