// What a kx7cli command line asks for, once the options every front end shares (--port,
// --emulate, --help) are taken out: the command and its operands, kx7cli's own options, and the
// program switches (-noserial, -norv, ...) that go to the frame as kx7sdu reads them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx7::cli {

enum class Command {
  kPorts, kFind, kIdentify, kSend, kReadBlock, kWriteBlock, kDecode, kTerminal,
  kReset, kReboot, kRestoreDefaults, kPeek, kPoke,
};

enum class ResetKind { kSoft, kHard };
enum class RebootKind { kRom, kRam, kEeprom };

// restore-defaults: the chosen blocks (none: the whole controller), and the cable's Block4.
struct RestoreRequest {
  std::vector<int> blocks;  // --blocks 1,2,...: 1 to 8
  bool cable = false;       // --cable
};

// peek MEMORY ADDRESS COUNT / poke MEMORY ADDRESS HEX.
struct MemoryRequest {
  int memory = 0;              // 0 to 13
  std::uint32_t address = 0;
  std::size_t count = 0;       // peek
  std::vector<std::uint16_t> values;  // poke: bytes, or words with --words
  bool words = false;          // --words
};

// --link COMn[,SETTINGS]: this serial port instead of a search.
struct LinkRequest {
  int port = 0;
  std::string settings;  // empty: the saved settings
};

// decode: what the decoders are told about the controller and the options. The terminal reads
// these from the frame; decode has no frame, so they come from the command line.
struct DecodeRequest {
  std::uint32_t format = 32816;          // --format: a Format command id
  std::uint32_t controllerType = 32861;  // --type: Birch, the plain KXS tablet controller
  std::uint32_t features = 0;            // --features
  bool fullResolution = false;           // --full-resolution
  bool passThrough = false;              // --pass-through
  bool wrapOnCr = true;                  // --wrap-on-cr, the program's default
  bool wrapOnBit7 = true;                // --wrap-on-bit7, the program's default
};

// terminal: how long it streams and where it logs.
struct TerminalRequest {
  std::optional<int> timeDisplay;  // --time-display 0-3 for this run; nothing: the saved setting
  std::string logFile;             // --log: a text log appended as the terminal writes it
  std::string rawLogFile;          // --raw-log: the received bytes appended unchanged
  int seconds = 0;                 // --seconds: after the terminal opened; 0: until a signal
};

struct Request {
  Command command = Command::kPorts;
  bool json = false;           // --json
  bool noSystemPorts = false;  // --no-system-ports
  std::optional<LinkRequest> link;
  std::vector<std::string> programSwitches;  // for ParseStartupFlags
  std::string text;                          // send TEXT
  int block = 0;                             // read-block N, write-block N
  std::vector<std::uint8_t> blockBytes;      // write-block N HEX
  DecodeRequest decode;
  TerminalRequest terminal;
  ResetKind reset = ResetKind::kSoft;
  RebootKind reboot = RebootKind::kRom;
  RestoreRequest restore;
  MemoryRequest memoryRequest;
};

inline constexpr int kLastMemory = 13;
// The most values one peek or poke moves.
inline constexpr std::size_t kMostMemoryValues = 65536;

// The blocks the command set reads and writes: "GP" and "SP" with the character '0' + n.
inline constexpr int kFirstBlock = 1;
inline constexpr int kLastBlock = 10;
// Block 5 is the four-byte serial number.
inline constexpr int kSerialNumberBlock = 5;
inline constexpr std::size_t kSerialNumberBytes = 4;

inline constexpr int kLastTimeDisplay = 3;
inline constexpr int kMostSeconds = 999999999;

// A Format command id (32816, 32840, 32817, 32818, 32819, 32822, 32843) or its name (kxs, z, raw,
// hex, digitizer, undecoded, signals; either case); nothing otherwise.
std::optional<std::uint32_t> ParseReportFormat(const std::string& text);

// Reads the arguments that are left after the shared options. A command's operands follow it
// directly, so `send -OI` sends "-OI"; any other argument that starts with a single '-' is a
// program switch, wherever it stands. Nothing (and `error` set to a line for the user) when the
// command line cannot be carried out as written.
std::optional<Request> ParseRequest(const std::vector<std::string>& arguments, std::string& error);

// "COMn" or "COMn,SETTINGS" with n from 1 to 256 and SETTINGS a line configuration
// ("19200,N,8,1"); false with a reason otherwise.
bool ParseLink(const std::string& text, LinkRequest& out, std::string& error);

}  // namespace kx7::cli
