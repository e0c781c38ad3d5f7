// Writes the embedded firmware file: orbizo3-firmware-generator OUTPUT.zof
#include <fstream>
#include <iostream>

#include "EmbeddedFirmwareGenerator.h"

using Korvane::DeviceDriver::OrbiZo::Tools::EmbeddedFirmwareGenerator;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: " << argv[0] << " OUTPUT.zof\n";
        return 2;
    }
    const std::string text = EmbeddedFirmwareGenerator::fileText();
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out) {
        std::cerr << "cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
