// Loads firmware files of growing size into a flash image and prints the time each took, so
// that the cost per megabyte can be compared across sizes (it should stay flat).
//   orbizo3-firmware-benchmark [MAX_MEGABYTES]   (default 40)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "EmbeddedFirmwareGenerator.h"
#include "firmware/FlashSectorImage.h"

using Korvane::DeviceDriver::OrbiZo::Firmware::FlashSectorImage;
using Korvane::DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator;

namespace {

// Repeats the data records of the embedded firmware until the text reaches `bytes`; later
// copies overwrite the same addresses, so the image stays valid.
std::string largeFile(std::size_t bytes) {
    const std::string one = EmbeddedFirmwareGenerator::fileText();
    std::string text;
    text.reserve(bytes + one.size());
    while (text.size() < bytes) text += one;
    return text;
}

double loadMilliseconds(const std::string& text) {
    const auto begin = std::chrono::steady_clock::now();
    FlashSectorImage image;
    image.load(text.data(), text.size());
    const auto end = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(end - begin).count();
}

}  // namespace

int main(int argc, char** argv) {
    const long maxMegabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 40;
    const std::string embedded = EmbeddedFirmwareGenerator::fileText();
    std::printf("%10s %12s %12s\n", "MB", "ms", "ms/MB");
    const double embeddedMs = loadMilliseconds(embedded);
    std::printf("%10.2f %12.2f %12.2f  (embedded firmware)\n", embedded.size() / 1e6, embeddedMs,
                embeddedMs / (embedded.size() / 1e6));
    for (long mb = 5; mb <= maxMegabytes; mb *= 2) {
        const std::string text = largeFile(static_cast<std::size_t>(mb) * 1000000);
        const double ms = loadMilliseconds(text);
        std::printf("%10.2f %12.2f %12.2f\n", text.size() / 1e6, ms, ms / (text.size() / 1e6));
    }
    return 0;
}
