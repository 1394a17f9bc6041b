#include "controller.h"

#include "dsp_loader.h"
#include "factory_blocks.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace kx7::emu {
namespace {

constexpr char kSoh = '\x01';
constexpr char kCr = '\r';
const std::string kOk{'\x01', '0', '\r'};
const std::string kRefusal{'\x01', '1', '\r'};

// Longest lines of the multi-step exchanges. A default-parameter image for "SP2" may be 128 KiB,
// two digits a byte, plus its two check bytes.
constexpr std::size_t kValueLineLimit = 16;
constexpr std::size_t kMemoryLineLimit = 4 * MemoryExchange::kMaxPokeCount + 16;
constexpr std::size_t kImageBytesLimit = 131072;
constexpr std::size_t kRomMapBytes = 48;
constexpr std::uint32_t kLoaderImageLimit = 262144;
constexpr std::uint32_t kSpeedWordClock = 12000000;
constexpr int kParameterCellsMemory = 7;  // the speed word is this clock over the baud rate
constexpr int kDspDataMemory = 11;        // the GEN2 DSP's data flash
// The page loader takes at most this many bytes in one "PD".
constexpr std::size_t kMostPieceBytes = 32;

// Report-format and mode commands: without a report generator the controller still takes them.
const std::array<const char*, 17> kReportCommands = {"FT", "FR", "FRD", "FO", "FE", "PF", "PO", "TL1", "TL3",
                                                     "MZ", "MS", "CX",  "CN", "C3", "CR", "FD", "FH"};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool DecodeHexPairs(const std::string& text, std::vector<std::uint8_t>& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
  }
  return true;
}

std::string Hex(std::uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

std::string HexPairs(const std::vector<std::uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0x0F];
  }
  return text;
}

bool AllDigits(const std::string& text, std::size_t from) {
  if (from >= text.size()) return false;
  return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(from), text.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The comm byte codes of Block1: baud rate and (where the family has it) framing.
std::optional<int> BaudFromCode(int code) {
  switch (code) {
    case 0:
    case 2:
      return 9600;
    case 1:
      return 19200;
    case 3:
      return 4800;
    case 4:
      return 2400;
    case 5:
      return 1200;
    default:
      return std::nullopt;
  }
}

// The controller stores a default-parameter image after it has acknowledged it; the completion
// follows on its own.
constexpr std::uint64_t kImageStoreMs = 300;

// Block6 of the Cedar: the speed code in the low half of byte 6 (always N,8,1): the codes of the
// comm byte, and 6 for 9600 and 7 for 115200 besides.
constexpr std::size_t kBlock6SpeedByte = 6;
std::optional<int> Block6Baud(int code) {
  if (code == 6) return 9600;
  if (code == 7) return 115200;
  return BaudFromCode(code);
}

std::optional<int> CodeFromBaud(int baud) {
  switch (baud) {
    case 19200:
      return 1;
    case 9600:
      return 2;
    case 4800:
      return 3;
    case 2400:
      return 4;
    case 1200:
      return 5;
    default:
      return std::nullopt;
  }
}

struct Framing {
  char parity;
  int dataBits;
  int stopBits;
};

std::optional<Framing> FramingFromCode(int code) {
  switch (code) {
    case 1:
      return Framing{'E', 7, 1};
    case 3:
      return Framing{'O', 7, 1};
    case 4:
    case 6:
      return Framing{'N', 8, 1};
    case 5:
      return Framing{'E', 8, 1};
    case 7:
      return Framing{'O', 8, 1};
    case 8:
    case 10:
      return Framing{'N', 7, 2};
    case 9:
      return Framing{'E', 7, 2};
    case 11:
      return Framing{'O', 7, 2};
    case 12:
    case 14:
      return Framing{'N', 8, 2};
    default:
      return std::nullopt;
  }
}

std::optional<int> CodeFromFraming(const LineSettings& line) {
  for (int code : {1, 3, 4, 5, 7, 8, 9, 11, 12}) {
    const Framing f = *FramingFromCode(code);
    if (f.parity == line.parity && f.dataBits == line.dataBits && f.stopBits == line.stopBits) return code;
  }
  return std::nullopt;
}

std::optional<int> StandardBaud(std::uint32_t speedWord) {
  if (speedWord == 0) return std::nullopt;
  const double baud = static_cast<double>(kSpeedWordClock) / speedWord;
  for (int standard : {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200})
    if (baud > standard * 0.97 && baud < standard * 1.03) return standard;
  return std::nullopt;
}

void PutBigEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

std::uint32_t BigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = v << 8 | bytes[at + static_cast<std::size_t>(i)];
  return v;
}

}  // namespace

