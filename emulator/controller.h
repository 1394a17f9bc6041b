// An emulated touch controller on the far end of a serial line: the ASCII command set with its
// reply forms, identity replies, parameter blocks and numbered parameters, the memory exchange,
// pass-through to a second processor, resets and reboots that take it off the line for a while.
// Touch reports and report modes belong to a `ReportGenerator`; commands the interpreter does not
// know are offered to it first.
//
// Timing: replies are produced when the command arrives (or `replyDelayMs` later, delivered by
// `Advance`). A change of the controller's own line settings ("PN81", "MPD", a new comm byte,
// the serial speed word) takes effect after the reply that announces it: `TakeOutput` returns
// the bytes up to that point, all of them meant for the settings `Line()` returned before the
// call; `Line()` then gives the new settings, and `NextEventMs` says when more output is due.
// Transports therefore read `Line()` before each `TakeOutput`.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "command_frame.h"
#include "controller_state.h"
#include "emulated_device.h"
#include "family_profile.h"
#include "memory_exchange.h"
#include "memory_store.h"
#include "parameter_store.h"
#include "loader_faults.h"
#include "pass_through.h"
#include "pass_through_loader.h"
#include "report_generator.h"

namespace kx7::emu {

class EmulatedController : public EmulatedDevice, public PersistentController {
 public:
  explicit EmulatedController(const FamilyProfile& family, const ControllerOptions& options = {});
  EmulatedController(const EmulatedController&) = delete;
  EmulatedController& operator=(const EmulatedController&) = delete;
  // A controller of the named family ("cedar-gen4"); nothing for an unknown family.
  static std::unique_ptr<EmulatedController> ForFamily(const std::string& family,
                                                       const ControllerOptions& options = {});

  LineSettings Line() const override { return line_; }
  void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs) override;
  void Advance(std::uint64_t nowMs) override;
  std::uint64_t NextEventMs() const override;
  std::vector<std::uint8_t> TakeOutput() override;
  bool Present() const override { return !offline_; }

  // Touch reports and report modes; the controller works without one (it then acknowledges the
  // report and mode commands and sends no reports).
  void SetReportGenerator(std::unique_ptr<ReportGenerator> generator);
  ReportGenerator* Generator() const { return generator_.get(); }

  const FamilyProfile& Profile() const { return profile_; }
  // The identity the controller answers now (the fixed code's after "RE1" on Birch).
  const IdentityTexts& Identity() const { return inRom_ ? romIdentity_ : identity_; }
  bool InRom() const { return inRom_; }
  bool InPassThrough() const { return passThrough_ != Target::kNone; }
  ParameterStore& Parameters() { return parameters_; }
  MemoryStore& Memories() { return memories_; }
  LoaderFaults& Faults() { return faults_; }

  // The second processor's loader reached without the serial pass-through (the HID controllers
  // hand it their pass-through reports whole, with no DLE in between).
  void EnterLoader(std::uint64_t nowMs);
  void ToLoader(const std::uint8_t* bytes, std::size_t count, std::uint64_t nowMs);
  void LeaveLoader();
  // The loader restarted the controller into its new code since the last call.
  bool TakeRestartRequest();

  // Its blocks, parameters and memories; a loaded Block1 or Block6 that names other line
  // settings brings the controller up at them, as it would after a restart.
  void SaveState(ControllerState& state) const override { SaveSection(state.sections[kControllerSection]); }
  void LoadState(const ControllerState& state) override;
  void SaveSection(ControllerState::Section& section) const;
  void LoadSection(const ControllerState::Section& section);

  // Longest frame the command interpreter keeps; a longer one is dropped with SOH "1" CR.
  static constexpr std::size_t kFrameLimit = CommandFramer::kDefaultFrameLimit;

 private:
  enum class Target { kNone, kDsp, kLoader };
  enum class Awaiting {
    kNothing,
    kBlockData,       // after "SP"n: the block as hexadecimal pairs
    kBlockFive,       // after "W002": eight hexadecimal digits
    kParameterValue,  // after "W%03d": the value
    kMemory,          // "QPE"/"QPO" lines
    kQpNumber,        // after "QP": two lines
    kQpValue,
    kPageData,    // after "PD": hexadecimal pairs for the page buffer
    kPageNumber,  // after "PE": the page number
    kRomMap,      // after "FE" in the fixed code: 48 raw bytes
  };
  enum class Restart { kSoft, kDefaults, kRom, kRam, kEeprom, kHard, kParameters };

