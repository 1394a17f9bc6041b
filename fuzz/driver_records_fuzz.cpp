// Whatever a driver answers must be taken apart without reading past it: the KX7 list record and
// the two controller records, and the answers of the USB links' vendor requests.
//
// The first byte picks what the rest is: 0 a list record, 1 a controller record, 2 and up the
// answer to one of the translated requests (its input taken from the next bytes).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "link/driver/driver_requests.h"

using namespace kx7::driver;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Copies, so the sanitizers see exactly the bytes the driver gave.
  const std::vector<std::uint8_t> rest(data + 1, data + size);
  const std::span<const std::uint8_t> bytes(rest);

  switch (data[0]) {
    case 0: {
      const auto numbers = ParseListRecord(bytes);
      if (numbers && 4 + 2 * numbers->size() > bytes.size()) std::abort();
      break;
    }
    case 1: {
      const auto strings = ParseKx7Record(bytes);
      if (!strings) break;
      Kx7Controller controller;
      controller.SetRecords(*strings, *strings);
      (void)controller.PickLine();
      (void)ControllerTypeFromDriverName(strings->first);
      // What was read goes back into a record and reads the same, when it fits.
      if (const auto again = EncodeKx7Record(strings->first, strings->second)) {
        const auto parsed = ParseKx7Record(*again);
        if (!parsed || parsed->first != strings->first || parsed->second != strings->second) std::abort();
      }
      break;
    }
    default: {
      const auto mappings = UsbMappings();
      const UsbMapping& mapping = mappings[data[0] % mappings.size()];
      // Input: a length byte, then that many input bytes; the answer is what follows.
      if (bytes.empty()) break;
      const std::size_t inputSize = std::min<std::size_t>(bytes[0], bytes.size() - 1);
      const auto input = bytes.subspan(1, inputSize);
      const auto answer = bytes.subspan(1 + inputSize);
      const std::size_t capacity = 1 + (inputSize * 7) % 300;
      const UsbTranslation t = TranslateRequest(mapping.code, input, capacity);
      if (!t.success) break;
      if (t.request.Bytes().size() != kSetupSize + t.request.data.size()) std::abort();
      (void)HexLogLines(t.request.Bytes());
      (void)RequestLogLine(mapping.code, input);
      const auto result = AnswerToOutput(t.request, answer);
      if (result.success && result.bytes.size() > capacity) std::abort();
      if (!result.success && !result.bytes.empty()) std::abort();
      (void)RequestResultLine(result);
      break;
    }
  }
  return 0;
}