EmulatedController::EmulatedController(const FamilyProfile& family, const ControllerOptions& options)
    : profile_(ApplyOptions(family, options)),
      options_(options),
      identity_(profile_.identity),
      romIdentity_(profile_.romIdentity.value_or(IdentityTexts{})),
      inRom_(profile_.startsInRom && profile_.romIdentity.has_value()),
      line_(profile_.line),
      storedLine_(profile_.line),
      memories_(profile_.memories, parameters_),
      host_(memories_, profile_.maxReadCount, false),
      dsp_(memories_, profile_.maxReadCount, true),
      faults_(options.faults),
      fingerFrequency_(profile_.fingerFrequency),
      penFrequency_(profile_.penFrequency) {
  DefineBlocks();
  DefineParameterCells();
  for (const QParameter& parameter : profile_.parameters) parameters_.DefineParameter(parameter);
  ResetVolatileMemory();
  if (profile_.dspLoader) {
    loader_ = std::make_unique<DspLoader>(
        [this](std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
          return memories_.Write(9, address, std::vector<std::uint16_t>(bytes.begin(), bytes.end()));
        },
        [this](std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
          return memories_.Write(kDspDataMemory, address, std::vector<std::uint16_t>(bytes.begin(), bytes.end()));
        },
        &faults_);
  } else {
    loader_ = std::make_unique<PassThroughLoader>(
        [this](std::uint32_t address, const std::vector<std::uint8_t>& bytes) { return StoreLoaderImage(address, bytes); },
        kLoaderImageLimit, &faults_, options.loaderProtocol.value_or(LoaderProtocol::kHeader));
  }
}

std::unique_ptr<EmulatedController> EmulatedController::ForFamily(const std::string& family,
                                                                  const ControllerOptions& options) {
  const FamilyProfile* profile = FindFamilyProfile(family);
  if (!profile) return nullptr;
  return std::make_unique<EmulatedController>(*profile, options);
}

void EmulatedController::SetReportGenerator(std::unique_ptr<ReportGenerator> generator) {
  generator_ = std::move(generator);
  if (generator_) {
    generator_->Reset(nowMs_);
    ShowBlocksToGenerator();
    quiet_ = false;
    UpdateQuiet();
  }
}

// Factory blocks: the family's parameters (factory_blocks.h), a serial number, and on Birch the
// stray values of the sensor.
void EmulatedController::DefineBlocks() {
  for (int number = 1; number <= 10; ++number) {
    const int length = profile_.blockLengths[static_cast<std::size_t>(number)];
    if (length <= 0) continue;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length), 0);
    switch (number) {
      case 1:
      case 2:
      case 4:
      case 6:
      case 7:
      case 8:
        bytes = SerialFactoryBlock(profile_.kind, number, bytes.size());
        break;
      case 3:
        if (profile_.straysRecord) {
          // UL, UR, LL, LR: I then Q, 32-bit big-endian.
          for (int corner = 0; corner < 4; ++corner) {
            PutBigEndian32(bytes, static_cast<std::size_t>(8 * corner), 1200 + 50 * corner);
            PutBigEndian32(bytes, static_cast<std::size_t>(8 * corner + 4), -300 - 10 * corner);
          }
        } else {
          for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0x40 + i);
        }
        break;
      case 5:
        bytes = {0x00, 0x01, 0xE2, 0x40};
        break;
      case 9:
      case 10:
        bytes[0] = 3;
        break;
      default:
        break;
    }
    if (number == 1) {
      const CommByteLayout& comm = profile_.commByte;
      if (comm.offset >= 0 && static_cast<std::size_t>(comm.offset) < bytes.size()) {
        std::uint8_t& byte = bytes[static_cast<std::size_t>(comm.offset)];
        const int baud = CodeFromBaud(storedLine_.baud).value_or(2);
        if (comm.baudInHighNibble)
          byte = static_cast<std::uint8_t>((byte & 0x0F) | baud << 4);
        else
          byte = static_cast<std::uint8_t>((byte & 0xF0) | baud);
        if (comm.framingInHighNibble)
          byte = static_cast<std::uint8_t>((byte & 0x0F) | CodeFromFraming(storedLine_).value_or(4) << 4);
      }
      if (profile_.block1Checksum) StoreBlockChecksum(bytes);
    }
    parameters_.DefineBlock(number, std::move(bytes));
  }
}

void EmulatedController::SaveSection(ControllerState::Section& section) const {
  SaveStores(parameters_, &memories_, section);
}

void EmulatedController::LoadState(const ControllerState& state) {
  const auto section = state.sections.find(kControllerSection);
  if (section != state.sections.end()) LoadSection(section->second);
}

void EmulatedController::LoadSection(const ControllerState::Section& section) {
  LoadStores(section, parameters_, &memories_);
  std::optional<LineSettings> line;
  if (const std::vector<std::uint8_t>* block1 = parameters_.Block(1)) line = CommByteLine(*block1);
  if (const std::vector<std::uint8_t>* block6 = parameters_.Block(6);
      block6 && profile_.defaultParamImage && block6->size() > kBlock6SpeedByte)
    if (const auto baud = Block6Baud((*block6)[kBlock6SpeedByte] & 0x0F)) line = LineSettings{*baud, 'N', 8, 1};
  if (line) {
    storedLine_ = *line;
    line_ = *line;
  }
  ResetVolatileMemory();
  ShowBlocksToGenerator();
}

