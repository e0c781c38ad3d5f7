#include "platform/usbhost/UsbTrace.h"

#include <chrono>
#include <cstdio>

namespace Korvane {
namespace Platform {

namespace {

const auto programStart = std::chrono::steady_clock::now();

}  // namespace

void UsbTrace::setFile(const std::string& newPath) {
    std::lock_guard<std::mutex> lock(mutex);
    if (file != nullptr) std::fclose(file);
    file = nullptr;
    path = newPath;
    opened = false;
}

// Opened at the first transfer, so that a run that moves nothing leaves no file behind.
void UsbTrace::open() {
    opened = true;
    if (!path.empty()) file = std::fopen(path.c_str(), "a");
}

void UsbTrace::control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                       std::uint16_t index, const std::uint8_t* data, std::uint32_t length) {
    char head[64];
    std::snprintf(head, sizeof head, "CTRL %02x %02x %04x %04x %u", requestType, request, value,
                  index, length);
    write(head, data, length);
}

void UsbTrace::bulk(std::uint8_t endpoint, const std::uint8_t* data, std::uint32_t length) {
    char head[32];
    std::snprintf(head, sizeof head, "%s %02x %u", (endpoint & 0x80) ? "IN" : "OUT", endpoint,
                  length);
    write(head, data, length);
}

void UsbTrace::write(const std::string& head, const std::uint8_t* data, std::uint32_t length) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!opened) open();
    if (file == nullptr) return;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - programStart).count();
    std::string line(32, '\0');
    line.resize(std::snprintf(&line[0], line.size(), "%.6f ", seconds));
    line += head;
    if (length != 0 && data != nullptr) {
        static const char digits[] = "0123456789abcdef";
        line += ' ';
        for (std::uint32_t i = 0; i < length; ++i) {
            line += digits[data[i] >> 4];
            line += digits[data[i] & 0x0F];
        }
    }
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file);
    std::fflush(file);  // readable line by line while the program runs
}

}  // namespace Platform
}  // namespace Korvane
