// Report descriptors come from the devices: any bytes must read without harm, and what is read must
// stay within what a report can be and be the same each time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/hid_device.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto first = kx7::ParseHidReportDescriptor(data, size);
  const auto second = kx7::ParseHidReportDescriptor(data, size);
  if (first.size() != second.size()) std::abort();
  // Every top-level collection starts with an item of its own.
  if (first.size() > size) std::abort();
  constexpr std::size_t kLongest = (std::size_t{1} << 17) + 1;
  for (std::size_t i = 0; i < first.size(); ++i) {
    const kx7::HidCollectionCaps& a = first[i];
    const kx7::HidCollectionCaps& b = second[i];
    if (a.usagePage != b.usagePage || a.usage != b.usage || a.inputReportLength != b.inputReportLength ||
        a.outputReportLength != b.outputReportLength || a.featureReportLength != b.featureReportLength) {
      std::abort();
    }
    if (a.inputReportLength > kLongest || a.outputReportLength > kLongest || a.featureReportLength > kLongest) {
      std::abort();
    }
    // A length, when there is one, has the report id byte and at least one byte of data.
    for (const std::size_t length : {a.inputReportLength, a.outputReportLength, a.featureReportLength}) {
      if (length == 1) std::abort();
    }
  }
  return 0;
}