void EmulatedController::ShowBlocksToGenerator() {
  if (!generator_) return;
  for (const int number : parameters_.BlockNumbers())
    if (const std::vector<std::uint8_t>* block = parameters_.Block(number)) generator_->OnBlock(number, *block);
}

// The Birch2 keeps its tuning parameters as cells of memory 7 (the EEPROM parameter area).
void EmulatedController::DefineParameterCells() {
  const bool birch =
      profile_.kind == FamilyKind::kBirch || profile_.kind == FamilyKind::kBirchRom || profile_.kind == FamilyKind::kBirchPen;
  if (!birch) return;
  for (const auto& [address, value] : Birch2ParameterCells())
    memories_.Write(kParameterCellsMemory, address, {value});
}

// The RAM after a restart: registers cleared, the serial speed word set from the line the
// controller comes back with.
void EmulatedController::ResetVolatileMemory() {
  memories_.Clear(0);
  memories_.Clear(10);
  if (profile_.speedWordAddress >= 0 && memories_.Cells(10) > static_cast<std::uint32_t>(profile_.speedWordAddress)) {
    const auto word = static_cast<std::uint16_t>(kSpeedWordClock / static_cast<std::uint32_t>(storedLine_.baud));
    memories_.Write(10, static_cast<std::uint32_t>(profile_.speedWordAddress), {word});
  }
}

void EmulatedController::CatchUp(std::uint64_t nowMs) {
  nowMs_ = std::max(nowMs_, nowMs);
  if (offline_ && nowMs_ >= offlineUntilMs_) {
    offline_ = false;
    host_.framer.ExpectCommand();
  }
}

void EmulatedController::Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) {
  CatchUp(nowMs);
  if (bytes == nullptr) return;
  for (std::size_t i = 0; i < count; ++i) {
    if (bytes[i] != CommandFramer::kPollByte) {
      heardHost_ = true;
      hostByteMs_ = nowMs_;
    }
  }
  for (std::size_t i = 0; i < count && !offline_; ++i) {
    if (passThrough_ != Target::kNone)
      PushPassThrough(bytes[i]);
    else
      PushByte(host_, bytes[i]);
  }
  UpdateQuiet();
}

void EmulatedController::Advance(std::uint64_t nowMs) {
  CatchUp(nowMs);
  if (!offline_ && passThrough_ == Target::kLoader) LoaderDid(loader_->Advance(nowMs_));
  UpdateQuiet();
  if (offline_ || !generator_) return;
  std::vector<std::uint8_t> reports;
  generator_->Advance(nowMs_, reports);
  if (reports.empty()) return;
  output_.push_back(OutputSegment{nowMs_, std::move(reports), std::nullopt});
}

std::uint64_t EmulatedController::NextEventMs() const {
  std::uint64_t next = kNever;
  if (!output_.empty()) next = std::max(output_.front().dueMs, nowMs_);
  if (offline_) next = std::min(next, offlineUntilMs_);
  if (!offline_ && passThrough_ == Target::kLoader) next = std::min(next, loader_->NextEventMs());
  if (generator_ && !offline_) {
    if (HandsOff()) {
      if (heardHost_) next = std::min(next, hostByteMs_ + options_.handsOffMs);
    } else {
      next = std::min(next, generator_->NextEventMs());
    }
  }
  return next;
}

std::vector<std::uint8_t> EmulatedController::TakeOutput() {
  std::vector<std::uint8_t> out;
  while (!output_.empty() && output_.front().dueMs <= nowMs_) {
    OutputSegment& front = output_.front();
    out.insert(out.end(), front.bytes.begin(), front.bytes.end());
    const std::optional<LineSettings> after = front.lineAfter;
    output_.pop_front();
    if (after) {
      line_ = *after;
      break;
    }
  }
  return out;
}

bool EmulatedController::HandsOff() const {
  return options_.handsOffMs != 0 && (!heardHost_ || nowMs_ < hostByteMs_ + options_.handsOffMs);
}

void EmulatedController::UpdateQuiet() {
  const bool quiet =
      offline_ || passThrough_ != Target::kNone || host_.awaiting != Awaiting::kNothing || HandsOff();
  if (quiet == quiet_) return;
  quiet_ = quiet;
  if (generator_) generator_->SetQuiet(quiet);
}

// ---- output ----

void EmulatedController::Send(const std::string& text) {
  if (text.empty()) return;
  const std::uint64_t due = nowMs_ + options_.replyDelayMs;
  if (output_.empty() || output_.back().lineAfter || output_.back().dueMs != due)
    output_.push_back(OutputSegment{due, {}, std::nullopt});
  std::vector<std::uint8_t>& bytes = output_.back().bytes;
  bytes.insert(bytes.end(), text.begin(), text.end());
}

void EmulatedController::SendAfter(const std::string& text, std::uint64_t delayMs) {
  output_.push_back(OutputSegment{nowMs_ + options_.replyDelayMs + delayMs,
                                  std::vector<std::uint8_t>(text.begin(), text.end()), std::nullopt});
}

