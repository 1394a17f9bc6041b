// What an emulated controller keeps when it is switched off, as a text file: its parameter blocks,
// its numbered parameters and the memories that were written, under a section for the controller
// and one for a second processor behind it. `--emulate-state FILE` loads it at start and saves it
// at the end, so what one run of the program writes the next one reads.
//
//   kx7emu-state cedar-gen4
//   controller block 1 0102...
//   controller param 300 00000100
//   controller memory 7 b 00FF...     (b: a byte a cell, w: a 16-bit word a cell)
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "memory_store.h"
#include "parameter_store.h"

namespace kx7::emu {

struct ControllerState {
  struct Section {
    std::map<int, std::vector<std::uint8_t>> blocks;
    std::map<int, std::uint32_t> parameters;
    std::map<int, std::vector<std::uint16_t>> memories;
    std::map<int, bool> wordMemories;
  };
  std::string family;
  std::map<std::string, Section> sections;

  std::string Text() const;
  // Nothing, with the reason in `error`, for a text that is not a state file.
  static std::optional<ControllerState> Parse(const std::string& text, std::string& error);
};

// The stores of one controller into a section, and back (blocks and parameters the controller
// does not have, or of another length, are left as they are).
void SaveStores(const ParameterStore& parameters, const MemoryStore* memories, ControllerState::Section& section);
void LoadStores(const ControllerState::Section& section, ParameterStore& parameters, MemoryStore* memories);

// An emulated controller whose state can be kept.
class PersistentController {
 public:
  virtual ~PersistentController() = default;
  virtual void SaveState(ControllerState& state) const = 0;
  virtual void LoadState(const ControllerState& state) = 0;
};

inline constexpr const char* kControllerSection = "controller";
inline constexpr const char* kSecondSection = "second";

// Reads a state file for `family`: nothing and no error when there is no file yet; nothing with
// the reason in `error` when it cannot be read, is not a state file or holds another family.
std::optional<ControllerState> ReadStateFile(const std::string& path, const std::string& family, std::string& error);
// False (with the reason) when it could not be written; the old file then stays as it was.
bool WriteStateFile(const std::string& path, const ControllerState& state, std::string& error);

}  // namespace kx7::emu
