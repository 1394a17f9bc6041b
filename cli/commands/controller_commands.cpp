// ports, find, identify, send, read-block and write-block: the serial ports, the search and the
// identification, and the command set's one-line exchange and blocks.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>

#include "cli_app.h"
#include "command_groups.h"
#include "controller/controller_types.h"
#include "controller_session.h"
#include "platform/port_directory.h"
#include "proto/command_channel.h"

namespace kx7::cli {
namespace {

// A one-line reply ends at its CR long before this.
constexpr std::size_t kSendReplyLength = 256;

// The blocks the command set reads and writes: "GP" and "SP" with the character '0' + n.
constexpr int kFirstBlock = 1;
constexpr int kLastBlock = 10;
// Block 5 is the four-byte serial number.
constexpr int kSerialNumberBlock = 5;
constexpr std::size_t kSerialNumberBytes = 4;

int ListPorts(CliApp& cli) {
  PortDirectory ports;
  if (const int code = cli.PreparePorts(ports); code != kExitDone) return code;
  for (const PortEntry& entry : ports.Ports()) {
    cli.Out() << "COM" << entry.number << '\t' << entry.path << (entry.bluetooth ? "\tBluetooth" : "") << '\n';
  }
  cli.Out().flush();
  return kExitDone;
}

int Find(CliApp& cli, ControllerSession& session) {
  const bool found = session.Find();
  session.PrintReport(cli.Globals().json, cli.Out());
  return found ? kExitDone : kExitFailed;
}

int Identify(CliApp& cli, ControllerSession& session) {
  const std::optional<LinkRequest>& link = cli.Globals().link;
  // Without --link the search identifies what it finds.
  const bool done = link ? session.OpenLink(*link) && session.Identify() : session.Find();
  session.PrintReport(cli.Globals().json, cli.Out());
  if (!done) return kExitFailed;
  if (session.Frame().ControllerType == type::kGeneric) {
    cli.Err() << "kx7cli: no controller type identified\n";
    return kExitFailed;
  }
  return kExitDone;
}

int Send(CliApp& cli, ControllerSession& session, const std::string& text) {
  if (!session.Connect(cli.Globals().link, false)) return kExitFailed;
  CommandChannel& channel = session.Protocol().channel;
  channel.SendCommand(text);
  const ReplyBytes reply = channel.Transact(kSendReplyLength, 0);
  // A time-out leaves at most the one byte that ended the wait.
  const bool answered = reply.size() > 1;
  if (cli.Globals().json) {
    PrintJson(cli.Out(), ReplyJson(reply));
  } else if (answered) {
    cli.Out() << ShowableReply(reply) << "\n";
    cli.Out().flush();
  }
  if (!answered) {
    cli.Err() << "kx7cli: no reply to \"" << ShowableText(text) << "\"\n";
    return kExitFailed;
  }
  return kExitDone;
}

int ReadBlock(CliApp& cli, ControllerSession& session, int block) {
  // Over --link the controller is identified first: the block rules depend on its type.
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  CommandChannel& channel = session.Protocol().channel;
  std::vector<std::uint8_t> bytes;
  if (!channel.ReadBlock(block, bytes)) return kExitFailed;
  const std::string hex = HexPairs(bytes);
  if (cli.Globals().json) {
    const char status = block == kSerialNumberBlock ? 0 : channel.LastBlockStatus();
    PrintJson(cli.Out(), BlockJson(block, status, hex));
    return kExitDone;
  }
  cli.Out() << hex << "\n";
  cli.Out().flush();
  return kExitDone;
}

int WriteBlock(CliApp& cli, ControllerSession& session, int block, std::vector<std::uint8_t> bytes) {
  if (!session.Connect(cli.Globals().link, true)) return kExitFailed;
  return session.Protocol().channel.WriteBlock(block, bytes) ? kExitDone : kExitFailed;
}

CLI::Option* AddBlockNumber(CLI::App& command, int& block) {
  return AddValue(
      command, "block", "N", "the block, 1 to 10",
      [&block](const std::string& text) {
        const std::optional<int> number = ReadDecimal(text, kFirstBlock, kLastBlock);
        if (number) block = *number;
        return number.has_value();
      },
      "not a block number from 1 to 10");
}

}  // namespace

void AddControllerCommands(CliApp& cli) {
  CLI::App& ports = cli.AddCommand("ports", "the serial ports as the Port menu lists them", kOfflineGroup);
  ports.footer("A line a port: COM number, device, and \"Bluetooth\" for Bluetooth ports, tab-separated.");
  cli.OnRun(ports, [&cli] { return ListPorts(cli); });

  CLI::App& find = cli.AddCommand("find", "Find Controller as the Port menu runs it, then the report", kControllerGroup);
  cli.AddJsonFlag(find, "print the report as one JSON object");
  find.footer(std::string("The driver and HID steps, then every serial port at each of the 57 settings in turn until\n"
                          "a controller answers, then its identification. Exit code 0 found, 1 not found.\n\n") +
              kReportHelp);
  cli.OnRun(find, [&cli] {
    if (cli.Globals().link)
      return cli.UsageError("find searches for the controller; --link names the port for the other commands");
    return RunWithController(cli, [&cli](ControllerSession& session) { return Find(cli, session); });
  });

  CLI::App& identify =
      cli.AddCommand("identify", "identify the controller on --link (without: as find), then the report", kControllerGroup);
  cli.AddJsonFlag(identify, "print the report as one JSON object");
  identify.footer(std::string("Exit code 0 identified, 1 no controller type identified.\n\n") + kReportHelp);
  cli.OnRun(identify, [&cli] {
    return RunWithController(cli, [&cli](ControllerSession& session) { return Identify(cli, session); });
  });

  auto text = std::make_shared<std::string>();
  CLI::App& send = cli.AddCommand("send", "send SOH, TEXT, CR and print the one-line reply", kControllerGroup);
  send.footer("The reply is printed with SOH left out, the closing CR removed, and every byte outside\n"
              "printable ASCII as <XX> (two hexadecimal digits). Exit code 0 a reply came, 1 none.");
  AddValue(
      send, "text", "TEXT", "the command, as it is (\"-OI\" too)",
      [text](const std::string& value) {
        *text = value;
        return !value.empty();
      },
      "the command text is empty");
  cli.AddJsonFlag(send, "print {\"Reply\":\"...\",\"Bytes\":\"HEX\"}: the reply as shown and every byte of it");
  cli.OnRun(send, [&cli, text] {
    return RunWithController(cli, [&cli, text](ControllerSession& session) { return Send(cli, session, *text); });
  });

  auto readBlock = std::make_shared<int>(0);
  CLI::App& read =
      cli.AddCommand("read-block", "print parameter block N (1 to 10) as upper-case hex pairs", kControllerGroup);
  read.footer("Over --link the controller is identified first: the block rules depend on its type.\n"
              "Exit code 0, 1 on \"Block Read Failed\".");
  AddBlockNumber(read, *readBlock);
  cli.AddJsonFlag(read, "print {\"Block\":N,\"Status\":\"A\",\"Hex\":\"HEX\"} (no status letter for block 5)");
  cli.OnRun(read, [&cli, readBlock] {
    return RunWithController(cli,
                             [&cli, readBlock](ControllerSession& session) { return ReadBlock(cli, session, *readBlock); });
  });

  struct BlockWrite {
    int block = 0;
    std::vector<std::uint8_t> bytes;
  };
  auto blockWrite = std::make_shared<BlockWrite>();
  CLI::App& write = cli.AddCommand("write-block", "write parameter block N from hex pairs", kControllerGroup);
  write.footer("Either case; block 5 takes 4 bytes. Block1 of a Cedar or Rowan controller gets its\n"
               "checksum stored in its last two bytes. Over --link the controller is identified first.\n"
               "Exit code 0, 1 on \"Write Failed\".");
  AddBlockNumber(write, blockWrite->block);
  AddValue(
      write, "bytes", "HEX", "the block's bytes as pairs of hexadecimal digits",
      [blockWrite](const std::string& value) {
        const std::optional<std::vector<std::uint8_t>> bytes = ParseHexPairs(value);
        if (!bytes || bytes->empty()) return false;
        blockWrite->bytes = *bytes;
        return true;
      },
      "not pairs of hexadecimal digits");
  cli.OnRun(write, [&cli, blockWrite] {
    if (blockWrite->block == kSerialNumberBlock && blockWrite->bytes.size() != kSerialNumberBytes)
      return cli.UsageError("block 5 holds exactly 4 bytes (8 hexadecimal digits)");
    return RunWithController(cli, [&cli, blockWrite](ControllerSession& session) {
      return WriteBlock(cli, session, blockWrite->block, blockWrite->bytes);
    });
  });
}

}  // namespace kx7::cli
