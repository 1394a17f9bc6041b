// The values kx7cli's options and operands take, read strictly: a value is used only when all of it
// reads, so "1x" or "+1" are never taken for 1. Each reader returns nothing for text it cannot use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx7::cli {

// --link COMn[,SETTINGS]: this serial port instead of a search.
struct LinkRequest {
  int port = 0;
  std::string settings;  // empty: the saved settings
};

// Decimal digits only, at most `mostDigits` of them, from `low` to `high`.
std::optional<int> ReadDecimal(const std::string& text, int low, int high, std::size_t mostDigits = 3);

// Decimal, or hexadecimal after "0x", at most `high`.
std::optional<std::uint64_t> ReadUnsigned(const std::string& text, std::uint64_t high);

// One to eight hexadecimal digits, with or without "0x" in front.
std::optional<std::uint32_t> ReadHexWord(const std::string& text);

// Groups of `width` hexadecimal digits (either case), at most `mostValues` of them, none missing.
std::optional<std::vector<std::uint16_t>> ReadHexGroups(const std::string& text, std::size_t width,
                                                        std::size_t mostValues);

// Numbers from `low` to `high` separated by commas, one digit each; in order, each once.
std::optional<std::vector<int>> ReadNumberList(const std::string& text, int low, int high);

// "COMn" or "COMn,SETTINGS" with n from 1 to 256 and SETTINGS a line configuration ("19200,N,8,1").
std::optional<LinkRequest> ReadLink(const std::string& text);

// A Format command id (32816, 32840, 32817, 32818, 32819, 32822, 32843) or its name (kxs, z, raw,
// hex, digitizer, undecoded, signals; either case).
std::optional<std::uint32_t> ReadReportFormat(const std::string& text);

// A controller type id with a name, such as 32861 (Birch).
std::optional<std::uint32_t> ReadControllerType(const std::string& text);

}  // namespace kx7::cli
