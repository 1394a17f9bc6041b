#include "cli_output.h"

#include <cstdio>

#include "proto/command_channel.h"

namespace kx7::cli {
namespace {

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kCr = 0x0D;

bool Showable(unsigned char c) { return c >= 0x20 && c < 0x7F; }

void AppendShowable(std::string& out, unsigned char c) {
  if (Showable(c)) {
    out += static_cast<char>(c);
    return;
  }
  char escaped[8];
  std::snprintf(escaped, sizeof escaped, "<%02X>", c);
  out += escaped;
}

std::string Hex32(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

std::string ShowableText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) AppendShowable(out, static_cast<unsigned char>(c));
  return out;
}

std::string ShowableReply(const std::vector<std::uint8_t>& reply) {
  std::size_t end = reply.size();
  if (end > 0 && reply[end - 1] == kCr) --end;
  std::string out;
  for (std::size_t i = 0; i < end; ++i)
    if (reply[i] != kSoh) AppendShowable(out, reply[i]);
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '"') {
      out += "\\\"";
    } else if (byte == '\\') {
      out += "\\\\";
    } else if (Showable(byte)) {
      out += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
      out += escaped;
    }
  }
  out += '"';
  return out;
}

std::string ReportText(const ControllerReport& report) {
  std::string out;
  for (const std::string& line : report.info) out += ShowableText(line) + "\n";
  out += "LinkKind: " + std::to_string(report.linkKind) + "\n";
  out += "PortSettings: " + ShowableText(report.portSettings) + "\n";
  out += "ControllerType: " + std::to_string(report.controllerType);
  // Appended in two steps: GCC 12 at -O3 takes " " + a temporary string for an overlapping copy.
  if (!report.typeName.empty()) out.append(" ").append(ShowableText(report.typeName));
  out += "\n";
  out += "ControllerFeatures: " + Hex32(report.controllerFeatures) + "\n";
  return out;
}

std::string ReportJson(const ControllerReport& report) {
  std::string out = "{";
  out += "\"LinkKind\":" + std::to_string(report.linkKind);
  out += ",\"PortSettings\":" + JsonString(report.portSettings);
  out += ",\"ControllerType\":" + std::to_string(report.controllerType);
  out += ",\"TypeName\":" + JsonString(report.typeName);
  out += ",\"ControllerFeatures\":" + std::to_string(report.controllerFeatures);
  out += ",\"PenMode\":" + std::to_string(report.penMode);
  out += ",\"MultiTouchMode\":" + std::to_string(report.multiTouchMode);
  out += ",\"Info\":{";
  for (std::size_t i = 0; i < report.info.size(); ++i) {
    if (i > 0) out += ",";
    out += JsonString(kInfoKeys[i]) + ":" + JsonString(report.info[i]);
  }
  out += "}}\n";
  return out;
}

std::string BlockJson(int block, char status, const std::string& hex) {
  const std::string statusText = status == 0 ? std::string() : std::string(1, status);
  return "{\"Block\":" + std::to_string(block) + ",\"Status\":" + JsonString(statusText) +
         ",\"Hex\":" + JsonString(hex) + "}\n";
}

std::string ReplyJson(const std::vector<std::uint8_t>& reply) {
  return "{\"Reply\":" + JsonString(ShowableReply(reply)) + ",\"Bytes\":" + JsonString(HexPairs(reply)) + "}\n";
}

}  // namespace kx7::cli