void EmulatedController::Reply(const std::string& text) { Send(kSoh + text + kCr); }
void EmulatedController::Ack() { Send(kOk); }
void EmulatedController::Refuse() { Send(kRefusal); }

void EmulatedController::ChangeLineAfterOutput(const LineSettings& line) {
  if (output_.empty()) {
    line_ = line;
    return;
  }
  if (output_.back().lineAfter)
    output_.push_back(OutputSegment{output_.back().dueMs, {}, line});
  else
    output_.back().lineAfter = line;
}

LineSettings EmulatedController::LatestLine() const {
  for (auto it = output_.rbegin(); it != output_.rend(); ++it)
    if (it->lineAfter) return *it->lineAfter;
  return line_;
}

// ---- input ----

void EmulatedController::PushByte(Session& session, std::uint8_t byte) {
  switch (session.framer.Push(byte)) {
    case CommandFramer::Event::kNone:
      return;
    case CommandFramer::Event::kPoll:
      if (!session.dsp && generator_) generator_->OnPollByte(nowMs_);
      return;
    case CommandFramer::Event::kCommand: {
      const std::string text = session.framer.Text();
      Execute(session, text);
      return;
    }
    case CommandFramer::Event::kLine: {
      const std::string line = session.framer.Text();
      OnLine(session, line);
      return;
    }
    case CommandFramer::Event::kAbandoned:
      EndExchange(session);
      return;
    case CommandFramer::Event::kOverflow:
      // Whatever was being collected is lost; the controller says so once.
      EndExchange(session);
      Refuse();
      return;
  }
}

void EmulatedController::PushPassThrough(std::uint8_t byte) {
  const PassThroughDecoder::Result result = decoder_.Push(byte);
  for (std::size_t i = 0; i < result.count && passThrough_ != Target::kNone && !offline_; ++i) {
    if (passThrough_ == Target::kDsp)
      PushByte(dsp_, result.bytes[i]);
    else
      LoaderDid(loader_->OnByte(result.bytes[i], nowMs_));
  }
  if (result.end && passThrough_ != Target::kNone) LeavePassThrough();
}

void EmulatedController::LoaderDid(const LoaderOutput& output) {
  Send(output.bytes);
  switch (output.action) {
    case LoaderAction::kNone:
      return;
    case LoaderAction::kRestart:
      // The new code starts: the pass-through is over and the controller comes back in a while.
      restartRequested_ = true;
      passThrough_ = Target::kNone;
      decoder_.Reset();
      lineBeforePassThrough_.reset();
      RestartCommand(host_, Restart::kEeprom);
      return;
    case LoaderAction::kDropOff:
      DropOff();
      return;
  }
}

void EmulatedController::DropOff() {
  passThrough_ = Target::kNone;
  decoder_.Reset();
  EndExchange(host_);
  offline_ = true;
  offlineUntilMs_ = kNever;
}

bool EmulatedController::CommandFault(const char* step) {
  const std::optional<LoaderFaultKind> fault = faults_.Step(step);
  if (!fault) return false;
  switch (*fault) {
    case LoaderFaultKind::kRefuse:
      Refuse();
      break;
    case LoaderFaultKind::kSilent:
      break;
    case LoaderFaultKind::kGarbage:
    case LoaderFaultKind::kWrongSum:
    case LoaderFaultKind::kWrongHandshake:
      Send(std::string("\x01G?\r"));
      break;
    case LoaderFaultKind::kDropOff:
      DropOff();
      break;
  }
  return true;
}

void EmulatedController::EnterLoader(std::uint64_t nowMs) {
  CatchUp(nowMs);
  passThrough_ = Target::kLoader;
  decoder_.Reset();
  Send(loader_->Begin(nowMs_));
}

void EmulatedController::ToLoader(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) {
  CatchUp(nowMs);
  for (std::size_t i = 0; i < count && passThrough_ == Target::kLoader && !offline_; ++i)
    LoaderDid(loader_->OnByte(bytes[i], nowMs_));
}

void EmulatedController::LeaveLoader() {
  if (passThrough_ == Target::kLoader) passThrough_ = Target::kNone;
  decoder_.Reset();
}

bool EmulatedController::TakeRestartRequest() {
  const bool requested = restartRequested_;
  restartRequested_ = false;
  return requested;
}

void EmulatedController::Await(Session& session, Awaiting awaiting, std::size_t limit, int number) {
  session.awaiting = awaiting;
  session.number = number;
  if (awaiting == Awaiting::kRomMap)
    session.framer.ExpectRaw(limit);
  else
    session.framer.ExpectLine(limit);
}

void EmulatedController::EndExchange(Session& session) {
  session.awaiting = Awaiting::kNothing;
  session.memory.Abandon();
}

