// image info, image convert: firmware image files read and written as the loaders read and write
// them, with no controller.
#include <CLI/CLI.hpp>
#include <openssl/evp.h>
#include <strings.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "cli_app.h"
#include "cli_output.h"
#include "command_groups.h"
#include "controller_session.h"
#include "firmware/birch2_image_loader.h"
#include "frame/frame_constants.h"
#include "firmware/image_profile.h"
#include "firmware/intel_hex_writer.h"
#include "firmware/out_file_converter.h"
#include "platform/file_bytes.h"

namespace kx7::cli {
namespace {

using firmware::ImageError;
using firmware::ImageProfile;
using firmware::LoadedImage;

// The largest buffer a command line may ask for.
constexpr std::size_t kMostBufferBytes = 16u << 20;
constexpr std::int64_t kMostOffset = 0xFFFFFFFFLL;
constexpr const char* kCaption = "KX7SDU";

// How a command reads its image file: the profile and the reader parameters the options override.
struct ImageReading {
  std::string path;
  std::optional<ImageProfile> profile;
  std::optional<std::size_t> size;
  std::optional<std::int64_t> offset;
  bool word = false;
  std::optional<std::size_t> expected;

  ImageProfile Profile() const { return profile.value_or(firmware::DefaultProfileFor(path)); }
  firmware::ReaderParameters Parameters() const {
    firmware::ReaderParameters parameters = firmware::DefaultParameters(Profile());
    if (size) parameters.size = *size;
    if (offset) parameters.addressOffset = *offset;
    if (word) parameters.wordAddressing = true;
    if (expected) parameters.expectedCount = *expected;
    return parameters;
  }
  // The options the profile's reader does not take; empty when all fit.
  std::string Unfit() const {
    const ImageProfile chosen = Profile();
    if (chosen == ImageProfile::kBirch2 && (size || offset || word || expected))
      return "the birch2 profile reads 32,768 bytes by its own rules: --size, --offset, --word and --expect are not for it";
    if (firmware::IsRawProfile(chosen) && (offset || word))
      return std::string("the ") + firmware::ProfileName(chosen) + " profile reads raw bytes: --offset and --word are not for it";
    return "";
  }
};

std::optional<std::int64_t> ReadOffset(const std::string& text) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::optional<std::uint64_t> magnitude = ReadUnsigned(negative ? text.substr(1) : text, kMostOffset);
  if (!magnitude) return std::nullopt;
  return negative ? -static_cast<std::int64_t>(*magnitude) : static_cast<std::int64_t>(*magnitude);
}

std::optional<std::size_t> ReadSize(const std::string& text) {
  const std::optional<std::uint64_t> size = ReadUnsigned(text, kMostBufferBytes);
  if (!size || *size == 0) return std::nullopt;
  return static_cast<std::size_t>(*size);
}

void AddReadingOptions(CLI::App& command, const std::shared_ptr<ImageReading>& reading) {
  AddValue(
      command, "--profile", "P",
      "how the file is loaded: hex, cedar-gen2, birch2, bin, cedar-gen3 or\n"
      "cedar-eeprom (default bin for a name ending in .bin, else hex)",
      [reading](const std::string& value) {
        reading->profile = firmware::ProfileByName(value);
        return reading->profile.has_value();
      },
      "not hex, cedar-gen2, birch2, bin, cedar-gen3 or cedar-eeprom");
  AddValue(
      command, "--size", "N", "the image buffer in bytes (a raw profile: the largest file)",
      [reading](const std::string& value) {
        reading->size = ReadSize(value);
        return reading->size.has_value();
      },
      "not a size from 1 to 16777216, decimal or 0x-prefixed");
  AddValue(
      command, "--offset", "N", "added to every record address (--offset=-0x8000 for a negative one)",
      [reading](const std::string& value) {
        reading->offset = ReadOffset(value);
        return reading->offset.has_value();
      },
      "not an offset, decimal or 0x-prefixed, with or without '-'");
  command.add_flag("--word", reading->word, "record addresses count words: the byte index is twice the address");
  AddValue(
      command, "--expect", "N", "exactly this many data bytes, else \"File Size Error\"",
      [reading](const std::string& value) {
        reading->expected = ReadSize(value);
        return reading->expected.has_value();
      },
      "not a count from 1 to 16777216");
}

std::string Sha256(std::span<const std::uint8_t> bytes) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1) return "";
  std::string hex;
  char pair[4];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
  return text;
}

