// How kx7cli prints what it learned: as lines for people and scripts that grep, or as one JSON
// object with --json.
//
// Bytes that a terminal would not show as themselves (below 0x20, 0x7F and above) are printed as
// <XX>, two upper-case hexadecimal digits, so that every printed line is one line of plain ASCII.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kx7::cli {

// The text with the bytes a terminal would not show as themselves written as <XX>.
std::string ShowableText(const std::string& text);

// A one-line controller reply as `send` prints it: SOH bytes are left out, the CR that ends the
// reply is removed, and the rest is ShowableText.
std::string ShowableReply(const std::vector<std::uint8_t>& reply);

// The text as a JSON string, quotes included: quote and backslash escaped, control characters and
// bytes above 0x7E as \u00XX (a byte is taken as the character of the same number, so the output
// stays ASCII whatever the controller sent).
std::string JsonString(const std::string& text);

// What find and identify report.
struct ControllerReport {
  // The eight lines of the Controller Info window, in its order (OI, UV, UT, NM, port, status,
  // errors, base type and features).
  std::array<std::string, 8> info;
  int linkKind = 0;
  std::string portSettings;
  std::uint32_t controllerType = 0;
  std::string typeName;
  std::uint32_t controllerFeatures = 0;
  std::uint32_t penMode = 0;
  int multiTouchMode = 0;
};

// The keys of the Controller Info lines in the JSON object.
inline constexpr std::array<const char*, 8> kInfoKeys = {"OI",   "UV",     "UT",     "NM",
                                                         "Port", "Status", "Errors", "BaseType"};

// The eight lines, then "LinkKind: N", "PortSettings: S", "ControllerType: ID NAME" and
// "ControllerFeatures: 0x%08X", each line ended by a newline.
std::string ReportText(const ControllerReport& report);
// One JSON object on one line, ended by a newline.
std::string ReportJson(const ControllerReport& report);

// {"Block":N,"Status":"A","Hex":"..."}: a block that read-block got, with its status letter
// (empty for block 5, which has none).
std::string BlockJson(int block, char status, const std::string& hex);
// {"Reply":"...","Bytes":"..."}: the reply as send prints it and every byte of it in hexadecimal.
std::string ReplyJson(const std::vector<std::uint8_t>& reply);

}  // namespace kx7::cli
