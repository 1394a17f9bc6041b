#include "firmware/image_profile.h"

#include <strings.h>

#include <array>

#include "firmware/birch2_image_reader.h"
#include "firmware/hex_image_reader.h"
#include "platform/file_bytes.h"

namespace kx7::firmware {
namespace {

struct ProfileEntry {
  ImageProfile profile;
  const char* name;
  ReaderParameters parameters;
};

constexpr std::array<ProfileEntry, 6> kProfiles = {{
    {ImageProfile::kHex, "hex", {kCedarImageBytes, 0, false, 0}},
    {ImageProfile::kCedarGen2, "cedar-gen2", {kCedarGen2ImageBytes, kCedarGen2AddressOffset, true, 0}},
    {ImageProfile::kBirch2, "birch2", {kBirch2ImageBytes, 0, false, 0}},
    {ImageProfile::kBin, "bin", {kRawImageBytes, 0, false, 0}},
    {ImageProfile::kCedarGen3, "cedar-gen3", {kCedarGen3ImageBytes, 0, false, 0}},
    {ImageProfile::kCedarEeprom, "cedar-eeprom", {kCedarFileBytes, 0, false, 0}},
}};

const ProfileEntry& EntryOf(ImageProfile profile) {
  for (const ProfileEntry& entry : kProfiles)
    if (entry.profile == profile) return entry;
  return kProfiles.front();
}

}  // namespace

std::optional<ImageProfile> ProfileByName(std::string_view name) {
  for (const ProfileEntry& entry : kProfiles)
    if (name == entry.name) return entry.profile;
  return std::nullopt;
}

const char* ProfileName(ImageProfile profile) { return EntryOf(profile).name; }

ImageProfile DefaultProfileFor(const std::string& path) {
  constexpr std::size_t kExtension = 4;
  const bool bin = path.size() >= kExtension && strcasecmp(path.c_str() + path.size() - kExtension, ".bin") == 0;
  return bin ? ImageProfile::kBin : ImageProfile::kHex;
}

bool IsRawProfile(ImageProfile profile) {
  return profile == ImageProfile::kBin || profile == ImageProfile::kCedarGen3 || profile == ImageProfile::kCedarEeprom;
}

ReaderParameters DefaultParameters(ImageProfile profile) { return EntryOf(profile).parameters; }

LoadedImage LoadImage(std::string_view contents, bool tooLarge, ImageProfile profile,
                      const ReaderParameters& parameters) {
  LoadedImage loaded(profile, profile == ImageProfile::kBirch2 ? kBirch2ImageBytes : parameters.size);
  ImageLoad& load = loaded.load;
  if (IsRawProfile(profile)) {
    // The Cedar EEPROM limit is the dialog's own check; the others are the buffers' sizes.
    const char* tooLargeText = profile == ImageProfile::kCedarEeprom ? text::kFileSizeError : nullptr;
    if (tooLarge) {
      loaded.image.Refill();
      load.format = ImageFormat::kBinary;
      load.Fail(ImageError::kSize, tooLargeText);
      return loaded;
    }
    load = ReadRawImage(contents, loaded.image, tooLargeText, profile != ImageProfile::kCedarEeprom);
    if (load.Loaded() && parameters.expectedCount != 0 && load.count != parameters.expectedCount)
      load.Fail(ImageError::kSize, text::kFileSizeError);
    if (!load.Loaded()) return loaded;
    loaded.length = load.count;
    if (profile == ImageProfile::kBin) {
      loaded.display = RawImageDisplay(load.count, static_cast<std::uint16_t>(load.dataSum));
    } else if (profile == ImageProfile::kCedarEeprom) {
      loaded.cedar = SumCedarEepromFile(loaded.Bytes());
      loaded.display = loaded.cedar.display;
    }
    return loaded;
  }
  if (tooLarge) {
    loaded.image.Refill();
    load.Fail(ImageError::kSize, nullptr);
    return loaded;
  }
  // The strict reader keeps its own rules; the general reader takes the parameters.
  load = profile == ImageProfile::kBirch2
             ? ReadBirch2ImageText(contents, loaded.image)
             : ReadHexImageText(contents, {parameters.addressOffset, parameters.wordAddressing, parameters.expectedCount},
                                loaded.image);
  if (!load.Loaded()) return loaded;
  if (profile == ImageProfile::kBirch2) {
    loaded.length = loaded.image.Size();
    loaded.summary = SummarizeBirch2Image(loaded.image.All());
  } else {
    loaded.length = load.Length();
  }
  return loaded;
}

LoadedImage LoadImageFile(const std::string& path, ImageProfile profile, const ReaderParameters& parameters) {
  const std::size_t most = IsRawProfile(profile) ? parameters.size : kMostHexTextBytes;
  const std::optional<FileBytes> file = ReadFileBytes(path, most);
  if (!file) {
    LoadedImage failed(profile, 0);
    failed.load.Fail(ImageError::kOpen, text::kFailedToOpenFile);
    return failed;
  }
  return LoadImage(file->bytes, file->tooLarge, profile, parameters);
}

}  // namespace kx7::firmware
