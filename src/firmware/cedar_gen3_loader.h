// The "Cedar Gen3 Code Loader": a raw .bin code image (at most 131,072 bytes) into a Cedar GEN3 or
// GEN4 controller through the code loader of its second processor. "-DWO" (acknowledged) starts
// the download code, pass-through "L" reaches the loader, the 'F' handshake is answered with
// 0xC6, the image goes out in pieces of 56 bytes in the chosen protocol, and the loader answers
// "Done..." when it took the image whole; only then is the controller rebooted into it.
//
//   no protocol chosen  an 8-byte header {0, 0, 0, 0, length as 32-bit little-endian}, the data,
//                       the 16-bit sum of header and data (low byte first)
//   "Standard"          the data only
//   "RAM Utility"       the 8-bit sum of the data, then the data
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "firmware/image_profile.h"
#include "firmware/loader_dialog.h"

namespace kx7::firmware {

enum class Gen3Protocol { kHeader, kStandard, kRamUtility };

// The bytes the loader is sent for an image in a protocol.
std::vector<std::uint8_t> Gen3Stream(std::span<const std::uint8_t> image, Gen3Protocol protocol);

class CedarGen3Loader : public LoaderDialog {
 public:
  CedarGen3Loader(CMainFrame& frame, ControllerProtocol& protocol);

  const char* Kind() const override { return title::kCedarGen3; }

  // The "Protocol" list: nothing chosen is the header form.
  Gen3Protocol protocol = Gen3Protocol::kHeader;

  bool HasImage() const { return image_.has_value(); }
  const std::string& ImageText() const { return imageText_; }
  // "Start" is offered with an image on an open serial link while idle.
  bool CanStart() const;

  void Start() override;

 protected:
  bool LoadImageFile(const std::string& path) override;
  const char* FileFilter() const override { return filter::kBinary; }
  const char* FilePattern() const override { return filter::kBinaryPattern; }

 private:
  bool Handshake(std::uint8_t send, std::uint8_t expected);
  void Run();

  std::optional<LoadedImage> image_;
  std::string imageText_;
};

}  // namespace kx7::firmware
