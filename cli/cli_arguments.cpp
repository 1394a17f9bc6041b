#include "cli_arguments.h"

#include <strings.h>

#include <algorithm>

#include "app/command_line.h"
#include "controller/controller_type_names.h"
#include "link/serial/serial_settings.h"

namespace kx7::cli {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HasHexPrefix(const std::string& text) {
  return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

struct FormatName {
  const char* name;
  std::uint32_t format;
};

// The report formats the terminal decodes, by a short name as well as by number.
constexpr FormatName kFormats[] = {
    {"kxs", 32816},       {"z", 32840},         {"raw", 32817},     {"hex", 32818},
    {"digitizer", 32819}, {"undecoded", 32822}, {"signals", 32843},
};

// Type ids are five digits.
constexpr std::size_t kTypeDigits = 5;
constexpr int kHighestTypeId = 99999;

}  // namespace

std::optional<int> ReadDecimal(const std::string& text, int low, int high, std::size_t mostDigits) {
  if (text.empty() || text.size() > mostDigits) return std::nullopt;
  long long number = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  if (number < low || number > high) return std::nullopt;
  return static_cast<int>(number);
}

std::optional<std::uint64_t> ReadUnsigned(const std::string& text, std::uint64_t high) {
  const bool hex = HasHexPrefix(text);
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 10) return std::nullopt;
  std::uint64_t number = 0;
  for (const char c : digits) {
    const int digit = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (digit < 0) return std::nullopt;
    number = number * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
  }
  if (number > high) return std::nullopt;
  return number;
}

std::optional<std::uint32_t> ReadHexWord(const std::string& text) {
  const std::size_t start = HasHexPrefix(text) ? 2 : 0;
  if (text.size() == start || text.size() - start > 8) return std::nullopt;
  std::uint32_t number = 0;
  for (std::size_t at = start; at < text.size(); ++at) {
    const int digit = HexDigit(text[at]);
    if (digit < 0) return std::nullopt;
    number = number * 16 + static_cast<std::uint32_t>(digit);
  }
  return number;
}

std::optional<std::vector<std::uint16_t>> ReadHexGroups(const std::string& text, std::size_t width,
                                                        std::size_t mostValues) {
  if (text.empty() || width == 0 || width > 4 || text.size() % width != 0 || text.size() / width > mostValues)
    return std::nullopt;
  std::vector<std::uint16_t> values;
  values.reserve(text.size() / width);
  for (std::size_t at = 0; at < text.size(); at += width) {
    std::uint16_t value = 0;
    for (std::size_t k = 0; k < width; ++k) {
      const int digit = HexDigit(text[at + k]);
      if (digit < 0) return std::nullopt;
      value = static_cast<std::uint16_t>((value << 4) | digit);
    }
    values.push_back(value);
  }
  return values;
}

std::optional<std::vector<int>> ReadNumberList(const std::string& text, int low, int high) {
  std::vector<int> numbers;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    const std::optional<int> number = ReadDecimal(text.substr(start, comma - start), low, high, 1);
    if (!number) return std::nullopt;
    if (std::find(numbers.begin(), numbers.end(), *number) == numbers.end()) numbers.push_back(*number);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

std::optional<LinkRequest> ReadLink(const std::string& text) {
  const std::size_t comma = text.find(',');
  LinkRequest link;
  if (!ParseComPort(text.substr(0, comma), link.port)) return std::nullopt;
  if (comma != std::string::npos) {
    link.settings = text.substr(comma + 1);
    SerialConfig config;
    if (link.settings.empty() || !ApplySettingsString(link.settings, config)) return std::nullopt;
  }
  return link;
}

std::optional<std::uint32_t> ReadReportFormat(const std::string& text) {
  for (const FormatName& entry : kFormats) {
    if (strcasecmp(text.c_str(), entry.name) == 0 || text == std::to_string(entry.format)) return entry.format;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> ReadControllerType(const std::string& text) {
  const std::optional<int> type = ReadDecimal(text, 1, kHighestTypeId, kTypeDigits);
  if (!type || *ControllerTypeName(static_cast<std::uint32_t>(*type)) == '\0') return std::nullopt;
  return static_cast<std::uint32_t>(*type);
}

}  // namespace kx7::cli