// Loads the file as the reading says, running a .out file through the converter first.
LoadedImage Load(const ImageReading& reading, std::string& convertFailure) {
  std::string path = reading.path;
  if (firmware::IsOutFile(path)) {
    const firmware::OutFileConverter converter(firmware::ProgramFolder(), nullptr);
    const firmware::OutConversion conversion = converter.Convert(path);
    if (!conversion.hexPath) {
      convertFailure = conversion.message;
      LoadedImage failed(reading.Profile(), 0);
      failed.load.Fail(ImageError::kOpen, nullptr);
      return failed;
    }
    path = *conversion.hexPath;
  }
  return firmware::LoadImageFile(path, reading.Profile(), reading.Parameters());
}

int RejectionExit(const LoadedImage& loaded) {
  return loaded.load.error == ImageError::kOpen ? kExitCannotOpen : kExitRejected;
}

void ShowMessageBox(CliApp& cli, const char* message) {
  if (message != nullptr) cli.Err() << kCaption << ": " << message << "\n";
}

Json NumberOrNull(const std::optional<std::size_t>& value) { return value ? Json(*value) : Json(nullptr); }

Json InfoJson(const LoadedImage& loaded) {
  Json object = Json::object();
  object["profile"] = firmware::ProfileName(loaded.profile);
  const char* format = firmware::FormatName(loaded.load.format);
  object["format"] = format != nullptr ? Json(format) : Json(nullptr);
  object["ok"] = loaded.Loaded();
  if (!loaded.Loaded()) {
    object["error"] = firmware::ErrorName(loaded.load.error);
    object["message"] = loaded.load.message != nullptr ? Json(loaded.load.message) : Json(nullptr);
    return object;
  }
  const std::span<const std::uint8_t> bytes = loaded.Bytes();
  object["count"] = loaded.load.count;
  object["start"] = NumberOrNull(loaded.load.start);
  object["end"] = NumberOrNull(loaded.load.end);
  object["length"] = loaded.length;
  object["data_sum"] = static_cast<std::uint16_t>(loaded.load.dataSum);
  object["image_sum"] = firmware::ImageSum(bytes);
  object["sha256"] = Sha256(bytes);
  switch (loaded.profile) {
    case ImageProfile::kBirch2:
      object["summary"] = loaded.summary.text;
      object["interface"] = loaded.summary.interface != 0 ? Json(std::string(1, loaded.summary.interface)) : Json(nullptr);
      object["target"] = std::string(1, loaded.summary.target);
      break;
    case ImageProfile::kBin:
      object["display"] = loaded.display;
      break;
    case ImageProfile::kCedarEeprom: {
      std::vector<std::uint8_t> filled(bytes.begin(), bytes.end());
      filled.resize(firmware::kCedarFileBytes, firmware::kFill);
      object["filled_sum"] = loaded.cedar.filledSum;
      object["filled_sha256"] = Sha256(filled);
      object["fill_offered"] = loaded.cedar.fillOffered;
      object["display"] = loaded.display;
      break;
    }
    case ImageProfile::kHex:
    case ImageProfile::kCedarGen2:
    case ImageProfile::kCedarGen3:
      break;
  }
  return object;
}

// The same facts as lines, "key: value", numbers decimal and sums as the dialogs show them.
std::string InfoText(const Json& info) {
  std::string text;
  for (const auto& [key, value] : info.items()) {
    std::string shown;
    if (value.is_null()) shown = "-";
    else if (value.is_boolean()) shown = value.get<bool>() ? "yes" : "no";
    else if (value.is_string()) shown = value.get<std::string>();
    else if (key.find("sum") != std::string::npos && key.find("sha") == std::string::npos) shown = Hex4(value.get<unsigned>());
    else shown = value.dump();
    // Multi-line texts (the summary, the displays) follow their key on lines of their own.
    if (shown.find('\n') != std::string::npos) {
      text += key + ":\n" + shown;
      if (shown.back() != '\n') text += "\n";
    } else {
      text += key + ": " + shown + "\n";
    }
  }
  return text;
}