void EmulatedController::Execute(Session& session, const std::string& text) {
  if (text == "Z") {
    if (!session.dsp && CommandFault("Z")) return;
    return Ack();
  }
  if (text == "R") {
    Ack();
    return RestartCommand(session, Restart::kSoft);
  }
  if (text == "RD") {
    Ack();
    return RestartCommand(session, Restart::kDefaults);
  }
  if (text == "RE1" || text == "RE2" || text == "RE3") {
    if (!session.dsp && (text == "RE1" || text == "RE3") && CommandFault(text.c_str())) return;
    Ack();
    return RestartCommand(session, text == "RE1" ? Restart::kRom : text == "RE2" ? Restart::kRam : Restart::kEeprom);
  }
  // The hard resets restart at once; the host does not wait for an answer.
  if (text == "H" || text == "QH") {
    if (text == "H" ? !profile_.hardResetH : !profile_.hardResetQH) return Refuse();
    return RestartCommand(session, Restart::kHard);
  }
  if (text == "PRD") {
    if (!profile_.parameterRestore) return Refuse();
    Ack();
    return RestartCommand(session, Restart::kParameters);
  }
  if (text == "-OI" && session.dsp) return Refuse();
  if (Identify(text)) return;
  if (text == "PN81") {
    if (session.dsp) return Refuse();
    LineSettings line = LatestLine();
    line.parity = 'N';
    line.dataBits = 8;
    line.stopBits = 1;
    Ack();
    return ChangeLineAfterOutput(line);
  }
  if (BlockCommand(session, text)) return;
  if (ParameterCommand(session, text)) return;
  if (text == "QPE" || text == "QPO") {
    if (text == "QPO" && CommandFault("QPO")) return;
    Send(session.memory.Begin(text == "QPE" ? MemoryExchange::Kind::kPeek : MemoryExchange::Kind::kPoke));
    return Await(session, Awaiting::kMemory, kMemoryLineLimit);
  }
  if (text == "MPD" || text == "MPL" || text == "MPD9" || text == "MPL9") {
    if (session.dsp) return Refuse();
    if (text[2] == 'L' && CommandFault("MPL")) return;
    return EnterPassThrough(text);
  }
  if (FamilyCommand(session, text)) return;
  Unknown(session, text);
}

void EmulatedController::OnLine(Session& session, const std::string& line) {
  const Awaiting awaiting = session.awaiting;
  const int number = session.number;
  session.awaiting = Awaiting::kNothing;
  switch (awaiting) {
    case Awaiting::kNothing:
      return;
    case Awaiting::kBlockData:
      return BlockData(line, number);
    case Awaiting::kBlockFive: {
      std::vector<std::uint8_t> bytes;
      if (line.size() != 8 || !DecodeHexPairs(line, bytes) || !parameters_.SetBlock(5, bytes)) return Refuse();
      return Ack();
    }
    case Awaiting::kParameterValue: {
      const auto value = ParseHex(line);
      if (!value || !parameters_.SetValue(number, *value)) return Refuse();
      return Ack();
    }
    case Awaiting::kMemory: {
      if (session.memory.AwaitingValues() && CommandFault("QPO-data")) {
        session.memory.Abandon();
        return;
      }
      Send(session.memory.OnLine(line));
      if (session.memory.Active()) return Await(session, Awaiting::kMemory, kMemoryLineLimit);
      if (const auto poke = session.memory.TakePoke()) CheckSpeedWord(*poke);
      return;
    }
    case Awaiting::kQpNumber:
      if (!ParseHex(line)) return Refuse();
      Ack();
      return Await(session, Awaiting::kQpValue, kValueLineLimit);
    case Awaiting::kQpValue:
      if (!ParseHex(line)) return Refuse();
      return Ack();
    case Awaiting::kPageData: {
      if (CommandFault("PD-data")) return;
      // A piece is whole hexadecimal pairs, at most 32 bytes, and stays within the page.
      std::vector<std::uint8_t> bytes;
      if (line.empty() || !DecodeHexPairs(line, bytes) || bytes.size() > kMostPieceBytes ||
          pageBuffer_.size() + bytes.size() > profile_.loaderPageSize)
        return Refuse();
      pageBuffer_.insert(pageBuffer_.end(), bytes.begin(), bytes.end());
      return Ack();
    }
    case Awaiting::kPageNumber: {
      if (CommandFault("PE-page")) {
        pageBuffer_.clear();
        return;
      }
      // Pages come in order; page 0 starts a download again.
      std::vector<std::uint16_t> values(pageBuffer_.begin(), pageBuffer_.end());
      pageBuffer_.clear();
      const std::optional<std::uint32_t> parsed = line.size() == 4 ? ParseHex(line) : std::optional<std::uint32_t>();
      if (!parsed.has_value()) return Refuse();
      const std::uint32_t page = parsed.value();
      const std::uint64_t address = static_cast<std::uint64_t>(page) * profile_.loaderPageSize;
      if ((page != nextPage_ && page != 0) || address > 0xFFFFFFFFu || values.empty() ||
          !memories_.Write(9, static_cast<std::uint32_t>(address), values))
        return Refuse();
      nextPage_ = page + 1;
      return Ack();
    }
    case Awaiting::kRomMap:
      if (CommandFault("FE-map")) return;
      return Ack();
  }
}

