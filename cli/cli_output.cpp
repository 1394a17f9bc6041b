#include "cli_output.h"

#include <charconv>
#include <cstdio>

#include "proto/command_channel.h"
#include "proto/proto_constants.h"

namespace kx7::cli {
namespace {

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

Json JsonText(const std::string& bytes) {
  // The bytes as characters U+0000 to U+00FF, in UTF-8, which the JSON library takes.
  std::string utf8;
  utf8.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      utf8 += c;
    } else {
      utf8 += static_cast<char>(0xC0 | (byte >> 6));
      utf8 += static_cast<char>(0x80 | (byte & 0x3F));
    }
  }
  return Json(std::move(utf8));
}

std::string JsonNumber(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  return std::string(text, result.ptr);
}

std::string JsonLine(const Json& value) {
  switch (value.type()) {
    case Json::value_t::object: {
      std::string text = "{";
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) text += ',';
        first = false;
        text += Json(key).dump(-1, ' ', true) + ':' + JsonLine(member);
      }
      return text + '}';
    }
    case Json::value_t::array: {
      std::string text = "[";
      for (std::size_t i = 0; i < value.size(); ++i) text += (i ? "," : "") + JsonLine(value[i]);
      return text + ']';
    }
    case Json::value_t::number_float:
      return JsonNumber(value.get<double>());
    default:
      return value.dump(-1, ' ', true);
  }
}

void PrintJson(std::ostream& out, const Json& object) {
  out << object.dump(-1, ' ', true) << '\n';
  out.flush();
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

Json ReportJson(const ControllerReport& report) {
  Json info = Json::object();
  for (std::size_t i = 0; i < report.info.size(); ++i) info[kInfoKeys[i]] = JsonText(report.info[i]);
  Json object = Json::object();
  object["LinkKind"] = report.linkKind;
  object["PortSettings"] = JsonText(report.portSettings);
  object["ControllerType"] = report.controllerType;
  object["TypeName"] = JsonText(report.typeName);
  object["ControllerFeatures"] = report.controllerFeatures;
  object["PenMode"] = report.penMode;
  object["MultiTouchMode"] = report.multiTouchMode;
  object["Info"] = std::move(info);
  return object;
}

Json BlockJson(int block, char status, const std::string& hex) {
  Json object = Json::object();
  object["Block"] = block;
  object["Status"] = status == 0 ? std::string() : std::string(1, status);
  object["Hex"] = hex;
  return object;
}

Json ReplyJson(const std::vector<std::uint8_t>& reply) {
  Json object = Json::object();
  object["Reply"] = ShowableReply(reply);
  object["Bytes"] = HexPairs(reply);
  return object;
}

}  // namespace kx7::cli
