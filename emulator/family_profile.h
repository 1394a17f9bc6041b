// What one controller family is, as seen from the far end of its serial line: the identity
// replies, the blocks and parameters it keeps, its memories, its own line settings and how long it
// stays away after a restart. `FindFamilyProfile` gives the factory defaults of a family;
// `ControllerOptions` changes one emulated controller without touching the family.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "line_settings.h"
#include "loader_faults.h"
#include "pass_through_loader.h"

namespace kx7::emu {

enum class FamilyKind {
  kCedarGen2,
  kCedarGen3,
  kCedarGen4,
  kBirch,
  kBirchRom,
  kBirchPen,
  kAspen4,
  kLarch,
  kLarchMultitouch,
  kHazel3Linden,
  kOemLinden,
  kHazel3Poplar,
  kOemPoplar,
  kJuniper,
  kResistive4Wire,
  kResistive5Wire,
  kHazel2d,
};

// The identity replies, as the characters between SOH and CR. A reply that is not there (nullopt)
// means the controller does not have the command and refuses it with SOH "1" CR.
struct IdentityTexts {
  std::optional<std::string> oi;       // 6 characters
  std::optional<std::string> uv;       // 8 characters, 7 and 8 are the status pair
  std::optional<std::string> ut;       // 8 characters, 7 and 8 are the status pair
  std::optional<std::string> os;       // 2 flag characters
  std::optional<std::string> nm;       // the name, at most 98 characters
  std::optional<std::string> minusOi;  // "-OI": the communication processor, 6 characters
  std::optional<std::string> gf;       // 49 characters
  std::optional<std::string> panelId;  // "ID": at most 100 characters, no CR
};

inline constexpr std::size_t kOiLength = 6;
inline constexpr std::size_t kUvLength = 8;
inline constexpr std::size_t kUtLength = 8;
inline constexpr std::size_t kOsLength = 2;
inline constexpr std::size_t kNmMaxLength = 98;
inline constexpr std::size_t kGfLength = 49;
inline constexpr std::size_t kPanelIdMaxLength = 100;
inline constexpr std::size_t kTextParameterMaxLength = 62;  // "Q101"/"Q102": 64 bytes with SOH and CR

// How long the controller is off the line after each restart command, in milliseconds.
struct DropOffTimes {
  std::uint64_t softReset = 0;           // "R": answers the next command at once
  std::uint64_t restoreDefaults = 400;   // "RD"
  std::uint64_t reboot = 400;            // "RE1", "RE2"
  std::uint64_t rebootEeprom = 1000;     // "RE3"
  std::uint64_t hardReset = 400;         // "H", "QH"
  std::uint64_t parameterRestore = 200;  // "PRD"
  bool operator==(const DropOffTimes&) const = default;
};

// A numbered parameter of "Q%03d"/"W%03d": its value has `digits` hexadecimal digits in replies.
struct QParameter {
  int number = 0;
  int digits = 8;
  std::uint32_t defaultValue = 0;
  bool writable = true;
};

// A controller memory of the "QPE"/"QPO" exchange. A memory with `aliasBlock` set is that
// parameter block seen byte by byte; otherwise it holds `cells` bytes or 16-bit words.
struct MemoryLayout {
  std::uint32_t cells = 0;  // 0: the memory does not exist
  bool words = false;       // 16-bit cells (four digits a value) instead of bytes
  std::uint8_t fill = 0;    // content of a cell never written (0xFF for flash)
  int aliasBlock = 0;
};

// Where Block1 carries the controller's own serial settings (the comm byte).
struct CommByteLayout {
  int offset = -1;  // -1: the family has no comm byte
  bool baudInHighNibble = false;
  bool framingInHighNibble = false;  // else the family always talks N,8,1
};

// How the letters P, A, R, O of a Linden or Poplar board are placed in the identity replies.
enum class BoardLetters { kNone, kLinden, kPoplar };

struct FamilyProfile {
  std::string name;  // "cedar-gen4"
  FamilyKind kind = FamilyKind::kCedarGen2;
  int typeId = 0;              // the controller type the identification must arrive at
  std::uint32_t features = 0;  // the feature word it must arrive at (defaults of the family)