// ---- identity ----

bool EmulatedController::Identify(const std::string& text) {
  const IdentityTexts& id = Identity();
  const std::optional<std::string>* reply = nullptr;
  if (text == "OI")
    reply = &id.oi;
  else if (text == "UV")
    reply = &id.uv;
  else if (text == "UT")
    reply = &id.ut;
  else if (text == "OS")
    reply = &id.os;
  else if (text == "NM")
    reply = &id.nm;
  else if (text == "-OI")
    reply = &id.minusOi;
  else if (text == "GF")
    reply = &id.gf;
  if (reply) {
    if (*reply)
      Reply(**reply);
    else
      Refuse();
    return true;
  }
  if (text == "ID") {
    // The panel ID is a line of its own, then the acknowledgement.
    if (id.panelId)
      Send(*id.panelId + kCr + kOk);
    else
      Refuse();
    return true;
  }
  return false;
}

// ---- blocks and parameters ----

bool EmulatedController::BlockCommand(Session& session, const std::string& text) {
  if (text.size() != 3 || (text.compare(0, 2, "GP") != 0 && text.compare(0, 2, "SP") != 0)) return false;
  const int number = static_cast<unsigned char>(text[2]) - '0';
  if (number < 1 || number > 10 || !parameters_.HasBlock(number)) {
    Refuse();
    return true;
  }
  const std::vector<std::uint8_t>& block = *parameters_.Block(number);
  const std::string status(1, profile_.statusLetter);
  if (text[0] == 'S') {
    // The controller names its block revision and takes the data line.
    Reply(status);
    std::size_t limit = 2 * block.size();
    if (number == 2 && profile_.defaultParamImage) limit = 2 * (kImageBytesLimit + 2);
    Await(session, Awaiting::kBlockData, limit, number);
    return true;
  }
  if (number == 3 && profile_.straysRecord) {
    // The stray record: per corner I then Q, each as four 7-bit bytes and one 4-bit byte.
    std::string record;
    for (std::size_t at = 0; at + 4 <= block.size() && record.size() < 40; at += 4) {
      const std::uint32_t v = BigEndian32(block, at);
      for (int shift : {25, 18, 11, 4}) record += static_cast<char>((v >> shift) & 0x7F);
      record += static_cast<char>(v & 0x0F);
    }
    Send(kSoh + status + kCr + record + kCr + kOk);
    return true;
  }
  Send(kSoh + status + kCr + HexPairs(block) + kCr + kOk);
  return true;
}

void EmulatedController::BlockData(const std::string& line, int number) {
  std::vector<std::uint8_t> bytes;
  const std::vector<std::uint8_t>* block = parameters_.Block(number);
  if (!block || !DecodeHexPairs(line, bytes)) return Refuse();
  if (number == 2 && profile_.defaultParamImage && bytes.size() != block->size()) {
    if (!DefaultParameterImage(bytes)) return Refuse();
    Send(kOk + kOk);
    return SendAfter("." + kOk, kImageStoreMs);
  }
  if (bytes.size() != block->size()) return Refuse();
  // A Block1 whose check word is wrong would come back invalid after the next restart: the
  // controller refuses it and keeps the block it has.
  if (number == 1 && profile_.block1Checksum && !BlockChecksumValid(bytes)) return Refuse();
  std::optional<LineSettings> newLine;
  if (number == 6 && profile_.defaultParamImage && bytes.size() > kBlock6SpeedByte &&
      ((*block)[kBlock6SpeedByte] & 0x0F) != (bytes[kBlock6SpeedByte] & 0x0F)) {
    if (const auto baud = Block6Baud(bytes[kBlock6SpeedByte] & 0x0F)) newLine = LineSettings{*baud, 'N', 8, 1};
  }
  if (number == 1) {
    const CommByteLayout& comm = profile_.commByte;
    if (comm.offset >= 0 && static_cast<std::size_t>(comm.offset) < bytes.size()) {
      const auto at = static_cast<std::size_t>(comm.offset);
      const std::uint8_t mask = comm.framingInHighNibble ? 0xFF : comm.baudInHighNibble ? 0xF0 : 0x0F;
      if (((*block)[at] & mask) != (bytes[at] & mask)) newLine = CommByteLine(bytes);
    }
  }
  parameters_.SetBlock(number, bytes);
  if (generator_) generator_->OnBlock(number, bytes);
  Ack();
  if (newLine) {
    storedLine_ = *newLine;
    ChangeLineAfterOutput(*newLine);
  }
}

std::optional<LineSettings> EmulatedController::CommByteLine(const std::vector<std::uint8_t>& block) const {
  const CommByteLayout& comm = profile_.commByte;
  if (comm.offset < 0 || static_cast<std::size_t>(comm.offset) >= block.size()) return std::nullopt;
  const std::uint8_t byte = block[static_cast<std::size_t>(comm.offset)];
  const auto baud = BaudFromCode(comm.baudInHighNibble ? byte >> 4 : byte & 0x0F);
  if (!baud) return std::nullopt;
  Framing framing{'N', 8, 1};
  if (comm.framingInHighNibble) {
    const auto coded = FramingFromCode(byte >> 4);
    if (!coded) return std::nullopt;
    framing = *coded;
  }
  return LineSettings{*baud, framing.parity, framing.dataBits, framing.stopBits};
}

