// Image files from outside: every reader and profile, and the Birch2 summary over whatever an image
// holds. None may crash or read outside the image; a file either loads with its data inside the
// buffer and a length that fits, or is refused with a reason.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "firmware/birch2_image_summary.h"
#include "firmware/image_profile.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kx7::firmware;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (ImageProfile profile : {ImageProfile::kHex, ImageProfile::kCedarGen2, ImageProfile::kBirch2, ImageProfile::kBin,
                               ImageProfile::kCedarGen3, ImageProfile::kCedarEeprom}) {
    ReaderParameters parameters = DefaultParameters(profile);
    // Small buffers reach the edges of the image with small inputs.
    if (profile == ImageProfile::kHex) parameters.size = 256;
    const LoadedImage loaded = LoadImage(text, false, profile, parameters);
    if (loaded.Loaded()) {
      Check(loaded.length <= loaded.image.Size());
      Check(!loaded.load.end || *loaded.load.end < loaded.image.Size());
      Check(profile == ImageProfile::kCedarEeprom || loaded.load.count > 0);
    } else {
      Check(loaded.load.error != ImageError::kNone);
    }
  }
  // The summary reads any 32,768 bytes (short inputs are read as filled with 0xFF).
  const Birch2Summary summary = SummarizeBirch2Image({data, size}, ActualAsic::kUnknown);
  Check(summary.target == 'B' || summary.target == 'C' || summary.target == '?');
  return 0;
}