  IdentityTexts identity;
  std::optional<IdentityTexts> romIdentity;  // Birch: what the fixed code answers after "RE1"
  bool startsInRom = false;
  int versionAt = 3;  // where the firmware version sits in the OI reply (1-based)
  int versionLength = 4;
  BoardLetters boardLetters = BoardLetters::kNone;
  std::string defaultBoardLetters;

  LineSettings line;
  CommByteLayout commByte;
  char statusLetter = 'A';
  std::array<int, 11> blockLengths{};  // by block number 1 to 10; 0: no such block
  bool block1Checksum = false;         // Rowan/Cedar: the last word of Block1 is its checksum
  bool straysRecord = false;           // Birch: "GP3" answers the 40-byte stray record
  bool frequencyCommands = false;      // Birch: "FQF"/"FQP"
  std::uint8_t fingerFrequency = 0;
  std::uint8_t penFrequency = 0;
  bool defaultParamImage = false;  // Cedar: "SP2" also takes a default-parameter image

  std::vector<QParameter> parameters;  // besides Q002 (block 5)
  int optionParameter = 0;             // Cedar: the option word that carries the contact mode
  std::optional<std::string> q101;
  std::optional<std::string> q102;
  std::optional<std::uint16_t> screenRc;  // "QRC"

  std::array<MemoryLayout, 14> memories{};
  std::uint32_t maxReadCount = 255;  // values of one "QPE" request
  int speedWordAddress = -1;         // memory 10 word that sets the serial speed (Birch)
  // The boot loader's "PB"/"PD"/"PE" page loader (Larch): it runs in the fixed code (after "RE1")
  // and writes memory 9 page by page.
  bool pageLoader = false;
  std::uint32_t loaderPageSize = 0;
  // The second processor's loader behind pass-through "L": the GEN2 DSP (dsp_loader.h) or the
  // GEN3/GEN4 code loader (pass_through_loader.h); its data flash is memory 11 on GEN2.
  bool dspLoader = false;

  bool passThrough = false;
  bool hardResetH = false;         // "H"
  bool hardResetQH = false;        // "QH"
  bool parameterRestore = false;   // "PRD"
  bool codeLoaderCommand = false;  // "-DWO"
  DropOffTimes dropOff;
};

// Changes of one emulated controller against its family's defaults; unset fields keep them.
// Texts are padded with '0' or cut to their reply length; an empty text makes the controller
// refuse that identity command.
struct ControllerOptions {
  std::optional<LineSettings> line;
  IdentityTexts identity;
  std::optional<std::string> firmwareVersion;  // replaces the version characters of OI
  std::optional<std::string> statusPair;       // 2 characters: UV and UT characters 7 and 8
  std::optional<char> statusLetter;            // the block status letter
  std::optional<bool> multiContactMode2;       // Cedar GEN3/GEN4: the option word says 2
  std::optional<bool> haptic;                  // Birch: a haptic processor answers "-OI" "HA"
  std::optional<std::string> boardLetters;     // Linden/Poplar: any of "P", "A", "R", "O"
  std::optional<DropOffTimes> dropOff;
  std::uint64_t replyDelayMs = 0;  // replies leave this long after the command
  // Faults planted in the download steps (loader_faults.h).
  std::vector<LoaderFault> faults;
  // The protocol the GEN3/GEN4 code loader takes (default: the 8-byte header form).
  std::optional<LoaderProtocol> loaderProtocol;
  // What the page loader's "PB" says (0 is answered as "0000").
  std::optional<std::uint32_t> loaderPageSize;
  // A person's hand, not a test script: no reports until the host has sent something and then
  // kept silent for this long, so touches do not cut into a search or a command exchange (the
  // poll byte does not count). 0: reports flow whenever the touch side has them.
  std::uint64_t handsOffMs = 0;
};

// The family names in the order `kx7emu --list` shows them (controllers only).
const std::vector<std::string>& ControllerFamilyNames();

// The defaults of a family by its name; nothing for an unknown name.
const FamilyProfile* FindFamilyProfile(const std::string& name);

// The family with the options applied: identity texts, version, status pair, letters, line.
FamilyProfile ApplyOptions(const FamilyProfile& family, const ControllerOptions& options);

// A text cut or padded with `pad` to exactly `length` characters.
std::string FitText(const std::string& text, std::size_t length, char pad = '0');

}  // namespace kx7::emu