// A Rowan default-parameter image: length word, header word, panel type name, header words,
// parameter words and CRC, followed by the XOR of the words from offset 4 to the CRC.
bool EmulatedController::DefaultParameterImage(const std::vector<std::uint8_t>& image) {
  if (image.size() < 18) return false;
  const std::size_t length = image.size() - 2;
  auto word = [&](std::size_t at) { return static_cast<std::uint16_t>(image[at] | image[at + 1] << 8); };
  if (word(0) != length || length % 2 != 0) return false;
  const std::size_t nameLength = word(4);
  if (nameLength + 16 > length) return false;
  std::uint16_t check = 0;
  for (std::size_t at = 4; at + 2 <= length; at += 2) check ^= word(at);
  if (check != word(length)) return false;
  std::string name(image.begin() + 6, image.begin() + 6 + static_cast<std::ptrdiff_t>(nameLength));
  name = name.substr(0, std::min(name.find(kCr), kPanelIdMaxLength));
  identity_.panelId = name;
  SetParametersValid(true);
  return true;
}

// The second status character says whether the parameter area holds valid parameters: bit 3
// set means it does not.
void EmulatedController::SetParametersValid(bool valid) {
  for (std::optional<std::string>* text : {&identity_.uv, &identity_.ut}) {
    if (!*text || (*text)->size() < 8) continue;
    char& c = (**text)[7];
    c = static_cast<char>(valid ? (c & ~0x08) : (c | 0x08));
  }
}

bool EmulatedController::ParameterCommand(Session& session, const std::string& text) {
  if (text == "Q002") {
    const auto* block = parameters_.Block(5);
    Reply(block ? HexPairs(*block) : "?");
    return true;
  }
  if (text == "W002") {
    if (!parameters_.HasBlock(5)) {
      Refuse();
      return true;
    }
    Ack();
    Await(session, Awaiting::kBlockFive, 8);
    return true;
  }
  if (text == "Q101" || text == "Q102") {
    const std::optional<std::string>& value = text == "Q101" ? profile_.q101 : profile_.q102;
    Reply(value ? value->substr(0, kTextParameterMaxLength) : "?");
    return true;
  }
  if (text == "QRC") {
    Reply(profile_.screenRc ? Hex(*profile_.screenRc, 4) : "?");
    return true;
  }
  if (text.size() != 4 || (text[0] != 'Q' && text[0] != 'W') || !AllDigits(text, 1)) return false;
  const int number = std::stoi(text.substr(1));
  const QParameter* parameter = parameters_.FindParameter(number);
  if (text[0] == 'Q') {
    Reply(parameter ? Hex(*parameters_.Value(number), parameter->digits) : "?");
    return true;
  }
  if (!parameter || !parameter->writable) {
    Refuse();
    return true;
  }
  Ack();
  Await(session, Awaiting::kParameterValue, kValueLineLimit, number);
  return true;
}

// ---- family commands ----

bool EmulatedController::FamilyCommand(Session& session, const std::string& text) {
  if (text == "QP") {
    Ack();
    Await(session, Awaiting::kQpNumber, kValueLineLimit);
    return true;
  }
  if (text == "RPD") {
    Ack();
    return true;
  }
  if (text == "-DWO") {
    if (CommandFault("-DWO")) return true;
    if (profile_.codeLoaderCommand)
      Ack();
    else
      Refuse();
    return true;
  }
  // The page loader runs in the boot loader only.
  if (profile_.pageLoader && inRom_) {
    if (text == "PB") {
      if (CommandFault("PB")) return true;
      pageBuffer_.clear();
      nextPage_ = 0;
      Reply(Hex(profile_.loaderPageSize & 0xFFFF, 4));
      return true;
    }
    if (text == "PD" || text == "PE") {
      if (CommandFault(text.c_str())) return true;
      Ack();
      if (text == "PD")
        Await(session, Awaiting::kPageData, 2 * profile_.loaderPageSize);
      else
        Await(session, Awaiting::kPageNumber, kValueLineLimit);
      return true;
    }
  }
  if (text == "FE" && inRom_) {
    // The fixed code takes the default map as 48 raw characters.
    if (CommandFault("FE")) return true;
    Ack();
    Await(session, Awaiting::kRomMap, kRomMapBytes);
    return true;
  }
  if (profile_.frequencyCommands && text.size() == 5 &&
      (text.compare(0, 3, "FQF") == 0 || text.compare(0, 3, "FQP") == 0)) {
    const auto code = ParseHex(text.substr(3));
    const bool pen = text[2] == 'P';
    if (!code) {
      Refuse();
    } else if (*code == 0) {
      Reply(Hex(pen ? penFrequency_ : fingerFrequency_, 2));
    } else if (pen && (*code < 124 || *code > 236)) {
      Refuse();
    } else {
      (pen ? penFrequency_ : fingerFrequency_) = static_cast<std::uint8_t>(*code);
      Ack();
    }
    return true;
  }
  return false;
}

