// How kx7cli prints what it learned: as lines for people and scripts that grep, or as one JSON
// object with --json.
//
// Bytes that a terminal would not show as themselves (below 0x20, 0x7F and above) are printed as
// <XX>, two upper-case hexadecimal digits, so that every printed line is one line of plain ASCII.
// JSON output is ASCII too: a text from the controller is taken byte by byte, each byte as the
// character of the same number, and what is not plain ASCII is escaped.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace kx7::cli {

// Objects keep their keys in the order they were set, as the documented output lists them.
using Json = nlohmann::ordered_json;

// The text with the bytes a terminal would not show as themselves written as <XX>.
std::string ShowableText(const std::string& text);

// A one-line controller reply as `send` prints it: SOH bytes are left out, the CR that ends the
// reply is removed, and the rest is ShowableText.
std::string ShowableReply(const std::vector<std::uint8_t>& reply);

// The bytes as a JSON string, each byte the character of the same number.
Json JsonText(const std::string& bytes);

// A value on one line, non-ASCII characters escaped; floating-point numbers in the shortest form
// that reads back exactly (std::to_chars: 1.5, 0.048828125, 0, -0.25).
std::string JsonLine(const Json& value);
// A double as JsonLine writes it.
std::string JsonNumber(double value);
// The object on one line, non-ASCII characters escaped, then a newline; flushed.
void PrintJson(std::ostream& out, const Json& object);

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

// The report of find, identify and the restarts, as their help describes it.
inline constexpr const char* kReportHelp =
    "report: the eight lines of the Controller Info window, one a line (OI, UV, UT and NM, the\n"
    "port, the search status, the error words, the base type and features), then\n"
    "  LinkKind: N\n"
    "  PortSettings: SETTINGS\n"
    "  ControllerType: ID NAME\n"
    "  ControllerFeatures: 0xXXXXXXXX\n"
    "With --json: {\"LinkKind\":N,\"PortSettings\":\"...\",\"ControllerType\":N,\"TypeName\":\"...\",\n"
    "\"ControllerFeatures\":N,\"PenMode\":N,\"MultiTouchMode\":N,\"Info\":{\"OI\":\"...\",\"UV\":\"...\",\n"
    "\"UT\":\"...\",\"NM\":\"...\",\"Port\":\"...\",\"Status\":\"...\",\"Errors\":\"...\",\"BaseType\":\"...\"}}";

// The eight lines, then "LinkKind: N", "PortSettings: S", "ControllerType: ID NAME" and
// "ControllerFeatures: 0x%08X", each line ended by a newline.
std::string ReportText(const ControllerReport& report);
// LinkKind, PortSettings, ControllerType, TypeName, ControllerFeatures, PenMode, MultiTouchMode and
// Info (the eight lines by kInfoKeys).
Json ReportJson(const ControllerReport& report);

// {"Block":N,"Status":"A","Hex":"..."}: a block that read-block got, with its status letter
// (empty for block 5, which has none).
Json BlockJson(int block, char status, const std::string& hex);
// {"Reply":"...","Bytes":"..."}: the reply as send prints it and every byte of it in hexadecimal.
Json ReplyJson(const std::vector<std::uint8_t>& reply);

}  // namespace kx7::cli
