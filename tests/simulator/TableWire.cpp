#include "TableWire.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/usbhost/simulated/SimulatedUsbBus.h"

namespace SimulatorTest {

using Korvane::Platform::SimulatedUsbBus;
using Korvane::Platform::UsbError;
using Korvane::Platform::UsbSetupPacket;

namespace {

std::string withChecksum(const std::string& text) {
    unsigned sum = 0;
    for (unsigned char c : text) sum += c;
    char digits[4];
    std::snprintf(digits, sizeof digits, "%02x", (0x100 - (sum & 0xFF)) & 0xFF);
    return text + digits + "\r";
}

}  // namespace

std::string commandLine(const std::string& body) {
    return withChecksum(";" + body);
}
std::string answerLine(const std::string& body) {
    return withChecksum(":" + body);
}

std::string show(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<%02x>", c);
            out += hex;
        }
    }
    return out;
}

std::string hexBytes(const Bytes& bytes) {
    std::string out;
    for (std::uint8_t b : bytes) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", b);
        out += hex;
    }
    return out;
}

TableWire::TableWire(const std::string& serialNumber) : serial(serialNumber) {
    EXPECT_EQ(open(), 0u) << "open " << serial;
}

TableWire::~TableWire() {
    close();
}

UsbError TableWire::open() {
    usb.reset();
    return SimulatedUsbBus::instance().open(serial, usb);
}

void TableWire::close() {
    usb.reset();
}

UsbError TableWire::control(std::uint8_t request, std::uint16_t value) {
    UsbSetupPacket setup;
    setup.requestType = 0x40;
    setup.request = request;
    setup.value = value;
    std::uint32_t transferred = 0;
    return usb->controlTransfer(setup, nullptr, transferred);
}

void TableWire::configure() {
    const std::pair<std::uint8_t, std::uint16_t> steps[] = {
        {0, 0x0000}, {0, 0x0001}, {0, 0x0002}, {3, 0x0034}, {4, 0x0008}};
    for (const auto& step : steps) {
        ASSERT_EQ(control(step.first, step.second), 0u) << int(step.first) << "/" << step.second;
    }
}

Bytes TableWire::descriptor(std::uint8_t type, std::uint8_t index) {
    Bytes buffer(1024);
    std::uint32_t transferred = 0;
    if (usb->getDescriptor(type, index, 0, buffer.data(), 1024, transferred) != 0) return {};
    buffer.resize(transferred);
    return buffer;
}

UsbError TableWire::write(const std::string& bytes) {
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    UsbError result = 0;
    UsbError started = usb->submitBulk(0x02, data.data(), static_cast<std::uint32_t>(data.size()),
                                       [&](UsbError error, std::uint32_t) {
                                           std::lock_guard<std::mutex> lock(mutex);
                                           result = error;
                                           finished = true;
                                           done.notify_all();
                                       });
    if (started != 0) return started;
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [&] { return finished; });
    return result;
}

Bytes TableWire::readRaw(std::uint32_t length, std::chrono::milliseconds wait) {
    Bytes buffer(length);
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::uint32_t got = 0;
    UsbError result = 0;
    if (usb->submitBulk(0x81, buffer.data(), length, [&](UsbError error, std::uint32_t n) {
            std::lock_guard<std::mutex> lock(mutex);
            result = error;
            got = n;
            finished = true;
            done.notify_all();
        }) != 0) {
        return {};
    }
    std::unique_lock<std::mutex> lock(mutex);
    if (!done.wait_for(lock, wait, [&] { return finished; })) {
        lock.unlock();
        usb->cancelEndpoint(0x81);
        lock.lock();
        done.wait(lock, [&] { return finished; });
        return {};
    }
    buffer.resize(result == 0 ? got : 0);
    return buffer;
}

std::string TableWire::readLines(int lines, std::chrono::milliseconds wait) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    std::string text = pending;
    pending.clear();
    auto complete = [&] {
        int crs = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\r' && ++crs == lines) {
                pending = text.substr(i + 1);
                text.resize(i + 1);
                return true;
            }
        }
        return false;
    };
    while (!complete() && std::chrono::steady_clock::now() < deadline) {
        const std::string payload = payloadOf(readRaw());
        if (payload.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        text += payload;
    }
    return text;
}

std::string TableWire::command(const std::string& body, std::chrono::milliseconds wait) {
    if (write(commandLine(body)) != 0) return "";  // gone: nothing can answer
    std::string answer = readLines(1, wait);
    if (answer.size() > 1 && answer[1] == '!') answer += readLines(1, wait);
    return answer;
}

void TableWire::enterBootloader() {
    ASSERT_EQ(command("r"), answerLine("!r0") + answerLine("$r0"));
    ASSERT_EQ(command("o0"), answerLine("$o00"));
}

}  // namespace SimulatorTest
