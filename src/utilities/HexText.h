#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Hex text as the table's command protocol carries it: most significant digit first,
// no prefix, no separators; lower case on output, either case on input.
namespace Korvane { namespace Utilities {

// Readers: an odd-length text gets a leading '0'; two-digit pieces are added from the end,
// each shifted by 4 bits per character after it (modulo 32); bits beyond the result's width
// are lost. An empty text reads as 0, a piece that is not two hex digits as 0. Never throw.
std::int16_t hexToInt16(const std::string& text);
std::uint16_t hexToUInt16(const std::string& text);
std::uint32_t hexToUInt32(const std::string& text);

// The value of one hex digit of either case, or -1 for any other character.
int hexDigitValue(char c);

// Exactly `width` lower-case digits: zero-padded, or cut to the low-order digits.
std::string toHexString(std::uint8_t value, std::uint16_t width);
std::string toHexString(std::uint16_t value, std::uint16_t width);
std::string toHexString(std::uint32_t value, std::uint16_t width);

// Two digits per byte; throws OrbiZoException OddHexDigits for an odd length.
std::vector<std::uint8_t> hexToBytes(const std::string& text);
std::string bytesToHex(const std::vector<std::uint8_t>& bytes);

}}  // namespace Korvane::Utilities