  // One command interpreter: the controller's own, or the second processor's behind the
  // pass-through (which has no UART, pass-through or report generator of its own).
  struct Session {
    Session(MemoryStore& memories, std::uint32_t maxPeek, bool isDsp) : memory(memories, maxPeek), dsp(isDsp) {}
    CommandFramer framer{kFrameLimit};
    MemoryExchange memory;
    Awaiting awaiting = Awaiting::kNothing;
    int number = 0;
    bool dsp = false;
  };

  struct OutputSegment {
    std::uint64_t dueMs = 0;
    std::vector<std::uint8_t> bytes;
    std::optional<LineSettings> lineAfter;
  };

  void DefineBlocks();
  void DefineParameterCells();
  void ResetVolatileMemory();
  void CatchUp(std::uint64_t nowMs);

  void PushByte(Session& session, std::uint8_t byte);
  void PushPassThrough(std::uint8_t byte);
  void Execute(Session& session, const std::string& text);
  void OnLine(Session& session, const std::string& line);
  void Await(Session& session, Awaiting awaiting, std::size_t limit, int number = 0);
  void EndExchange(Session& session);

  bool Identify(const std::string& text);
  bool BlockCommand(Session& session, const std::string& text);
  bool ParameterCommand(Session& session, const std::string& text);
  bool FamilyCommand(Session& session, const std::string& text);
  void RestartCommand(Session& session, Restart kind);
  void EnterPassThrough(const std::string& text);
  void LeavePassThrough();
  void LoaderDid(const LoaderOutput& output);
  // A fault planted at `step` answered in place of the command; false when none is planned.
  bool CommandFault(const char* step);
  void DropOff();
  void Unknown(Session& session, const std::string& text);

  void BlockData(const std::string& line, int number);
  bool DefaultParameterImage(const std::vector<std::uint8_t>& image);
  void SetParametersValid(bool valid);
  void CheckSpeedWord(const MemoryExchange::Poke& poke);
  std::optional<LineSettings> CommByteLine(const std::vector<std::uint8_t>& block) const;
  bool StoreLoaderImage(std::uint32_t address, const std::vector<std::uint8_t>& bytes);

  void Send(const std::string& text);
  // Sent `delayMs` after what is queued now (the controller finishing work on its own).
  void SendAfter(const std::string& text, std::uint64_t delayMs);
  void Reply(const std::string& text);  // SOH text CR
  void Ack();
  void Refuse();
  void ChangeLineAfterOutput(const LineSettings& line);
  LineSettings LatestLine() const;  // the line once every queued change has taken effect
  void UpdateQuiet();
  // The touch side learns the blocks that shape its reports (the correction of Block2).
  void ShowBlocksToGenerator();
  bool HandsOff() const;  // the touch side waits for the host to fall silent

  FamilyProfile profile_;
  ControllerOptions options_;
  IdentityTexts identity_;
  IdentityTexts romIdentity_;
  bool inRom_ = false;

  LineSettings line_;
  LineSettings storedLine_;  // what the controller comes back with after a reboot
  ParameterStore parameters_;
  MemoryStore memories_;
  Session host_;
  Session dsp_;

  Target passThrough_ = Target::kNone;
  PassThroughDecoder decoder_;
  LoaderFaults faults_;
  std::unique_ptr<SecondProcessorLoader> loader_;
  bool restartRequested_ = false;
  std::optional<LineSettings> lineBeforePassThrough_;

  std::vector<std::uint8_t> pageBuffer_;
  std::uint32_t nextPage_ = 0;
  std::uint8_t fingerFrequency_ = 0;
  std::uint8_t penFrequency_ = 0;

  bool offline_ = false;
  std::uint64_t offlineUntilMs_ = 0;
  std::uint64_t nowMs_ = 0;
  std::deque<OutputSegment> output_;
  std::unique_ptr<ReportGenerator> generator_;
  bool quiet_ = false;
  bool heardHost_ = false;       // a byte other than the poll byte has arrived
  std::uint64_t hostByteMs_ = 0;  // when the last one arrived
};

}  // namespace kx7::emu
