// The Cedar GEN2 DSP behind pass-through target "L": its boot ROM and the loader program the host
// gives it. No greeting. 'R' resets the DSP ("A"); the boot ROM then takes a program, ended by
// the host's silence, and after it 'S' starts it ("B"). The loader program takes the code as a
// checked block: the length L (16-bit, high byte first), then L + 1 bytes; it answers "Sum",
// LF, LF and the 16-bit sum of the L + 1 bytes (high byte first), and keeps the block in RAM.
// 'Y' then commits the block to flash ("Committed" CR LF). After a commit, 'T' ("C") asks for the
// data as the next checked block, which carries a second 16-bit word after its length, and
// SOH "H" CR restarts the controller into the new code. A program that was not followed by 'S' (a RAM utility) just
// runs; the loader then takes nothing more.
//
// Fault steps: R, S, T (the handshakes), code, data (the checked-block answers), Y, H.
#pragma once

#include <cstdint>
#include <vector>

#include "loader_faults.h"
#include "pass_through_loader.h"

namespace kx7::emu {

class DspLoader : public SecondProcessorLoader {
 public:
  // `storeCode` and `storeData` put a committed block into the controller's flash.
  DspLoader(StoreImage storeCode, StoreImage storeData, LoaderFaults* faults = nullptr);

  std::string Begin(std::uint64_t nowMs) override;
  LoaderOutput OnByte(std::uint8_t byte, std::uint64_t nowMs) override;
  LoaderOutput Advance(std::uint64_t nowMs) override;
  std::uint64_t NextEventMs() const override;

  // The boot ROM ends a program when the host has been quiet this long.
  static constexpr std::uint64_t kQuietEndsProgramMs = 1000;
  static constexpr std::size_t kMostProgramBytes = 65536;

 private:
  enum class Step {
    kIdle,        // waiting for 'R'
    kBootRom,     // taking a program
    kProgramIn,   // a program is in: 'S' starts it as the loader
    kUtility,     // a program runs that is not the loader
    kExpectBlock,   // after 'B' or 'C': a checked block
    kExpectCommit,  // after a block's answer: 'Y'
    kCommitted,     // after a commit: 'T' or SOH H CR
    kLength,      // a block's length
    kExtra,       // the data block's second word
    kBlock,       // a block's bytes
  };
  LoaderOutput BlockAnswer();
  LoaderOutput Commit();
  LoaderOutput AfterCommit(std::uint8_t byte);
  std::optional<LoaderFaultKind> Fault(const char* step);

  StoreImage storeCode_;
  StoreImage storeData_;
  LoaderFaults* faults_;
  LoaderCommandFrames frames_;
  Step step_ = Step::kIdle;
  std::size_t programBytes_ = 0;
  std::uint64_t lastByteMs_ = 0;
  bool dataNext_ = false;     // after 'T': the next block is the data
  bool blockIsData_ = false;  // the block held
  std::vector<std::uint8_t> word_;
  std::uint32_t length_ = 0;
  std::vector<std::uint8_t> block_;
};

}  // namespace kx7::emu
