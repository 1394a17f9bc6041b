// decode: a byte stream from standard input through the terminal's decoders and line store, with
// no controller, no port and no settings file.
#include <CLI/CLI.hpp>

#include <memory>

#include "cli_app.h"
#include "command_groups.h"
#include "line_decoder.h"

namespace kx7::cli {
namespace {

constexpr const char* kDecodeHelp =
    "Standard input is read to its end; the decoders see a serial link, no poll mode and no log,\n"
    "and no time stamps are added. Every line ends in LF; a line still open at the end of the\n"
    "input is printed too; a line that would pass 148 characters is broken as the terminal breaks\n"
    "it. Undecoded bytes: 20 to 7E show as themselves and every other byte as <XX> (two\n"
    "upper-case hexadecimal digits), a CR ends the line and a LF right after a CR is left out.\n"
    "No controller, no port, no settings file. Exit code 0; 1 when standard input cannot be read.";

// "--wrap-on-cr 0|1".
CLI::Option* AddSwitch(CLI::App& command, const std::string& name, bool& target, const std::string& help) {
  return AddValue(
      command, name, "0|1", help,
      [&target](const std::string& value) {
        target = value == "1";
        return value == "0" || value == "1";
      },
      "not 0 or 1");
}

}  // namespace

void AddDecodeCommand(CliApp& cli) {
  auto request = std::make_shared<DecodeRequest>();
  CLI::App& decode =
      cli.AddCommand("decode", "print the lines the terminal shows for the bytes of standard input", kOfflineGroup);
  AddValue(
      decode, "--format", "ID",
      "the report format: 32816 or kxs (default), 32840 or z (KXS with Z),\n"
      "32817 or raw (11-bit signed), 32818 or hex (hex dump), 32819 or\n"
      "digitizer and 32822 or undecoded (both undecoded text), 32843 or\n"
      "signals (the four-channel stream or the corner signals, by --type)",
      [request](const std::string& value) {
        const std::optional<std::uint32_t> format = ReadReportFormat(value);
        if (format) request->format = *format;
        return format.has_value();
      },
      "not one of 32816 (kxs), 32840 (z), 32817 (raw), 32818 (hex), 32819 (digitizer), 32822 (undecoded), "
      "32843 (signals)");
  AddValue(
      decode, "--type", "ID",
      "the controller type the decoders go by: default 32861 (Birch), a plain\n"
      "KXS tablet controller; 32855 (Generic) shows KXS reports undecoded",
      [request](const std::string& value) {
        const std::optional<std::uint32_t> type = ReadControllerType(value);
        if (type) request->controllerType = *type;
        return type.has_value();
      },
      "not a controller type id such as 32861 (Birch)");
  AddValue(
      decode, "--features", "HEX",
      "its ControllerFeatures (default 0; with 1000 or 800 the KXS reports\n"
      "carry a contact number)",
      [request](const std::string& value) {
        const std::optional<std::uint32_t> features = ReadHexWord(value);
        if (features) request->features = *features;
        return features.has_value();
      },
      "not one to eight hexadecimal digits");
  decode.add_flag("--full-resolution", request->fullResolution,
                  "KXS and raw points in full 14-bit resolution (\"Full Birch2 XY\n"
                  "Resolution\")");
  decode.add_flag("--pass-through", request->passThrough,
                  "the link forwards a second processor: every byte undecoded (32843:\n"
                  "nothing shown)");
  AddSwitch(decode, "--wrap-on-cr", request->wrapOnCr,
            "\"Line wrap on CR (Hex Dump) or Point\", default 1; with 0 decoded reports\n"
            "follow each other on a line, a blank between them");
  AddSwitch(decode, "--wrap-on-bit7", request->wrapOnBit7, "\"Line wrap on Bit7 Set (Hex Dump)\", default 1");
  decode.footer(kDecodeHelp);
  cli.OnRun(decode, [&cli, request] {
    const std::string why = "reads its bytes from standard input and prints lines";
    if (const int refused = cli.RefuseControllerOptions("decode", why); refused != kExitDone) return refused;
    if (cli.Globals().json) return cli.UsageError("decode " + why + "; --json is for the commands that reach the controller");
    return RunDecode(*request, cli.In(), cli.Out(), cli.Err());
  });
}

}  // namespace kx7::cli
