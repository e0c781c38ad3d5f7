#pragma once

// Programming a table sector by sector with hand-built bootloader command lines, the way the
// host's download does it: prepare, erase, blank check, 16 blocks of two 256-byte RAM writes,
// a prepare and a 512-byte copy, then the checksum.

#include <cstdint>
#include <string>
#include <vector>

#include "TableWire.h"

namespace SimulatorTest {

constexpr std::uint32_t kSectorSize = 8192;

std::string hexText(std::uint32_t value, int width);
std::uint32_t byteSum(const std::vector<std::uint8_t>& bytes);

// Writes 512 bytes into RAM (two u9 lines) and copies them to `address` (prepare + u1).
// Returns the copy's answer lines.
std::string copyBlock(TableWire& wire, std::uint32_t address, const std::uint8_t* block);

// Prepare, erase and blank check, then every block of `bytes` (8192 of them), then u7;
// gtest failures name the step. Returns the checksum the table reported.
std::uint32_t programSector(TableWire& wire, std::uint32_t sector,
                            const std::vector<std::uint8_t>& bytes);

// The whole program flash (15 x 8192 bytes, 0xFF where nothing is written) from Intel HEX text
// (records 00 and 04; the others carry no data); `sectors` receives the sectors with data.
std::vector<std::uint8_t> flashFromHex(const std::string& text, std::vector<bool>& sectors);

}  // namespace SimulatorTest
