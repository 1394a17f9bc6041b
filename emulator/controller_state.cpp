#include "controller_state.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "params/param_file_io.h"

namespace kx7::emu {

namespace {

constexpr const char* kMagic = "kx7emu-state";
// A state file is small; anything much larger is not one.
constexpr std::size_t kMostStateBytes = 8u << 20;
constexpr std::size_t kMostMemoryCells = 1u << 20;

std::string HexCells(const std::vector<std::uint16_t>& cells, bool words) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint16_t cell : cells) {
    if (words) {
      text += kDigits[(cell >> 12) & 0xF];
      text += kDigits[(cell >> 8) & 0xF];
    }
    text += kDigits[(cell >> 4) & 0xF];
    text += kDigits[cell & 0xF];
  }
  return text;
}

int Digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool ReadCells(const std::string& text, std::size_t width, std::vector<std::uint16_t>& cells) {
  if (text.size() % width != 0 || text.size() / width > kMostMemoryCells) return false;
  cells.clear();
  for (std::size_t at = 0; at < text.size(); at += width) {
    unsigned value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      const int digit = Digit(text[at + i]);
      if (digit < 0) return false;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    cells.push_back(static_cast<std::uint16_t>(value));
  }
  return true;
}

bool ReadNumber(const std::string& text, int& number) {
  if (text.empty() || text.size() > 6) return false;
  number = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    number = number * 10 + (c - '0');
  }
  return true;
}

}  // namespace

std::string ControllerState::Text() const {
  std::string text = std::string(kMagic) + " " + family + "\n";
  for (const auto& [name, section] : sections) {
    for (const auto& [number, bytes] : section.blocks) {
      const std::vector<std::uint16_t> cells(bytes.begin(), bytes.end());
      text += name + " block " + std::to_string(number) + " " + HexCells(cells, false) + "\n";
    }
    for (const auto& [number, value] : section.parameters) {
      char digits[16];
      std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(value));
      text += name + " param " + std::to_string(number) + " " + digits + "\n";
    }
    for (const auto& [memory, cells] : section.memories) {
      const auto words = section.wordMemories.find(memory);
      const bool isWords = words != section.wordMemories.end() && words->second;
      text += name + " memory " + std::to_string(memory) + (isWords ? " w " : " b ") + HexCells(cells, isWords) + "\n";
    }
  }
  return text;
}

std::optional<ControllerState> ControllerState::Parse(const std::string& text, std::string& error) {
  std::istringstream in(text);
  std::string line;
  ControllerState state;
  if (!std::getline(in, line) || line.rfind(std::string(kMagic) + " ", 0) != 0) {
    error = "not a state file of the emulator";
    return std::nullopt;
  }
  state.family = line.substr(std::strlen(kMagic) + 1);
  int lineNumber = 1;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string section, kind, numberText, value, extra;
    fields >> section >> kind >> numberText >> value;
    int number = 0;
    bool good = ReadNumber(numberText, number);
    ControllerState::Section& target = state.sections[section];
    if (good && kind == "block") {
      std::vector<std::uint16_t> cells;
      good = ReadCells(value, 2, cells);
      if (good) target.blocks[number] = std::vector<std::uint8_t>(cells.begin(), cells.end());
    } else if (good && kind == "param") {
      std::vector<std::uint16_t> cells;
      good = value.size() == 8 && ReadCells(value, 4, cells);
      if (good) target.parameters[number] = static_cast<std::uint32_t>(cells[0]) << 16 | cells[1];
    } else if (good && kind == "memory" && (value == "b" || value == "w")) {
      fields >> extra;
      std::vector<std::uint16_t> cells;
      good = ReadCells(extra, value == "w" ? 4 : 2, cells);
      if (good) {
        target.memories[number] = std::move(cells);
        target.wordMemories[number] = value == "w";
      }
    } else {
      good = false;
    }
    if (!good) {
      error = "line " + std::to_string(lineNumber) + " is not a block, parameter or memory of a controller";
      return std::nullopt;
    }
  }
  return state;
}

void SaveStores(const ParameterStore& parameters, const MemoryStore* memories, ControllerState::Section& section) {
  for (const int number : parameters.BlockNumbers()) section.blocks[number] = *parameters.Block(number);
  for (const int number : parameters.ParameterNumbers()) section.parameters[number] = *parameters.Value(number);
  if (memories == nullptr) return;
  for (const int memory : memories->StoredMemories()) {
    section.memories[memory] = memories->StoredCells(memory);
    section.wordMemories[memory] = memories->Words(memory);
  }
}

void LoadStores(const ControllerState::Section& section, ParameterStore& parameters, MemoryStore* memories) {
  for (const auto& [number, bytes] : section.blocks) parameters.SetBlock(number, bytes);
  for (const auto& [number, value] : section.parameters) parameters.LoadValue(number, value);
  if (memories == nullptr) return;
  for (const auto& [memory, cells] : section.memories) memories->LoadCells(memory, cells);
}

std::optional<ControllerState> ReadStateFile(const std::string& path, const std::string& family, std::string& error) {
  error.clear();
  std::ifstream probe(path);
  if (!probe && errno == ENOENT) return std::nullopt;
  const std::optional<std::string> text = kx7::ReadParamFile(path, kMostStateBytes + 1);
  if (!text) {
    error = "cannot be read";
    return std::nullopt;
  }
  if (text->size() > kMostStateBytes) {
    error = "is too large to be a state file";
    return std::nullopt;
  }
  std::optional<ControllerState> state = ControllerState::Parse(*text, error);
  if (!state) return std::nullopt;
  if (state->family != family) {
    error = "holds a \"" + state->family + "\" controller, not a \"" + family + "\" one";
    return std::nullopt;
  }
  return state;
}

bool WriteStateFile(const std::string& path, const ControllerState& state, std::string& error) {
  if (kx7::WriteParamFile(path, state.Text())) return true;
  error = "cannot be written";
  return false;
}

}  // namespace kx7::emu