void EmulatedController::Unknown(Session& session, const std::string& text) {
  if (!session.dsp && generator_) {
    switch (generator_->OnCommand(text)) {
      case CommandResult::kAck:
        return Ack();
      case CommandResult::kSilent:
        return;
      case CommandResult::kRefuse:
      case CommandResult::kNotMine:
        return Refuse();
    }
    return;
  }
  for (const char* command : kReportCommands)
    if (text == command) return Ack();
  Refuse();
}

// ---- restarts ----

void EmulatedController::RestartCommand(Session& session, Restart kind) {
  if (kind == Restart::kDefaults) {
    parameters_.RestoreBlocks();
    ShowBlocksToGenerator();
    parameters_.RestoreParameters();
    storedLine_ = profile_.line;
    identity_.panelId = profile_.identity.panelId;
    SetParametersValid(true);
  } else if (kind == Restart::kParameters) {
    parameters_.RestoreParameters();
    SetParametersValid(true);
  }
  // Behind the pass-through only the second processor restarts; the controller stays on the line.
  if (session.dsp) return;

  const DropOffTimes& times = profile_.dropOff;
  std::uint64_t dropOff = 0;
  switch (kind) {
    case Restart::kSoft:
      dropOff = times.softReset;
      break;
    case Restart::kDefaults:
      dropOff = times.restoreDefaults;
      break;
    case Restart::kRom:
    case Restart::kRam:
      dropOff = times.reboot;
      break;
    case Restart::kEeprom:
      dropOff = times.rebootEeprom;
      break;
    case Restart::kHard:
      dropOff = times.hardReset;
      break;
    case Restart::kParameters:
      dropOff = times.parameterRestore;
      break;
  }
  if (kind != Restart::kSoft && kind != Restart::kParameters) {
    // A reboot starts the code afresh: RAM, the speed word and a "PN81" are gone.
    if (kind == Restart::kRom && profile_.romIdentity) inRom_ = true;
    if (kind == Restart::kRam || kind == Restart::kEeprom) inRom_ = false;
    ResetVolatileMemory();
    ChangeLineAfterOutput(storedLine_);
    pageBuffer_.clear();
    nextPage_ = 0;
  }
  if (generator_) generator_->Reset(nowMs_);
  EndExchange(host_);
  host_.framer.ExpectCommand();
  if (dropOff > 0) {
    offline_ = true;
    offlineUntilMs_ = nowMs_ + dropOff;
  }
}

// ---- pass-through ----

void EmulatedController::EnterPassThrough(const std::string& text) {
  if (!profile_.passThrough) return Refuse();
  Ack();
  passThrough_ = text[2] == 'D' ? Target::kDsp : Target::kLoader;
  decoder_.Reset();
  EndExchange(dsp_);
  dsp_.framer.ExpectCommand();
  lineBeforePassThrough_.reset();
  if (text.size() == 3) {
    // The fast pass-through: after its acknowledgement the controller talks 115200,N,8,1.
    lineBeforePassThrough_ = LatestLine();
    ChangeLineAfterOutput(LineSettings{115200, 'N', 8, 1});
  }
  if (passThrough_ == Target::kLoader) Send(loader_->Begin(nowMs_));
}

void EmulatedController::LeavePassThrough() {
  passThrough_ = Target::kNone;
  decoder_.Reset();
  EndExchange(dsp_);
  dsp_.framer.ExpectCommand();
  host_.framer.ExpectCommand();
  if (lineBeforePassThrough_) ChangeLineAfterOutput(*lineBeforePassThrough_);
  lineBeforePassThrough_.reset();
}

bool EmulatedController::StoreLoaderImage(std::uint32_t address, const std::vector<std::uint8_t>& bytes) {
  if (address == PassThroughLoader::kParameterArea) {
    // Erasing the parameter area leaves the controller without valid parameters.
    SetParametersValid(false);
    return true;
  }
  if (bytes.empty()) return true;
  return memories_.Write(9, address, std::vector<std::uint16_t>(bytes.begin(), bytes.end()));
}

void EmulatedController::CheckSpeedWord(const MemoryExchange::Poke& poke) {
  if (poke.memory != 10 || profile_.speedWordAddress < 0) return;
  const auto at = static_cast<std::uint32_t>(profile_.speedWordAddress);
  if (at < poke.address || at >= poke.address + poke.count) return;
  const auto baud = StandardBaud(memories_.Cell(10, at));
  if (!baud) return;
  LineSettings line = LatestLine();
  if (line.baud == *baud) return;
  line.baud = *baud;
  // The closing line still goes out at the old speed.
  ChangeLineAfterOutput(line);
}

}  // namespace kx7::emu