int ImageInfo(CliApp& cli, const ImageReading& reading) {
  std::string convertFailure;
  const LoadedImage loaded = Load(reading, convertFailure);
  const Json info = InfoJson(loaded);
  if (cli.Globals().json)
    PrintJson(cli.Out(), info);
  else if (loaded.Loaded())
    cli.Out() << InfoText(info);
  cli.Out().flush();
  if (loaded.Loaded()) return kExitDone;
  ShowMessageBox(cli, convertFailure.empty() ? loaded.load.message : convertFailure.c_str());
  if (!cli.Globals().json && loaded.load.message == nullptr && convertFailure.empty())
    cli.Err() << "kx7cli: " << reading.path << ": not loaded (" << firmware::ErrorName(loaded.load.error) << ")\n";
  return RejectionExit(loaded);
}

struct Conversion {
  std::string out;
  std::optional<bool> toHex;     // --to
  std::optional<std::size_t> fill;
};

int ImageConvert(CliApp& cli, const ImageReading& reading, const Conversion& conversion) {
  std::string convertFailure;
  const LoadedImage loaded = Load(reading, convertFailure);
  if (!loaded.Loaded()) {
    ShowMessageBox(cli, convertFailure.empty() ? loaded.load.message : convertFailure.c_str());
    if (loaded.load.message == nullptr && convertFailure.empty())
      cli.Err() << "kx7cli: " << reading.path << ": not loaded (" << firmware::ErrorName(loaded.load.error) << ")\n";
    return RejectionExit(loaded);
  }
  std::error_code error;
  const bool folder = std::filesystem::is_directory(conversion.out, error);
  const bool endsHex = conversion.out.size() >= 4 &&
                       strcasecmp(conversion.out.c_str() + conversion.out.size() - 4, ".hex") == 0;
  const bool hex = conversion.toHex.value_or(endsHex || folder);
  std::vector<std::uint8_t> bytes(loaded.Bytes().begin(), loaded.Bytes().end());
  std::string written;
  if (hex) {
    if (bytes.size() > firmware::kBirch2ImageBytes) {
      cli.Err() << "kx7cli: the image (" << bytes.size() << " bytes) is longer than the 32,768 bytes of an Intel hex image\n";
      return kExitRejected;
    }
    bytes.resize(firmware::kBirch2ImageBytes, firmware::kFill);
    written = firmware::WriteIntelHex32K(bytes);
  } else {
    if (conversion.fill && bytes.size() > *conversion.fill) {
      ShowMessageBox(cli, firmware::text::kFileSizeError);
      return kExitRejected;
    }
    if (conversion.fill) bytes.resize(*conversion.fill, firmware::kFill);
    written.assign(bytes.begin(), bytes.end());
  }
  std::string path = conversion.out;
  if (folder) {
    const std::uint16_t sum = firmware::ImageSum(bytes);
    path = (std::filesystem::path(conversion.out) /
            firmware::SumName(hex ? firmware::kHexNameFormat : firmware::kBinNameFormat, sum))
               .string();
  }
  if (!WriteFileBytes(path, written)) {
    ShowMessageBox(cli, firmware::text::kFailedToOpenFile);
    return kExitCannotOpen;
  }
  cli.Out() << path << "\n";
  cli.Out().flush();
  return kExitDone;
}

// The controller's image into OUT: a Birch-family controller's 32 K EEPROM image as Intel hex.
int ImageRead(CliApp& cli, ControllerSession& session, const std::string& out) {
  if (!session.Connect(cli.Globals().link, true) || session.Frame().LinkKind == link::kClosed) return kExitFailed;
  firmware::Birch2ImageLoader loader(session.Frame(), session.Protocol());
  if (!loader.CanCopy()) {
    cli.Err() << "kx7cli: reading this controller's image is not available in this kx7cli (Birch family only)\n";
    return kExitFailed;
  }
  if (!loader.CopyControllerToFile(out)) return loader.ControllerImage().empty() ? kExitFailed : kExitCannotOpen;
  cli.Out() << out << "\n";
  return kExitDone;
}

}  // namespace

