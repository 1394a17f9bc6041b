#include "link/serial/serial_settings.h"

// The kernel's own termios header: it has termios2 and the free-rate speed code, and must not
// meet <termios.h> in one translation unit.
#include <asm/termbits.h>

#include <array>
#include <cctype>
#include <charconv>
#include <utility>

#include "link/serial/serial_constants.h"

namespace kx7 {
namespace {

constexpr std::array<std::pair<int, std::uint32_t>, 30> kSpeedCodes = {{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
}};

std::optional<std::uint32_t> SpeedCodeOf(int baud) {
  for (const auto& [rate, code] : kSpeedCodes) {
    if (rate == baud) return code;
  }
  return std::nullopt;
}

std::optional<int> RateOfSpeedCode(std::uint32_t code) {
  for (const auto& [rate, speedCode] : kSpeedCodes) {
    if (speedCode == code) return rate;
  }
  return std::nullopt;
}

// Reads a decimal number at `pos` the way "%d" does (leading white space, an optional sign);
// nothing when there are no digits or the number does not fit.
std::optional<int> ReadNumber(const std::string& text, std::size_t& pos) {
  while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
  const char* begin = text.data() + pos;
  const char* end = text.data() + text.size();
  // from_chars takes a minus sign but not a plus sign.
  if (begin != end && *begin == '+') ++begin;
  int value = 0;
  const auto [next, error] = std::from_chars(begin, end, value);
  if (error != std::errc()) return std::nullopt;
  pos = static_cast<std::size_t>(next - text.data());
  return value;
}

bool ReadLiteral(const std::string& text, std::size_t& pos, char wanted) {
  if (pos >= text.size() || text[pos] != wanted) return false;
  ++pos;
  return true;
}

}  // namespace

WriteTimeouts ComputeWriteTimeouts(int baud) {
  WriteTimeouts timeouts;
  const int reference = serial::kWriteTimeoutReferenceBaud;
  std::uint32_t multiplier =
      baud > 0 ? static_cast<std::uint32_t>((reference + baud / 2) / baud) : static_cast<std::uint32_t>(reference);
  if (multiplier < 1) multiplier = 1;
  timeouts.multiplierMs = multiplier;
  timeouts.constantMs = serial::kWriteConstantStepMs * multiplier;
  return timeouts;
}

bool ApplySettingsString(const std::string& textIn, SerialConfig& config) {
  const std::string text = textIn.empty() ? std::string(serial::kEmptySettings) : textIn;
  std::size_t pos = 0;
  const std::optional<int> baud = ReadNumber(text, pos);
  if (!baud || !ReadLiteral(text, pos, ',') || pos >= text.size()) return false;
  const char parityLetter = text[pos++];
  if (!ReadLiteral(text, pos, ',')) return false;
  const std::optional<int> dataBits = ReadNumber(text, pos);
  if (!dataBits || !ReadLiteral(text, pos, ',')) return false;
  const std::optional<int> stopBits = ReadNumber(text, pos);
  if (!stopBits) return false;
  if (*baud <= 0 || *dataBits < 5 || *dataBits > 8) return false;

  SerialConfig result = config;
  result.baud = *baud;
  result.dataBits = *dataBits;
  switch (std::toupper(static_cast<unsigned char>(parityLetter))) {
    case 'E':
      result.parity = SerialParity::kEven;
      result.parityCheck = true;
      break;
    case 'O':
      result.parity = SerialParity::kOdd;
      result.parityCheck = true;
      break;
    case 'M':
      result.parity = SerialParity::kMark;
      result.parityCheck = true;
      break;
    case 'S':
      result.parity = SerialParity::kSpace;
      result.parityCheck = true;
      break;
    case 'N':
      result.parity = SerialParity::kNone;
      result.parityCheck = false;
      break;
    default:
      break;
  }
  if (*stopBits == 1 || *stopBits == 2) result.stopBits = *stopBits;
  result.writeTimeouts = ComputeWriteTimeouts(result.baud);
  config = result;
  return true;
}

std::string WithFraming(const std::string& settingsIn, const std::string& framing) {
  const std::string settings = settingsIn.empty() ? std::string(serial::kEmptySettings) : settingsIn;
  const std::size_t comma = settings.find(',');
  const std::string speed = comma == std::string::npos ? settings + "," : settings.substr(0, comma + 1);
  return speed + framing;
}

void EncodeTermios(const SerialConfig& config, TermiosFields& fields) {
  fields.iflag &= ~static_cast<std::uint32_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                              IXANY | IUCLC | IMAXBEL | INPCK | IGNPAR);
  if (config.parityCheck && config.parity != SerialParity::kNone) fields.iflag |= INPCK;
  fields.oflag &= ~static_cast<std::uint32_t>(OPOST);
  fields.lflag &= ~static_cast<std::uint32_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);

  fields.cflag &= ~static_cast<std::uint32_t>(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  fields.cflag |= CREAD | CLOCAL;
  if (const auto code = SpeedCodeOf(config.baud)) {
    fields.cflag |= *code;
  } else {
    fields.cflag |= BOTHER;
  }
  // With the input-speed bits clear the input runs at the output speed.
  fields.ispeed = static_cast<std::uint32_t>(config.baud);
  fields.ospeed = static_cast<std::uint32_t>(config.baud);

  switch (config.dataBits) {
    case 5:
      fields.cflag |= CS5;
      break;
    case 6:
      fields.cflag |= CS6;
      break;
    case 7:
      fields.cflag |= CS7;
      break;
    default:
      fields.cflag |= CS8;
      break;
  }
  switch (config.parity) {
    case SerialParity::kNone:
      break;
    case SerialParity::kEven:
      fields.cflag |= PARENB;
      break;
    case SerialParity::kOdd:
      fields.cflag |= PARENB | PARODD;
      break;
    case SerialParity::kMark:
      fields.cflag |= PARENB | CMSPAR | PARODD;
      break;
    case SerialParity::kSpace:
      fields.cflag |= PARENB | CMSPAR;
      break;
  }
  if (config.stopBits == 2) fields.cflag |= CSTOPB;

  // Reads return at once with what is queued.
  fields.vmin = 0;
  fields.vtime = 0;
}

std::optional<SerialConfig> DecodeTermios(const TermiosFields& fields) {
  SerialConfig config;
  const std::uint32_t code = fields.cflag & CBAUD;
  if (code == BOTHER) {
    config.baud = static_cast<int>(fields.ospeed);
  } else {
    const auto rate = RateOfSpeedCode(code);
    if (!rate) return std::nullopt;
    config.baud = *rate;
  }
  switch (fields.cflag & CSIZE) {
    case CS5:
      config.dataBits = 5;
      break;
    case CS6:
      config.dataBits = 6;
      break;
    case CS7:
      config.dataBits = 7;
      break;
    default:
      config.dataBits = 8;
      break;
  }
  if ((fields.cflag & PARENB) == 0) {
    config.parity = SerialParity::kNone;
  } else if (fields.cflag & CMSPAR) {
    config.parity = (fields.cflag & PARODD) ? SerialParity::kMark : SerialParity::kSpace;
  } else {
    config.parity = (fields.cflag & PARODD) ? SerialParity::kOdd : SerialParity::kEven;
  }
  config.parityCheck = config.parity != SerialParity::kNone && (fields.iflag & INPCK) != 0;
  config.stopBits = (fields.cflag & CSTOPB) ? 2 : 1;
  config.writeTimeouts = ComputeWriteTimeouts(config.baud);
  return config;
}

}  // namespace kx7
