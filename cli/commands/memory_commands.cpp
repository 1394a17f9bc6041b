// peek and poke: the controller's memories read and written by address, as the memory exchange of
// the Controller Info window's "More..." and the Block7 sheet does it.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "cli_app.h"
#include "command_groups.h"
#include "controller_session.h"
#include "proto/memory_exchange.h"

namespace kx7::cli {
namespace {

constexpr int kLastMemory = 13;
// The most values one peek or poke moves.
constexpr std::size_t kMostValues = 65536;
constexpr std::size_t kValuesPerLine = 16;

struct MemoryAccess {
  int memory = 0;
  std::uint32_t address = 0;
  std::size_t count = 0;  // peek
  std::string values;     // poke: as given; its grouping depends on --words
  bool words = false;
};

// Values as upper-case hexadecimal, two digits a byte or four a word, blanks between, 16 a line.
std::string MemoryLines(const std::vector<std::uint16_t>& values, bool words) {
  std::string text;
  char digits[8];
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::snprintf(digits, sizeof digits, words ? "%04X" : "%02X", words ? values[i] : (values[i] & 0xFF));
    text += digits;
    text += (i + 1) % kValuesPerLine == 0 || i + 1 == values.size() ? '\n' : ' ';
  }
  return text;
}

int Peek(CliApp& cli, ControllerSession& session, const MemoryAccess& access) {
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  MemoryExchange& memory = *session.Protocol().memory;
  const bool read = access.words ? memory.ReadMemoryWords(access.memory, access.address, access.count, nullptr)
                                 : memory.ReadMemory(access.memory, access.address, access.count, nullptr);
  if (!read) {
    cli.Err() << "kx7cli: the memory read failed\n";
    return kExitFailed;
  }
  cli.Out() << MemoryLines(memory.Values(), access.words);
  cli.Out().flush();
  return kExitDone;
}

int Poke(CliApp& cli, ControllerSession& session, const MemoryAccess& access, const std::vector<std::uint16_t>& values) {
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  MemoryExchange& memory = *session.Protocol().memory;
  bool written = false;
  if (access.words) {
    written = memory.WriteMemoryWords(access.memory, access.address, values.size(), values.data());
  } else {
    std::vector<std::uint8_t> bytes(values.begin(), values.end());
    written = memory.WriteMemory(access.memory, access.address, bytes.size(), bytes.data());
  }
  if (!written) {
    cli.Err() << "kx7cli: the memory write failed\n";
    return kExitFailed;
  }
  return kExitDone;
}

// MEMORY ADDRESS and --words, which peek and poke share.
std::shared_ptr<MemoryAccess> AddMemoryAndAddress(CLI::App& command) {
  auto access = std::make_shared<MemoryAccess>();
  AddValue(
      command, "memory", "MEMORY", "the memory, 0 to 13",
      [access](const std::string& text) {
        const std::optional<std::uint64_t> memory = ReadUnsigned(text, kLastMemory);
        if (memory) access->memory = static_cast<int>(*memory);
        return memory.has_value();
      },
      "not a memory number from 0 to 13");
  AddValue(
      command, "address", "ADDRESS", "the first address, decimal or 0x-prefixed",
      [access](const std::string& text) {
        const std::optional<std::uint64_t> address = ReadUnsigned(text, 0xFFFFFFFFu);
        if (address) access->address = static_cast<std::uint32_t>(*address);
        return address.has_value();
      },
      "not a decimal or 0x-prefixed address");
  return access;
}

}  // namespace

void AddMemoryCommands(CliApp& cli) {
  CLI::App& peek =
      cli.AddCommand("peek", "print COUNT values of memory MEMORY from ADDRESS in hexadecimal", kControllerGroup);
  peek.footer("The values are printed as upper-case hexadecimal, two digits a byte (four a word with\n"
              "--words), 16 a line. Exit code 0, 1 the read failed.");
  const std::shared_ptr<MemoryAccess> read = AddMemoryAndAddress(peek);
  AddValue(
      peek, "count", "COUNT", "how many values, 1 to 65536",
      [read](const std::string& text) {
        const std::optional<std::uint64_t> count = ReadUnsigned(text, kMostValues);
        if (count && *count > 0) read->count = static_cast<std::size_t>(*count);
        return count && *count > 0;
      },
      "not a count from 1 to 65536");
  peek.add_flag("--words", read->words, "read words instead of bytes");
  cli.OnRun(peek, [&cli, read] {
    return RunWithController(cli, [&cli, read](ControllerSession& session) { return Peek(cli, session, *read); });
  });

  CLI::App& poke = cli.AddCommand("poke", "write the values HEX to memory MEMORY from ADDRESS", kControllerGroup);
  poke.footer("HEX: pairs of hexadecimal digits, or groups of four with --words. Exit code 0, 1 the\n"
              "write failed.");
  const std::shared_ptr<MemoryAccess> write = AddMemoryAndAddress(poke);
  AddValue(
      poke, "values", "HEX", "the values in hexadecimal (pairs, or groups of four with --words)",
      [write](const std::string& text) {
        write->values = text;
        return true;
      },
      "");
  poke.add_flag("--words", write->words, "write words instead of bytes");
  cli.OnRun(poke, [&cli, write] {
    // The grouping of the digits is known once --words has been read, wherever it stood.
    const std::optional<std::vector<std::uint16_t>> values =
        ReadHexGroups(write->values, write->words ? 4 : 2, kMostValues);
    if (!values) {
      return cli.UsageError("values \"" + write->values + "\": not " + (write->words ? "groups of four" : "pairs of") +
                            " hexadecimal digits");
    }
    return RunWithController(
        cli, [&cli, write, &values](ControllerSession& session) { return Poke(cli, session, *write, *values); });
  });
}

}  // namespace kx7::cli
