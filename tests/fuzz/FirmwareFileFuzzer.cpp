// Feeds arbitrary bytes through the check every firmware file passes before it may reach a
// table: size, parser, flash image and the download's sector rules. Refusals are the expected
// outcome; anything else (a crash, a sanitizer report, another exception) is a finding.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "firmware/FlashSectorImage.h"
#include "firmware/OrbiZo3FWUpdater.h"
#include "firmware/OrbiZo3FirmwareHandle.h"
#include "utilities/MessageException.h"
#include "utilities/OrbiZoException.h"

using Korvane::DeviceDriver::OrbiZo::OrbiZoException;
using Korvane::DeviceDriver::OrbiZo::Firmware::FlashSectorImage;
using Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FWUpdater;

namespace {

// True when the content passed every rule.
bool check(const std::vector<std::uint8_t>& content) {
    try {
        OrbiZo3FWUpdater::checkFirmware(content, [](const FlashSectorImage& image) {
            // Every sector the image claims must be readable in full.
            std::vector<std::uint8_t> bytes(FlashSectorImage::kSectorSize);
            for (std::size_t i = 0; i < image.sectorCount(); ++i) {
                std::uint32_t start = 0;
                if (image.hasSectorData(i, start) &&
                    !image.copySector(i, start, bytes.data(), FlashSectorImage::kSectorSize))
                    __builtin_trap();
            }
        });
        return true;
    } catch (const MessageException&) {
    } catch (const OrbiZoException&) {
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> content(data, data + size);
    check(content);
    // Short inputs stop at the size rule. Blank lines change nothing else in a file, so the
    // same text padded past the minimum size reaches the parser and the image.
    if (size <= OrbiZo3FWUpdater::kMinimumFirmwareSize) {
        content.insert(content.end(), OrbiZo3FWUpdater::kMinimumFirmwareSize + 1 - size, '\n');
        const bool accepted = check(content);
        // An accepted file loads into the download's own handle with the same outcome.
        if (accepted) {
            Korvane::DeviceDriver::OrbiZo::Firmware::OrbiZo3FirmwareHandle handle(nullptr);
            handle.load(content);
            if (handle.progressValue() <= handle.kFixedWorkUnits) __builtin_trap();
        }
    }
    return 0;
}
