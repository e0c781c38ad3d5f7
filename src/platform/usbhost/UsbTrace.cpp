#include "platform/usbhost/UsbTrace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace Korvane {
namespace Platform {

namespace {

const auto programStart = std::chrono::steady_clock::now();

}  // namespace

void setUsbTraceFile(const std::string& path) {
    UsbTrace::instance().setFile(path);
}

UsbTrace& UsbTrace::instance() {
    static UsbTrace* trace = new UsbTrace;
    return *trace;
}

void UsbTrace::setFile(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex);
    open(path);
}

void UsbTrace::open(const std::string& path) {
    configured = true;
    if (file != nullptr) std::fclose(file);
    file = path.empty() ? nullptr : std::fopen(path.c_str(), "a");
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
    if (!configured) {
        const char* variable = std::getenv("ORBIZO3_USB_TRACE");
        open(variable ? variable : "");
    }
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
