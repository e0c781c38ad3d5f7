#include "simulator/BootloaderCommands.h"

namespace Korvane {
namespace Simulator {

namespace {

constexpr std::uint32_t kLastAddress = FlashMemory::kSize - 1;

std::uint32_t ramWriteSize(char code) {
    switch (code) {
        case '1':
            return 128;
        case '2':
            return 256;
        default:
            return 0;
    }
}

}  // namespace

BootloaderCommands::BootloaderCommands(FlashMemory& flash) : flash(flash), ram(kRamSize, 0) {}

void BootloaderCommands::reset() {
    unlocked.fill(false);
    armed.reset();
}

std::size_t BootloaderCommands::answerLength(const std::string& code) {
    if (code == "u3") return 6;
    if (code == "u7") return 8;
    return 0;
}

bool BootloaderCommands::handle(const CommandLine& command, const TimingModel& timing,
                                TableReply& reply) {
    const std::string& c = command.code;
    const std::string& a = command.arguments;
    if (c == "u0") {
        reply = prepare(a);
    } else if (c == "u1") {
        reply = copy(a, timing);
    } else if (c == "u2") {
        reply = erase(a, timing);
    } else if (c == "u3") {
        reply = blankCheck(a);
    } else if (c == "u7") {
        reply = checksum(a);
    } else if (c == "u9") {
        reply = writeRam(a);
    } else if (c == "uA") {
        reply = unlock(a);
    } else {
        return false;
    }
    return true;
}

std::uint8_t BootloaderCommands::sectorRange(const std::string& arguments, std::uint32_t& first,
                                             std::uint32_t& last) {
    if (arguments.size() != 2 || !LineFormat::readHex(arguments.substr(0, 1), first) ||
        !LineFormat::readHex(arguments.substr(1, 1), last)) {
        return kCommandLength;
    }
    if (first > last || last >= FlashMemory::kSectorCount) return kInterval;
    return 0;
}

bool BootloaderCommands::locked(std::uint32_t sector) const {
    if (sector == 0) return true;
    if (sector == 1) return !unlocked[2];
    if (sector <= 3) return !unlocked[1];
    return !unlocked[0];
}

bool BootloaderCommands::prepared(std::uint32_t first, std::uint32_t last) const {
    for (std::uint32_t s = first; s <= last; ++s) {
        if (!armed.test(s)) return false;
    }
    return true;
}

TableReply BootloaderCommands::prepare(const std::string& arguments) {
    std::uint32_t first = 0, last = 0;
    if (std::uint8_t error = sectorRange(arguments, first, last)) return TableReply::failed(error);
    for (std::uint32_t s = first; s <= last; ++s) {
        if (locked(s)) return TableReply::failed(kLocked);
    }
    for (std::uint32_t s = first; s <= last; ++s) armed.set(s);
    return TableReply::done();
}

TableReply BootloaderCommands::erase(const std::string& arguments, const TimingModel& timing) {
    std::uint32_t first = 0, last = 0;
    if (std::uint8_t error = sectorRange(arguments, first, last)) return TableReply::failed(error);
    const bool ready = prepared(first, last);
    armed.reset();  // a prepare is good for one erase or copy, whatever becomes of it
    for (std::uint32_t s = first; s <= last; ++s) {
        if (locked(s)) return TableReply::failed(kLocked);
    }
    if (!ready) return TableReply::failed(kNotPrepared);
    for (std::uint32_t s = first; s <= last; ++s) flash.erase(s);
    const auto time =
        timing.enabled ? timing.erasePerSector * (last - first + 1) : std::chrono::microseconds(0);
    return TableReply::accepted(time);
}

TableReply BootloaderCommands::blankCheck(const std::string& arguments) {
    std::uint32_t first = 0, last = 0;
    if (std::uint8_t error = sectorRange(arguments, first, last)) {
        return TableReply::failed(error, answerLength("u3"));
    }
    std::uint32_t offset = 0;
    const bool isBlank = flash.blank(first * FlashMemory::kSectorSize,
                                     (last + 1) * FlashMemory::kSectorSize - 1, offset);
    return TableReply::withData(isBlank ? "000000" : "1" + LineFormat::hex(offset, 5));
}

TableReply BootloaderCommands::copy(const std::string& arguments, const TimingModel& timing) {
    std::uint32_t address = 0, ramAddress = 0;
    if (arguments.size() != 10 || !LineFormat::readHex(arguments.substr(0, 5), address) ||
        !LineFormat::readHex(arguments.substr(5, 4), ramAddress)) {
        armed.reset();
        return TableReply::failed(kCommandLength);
    }
    const std::uint32_t size = copySize(arguments[9]);
    std::uint8_t error = 0;
    if (size == 0) {
        error = kBlockSize;
    } else if (address % 512 != 0) {
        error = kAlignment;
    } else if (address + size - 1 > kLastAddress) {
        error = kBoundary;
    } else if (ramAddress + size > kRamSize) {
        error = kInterval;
    }
    const std::uint32_t first = address / FlashMemory::kSectorSize;
    const std::uint32_t last = error ? first : (address + size - 1) / FlashMemory::kSectorSize;
    const bool ready = error == 0 && prepared(first, last);
    armed.reset();
    if (error) return TableReply::failed(error);
    for (std::uint32_t s = first; s <= last; ++s) {
        if (locked(s)) return TableReply::failed(kLocked);
    }
    if (!ready) return TableReply::failed(kNotPrepared);

    std::uint32_t length = size;
    const bool powerStays = !programHook || programHook(address, length);
    flash.program(address, ram.data() + ramAddress, length);
    TableReply reply = TableReply::accepted(timing.enabled ? timing.copyPer512Bytes * (size / 512)
                                                           : std::chrono::microseconds(0));
    reply.powerFails = !powerStays;
    return reply;
}

TableReply BootloaderCommands::checksum(const std::string& arguments) {
    std::uint32_t first = 0, last = 0;
    if (arguments.size() != 10 || !LineFormat::readHex(arguments.substr(0, 5), first) ||
        !LineFormat::readHex(arguments.substr(5, 5), last)) {
        return TableReply::failed(kCommandLength, answerLength("u7"));
    }
    if (first > kLastAddress || last > kLastAddress) {
        return TableReply::failed(kBoundary, answerLength("u7"));
    }
    if (first > last) return TableReply::failed(kInterval, answerLength("u7"));
    return TableReply::withData(LineFormat::hex(flash.sum(first, last), 8));
}

TableReply BootloaderCommands::writeRam(const std::string& arguments) {
    std::uint32_t address = 0;
    if (arguments.size() < 5 || !LineFormat::readHex(arguments.substr(0, 4), address)) {
        return TableReply::failed(kCommandLength);
    }
    const std::uint32_t size = ramWriteSize(arguments[4]);
    if (size == 0) return TableReply::failed(kBlockSize);
    if (arguments.size() != 5 + 2 * size) return TableReply::failed(kCommandLength);
    if (address + size > kRamSize) return TableReply::failed(kInterval);
    std::vector<std::uint8_t> bytes(size);
    for (std::uint32_t i = 0; i < size; ++i) {
        std::uint32_t value = 0;
        if (!LineFormat::readHex(arguments.substr(5 + 2 * i, 2), value)) {
            return TableReply::failed(kCommandLength);
        }
        bytes[i] = static_cast<std::uint8_t>(value);
    }
    std::copy(bytes.begin(), bytes.end(), ram.begin() + address);
    return TableReply::done();
}

TableReply BootloaderCommands::unlock(const std::string& arguments) {
    static const char* const ids[3] = {"508214", "663097", "240815"};
    if (arguments.size() != 6) return TableReply::failed(kCommandLength);
    for (int block = 0; block < 3; ++block) {
        if (arguments == ids[block]) {
            unlocked[block] = true;
            return TableReply::done();
        }
    }
    return TableReply::failed(kWrongUnlockId);
}

std::uint32_t BootloaderCommands::copySize(char code) {
    switch (code) {
        case '3':
            return 512;
        case '4':
            return 1024;
        case '6':
            return 4096;
        default:
            return 0;
    }
}

}  // namespace Simulator
}  // namespace Korvane
