#include "params/comm_byte.h"

#include <cctype>

namespace kx7 {

namespace {

constexpr const char* kFramed = "N,8,1";

}  // namespace

const std::vector<std::string>& BaudComboItems() {
  static const std::vector<std::string> items = {"---", "19200", "9600", "4800", "2400", "1200", "---", "---"};
  return items;
}

const std::vector<std::string>& FramingComboItems() {
  static const std::vector<std::string> items = {"---", "7E1", "---", "7O1", "8N1", "8E1", "8N1", "8O1",
                                                 "7N2", "7E2", "7N2", "7O2", "8N2", "---", "8N2", "---"};
  return items;
}

std::optional<std::string> CommByteBaud(int code) {
  switch (code) {
    case 0:
    case 2:
      return "9600,";
    case 1:
      return "19200,";
    case 3:
      return "4800,";
    case 4:
      return "2400,";
    case 5:
      return "1200,";
    default:
      return std::nullopt;
  }
}

std::optional<std::string> CommByteFraming(int code) {
  switch (code) {
    case 1:
      return "E,7,1";
    case 3:
      return "O,7,1";
    case 4:
    case 6:
      return "N,8,1";
    case 5:
      return "E,8,1";
    case 7:
      return "O,8,1";
    case 8:
    case 10:
      return "N,7,2";
    case 9:
      return "E,7,2";
    case 11:
      return "O,7,2";
    case 12:
    case 14:
      return "N,8,2";
    default:
      return std::nullopt;
  }
}

std::optional<std::string> CommBytePortSettings(int baudCode, std::optional<int> framingCode) {
  const std::optional<std::string> baud = CommByteBaud(baudCode);
  const std::optional<std::string> framing = framingCode ? CommByteFraming(*framingCode) : std::string(kFramed);
  if (!baud || !framing) return std::nullopt;
  return *baud + *framing;
}

std::optional<std::string> Block6PortSettings(int code) {
  switch (code) {
    case 0:
    case 2:
    case 6:
      return std::string("9600,") + kFramed;
    case 1:
      return std::string("19200,") + kFramed;
    case 3:
      return std::string("4800,") + kFramed;
    case 4:
      return std::string("2400,") + kFramed;
    case 5:
      return std::string("1200,") + kFramed;
    case 7:
      return std::string("115200,") + kFramed;
    default:
      return std::nullopt;
  }
}

bool SameSettings(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace kx7
