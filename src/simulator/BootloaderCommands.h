#pragma once

// The bootloader's in-system programming commands (u0 prepare, u1 copy RAM to flash, u2 erase,
// u3 blank check, u7 checksum, u9 write to RAM, uA unlock) and the state they work on: the
// lock blocks, the prepared sectors and the 4096-byte RAM staging buffer.
//
// Lock blocks: 2 guards sector 1, 1 sectors 2-3, 0 sectors 4-14; sector 0 holds the bootloader
// and can never be written. Every reset locks all blocks again. A prepare arms its sectors for
// the next erase or copy only.
//
// Error values: 2 command length (wrong argument count or characters), 3 interval (ranges),
// 4 address alignment, 5 invalid size, 7 sector locked, 8 sector not prepared, 9 flash address
// boundary, 10 wrong unlock ID.

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "simulator/FlashMemory.h"
#include "simulator/LineFormat.h"
#include "simulator/TableReply.h"
#include "simulator/TimingModel.h"

namespace Korvane {
namespace Simulator {

class BootloaderCommands {
public:
    static constexpr std::uint32_t kRamSize = 4096;

    // Called before a copy programs `length` bytes at `address`. It may shorten `length`;
    // false means the power fails once those bytes are written.
    using ProgramHook = std::function<bool(std::uint32_t address, std::uint32_t& length)>;

    explicit BootloaderCommands(FlashMemory& flash);

    void reset();
    void setProgramHook(ProgramHook hook) { programHook = std::move(hook); }

    // False when the code is not one of the bootloader's flash commands.
    bool handle(const CommandLine& command, const TimingModel& timing, TableReply& reply);

    // Data characters of the command's answer (0 for those without data).
    static std::size_t answerLength(const std::string& code);
    // Bytes a copy (u1) moves for the size digit that ends its arguments; 0 for another digit.
    static std::uint32_t copySize(char code);

private:
    enum Error : std::uint8_t {
        kCommandLength = 2,
        kInterval = 3,
        kAlignment = 4,
        kBlockSize = 5,
        kLocked = 7,
        kNotPrepared = 8,
        kBoundary = 9,
        kWrongUnlockId = 10,
    };

    TableReply prepare(const std::string& arguments);
    TableReply erase(const std::string& arguments, const TimingModel& timing);
    TableReply blankCheck(const std::string& arguments);
    TableReply copy(const std::string& arguments, const TimingModel& timing);
    TableReply checksum(const std::string& arguments);
    TableReply writeRam(const std::string& arguments);
    TableReply unlock(const std::string& arguments);

    // Reads "se" (start and end sector, one hex digit each); 0 or an error value.
    static std::uint8_t sectorRange(const std::string& arguments, std::uint32_t& first,
                                    std::uint32_t& last);
    bool locked(std::uint32_t sector) const;
    bool prepared(std::uint32_t first, std::uint32_t last) const;

    FlashMemory& flash;
    std::array<bool, 3> unlocked{};
    std::bitset<FlashMemory::kSectorCount> armed;
    std::vector<std::uint8_t> ram;
    ProgramHook programHook;
};

}  // namespace Simulator
}  // namespace Korvane
