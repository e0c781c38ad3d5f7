#ifndef _WIN32

#include "platform/win32/WinUsbInterface.h"

namespace Korvane {
namespace Platform {

namespace {

constexpr std::size_t kPruneAt = 64;

}  // namespace

WinUsbInterface::WinUsbInterface(std::shared_ptr<DeviceFile> file)
    : Win32Object(Win32ObjectKind::WinUsbInterface), file(std::move(file)) {}

std::shared_ptr<OverlappedTransfer> WinUsbInterface::track(const OVERLAPPED* overlapped) {
    auto record = std::make_shared<OverlappedTransfer>();
    std::lock_guard<std::mutex> lock(mutex);
    if (transfers.size() >= kPruneAt) {
        // Callers that use a fresh OVERLAPPED per transfer: forget the finished ones.
        std::uint32_t error, transferred;
        for (auto it = transfers.begin(); it != transfers.end();) {
            it = it->second->outcome(false, error, transferred) ? transfers.erase(it) : ++it;
        }
    }
    transfers[overlapped] = record;
    return record;
}

std::shared_ptr<OverlappedTransfer> WinUsbInterface::tracked(const OVERLAPPED* overlapped) {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = transfers.find(overlapped);
    return it == transfers.end() ? nullptr : it->second;
}

}  // namespace Platform
}  // namespace Korvane

#endif