void AddFirmwareCommands(CliApp& cli) {
  CLI::App& image = cli.AddCommand("image", "firmware image files: info, convert, read (reads the controller)", kOfflineGroup);
  image.footer(
      "image info FILE: load FILE as the loaders do and say what it holds; image convert IN OUT: load\n"
      "IN and write it as the 32 K Intel hex image or as raw bytes. Numbers are decimal or\n"
      "0x-prefixed. Exit codes: 0 loaded or written, 4 cannot open IN or write OUT, 5 IN rejected.");

  auto infoReading = std::make_shared<ImageReading>();
  CLI::App& info = cli.AddCommand("info", "load an image file and say what it holds", kOfflineGroup, &image);
  AddValue(
      info, "file", "FILE", "the image file (a name ending in OUT goes through the converter first)",
      [infoReading](const std::string& value) {
        infoReading->path = value;
        return !value.empty();
      },
      "no file name");
  AddReadingOptions(info, infoReading);
  cli.AddJsonFlag(info, "one object: profile, format, ok, count, start, end, length, data_sum,\n"
                        "image_sum, sha256 and the profile's own keys; or profile, format, ok, error,\n"
                        "message when the file is refused");
  info.footer(
      "The lines without --json give the same facts, \"key: value\", sums as four hexadecimal digits.\n"
      "A refused file: the program's message on stderr as CAPTION: TEXT, exit code 5 (4: cannot open).");
  cli.OnRun(info, [&cli, infoReading] {
    if (const std::string unfit = infoReading->Unfit(); !unfit.empty()) return cli.UsageError(unfit);
    return ImageInfo(cli, *infoReading);
  });

  auto convertReading = std::make_shared<ImageReading>();
  auto conversion = std::make_shared<Conversion>();
  CLI::App& convert = cli.AddCommand("convert", "load an image file and write it as hex or raw bytes", kOfflineGroup, &image);
  AddValue(
      convert, "in", "IN", "the image file",
      [convertReading](const std::string& value) {
        convertReading->path = value;
        return !value.empty();
      },
      "no file name");
  AddValue(
      convert, "out", "OUT", "the file to write, or a folder: the file is then named by the image's sum",
      [conversion](const std::string& value) {
        conversion->out = value;
        return !value.empty();
      },
      "no file name");
  AddValue(
      convert, "--to", "hex|bin",
      "the 32 K Intel hex image, or raw bytes (default: hex for an OUT ending\n"
      "in .hex or a folder, else bin)",
      [conversion](const std::string& value) {
        if (value != "hex" && value != "bin") return false;
        conversion->toHex = value == "hex";
        return true;
      },
      "not hex or bin");
  AddValue(
      convert, "--fill", "N", "raw bytes padded with 0xFF to N bytes (a longer image: \"File Size Error\")",
      [conversion](const std::string& value) {
        conversion->fill = ReadSize(value);
        return conversion->fill.has_value();
      },
      "not a size from 1 to 16777216");
  AddReadingOptions(convert, convertReading);
  cli.OnRun(convert, [&cli, convertReading, conversion] {
    if (const std::string unfit = convertReading->Unfit(); !unfit.empty()) return cli.UsageError(unfit);
    if (conversion->fill && conversion->toHex.value_or(false))
      return cli.UsageError("--fill pads raw bytes; the hex image is always 32,768 bytes");
    return ImageConvert(cli, *convertReading, *conversion);
  });

  auto readOut = std::make_shared<std::string>();
  CLI::App& read = cli.AddCommand("read", "copy the controller's image into a file (Birch2: the 32 K Intel hex)",
                                  kControllerGroup, &image);
  AddValue(
      read, "out", "OUT", "the file written",
      [readOut](const std::string& value) {
        *readOut = value;
        return !value.empty();
      },
      "no file name");
  read.footer("Exit codes: 0 written (the path is printed), 1 no controller or the read failed, 4 OUT cannot\nbe written.");
  cli.OnRun(read, [&cli, readOut] {
    return RunWithController(cli, [&cli, readOut](ControllerSession& session) { return ImageRead(cli, session, *readOut); });
  });
}

}  // namespace kx7::cli
